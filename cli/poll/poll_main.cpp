// veltrona-poll: the monitor's device models and transaction cycle without a window, writing
// the registers it reads as CSV on standard output.

#include <csignal>
#include <iostream>

#include "cli/poll/csv_poll_client.h"
#include "cli/poll/poll_options.h"
#include "devices/bus_devices.h"
#include "link/catalogue.h"
#include "link/event_loop.h"
#include "link/port_worker.h"

namespace {

// The signal that asked the poller to end, 0 while none did.
volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int number) {
    g_signal = number;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veltrona;
    std::string error;
    const auto options = ParsePollOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "veltrona-poll: " << error << "\n\n" << PollUsage();
        return 2;
    }
    if (options->help) {
        std::cout << PollUsage();
        return 0;
    }
    const LineOptions& line = options->line;
    const std::string path = ResolvePortPath(line);
    if (path.empty()) {
        std::cerr << "veltrona-poll: " << line.port << " names no serial device\n";
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    DeviceList devices = BuildBusDevices(line.devices);
    EventLoop loop;
    CsvPollClient client(std::cout, std::cerr, options->changes_only);
    TThreadSyncComPort worker(devices, loop, client, MakeSystemSerialLine());
    CsvPollClient::WriteHeader(std::cout);
    if (!worker.StartPort(line.settings, path, line.frame_end)) {
        std::cerr << "veltrona-poll: cannot start the port worker\n";
        return 1;
    }
    const auto limit = options->seconds != 0 ? std::chrono::seconds(options->seconds)
                                             : std::chrono::hours(24 * 365);
    loop.RunUntil(
        [&] {
            return g_signal != 0 || client.open_failed() || !worker.IsWorkerActive() ||
                   (options->rounds != 0 && client.rounds() >= options->rounds);
        },
        limit, std::chrono::milliseconds(200));
    // The worker leaves within one pass of its loop; it never waits for a reply to end.
    worker.StopPort();
    loop.RunUntil([&] { return !worker.IsWorkerActive(); }, std::chrono::seconds(10));
    std::cout.flush();

    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        if (!line.devices.enabled[i]) continue;
        const TrafficFigures t = worker.traffic(i).Figures();
        std::cerr << DeviceKindKey(i) << ": requests " << t.requests << ", replies " << t.replies
                  << ", timed out " << t.timed_out << ", dropped frames " << t.dropped
                  << ", exceptions " << t.exceptions << '\n';
    }
    if (g_signal != 0) return 128 + g_signal;
    if (client.open_failed()) {
        std::cerr << "veltrona-poll: cannot open " << path << '\n';
        return 1;
    }
    // Devices that stay silent are the summary's business; a port that is gone is a failure.
    if (client.line_lost()) {
        std::cerr << "veltrona-poll: " << path << " was lost and has not come back\n";
        return 1;
    }
    return 0;
}
