// veltrona-sim: the charger, inverter and BMS stand-ins on a pseudo-terminal or serial port.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sim/sim_bus.h"

using veltrona::sim::SimBus;
using veltrona::sim::SimOptions;

int main(int argc, char** argv) {
    SimOptions options;
    const std::string error = veltrona::sim::ParseOptions(argc, argv, options);
    if (!error.empty()) {
        std::fprintf(stderr, "veltrona-sim: %s\n%s", error.c_str(), veltrona::sim::kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(veltrona::sim::kUsage, stdout);
        return 0;
    }

    // Blocked before the bus thread starts, so that only the signalfd below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signal_fd = signalfd(-1, &signals, SFD_CLOEXEC);

    SimBus bus(options);
    if (const std::string start_error = bus.Start(); !start_error.empty()) {
        std::fprintf(stderr, "veltrona-sim: %s\n", start_error.c_str());
        return 1;
    }
    std::printf("%s\n", bus.ClientPath().c_str());
    std::fflush(stdout);

    std::string pending;
    bool stdin_open = true;
    while (true) {
        pollfd fds[2] = {{signal_fd, POLLIN, 0}, {stdin_open ? 0 : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[0].revents & POLLIN) != 0) break;
        if ((fds[1].revents & (POLLIN | POLLHUP)) == 0) continue;
        char chunk[256];
        const ssize_t n = read(0, chunk, sizeof chunk);
        if (n <= 0) {
            stdin_open = false;  // no more commands; serve until killed
            continue;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line == "quit") {
                std::puts("ok");
                std::fflush(stdout);
                bus.Stop();
                return 0;
            }
            std::puts(bus.Command(line).c_str());
            std::fflush(stdout);
        }
    }
    bus.Stop();
    return 0;
}
