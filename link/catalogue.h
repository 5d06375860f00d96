#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltrona {

inline constexpr std::size_t kDeviceKindCount = 3;

// Device kinds by device-list index; out-of-range indices give an empty text.
std::string_view DeviceKindKey(std::size_t index);
std::string_view DeviceKindName(std::size_t index);

// The devices' own RS-485 line-setting codes. Texts clamp to the "not recognised" entry.
std::string_view BaudText(unsigned code);
std::string_view ParityText(unsigned code);
std::string_view StopBitsText(unsigned code);
// Codes without a rate count as code 0.
std::int32_t BaudRate(unsigned code);

std::string_view UnitText(std::size_t index);

// Durations in seconds; negative durations count as 0.
std::string FormatDurationDays(std::int64_t seconds);
std::string FormatDurationMinutes(std::int64_t seconds);
std::string FormatHexByte(std::uint32_t value);
std::string FormatVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

struct DeviceDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int weekday = 0;  // 0 Monday .. 6 Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seconds since 2000-01-01 00:00:00. False for fields out of range or a date the signed
// 32-bit count cannot hold.
bool DateTimeToDeviceSeconds(const DeviceDateTime& when, std::int32_t& seconds);
// Valid for the whole range, clocks before 2000 included.
DeviceDateTime DeviceSecondsToDateTime(std::int32_t seconds);

}  // namespace veltrona
