#include "cli/settings/settings_session.h"

#include <chrono>

#include "link/serial_port.h"

namespace veltrona {

SettingsSession::SettingsSession(const LineOptions& line, ChargerView& view, std::ostream& log,
                                 bool show_progress, const volatile std::sig_atomic_t& signal)
    : line_(line),
      log_(log),
      signal_(signal),
      devices_(BuildBusDevices(line.devices)),
      client_(view, log, show_progress),
      worker_(devices_, loop_, client_, MakeSystemSerialLine()) {}

bool SettingsSession::Start(const std::string& path) {
    if (devices_.At(kChargerIndex) == nullptr) {
        log_ << "veltrona-settings: the charger model cannot be built\n";
        return false;
    }
    if (!worker_.StartPort(line_.settings, path, line_.frame_end)) {
        log_ << "veltrona-settings: cannot start the port worker\n";
        return false;
    }
    return true;
}

bool SettingsSession::Wait() {
    // The budget of turns ends every wait on a line that works; the limit only guards a
    // worker that stops moving.
    loop_.RunUntil([&] { return client_.finished() || signal_ != 0 || !worker_.IsWorkerActive(); },
                   std::chrono::hours(1), std::chrono::milliseconds(200));
    if (client_.done()) return true;
    if (signal_ != 0) {
        log_ << "veltrona-settings: interrupted\n";
    } else if (!client_.failure().empty()) {
        log_ << "veltrona-settings: " << client_.failure() << '\n';
    } else if (!worker_.IsWorkerActive()) {
        log_ << "veltrona-settings: the port worker ended\n";
    } else {
        log_ << "veltrona-settings: no progress within an hour\n";
    }
    return false;
}

void SettingsSession::Stop() {
    worker_.StopPort();
    // The worker leaves within one pass of its loop; it never waits for a reply to end.
    loop_.RunUntil([&] { return !worker_.IsWorkerActive(); }, std::chrono::seconds(10));
}

}  // namespace veltrona
