#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/sim_device.h"
#include "sim/sim_options.h"

namespace veltrona::sim {

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
    // time since the start, for the moving values. A device that takes new line settings
    // answers at its old address, or not at all with the link-adopt-now switch, and from then
    // on at the new one.
    std::vector<std::uint8_t> Handle(std::span<const std::uint8_t> request,
                                     const SimSwitches& switches, double seconds);

    // The address a device answers at now; 0 for one not attached.
    std::uint8_t Address(DeviceId id) const;
    // The line settings a device took in the requests handled since the last call.
    std::optional<LinkSettings> TakeLineChange();

  private:
    struct Slot {
        DeviceId id;
        SimDevice* device;
        std::uint8_t address;
    };
    std::vector<Slot> slots_;
    std::optional<LinkSettings> line_change_;
};

}  // namespace veltrona::sim
