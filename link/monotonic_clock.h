#pragma once

#include <chrono>
#include <cstdint>

namespace veltrona {

// Link-layer time: microseconds on a clock that never jumps with the wall clock.
inline std::int64_t MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace veltrona
