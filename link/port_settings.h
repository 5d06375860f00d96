#pragma once

#include <cstdint>

namespace veltrona {

// Seven signed 32-bit fields in a fixed order; the worker copies them as one block.
struct PortSettings {
    std::int32_t Port = 1;  // n of "COMn"
    std::int32_t Baudrate = 115200;
    std::int32_t DataBits = 8;
    std::int32_t Parity = 0;          // 0 none, 1 odd, 2 even
    std::int32_t StopBits = 0;        // 0 one, 1 one and a half, 2 two
    std::int32_t TimeRest = 20000;    // microseconds
    std::int32_t TimeWait = 1600000;  // microseconds
};

}  // namespace veltrona
