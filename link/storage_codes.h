#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/device_model.h"

namespace veltrona {

// Copies the register at position (for 32-bit codes the pair whose upper register it is) of
// values into target in the byte order its storage code names. False, and nothing copied,
// for codes 0 to 3 and unknown codes, a pair that would start below the block, or a target
// too small for the value.
bool CopyByStorageCode(std::span<const std::uint16_t> values, std::size_t position,
                       const RegisterDescriptor& descriptor, std::span<std::uint8_t> target);

// The mirror: a typed value's bytes into values at position, rearranged by the storage code.
bool CopyToStorageCode(std::span<const std::uint8_t> source, const RegisterDescriptor& descriptor,
                       std::span<std::uint16_t> values, std::size_t position);

// Display-kind copy: 2 bytes (kinds 1, 2), the pair ending at the register (3 to 5), or the
// four registers from two below to one above it (6). False when the registers are not all
// inside the block or the target is too small.
bool CopyByDisplayKind(std::span<const std::uint16_t> values, std::size_t position,
                       const RegisterDescriptor& descriptor, std::span<std::uint8_t> target);

}  // namespace veltrona
