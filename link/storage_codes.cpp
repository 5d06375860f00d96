#include "link/storage_codes.h"

#include <array>
#include <cstring>

namespace veltrona {

namespace {

// How a storage code lays the register bytes out in the typed value. The register bytes are
// numbered as they lie in memory: 0, 1 the lower register of a pair (or the single register),
// 2, 3 the upper one. Byte i of the typed value is register byte order[i].
struct StorageLayout {
    std::size_t width;  // bytes of the typed value; 0 copies nothing
    std::array<std::uint8_t, 4> order;
};

constexpr StorageLayout kNone{0, {0, 0, 0, 0}};
constexpr StorageLayout kSingleAsHeld{2, {0, 1, 0, 0}};
constexpr StorageLayout kSingleSwapped{2, {1, 0, 0, 0}};
constexpr StorageLayout kPairExchanged{4, {2, 3, 0, 1}};
constexpr StorageLayout kPairAsHeld{4, {0, 1, 2, 3}};
constexpr StorageLayout kPairReversed{4, {3, 2, 1, 0}};
constexpr StorageLayout kPairBytesSwapped{4, {1, 0, 3, 2}};

// Codes 0 to 3 carry no copy of their own (3 marks the lower register of a pair).
constexpr std::array<StorageLayout, 20> kStorageLayouts{
    kNone,          kNone,          kNone,         kNone,
    kSingleAsHeld,  kSingleSwapped,                                    // unsigned 16-bit
    kSingleAsHeld,  kSingleSwapped,                                    // signed 16-bit
    kPairExchanged, kPairAsHeld,    kPairReversed, kPairBytesSwapped,  // unsigned 32-bit
    kPairExchanged, kPairAsHeld,    kPairReversed, kPairBytesSwapped,  // signed 32-bit
    kPairExchanged, kPairAsHeld,    kPairReversed, kPairBytesSwapped,  // float
};

const StorageLayout& LayoutOf(std::uint16_t code) {
    return code < kStorageLayouts.size() ? kStorageLayouts[code] : kNone;
}

// Index of the first register the layout touches, or false when the registers it needs are
// not all inside the block.
bool FirstRegister(const StorageLayout& layout, std::size_t count, std::size_t position,
                   std::size_t& first) {
    const std::size_t registers = layout.width / 2;
    if (registers == 0 || position >= count || position + 1 < registers) return false;
    first = position + 1 - registers;
    return true;
}

}  // namespace

bool CopyByStorageCode(std::span<const std::uint16_t> values, std::size_t position,
                       const RegisterDescriptor& descriptor, std::span<std::uint8_t> target) {
    const StorageLayout& layout = LayoutOf(descriptor.storage);
    std::size_t first = 0;
    if (!FirstRegister(layout, values.size(), position, first) || target.size() < layout.width)
        return false;
    std::array<std::uint8_t, 4> held{};
    std::memcpy(held.data(), values.data() + first, layout.width);
    for (std::size_t i = 0; i < layout.width; ++i)
        target[i] = held[layout.order[i]];
    return true;
}

bool CopyToStorageCode(std::span<const std::uint8_t> source, const RegisterDescriptor& descriptor,
                       std::span<std::uint16_t> values, std::size_t position) {
    const StorageLayout& layout = LayoutOf(descriptor.storage);
    std::size_t first = 0;
    if (!FirstRegister(layout, values.size(), position, first) || source.size() < layout.width)
        return false;
    std::array<std::uint8_t, 4> held{};
    for (std::size_t i = 0; i < layout.width; ++i)
        held[layout.order[i]] = source[i];
    std::memcpy(values.data() + first, held.data(), layout.width);
    return true;
}

bool CopyByDisplayKind(std::span<const std::uint16_t> values, std::size_t position,
                       const RegisterDescriptor& descriptor, std::span<std::uint8_t> target) {
    // Registers below and above the named one that the kind takes along.
    std::size_t below = 0;
    std::size_t above = 0;
    switch (descriptor.display) {
        case 1:
        case 2:
            break;
        case 3:
        case 4:
        case 5:
            below = 1;
            break;
        case 6:
            below = 2;
            above = 1;
            break;
        default:
            return false;
    }
    const std::size_t bytes = (below + 1 + above) * sizeof(std::uint16_t);
    if (position < below || position >= values.size() || values.size() - position <= above ||
        target.size() < bytes)
        return false;
    std::memcpy(target.data(), values.data() + (position - below), bytes);
    return true;
}

}  // namespace veltrona
