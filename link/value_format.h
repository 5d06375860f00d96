#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/device_model.h"

namespace veltrona {

inline constexpr unsigned kMaxDecimals = 8;

// Text of the register at position of values by the descriptor's display kind and decimals;
// empty for kinds without a text, registers outside the block, or more than kMaxDecimals.
std::string FormatRegister(const RegisterDescriptor& descriptor,
                           std::span<const std::uint16_t> values, std::size_t position,
                           char decimal_separator);

// Exact decimal text of value / 10^decimals with the given separator; empty above kMaxDecimals.
std::string FormatUnsigned(std::uint32_t value, unsigned decimals, char decimal_separator);
std::string FormatSigned(std::int32_t value, unsigned decimals, char decimal_separator);

// value / 10^decimals (the value itself for 0 decimals).
double ScaleUnsigned(std::uint32_t value, unsigned decimals);
double ScaleSigned(std::int32_t value, unsigned decimals);

}  // namespace veltrona
