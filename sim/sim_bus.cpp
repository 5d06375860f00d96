#include "sim/sim_bus.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace veltrona::sim {
namespace {

using Clock = std::chrono::steady_clock;

// Sleeps until `when` on the monotonic clock, which steady_clock is on Linux.
void SleepUntil(Clock::time_point when) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns.count() / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns.count() % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // A client that reads nothing: wait a little for room, never block the bus.
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 50) > 0) continue;
            return;
        }
        if (n <= 0) return;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
}

// Seconds since `started`, the time base of the stand-ins; 0 before the first start.
double Elapsed(Clock::time_point started) {
    if (started == Clock::time_point{}) return 0;
    return std::chrono::duration<double>(Clock::now() - started).count();
}

}  // namespace

SimBus::SimBus(const SimOptions& options) : options_(options) {
    slave_.Attach(DeviceId::kCharger, charger_, options.addresses[0]);
    slave_.Attach(DeviceId::kInverter, inverter_, options.addresses[1]);
    slave_.Attach(DeviceId::kBms, bms_, options.addresses[2]);
    charger_.SetLink({options.addresses[0], options.baud});
    // The BMS's link block names the address it is served at.
    bms_.Set(0x6800, options.addresses[2]);
    charger_.SetTimeScale(options.switches.time_scale, 0);
    for (const RegisterCommand& command : options.registers) {
        if (const std::string error = ApplyRegister(command); !error.empty()) {
            setup_error_ = "--set: " + error;
            break;
        }
    }
}

SimBus::~SimBus() {
    Stop();
}

std::string SimBus::Start() {
    if (thread_.joinable()) return "already started";
    if (!setup_error_.empty()) return setup_error_;
    std::string error;
    std::unique_ptr<SerialLine> line =
        options_.port.empty() ? SerialLine::OpenPty(error)
                              : SerialLine::OpenDevice(options_.port, options_.baud, error);
    if (!line) return error;
    if (options_.port.empty() && !options_.folder.empty()) {
        link_path_ = CreatePortLink(options_.folder, options_.com, line->ClientPath(), error);
        if (link_path_.empty()) return error;
    }
    if (pipe(wake_) != 0) {
        if (!link_path_.empty()) unlink(link_path_.c_str());
        link_path_.clear();
        return "pipe failed";
    }
    line_ = std::move(line);
    started_ = Clock::now();
    stop_ = false;
    thread_ = std::thread(&SimBus::Run, this);
    return {};
}

void SimBus::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = write(wake_[1], &byte, 1);
        thread_.join();
    }
    for (int& fd : wake_) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    std::lock_guard lock(mutex_);
    line_.reset();
    if (!link_path_.empty()) unlink(link_path_.c_str());
    link_path_.clear();
}

std::string SimBus::ClientPath() const {
    std::lock_guard lock(mutex_);
    return line_ ? line_->ClientPath() : std::string();
}

std::string SimBus::Command(const std::string& line) {
    if (line == "unplug") {
        if (!thread_.joinable()) return "error: not plugged";
        Stop();
        return "ok";
    }
    // A new pseudo-terminal behind the same COM link, as a re-plugged adapter.
    if (line == "plug") {
        if (thread_.joinable()) return "error: plugged";
        const std::string error = Start();
        return error.empty() ? "ok" : "error: " + error;
    }
    std::lock_guard lock(mutex_);
    const double now = Elapsed(started_);
    ChargerErrorCommand fault;
    if (const auto parsed = ParseChargerError(line, fault)) {
        if (!parsed->empty()) return "error: " + *parsed;
        charger_.InjectError(fault, now);
        return "ok";
    }
    RegisterCommand pin;
    if (const auto parsed = ParseRegisterCommand(line, pin)) {
        const std::string error = parsed->empty() ? ApplyRegister(pin) : *parsed;
        return error.empty() ? "ok" : "error: " + error;
    }
    const std::string error = ApplySwitchCommand(line, options_.switches);
    if (!error.empty()) return "error: " + error;
    charger_.SetTimeScale(options_.switches.time_scale, now);
    return "ok";
}

std::string SimBus::ApplyRegister(const RegisterCommand& command) {
    auto apply = [&](auto& device) -> std::string {
        if (device.FindBlock(command.address, 1) == nullptr) {
            return std::string(DeviceName(command.device)) + " has no such register";
        }
        if (command.value) {
            device.Pin(command.address, *command.value);
        } else {
            device.Unpin(command.address);
        }
        return {};
    };
    switch (command.device) {
        case DeviceId::kCharger:
            return apply(charger_);
        case DeviceId::kInverter:
            return apply(inverter_);
        case DeviceId::kBms:
            return apply(bms_);
    }
    return "unknown device";
}

std::uint8_t SimBus::Address(DeviceId id) const {
    std::lock_guard lock(mutex_);
    return slave_.Address(id);
}

std::uint16_t SimBus::Register(DeviceId id, std::uint16_t address) const {
    std::lock_guard lock(mutex_);
    switch (id) {
        case DeviceId::kCharger:
            return charger_.Get(address);
        case DeviceId::kInverter:
            return inverter_.Get(address);
        case DeviceId::kBms:
            return bms_.Get(address);
    }
    return 0;
}

std::size_t SimBus::RequestCount() const {
    std::lock_guard lock(mutex_);
    return request_count_;
}

std::vector<Clock::time_point> SimBus::RequestTimes() const {
    std::lock_guard lock(mutex_);
    return {request_times_.begin(), request_times_.end()};
}

void SimBus::Run() {
    const int fd = line_->Fd();
    Clock::time_point last_byte = Clock::now();
    std::uint8_t buffer[512];
    while (!stop_) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const std::int64_t silence_us = FrameSilenceUs(line_->Timing());
        timespec timeout{};
        timespec* wait = nullptr;
        if (framer_.Pending()) {
            const auto left = last_byte + std::chrono::microseconds(silence_us) - Clock::now();
            const auto ns = std::max<std::int64_t>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            wait = &timeout;
        }
        const int ready = ppoll(fds, 2, wait, nullptr);
        if (ready < 0 && errno != EINTR) return;
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return;
        if ((fds[0].revents & (POLLIN | POLLHUP)) != 0) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                last_byte = Clock::now();
                for (const auto& request : framer_.Push({buffer, static_cast<std::size_t>(n)})) {
                    Serve(request, last_byte);
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                return;  // the device went away
            }
        }
        if (framer_.Pending() &&
            Clock::now() - last_byte >= std::chrono::microseconds(silence_us)) {
            const std::vector<std::uint8_t> request = framer_.Silence();
            if (!request.empty()) Serve(request, last_byte);
        }
    }
}

void SimBus::Serve(std::span<const std::uint8_t> request, Clock::time_point received) {
    const double seconds = std::chrono::duration<double>(received - started_).count();
    std::vector<std::uint8_t> reply;
    std::optional<LinkSettings> line_change;
    std::uint32_t turnaround_us = 0;
    {
        std::lock_guard lock(mutex_);
        ++request_count_;
        request_times_.push_back(received);
        if (request_times_.size() > kRequestLog) request_times_.pop_front();
        reply = slave_.Handle(request, options_.switches, seconds);
        line_change = slave_.TakeLineChange();
        turnaround_us = options_.switches.turnaround_us;
    }
    if (!reply.empty()) {
        const std::int64_t delay_us = turnaround_us + WireTimeUs(reply.size(), line_->Timing());
        SleepUntil(received + std::chrono::microseconds(delay_us));
        WriteAll(line_->Fd(), reply);
    }
    // A pseudo-terminal's speed is the client's to choose.
    if (line_change && !options_.port.empty()) line_->SetFormat(*line_change);
}

}  // namespace veltrona::sim
