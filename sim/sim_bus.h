#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/bms_sim.h"
#include "sim/charger_sim.h"
#include "sim/inverter_sim.h"
#include "sim/pty_line.h"
#include "sim/rtu_slave.h"
#include "sim/sim_options.h"

namespace veltrona::sim {

// A stand-in whose registers pinned by a "set" line command read as set, whatever its model
// computes, until unset; a master's write to a pinned register takes over from the pin.
template <typename Device>
class Pinned : public Device {
  public:
    void Pin(std::uint16_t address, std::uint16_t value) {
        pins_[address] = value;
        this->Set(address, value);
    }
    void Unpin(std::uint16_t address) { pins_.erase(address); }
    void Advance(double seconds) override {
        Device::Advance(seconds);
        Reapply();
    }
    void Written(std::uint16_t start, std::uint16_t count, double seconds) override {
        std::erase_if(pins_, [&](const auto& pin) {
            return pin.first >= start && pin.first - start < count;
        });
        Device::Written(start, count, seconds);
        Reapply();
    }

  private:
    void Reapply() {
        for (const auto& [address, value] : pins_)
            this->Set(address, value);
    }
    std::map<std::uint16_t, std::uint16_t> pins_;
};

// The three stand-ins on one line, served by a thread of their own.
class SimBus {
  public:
    explicit SimBus(const SimOptions& options);
    ~SimBus();
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Opens the line (and the COM link when a folder is given) and starts serving. Returns
    // an empty string on success, else the reason.
    std::string Start();
    // Stops serving, closes the line and removes the link.
    void Stop();

    // The path a client opens; empty before Start and after an unplug.
    std::string ClientPath() const;
    const std::string& LinkPath() const { return link_path_; }

    // A line command (see ApplySwitchCommand, ParseChargerError, ParseRegisterCommand, plus
    // "unplug" and "plug"): "ok" or "error: reason".
    std::string Command(const std::string& line);

    // The address a stand-in answers at now: the charger's follows the link sets it takes.
    std::uint8_t Address(DeviceId id) const;
    // A register of a stand-in as it holds it now (0 outside its blocks).
    std::uint16_t Register(DeviceId id, std::uint16_t address) const;

    // Requests framed since construction, muted ones too, and when the latest kRequestLog of
    // them arrived, oldest first; any thread.
    static constexpr std::size_t kRequestLog = 4096;
    std::size_t RequestCount() const;
    std::vector<std::chrono::steady_clock::time_point> RequestTimes() const;

  private:
    // Under the mutex once serving; an empty string on success, else the reason.
    std::string ApplyRegister(const RegisterCommand& command);
    void Run();
    void Serve(std::span<const std::uint8_t> request,
               std::chrono::steady_clock::time_point received);

    SimOptions options_;
    Pinned<ChargerSim> charger_;
    Pinned<InverterSim> inverter_;
    Pinned<BmsSim> bms_;
    std::string setup_error_;  // a --set the devices refused, reported by Start
    RtuSlave slave_;
    RtuFramer framer_;
    std::unique_ptr<SerialLine> line_;
    std::string link_path_;
    std::chrono::steady_clock::time_point started_;

    mutable std::mutex mutex_;  // guards options_.switches, slave_, line_ and the request log
    std::size_t request_count_ = 0;
    std::deque<std::chrono::steady_clock::time_point> request_times_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
};

}  // namespace veltrona::sim
