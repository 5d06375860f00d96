#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_options.h"

namespace veltrona::sim {

// Modbus exception codes the stand-ins give.
inline constexpr std::uint8_t kIllegalFunction = 1;
inline constexpr std::uint8_t kIllegalAddress = 2;
inline constexpr std::uint8_t kIllegalValue = 3;

// Length of the request that starts the bytes: 0 while it cannot be told yet, -1 for a
// function code whose requests have no known length (only silence can end them).
int RequestLength(std::span<const std::uint8_t> head);

// Cuts the byte stream into requests with a good CRC. A request ends when its function code's
// length has arrived; bytes that cannot start a request are dropped, and a candidate that
// fails its CRC loses its first byte so that a request hidden behind junk is still found.
class RtuFramer {
  public:
    // Appends bytes and returns the requests they complete.
    std::vector<std::vector<std::uint8_t>> Push(std::span<const std::uint8_t> bytes);
    // The line fell silent: whatever is pending ends here. A pending request of unknown
    // length with a good CRC is returned; anything else is dropped.
    std::vector<std::uint8_t> Silence();
    bool Pending() const { return !pending_.empty(); }

  private:
    std::vector<std::uint8_t> pending_;
};

// The slaves of the bus: dispatch by address and range, exceptions and the test switches.
class RtuSlave {
  public:
    void Attach(DeviceId id, SimDevice& device, std::uint8_t address);

    // The reply to one framed request (CRC included), or empty for no reply. `seconds` is the
    // time since the start, for the moving values.
    std::vector<std::uint8_t> Handle(std::span<const std::uint8_t> request,
                                     const SimSwitches& switches, double seconds);

  private:
    struct Slot {
        DeviceId id;
        SimDevice* device;
        std::uint8_t address;
    };
    std::vector<Slot> slots_;
};

}  // namespace veltrona::sim
