#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/device_model.h"

namespace veltrona {

// A view record keeps one typed slot per register: a 32-bit pair fills the slots of both its
// registers. These move values between a block's raw registers and such a set.

// The register at index of values (a pair by its upper register) into its slots of set;
// registers that are the lower half of a pair, or of an unknown code, move nothing.
void CopyRegisterToSet(std::span<const std::uint16_t> values, std::size_t index,
                       const RegisterDescriptor& descriptor, std::span<std::uint16_t> set);

// Every register of a set into the raw values to write, rearranged by its storage code.
void CopySetToValues(std::span<const std::uint16_t> set, std::span<const RegisterDescriptor> table,
                     std::span<std::uint16_t> values);

// A device map's descriptor of a block's register; null outside the map.
using DescriptorOf = const RegisterDescriptor* (*)(std::size_t block, std::size_t index);

// The fresh registers of block `block_index` into `set`, their fresh bits cleared; a pair by
// its upper register.
void TakeFreshRegisters(RegisterBlock& block, std::size_t block_index, DescriptorOf describe,
                        std::span<std::uint16_t> set);

// The 32-bit value of a set's pair named by its upper register; 0 without a lower one.
std::uint32_t PairInSet(std::span<const std::uint16_t> set, std::size_t upper_index);

}  // namespace veltrona
