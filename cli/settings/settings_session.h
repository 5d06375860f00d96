#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "cli/line_options.h"
#include "cli/settings/settings_client.h"
#include "devices/charger/charger_view.h"
#include "link/event_loop.h"
#include "link/port_worker.h"

namespace veltrona {

// The charger alone on the line, polled by the port worker on this thread's event loop.
class SettingsSession {
  public:
    // `signal` is non-zero once a signal asked the program to end.
    SettingsSession(const LineOptions& line, ChargerView& view, std::ostream& log,
                    bool show_progress, const volatile std::sig_atomic_t& signal);
    ~SettingsSession() { Stop(); }
    SettingsSession(const SettingsSession&) = delete;
    SettingsSession& operator=(const SettingsSession&) = delete;

    bool Start(const std::string& path);
    // Runs the loop until the client's wait ends; false, with the reason on the log, when it
    // failed or a signal came.
    bool Wait();
    void Stop();

    // Only between waits, while the loop runs nothing, may the caller change it.
    DeviceModel& charger() { return *devices_.At(kChargerIndex); }
    SettingsClient& client() { return client_; }

  private:
    const LineOptions& line_;
    std::ostream& log_;
    const volatile std::sig_atomic_t& signal_;
    DeviceList devices_;
    EventLoop loop_;
    SettingsClient client_;
    TThreadSyncComPort worker_;
};

}  // namespace veltrona
