#include "link/catalogue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

namespace veltrona {
namespace {

using namespace std::chrono;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

DeviceDateTime When(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return {year, month, day, 0, hour, minute, second};
}

std::int32_t Seconds(const DeviceDateTime& when) {
    std::int32_t seconds = 12345;
    EXPECT_TRUE(DateTimeToDeviceSeconds(when, seconds));
    return seconds;
}

TEST(DeviceClock, KnownDates) {
    EXPECT_EQ(Seconds(When(2000, 1, 1)), 0);
    EXPECT_EQ(Seconds(When(2000, 3, 1)), 5184000);
    EXPECT_EQ(Seconds(When(2019, 9, 13, 12, 30, 15)), 621693015);
    const DeviceDateTime friday = DeviceSecondsToDateTime(621693015);
    EXPECT_EQ(friday.year, 2019);
    EXPECT_EQ(friday.month, 9);
    EXPECT_EQ(friday.day, 13);
    EXPECT_EQ(friday.weekday, 4);
    EXPECT_EQ(friday.hour, 12);
    EXPECT_EQ(friday.minute, 30);
    EXPECT_EQ(friday.second, 15);
}

// Compares both directions with the standard calendar, day by day across the whole 32-bit
// range, with a time of day that varies from day to day.
TEST(DeviceClock, MatchesTheStandardCalendar) {
    const sys_days epoch{2000y / January / 1};
    const std::int64_t first_day = (std::int64_t{kMin} + 86399) / 86400 - 1;
    const std::int64_t last_day = std::int64_t{kMax} / 86400;
    for (std::int64_t d = first_day + 1; d < last_day; ++d) {
        const sys_days date = epoch + days{d};
        const year_month_day ymd{date};
        const int tod = static_cast<int>((d * 7919) % 86400 + 86400) % 86400;
        const DeviceDateTime when = When(int(ymd.year()), unsigned(ymd.month()),
                                         unsigned(ymd.day()), tod / 3600, tod / 60 % 60, tod % 60);
        const std::int64_t expected = d * 86400 + tod;
        std::int32_t seconds = 0;
        ASSERT_TRUE(DateTimeToDeviceSeconds(when, seconds)) << d;
        ASSERT_EQ(seconds, expected) << d;
        const DeviceDateTime back = DeviceSecondsToDateTime(seconds);
        ASSERT_EQ(back.year, when.year) << d;
        ASSERT_EQ(back.month, when.month) << d;
        ASSERT_EQ(back.day, when.day) << d;
        ASSERT_EQ(back.hour * 3600 + back.minute * 60 + back.second, tod) << d;
        ASSERT_EQ(back.weekday, int(weekday{date}.iso_encoding()) - 1) << d;
    }
}

TEST(DeviceClock, LimitsOfTheSignedCount) {
    EXPECT_EQ(Seconds(When(1931, 12, 13, 20, 45, 52)), kMin);
    EXPECT_EQ(Seconds(When(2068, 1, 19, 3, 14, 7)), kMax);
    std::int32_t seconds = 77;
    EXPECT_FALSE(DateTimeToDeviceSeconds(When(1931, 12, 13, 20, 45, 51), seconds));
    EXPECT_FALSE(DateTimeToDeviceSeconds(When(2068, 1, 19, 3, 14, 8), seconds));
    EXPECT_FALSE(DateTimeToDeviceSeconds(When(-2000000000, 1, 1), seconds));
    EXPECT_FALSE(DateTimeToDeviceSeconds(When(2000000000, 1, 1), seconds));
    EXPECT_EQ(seconds, 77);

    const DeviceDateTime low = DeviceSecondsToDateTime(kMin);
    EXPECT_EQ((low.year * 100 + low.month) * 100 + low.day, 19311213);
    EXPECT_EQ((low.hour * 100 + low.minute) * 100 + low.second, 204552);
    const DeviceDateTime before = DeviceSecondsToDateTime(-1);
    EXPECT_EQ((before.year * 100 + before.month) * 100 + before.day, 19991231);
    EXPECT_EQ((before.hour * 100 + before.minute) * 100 + before.second, 235959);
}

TEST(DeviceClock, RefusesFieldsOutOfRange) {
    EXPECT_EQ(Seconds(When(2024, 2, 29)), Seconds(When(2024, 3, 1)) - 86400);
    std::int32_t seconds = 0;
    for (const DeviceDateTime& bad :
         {When(2023, 2, 29), When(2000, 2, 30), When(2001, 4, 31), When(2001, 0, 1),
          When(2001, 13, 1), When(2001, 1, 0), When(2001, 1, 32), When(2001, 1, 1, 24),
          When(2001, 1, 1, -1), When(2001, 1, 1, 0, 60), When(2001, 1, 1, 0, 0, 60),
          When(2001, 1, 1, 0, 0, -1)})
        EXPECT_FALSE(DateTimeToDeviceSeconds(bad, seconds))
            << bad.year << "-" << bad.month << "-" << bad.day << " " << bad.hour << ":"
            << bad.minute << ":" << bad.second;
}

TEST(Catalogue, Durations) {
    EXPECT_EQ(FormatDurationDays(2 * 86400 + 3 * 3600 + 4 * 60), "02.03:04");
    EXPECT_EQ(FormatDurationDays(35 * 60), "00.00:35");
    EXPECT_EQ(FormatDurationDays(123 * 86400 + 59), "123.00:00");
    EXPECT_EQ(FormatDurationDays(-5), "00.00:00");
    EXPECT_EQ(FormatDurationMinutes(3600 + 2 * 60 + 3), "02.03");
}

TEST(Catalogue, TextsAndCodes) {
    EXPECT_EQ(BaudText(9), "Не понял");
    EXPECT_EQ(BaudText(5), "230400");
    EXPECT_EQ(BaudRate(4), 115200);
    EXPECT_EQ(BaudRate(6), BaudRate(0));
    EXPECT_EQ(BaudRate(1000), 9600);
    EXPECT_EQ(ParityText(1), "EVEN");
    EXPECT_EQ(ParityText(7), "Не понял");
    EXPECT_EQ(StopBitsText(2), "1b5");
    EXPECT_EQ(StopBitsText(3), "Не понял");
    EXPECT_EQ(FormatHexByte(7), "0x07");
    EXPECT_EQ(FormatHexByte(500), "0x1F4");
    EXPECT_EQ(FormatVersion(1, 0, 12, 3), "1.0.12.3");
    EXPECT_EQ(DeviceKindKey(1), "TL_7150");
    EXPECT_EQ(DeviceKindName(2), "СКУ");
    EXPECT_EQ(DeviceKindKey(3), "");
    EXPECT_EQ(UnitText(5), "°C");
    EXPECT_EQ(UnitText(6), "");
}

}  // namespace
}  // namespace veltrona
