#include "link/traffic_line.h"

#include <algorithm>
#include <cstdio>

namespace veltrona {

std::string FormatTrafficLine(bool received, const std::uint8_t* frame, std::size_t length,
                              int hour, int minute, int second, int millisecond) {
    constexpr char kHexDigits[] = "0123456789ABCDEF";
    if (frame == nullptr) length = 0;

    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d.%02d.%03d", std::clamp(hour, 0, 23),
                  std::clamp(minute, 0, 59), std::clamp(second, 0, 59),
                  std::clamp(millisecond, 0, 999));

    std::string line = received ? "rx " : "tx ";
    line.reserve(line.size() + 14 + length * 3);
    line += stamp;
    line += "  ";
    for (std::size_t i = 0; i < length; ++i) {
        if (i != 0) line += ' ';
        line += kHexDigits[frame[i] >> 4];
        line += kHexDigits[frame[i] & 0x0F];
    }
    return line;
}

}  // namespace veltrona
