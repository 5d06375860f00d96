#include "link/value_format.h"

#include <array>
#include <cstdio>

namespace veltrona {

namespace {

constexpr std::array<std::uint32_t, kMaxDecimals + 1> kPowersOfTen{
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Exact text of magnitude / 10^decimals. Decimals beyond the patterns have no defined text, and
// a shifted number would mislead, so they give an empty text.
std::string FormatMagnitude(bool negative, std::uint64_t magnitude, unsigned decimals,
                            char decimal_separator) {
    if (decimals > kMaxDecimals) return {};
    const std::uint64_t divisor = kPowersOfTen[decimals];
    char text[32];
    int length = 0;
    if (decimals == 0) {
        length = std::snprintf(text, sizeof text, "%s%llu", negative ? "-" : "",
                               static_cast<unsigned long long>(magnitude));
    } else {
        length = std::snprintf(text, sizeof text, "%s%llu%c%0*llu", negative ? "-" : "",
                               static_cast<unsigned long long>(magnitude / divisor),
                               decimal_separator, static_cast<int>(decimals),
                               static_cast<unsigned long long>(magnitude % divisor));
    }
    return std::string(text, static_cast<std::size_t>(length));
}

// Exact for every decimals a descriptor can name; larger ones still scale rather than read
// past a table.
double PowerOfTen(unsigned decimals) {
    double scale = 1.0;
    for (unsigned i = 0; i < decimals; ++i)
        scale *= 10.0;
    return scale;
}

}  // namespace

std::string FormatRegister(const RegisterDescriptor& descriptor,
                           std::span<const std::uint16_t> values, std::size_t position,
                           char decimal_separator) {
    if (position >= values.size()) return {};
    const std::uint16_t value = values[position];
    switch (descriptor.display) {
        case 1:
            return FormatUnsigned(value, descriptor.decimals, decimal_separator);
        case 2:
            return FormatSigned(static_cast<std::int16_t>(value), descriptor.decimals,
                                decimal_separator);
        case 3:
        case 4: {
            if (position == 0) return {};
            const std::uint32_t pair =
                static_cast<std::uint32_t>(value) << 16 | values[position - 1];
            if (descriptor.display == 3)
                return FormatUnsigned(pair, descriptor.decimals, decimal_separator);
            return FormatSigned(static_cast<std::int32_t>(pair), descriptor.decimals,
                                decimal_separator);
        }
        default:
            return {};
    }
}

std::string FormatUnsigned(std::uint32_t value, unsigned decimals, char decimal_separator) {
    return FormatMagnitude(false, value, decimals, decimal_separator);
}

std::string FormatSigned(std::int32_t value, unsigned decimals, char decimal_separator) {
    // Widened first so that the most negative value has a magnitude.
    const std::int64_t wide = value;
    return FormatMagnitude(wide < 0, static_cast<std::uint64_t>(wide < 0 ? -wide : wide), decimals,
                           decimal_separator);
}

double ScaleUnsigned(std::uint32_t value, unsigned decimals) {
    return static_cast<double>(value) / PowerOfTen(decimals);
}

double ScaleSigned(std::int32_t value, unsigned decimals) {
    return static_cast<double>(value) / PowerOfTen(decimals);
}

}  // namespace veltrona
