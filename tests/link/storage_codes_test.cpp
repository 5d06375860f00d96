#include "link/storage_codes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace veltrona {
namespace {

RegisterDescriptor Storage(std::uint16_t code) {
    return {0, 0, code, 0, 0};
}
RegisterDescriptor Display(std::uint16_t kind) {
    return {0, 0, 0, kind, 0};
}

using Bytes4 = std::array<std::uint8_t, 4>;

// Lower register 0x0201 at index 1, upper 0x0403 at index 2: as held in memory the pair reads
// 01 02 03 04.
const std::vector<std::uint16_t> kPair{0xAAAA, 0x0201, 0x0403, 0xBBBB};

struct PairOrder {
    std::uint16_t first_code;  // the unsigned code; signed and float codes follow at +4, +8
    Bytes4 bytes;
};

constexpr std::array<PairOrder, 4> kPairOrders{{
    {8, {0x03, 0x04, 0x01, 0x02}},
    {9, {0x01, 0x02, 0x03, 0x04}},
    {10, {0x04, 0x03, 0x02, 0x01}},
    {11, {0x02, 0x01, 0x04, 0x03}},
}};

TEST(StorageCodes, PairOrdersGiveTheirBytesBothWays) {
    for (const PairOrder& order : kPairOrders) {
        for (std::uint16_t code = order.first_code; code < 20; code += 4) {
            SCOPED_TRACE(code);
            Bytes4 target{};
            ASSERT_TRUE(CopyByStorageCode(kPair, 2, Storage(code), target));
            EXPECT_EQ(target, order.bytes);

            std::vector<std::uint16_t> back{0xAAAA, 0, 0, 0xBBBB};
            ASSERT_TRUE(CopyToStorageCode(order.bytes, Storage(code), back, 2));
            EXPECT_EQ(back, kPair);
        }
    }
    Bytes4 target{};
    std::uint32_t value = 0;
    ASSERT_TRUE(CopyByStorageCode(kPair, 2, Storage(9), target));
    std::memcpy(&value, target.data(), 4);
    EXPECT_EQ(value, 0x0403u * 65536 + 0x0201u);
    ASSERT_TRUE(CopyByStorageCode(kPair, 2, Storage(12), target));
    std::memcpy(&value, target.data(), 4);
    EXPECT_EQ(value, 0x0201u * 65536 + 0x0403u);
}

TEST(StorageCodes, SingleRegistersAsHeldOrSwapped) {
    const std::vector<std::uint16_t> values{0x0201};
    for (std::uint16_t code = 4; code <= 7; ++code) {
        const bool swapped = code % 2 == 1;
        std::array<std::uint8_t, 2> target{};
        ASSERT_TRUE(CopyByStorageCode(values, 0, Storage(code), target));
        EXPECT_EQ(target[0], swapped ? 0x02 : 0x01) << code;
        std::vector<std::uint16_t> back(1);
        ASSERT_TRUE(CopyToStorageCode(target, Storage(code), back, 0));
        EXPECT_EQ(back, values) << code;
    }
}

TEST(StorageCodes, NothingOutsideTheBlockOrTarget) {
    Bytes4 target{9, 9, 9, 9};
    std::vector<std::uint16_t> values{0x1111, 0x2222};
    EXPECT_FALSE(CopyByStorageCode(values, 0, Storage(9), target));  // pair below the block
    EXPECT_FALSE(CopyByStorageCode(values, 2, Storage(4), target));
    EXPECT_FALSE(CopyByStorageCode(values, 1, Storage(9), std::span(target).first(3)));
    for (std::uint16_t code : {0, 1, 2, 3, 20, 0xFFFF})
        EXPECT_FALSE(CopyByStorageCode(values, 1, Storage(code), target)) << code;
    EXPECT_EQ(target, (Bytes4{9, 9, 9, 9}));

    EXPECT_FALSE(CopyToStorageCode(target, Storage(13), values, 0));
    EXPECT_FALSE(CopyToStorageCode(std::span(target).first(1), Storage(4), values, 0));
    EXPECT_EQ(values, (std::vector<std::uint16_t>{0x1111, 0x2222}));
}

TEST(StorageCodes, DisplayKindSizesAndEdges) {
    const std::vector<std::uint16_t> values{0x0100, 0x0302, 0x0504, 0x0706, 0x0908};
    using Bytes8 = std::array<std::uint8_t, 8>;
    Bytes8 target{};
    // Kinds copy 2, 4 or 8 bytes; the rest of the target stays as it was.
    target.fill(0xEE);
    ASSERT_TRUE(CopyByDisplayKind(values, 4, Display(2), target));
    EXPECT_EQ(target, (Bytes8{8, 9, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    target.fill(0xEE);
    ASSERT_TRUE(CopyByDisplayKind(values, 1, Display(5), target));
    EXPECT_EQ(target, (Bytes8{0, 1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE}));
    ASSERT_TRUE(CopyByDisplayKind(values, 2, Display(6), target));
    EXPECT_EQ(target, (Bytes8{0, 1, 2, 3, 4, 5, 6, 7}));

    EXPECT_FALSE(CopyByDisplayKind(values, 1, Display(6), target));  // needs p - 2
    EXPECT_FALSE(CopyByDisplayKind(values, 4, Display(6), target));  // needs p + 1
    EXPECT_TRUE(CopyByDisplayKind(values, 3, Display(6), target));
    EXPECT_FALSE(CopyByDisplayKind(values, 0, Display(3), target));
    EXPECT_FALSE(CopyByDisplayKind(values, 5, Display(1), target));
    EXPECT_FALSE(CopyByDisplayKind(values, 3, Display(6), std::span(target).first(7)));
    EXPECT_FALSE(CopyByDisplayKind(values, 3, Display(0), target));
    EXPECT_FALSE(CopyByDisplayKind(values, 3, Display(7), target));
}

}  // namespace
}  // namespace veltrona
