#pragma once

#include <cstdint>
#include <optional>

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

// The baud code of a line speed; nothing for a speed without one.
std::optional<std::uint16_t> BaudCode(std::uint32_t baud);

}  // namespace veltrona::sim
