#include "link/register_sets.h"

#include <algorithm>

#include "link/storage_codes.h"

namespace veltrona {
namespace {

// Registers the storage code moves (0 for the lower half of a pair and unknown codes).
std::size_t RegistersOf(const RegisterDescriptor& descriptor) {
    if (descriptor.storage >= 4 && descriptor.storage <= 7) return 1;
    if (descriptor.storage >= 8 && descriptor.storage <= 19) return 2;
    return 0;
}

}  // namespace

void CopyRegisterToSet(std::span<const std::uint16_t> values, std::size_t index,
                       const RegisterDescriptor& descriptor, std::span<std::uint16_t> set) {
    const std::size_t registers = RegistersOf(descriptor);
    if (registers == 0 || index >= set.size() || index + 1 < registers) return;
    const std::span<std::uint8_t> target{
        reinterpret_cast<std::uint8_t*>(set.data() + index + 1 - registers),
        registers * sizeof(std::uint16_t)};
    CopyByStorageCode(values, index, descriptor, target);
}

void CopySetToValues(std::span<const std::uint16_t> set, std::span<const RegisterDescriptor> table,
                     std::span<std::uint16_t> values) {
    const std::size_t count = std::min({values.size(), set.size(), table.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t registers = RegistersOf(table[i]);
        if (registers == 0 || i + 1 < registers) continue;
        const std::span<const std::uint8_t> bytes{
            reinterpret_cast<const std::uint8_t*>(set.data() + i + 1 - registers),
            registers * sizeof(std::uint16_t)};
        CopyToStorageCode(bytes, table[i], values.first(count), i);
    }
}

void TakeFreshRegisters(RegisterBlock& block, std::size_t block_index, DescriptorOf describe,
                        std::span<std::uint16_t> set) {
    const std::size_t count =
        std::min({std::size_t{block.count}, block.values_read.size(), set.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (!TestBit(block.fresh_map, i)) continue;
        ClearBit(block.fresh_map, i);
        if (const RegisterDescriptor* descriptor = describe(block_index, i)) {
            CopyRegisterToSet(block.values_read, i, *descriptor, set);
        }
    }
}

std::uint32_t PairInSet(std::span<const std::uint16_t> set, std::size_t upper_index) {
    if (upper_index == 0 || upper_index >= set.size()) return 0;
    return static_cast<std::uint32_t>(set[upper_index]) << 16 | set[upper_index - 1];
}

}  // namespace veltrona
