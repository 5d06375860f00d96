#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "link/device_model.h"
#include "sim/link_set.h"

namespace veltrona::sim {

// Modbus exception codes the stand-ins give.
inline constexpr std::uint8_t kIllegalFunction = 1;
inline constexpr std::uint8_t kIllegalAddress = 2;
inline constexpr std::uint8_t kIllegalValue = 3;

// The register image of one stand-in: one array per block of the device's map.
class SimDevice {
  public:
    explicit SimDevice(std::span<const BlockLayout> blocks);
    virtual ~SimDevice() = default;

    // The smallest block holding all of [start, start + count), or null.
    const BlockLayout* FindBlock(std::uint32_t start, std::uint32_t count) const;

    // Registers outside every block read as 0 and ignore writes.
    std::uint16_t Get(std::uint16_t address) const;
    void Set(std::uint16_t address, std::uint16_t value);
    // Pairs keep the low 16 bits in the lower-addressed register.
    std::uint32_t Get32(std::uint16_t address) const;
    void Set32(std::uint16_t address, std::uint32_t value);

    // Brings the moving values to `seconds` after the start, before they are read.
    virtual void Advance(double seconds) = 0;
    // The exception code that refuses a write of `values` from `start` before anything is
    // stored, or 0 to take it.
    virtual std::uint8_t RefuseWrite(std::uint16_t start,
                                     std::span<const std::uint16_t> values) const;
    // Reacts to registers a master has just written (commands, settings).
    virtual void Written(std::uint16_t start, std::uint16_t count, double seconds);
    // The line settings a write has just given the device, once.
    virtual std::optional<LinkSettings> TakeLinkChange();
    // Bootloader function codes: the reply after the address, or empty when unsupported.
    virtual std::vector<std::uint8_t> LoaderReply(std::span<const std::uint8_t> request);

  private:
    // Block index and offset of an address, or the block count when no block holds it.
    std::pair<std::size_t, std::size_t> Locate(std::uint16_t address) const;

    std::span<const BlockLayout> blocks_;
    std::vector<std::vector<std::uint16_t>> values_;
};

// Seconds since 2000-01-01 00:00:00 of the PC's local time, as the devices' clocks count.
std::uint32_t DeviceClockNow();

}  // namespace veltrona::sim
