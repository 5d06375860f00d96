#include "link/traffic_line.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace veltrona {
namespace {

TEST(TrafficLine, SentAndReceivedFrames) {
    constexpr std::array<std::uint8_t, 8> kRead{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    EXPECT_EQ(FormatTrafficLine(false, kRead.data(), kRead.size(), 14, 5, 9, 123),
              "tx 14:05.09.123  01 03 00 00 00 0A C5 CD");

    constexpr std::array<std::uint8_t, 3> kHigh{0xFF, 0xab, 0x7e};
    EXPECT_EQ(FormatTrafficLine(true, kHigh.data(), kHigh.size(), 0, 0, 0, 7),
              "rx 00:00.00.007  FF AB 7E");
}

TEST(TrafficLine, EmptyAndNullFramesKeepTheStamp) {
    constexpr std::uint8_t kByte = 0x55;
    EXPECT_EQ(FormatTrafficLine(true, &kByte, 0, 23, 59, 59, 999), "rx 23:59.59.999  ");
    EXPECT_EQ(FormatTrafficLine(false, nullptr, 5, 1, 2, 3, 4), "tx 01:02.03.004  ");
}

TEST(TrafficLine, OutOfRangeTimeFieldsKeepTheWidth) {
    constexpr std::uint8_t kByte = 0x10;
    EXPECT_EQ(FormatTrafficLine(false, &kByte, 1, -1, 75, 60, 1500), "tx 00:59.59.999  10");
}

}  // namespace
}  // namespace veltrona
