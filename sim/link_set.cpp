#include "sim/link_set.h"

#include <algorithm>
#include <iterator>

namespace veltrona::sim {
namespace {

constexpr std::uint32_t kBauds[] = {9600, 19200, 38400, 57600, 115200, 230400};
constexpr std::uint16_t kParityCodes = 3;
constexpr std::uint16_t kStopBitCodes = 3;
constexpr std::uint16_t kMaxAddress = 247;

}  // namespace

std::optional<LinkSettings> DecodeLinkSet(std::uint16_t address, std::uint16_t baud_code,
                                          std::uint16_t format) {
    const std::uint16_t parity = format >> 8;
    const std::uint16_t stop_bits = format & 0xFF;
    if (address == 0 || address > kMaxAddress || baud_code >= std::size(kBauds) ||
        parity >= kParityCodes || stop_bits >= kStopBitCodes) {
        return std::nullopt;
    }
    return LinkSettings{static_cast<std::uint8_t>(address), kBauds[baud_code],
                        static_cast<Parity>(parity), static_cast<StopBits>(stop_bits)};
}

std::optional<std::array<std::uint16_t, 3>> LinkSetAfterWrite(
    std::uint16_t first, std::uint16_t start, std::span<const std::uint16_t> values,
    const std::function<std::uint16_t(std::uint16_t)>& current) {
    std::array<std::uint16_t, 3> link{};
    if (start >= first + link.size() || start + values.size() <= first) return std::nullopt;
    for (std::uint16_t i = 0; i < link.size(); ++i) {
        const std::uint32_t at = first + i;
        link[i] = at >= start && at < start + values.size()
                      ? values[at - start]
                      : current(static_cast<std::uint16_t>(at));
    }
    return link;
}

std::optional<std::uint16_t> BaudCode(std::uint32_t baud) {
    const auto* it = std::find(std::begin(kBauds), std::end(kBauds), baud);
    if (it == std::end(kBauds)) return std::nullopt;
    return static_cast<std::uint16_t>(it - std::begin(kBauds));
}

}  // namespace veltrona::sim
