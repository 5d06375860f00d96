#pragma once

#include <chrono>
#include <cstdint>

namespace veltrona {

inline constexpr std::uint16_t kFrameCapacity = 256;

// One frame buffer: the transmit slot and each receive slot of the ring.
struct FrameSlot {
    std::uint8_t data[kFrameCapacity] = {};
    std::uint16_t length = 0;
    std::uint16_t capacity = kFrameCapacity;
    bool ready = false;
    // More bytes arrived than the slot holds: what it holds is no whole frame.
    bool overflowed = false;
    std::chrono::system_clock::time_point stamp{};
};

}  // namespace veltrona
