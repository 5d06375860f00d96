#pragma once

#include "link/device_model.h"

namespace veltrona {

inline constexpr std::uint16_t kChargerBlockIdent = 0;
inline constexpr std::uint16_t kChargerBlockLive = 1;
inline constexpr std::uint16_t kChargerBlockSettings = 2;
inline constexpr std::uint16_t kChargerBlockControl = 3;
inline constexpr std::uint16_t kChargerBlockLink = 4;
inline constexpr std::uint16_t kChargerBlockCapability = 5;

// access, poll, base, registers, map bytes, read chunk, write chunk, read and write requests
inline constexpr BlockLayout kChargerBlocks[] = {
    {kAccessReadWrite, kPollReadEvery, 0x0000, 16, 2, 8, 8, 2, 2},
    {kAccessRead, kPollReadEvery, 0x0600, 64, 8, 8, 8, 8, 8},
    {kAccessReadWrite, kPollReadEvery, 0x2800, 256, 32, 8, 8, 32, 32},
    {kAccessReadWrite, kPollReadEvery, 0x2900, 32, 4, 8, 8, 4, 4},
    {kAccessReadWrite, kPollReadEvery, 0x2000, 3, 1, 8, 8, 1, 1},
    {kAccessRead, kPollReadEvery, 0x3000, 32, 4, 8, 8, 4, 4},
};

inline constexpr DeviceLayout kChargerLayout{kKindCharger, kChargerBlocks};

}  // namespace veltrona
