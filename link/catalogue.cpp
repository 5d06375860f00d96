#include "link/catalogue.h"

#include <array>
#include <cstdio>
#include <limits>

namespace veltrona {

namespace {

constexpr std::string_view kNotRecognised = "Не понял";

template <typename T, std::size_t N>
T Clamped(const std::array<T, N>& table, std::size_t index) {
    return table[index < N ? index : N - 1];
}

template <std::size_t N>
std::string_view OrEmpty(const std::array<std::string_view, N>& table, std::size_t index) {
    return index < N ? table[index] : std::string_view{};
}

constexpr std::array<std::string_view, kDeviceKindCount> kDeviceKindKeys{"TARVOLEN", "TL_7150",
                                                                         "BMS"};
constexpr std::array<std::string_view, kDeviceKindCount> kDeviceKindNames{"Тарволен", "ТЛ-7150",
                                                                          "СКУ"};

// The last entry of each text table is the one every larger code shows.
constexpr std::array<std::string_view, 7> kBaudTexts{"9600",   "19200",  "38400",       "57600",
                                                     "115200", "230400", kNotRecognised};
constexpr std::array<std::int32_t, 6> kBaudRates{9600, 19200, 38400, 57600, 115200, 230400};
constexpr std::array<std::string_view, 4> kParityTexts{"NONE", "EVEN", "ODD", kNotRecognised};
constexpr std::array<std::string_view, 4> kStopBitsTexts{"1b", "2b", "1b5", kNotRecognised};

constexpr std::array<std::string_view, 10> kUnitTexts{"В",  "А", "Вт", "Вар", "Гц",
                                                      "°C", "",  "",   "",    ""};

constexpr std::int64_t kSecondsPerDay = 86400;
// Julian day number of 2000-01-01, the device clock's day 0.
constexpr std::int64_t kEpochJulianDay = 2451545;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month) {
    constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

std::string_view DeviceKindKey(std::size_t index) {
    return OrEmpty(kDeviceKindKeys, index);
}
std::string_view DeviceKindName(std::size_t index) {
    return OrEmpty(kDeviceKindNames, index);
}

std::string_view BaudText(unsigned code) {
    return Clamped(kBaudTexts, code);
}
std::string_view ParityText(unsigned code) {
    return Clamped(kParityTexts, code);
}
std::string_view StopBitsText(unsigned code) {
    return Clamped(kStopBitsTexts, code);
}

std::int32_t BaudRate(unsigned code) {
    return code < kBaudRates.size() ? kBaudRates[code] : kBaudRates[0];
}

std::string_view UnitText(std::size_t index) {
    return OrEmpty(kUnitTexts, index);
}

std::string FormatDurationDays(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    // Days may run past two digits; the pattern only sets the minimum.
    char text[48];
    const int length = std::snprintf(
        text, sizeof text, "%.2lld.%.2d:%.2d", static_cast<long long>(seconds / kSecondsPerDay),
        static_cast<int>(seconds / 3600 % 24), static_cast<int>(seconds / 60 % 60));
    return std::string(text, static_cast<std::size_t>(length));
}

std::string FormatDurationMinutes(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[16];
    const int length =
        std::snprintf(text, sizeof text, "%.2d.%.2d", static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60));
    return std::string(text, static_cast<std::size_t>(length));
}

std::string FormatHexByte(std::uint32_t value) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "0x%.2X", static_cast<unsigned>(value));
    return std::string(text, static_cast<std::size_t>(length));
}

std::string FormatVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{a}, unsigned{b},
                                     unsigned{c}, unsigned{d});
    return std::string(text, static_cast<std::size_t>(length));
}

bool DateTimeToDeviceSeconds(const DeviceDateTime& when, std::int32_t& seconds) {
    if (when.month < 1 || when.month > 12 || when.day < 1 ||
        when.day > DaysInMonth(when.year, when.month) || when.hour < 0 || when.hour > 23 ||
        when.minute < 0 || when.minute > 59 || when.second < 0 || when.second > 59)
        return false;
    // Julian day number; every term is non-negative for the years that can pass the range
    // check below, so truncating division is exact.
    const std::int64_t a = (14 - when.month) / 12;
    const std::int64_t y = std::int64_t{when.year} + 4800 - a;
    const std::int64_t m = when.month + 12 * a - 3;
    if (y < 0) return false;
    const std::int64_t julian =
        when.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
    const std::int64_t total = (julian - kEpochJulianDay) * kSecondsPerDay +
                               std::int64_t{when.hour} * 3600 + when.minute * 60 + when.second;
    if (total < std::numeric_limits<std::int32_t>::min() ||
        total > std::numeric_limits<std::int32_t>::max())
        return false;
    seconds = static_cast<std::int32_t>(total);
    return true;
}

DeviceDateTime DeviceSecondsToDateTime(std::int32_t seconds) {
    // Floor division keeps the time of day in 0..86399 for clocks before 2000 as well.
    const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
    const std::int64_t time_of_day = seconds - days * kSecondsPerDay;
    const std::int64_t julian = days + kEpochJulianDay;
    const std::int64_t b = (4 * (julian + 32044) + 3) / 146097;
    const std::int64_t c = (julian + 32044) - 146097 * b / 4;
    const std::int64_t d = (4 * c + 3) / 1461;
    const std::int64_t e = c - 1461 * d / 4;
    const std::int64_t m = (5 * e + 2) / 153;
    DeviceDateTime when;
    when.day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    when.month = static_cast<int>(m + 3 - 12 * (m / 10));
    when.year = static_cast<int>(100 * b + d - 4800 + m / 10);
    when.weekday = static_cast<int>(julian % 7);
    when.hour = static_cast<int>(time_of_day / 3600);
    when.minute = static_cast<int>(time_of_day / 60 % 60);
    when.second = static_cast<int>(time_of_day % 60);
    return when;
}

}  // namespace veltrona
