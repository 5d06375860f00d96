#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace veltrona::sim {

enum class Parity : std::uint8_t { kNone, kEven, kOdd };
enum class StopBits : std::uint8_t { kOne, kTwo, kOneAndHalf };

// A device's own line settings, as its link registers name them.
struct LinkSettings {
    std::uint8_t address = 1;
    std::uint32_t baud = 115200;
    Parity parity = Parity::kNone;
    StopBits stop_bits = StopBits::kOne;
    bool operator==(const LinkSettings&) const = default;
};

// The three link registers (address, baud code, parity code << 8 | stop-bit code); nothing
// for a set that a device refuses.
std::optional<LinkSettings> DecodeLinkSet(std::uint16_t address, std::uint16_t baud_code,
                                          std::uint16_t format);

// The link set as a write of `values` from `start` would leave the three link registers from
// `first`, the others read through `current`; nullopt when the write does not touch them.
std::optional<std::array<std::uint16_t, 3>> LinkSetAfterWrite(
    std::uint16_t first, std::uint16_t start, std::span<const std::uint16_t> values,
    const std::function<std::uint16_t(std::uint16_t)>& current);

// The baud code of a line speed; nothing for a speed without one.
std::optional<std::uint16_t> BaudCode(std::uint32_t baud);

}  // namespace veltrona::sim
