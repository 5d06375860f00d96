// Prints, over the stand-ins at 115200 baud:
//  - the measured transaction period divided by what the line itself needs (wire time of
//    request and reply + the stand-in's turnaround + 32 ms of frame silence + TimeRest);
//  - transactions per second with the frame ended by silence and by length, their ratio, and
//    whether both read the same values from the charger's registers that do not move;
//  - the poller's CPU seconds per minute of polling.
// Ratios from one run; nothing is asserted.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "devices/bus_devices.h"
#include "devices/charger/charger_blocks.h"
#include "link/event_loop.h"
#include "link/monotonic_clock.h"
#include "link/port_worker.h"

namespace {

using namespace veltrona;
namespace fs = std::filesystem;

constexpr std::int64_t kTurnaroundUs = 2000;
constexpr int kBaud = 115200;
constexpr int kBitsPerChar = 10;

pid_t Spawn(const std::vector<std::string>& args, const std::string& out_file) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!out_file.empty()) {
            FILE* out = std::freopen(out_file.c_str(), "w", stdout);
            (void)out;
        }
        std::freopen("/dev/null", "w", stderr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct PeriodClient final : LinkClient {
    std::int64_t last_sent = 0;
    std::size_t last_request = 0;
    std::size_t last_reply = 0;
    double measured_us = 0;
    double expected_us = 0;
    std::size_t transactions = 0;
    std::int64_t rest_us = 0;

    void OnSent(std::size_t, const DeviceModel&, const FrameSlot& frame) override {
        const std::int64_t now = MonotonicMicros();
        if (last_sent != 0 && last_reply != 0) {
            measured_us += static_cast<double>(now - last_sent);
            expected_us +=
                static_cast<double>(last_request + last_reply) * kBitsPerChar * 1e6 / kBaud +
                kTurnaroundUs + kFrameSilenceMicros + rest_us;
            ++transactions;
        }
        last_sent = now;
        last_request = frame.length;
        last_reply = 0;
    }
    void OnReceived(const FrameSlot& frame) override { last_reply = frame.length; }
};

struct RuleRun {
    double per_second = 0;
    double period_ratio = 0;
    std::vector<std::uint16_t> still_values;  // blocks whose values do not move
};

RuleRun RunRule(FrameEnd rule, const std::string& path, std::chrono::seconds span) {
    PortSettings port;
    port.Baudrate = kBaud;
    BusDeviceSettings only_charger;
    only_charger.enabled = {true, false, false};
    DeviceList devices = BuildBusDevices(only_charger);
    EventLoop loop;
    PeriodClient client;
    client.rest_us = port.TimeRest;
    TThreadSyncComPort worker(devices, loop, client, MakeSystemSerialLine());
    worker.StartPort(port, path, rule);
    loop.RunUntil([] { return false; }, span);
    worker.StopPort();
    loop.RunUntil([&] { return !worker.IsWorkerActive(); }, std::chrono::seconds(10));
    RuleRun run;
    run.per_second = static_cast<double>(client.transactions) * 1e6 / client.measured_us;
    run.period_ratio = client.measured_us / client.expected_us;
    // The identification block holds the device clock, and the live block moves.
    for (const std::uint16_t block : {kChargerBlockSettings, kChargerBlockControl,
                                      kChargerBlockLink, kChargerBlockCapability}) {
        const auto& values = devices.At(0)->blocks[block].values_read;
        run.still_values.insert(run.still_values.end(), values.begin(), values.end());
    }
    return run;
}

}  // namespace

int main() {
    const fs::path folder =
        fs::temp_directory_path() / ("veltrona-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const pid_t sim = Spawn({VELTRONA_SIM_PROGRAM, "--folder", folder.string(), "--com", "9",
                             "--turnaround-us", std::to_string(kTurnaroundUs)},
                            (folder / "sim.out").string());
    const fs::path link = folder / "ports" / "COM9";
    for (int i = 0; i < 500 && !fs::exists(link); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    const std::string path = fs::read_symlink(link).string();
    const RuleRun silence = RunRule(FrameEnd::kSilence, path, std::chrono::seconds(15));
    const RuleRun length = RunRule(FrameEnd::kLength, path, std::chrono::seconds(15));
    std::printf("charger transactions per second: silence %.2f, length %.2f\n", silence.per_second,
                length.per_second);
    std::printf("length / silence:                %.3f (target >= 2 at TimeRest 20 ms)\n",
                length.per_second / silence.per_second);
    std::printf("period / line budget (silence):  %.4f\n", silence.period_ratio);
    std::printf("still registers identical:       %s (%zu registers)\n",
                silence.still_values == length.still_values ? "yes" : "NO",
                silence.still_values.size());

    PortSettings port;
    port.Baudrate = kBaud;
    {
        DeviceList devices = BuildBusDevices({});
        EventLoop loop;
        PeriodClient client;
        client.rest_us = port.TimeRest;
        TThreadSyncComPort worker(devices, loop, client, MakeSystemSerialLine());
        worker.StartPort(port, fs::read_symlink(link).string());
        loop.RunUntil([] { return false; }, std::chrono::seconds(20));
        worker.StopPort();
        loop.RunUntil([&] { return !worker.IsWorkerActive(); }, std::chrono::seconds(10));
        std::printf("transactions measured:           %zu\n", client.transactions);
        std::printf("mean period:                     %.0f us\n",
                    client.measured_us / static_cast<double>(client.transactions));
        std::printf("mean line budget:                %.0f us\n",
                    client.expected_us / static_cast<double>(client.transactions));
        std::printf("period / line budget:            %.4f (target <= 1.02)\n",
                    client.measured_us / client.expected_us);
    }

    constexpr int kPollSeconds = 30;
    const pid_t poller = Spawn({VELTRONA_POLL_PROGRAM, "--port", "COM9", "--folder",
                                folder.string(), "--seconds", std::to_string(kPollSeconds)},
                               "/dev/null");
    int status = 0;
    rusage usage{};
    wait4(poller, &status, 0, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("poller CPU over %d s:             %.3f s\n", kPollSeconds, cpu);
    std::printf("poller CPU seconds per minute:   %.3f (target <= 0.6)\n",
                cpu * 60.0 / kPollSeconds);

    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    fs::remove_all(folder);
    return 0;
}
