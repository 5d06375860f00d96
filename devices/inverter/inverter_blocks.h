#pragma once

#include "link/device_model.h"

namespace veltrona {

inline constexpr std::uint16_t kInverterBlockIdent = 0;
inline constexpr std::uint16_t kInverterBlockLive = 1;
inline constexpr std::uint16_t kInverterBlockSettings = 2;
inline constexpr std::uint16_t kInverterBlockSettingsMin = 3;
inline constexpr std::uint16_t kInverterBlockSettingsMax = 4;
inline constexpr std::uint16_t kInverterBlockLink = 5;
inline constexpr std::uint16_t kInverterBlockInner = 6;
inline constexpr std::uint16_t kInverterBlockHidden = 7;

// access, poll, base, registers, map bytes, read chunk, write chunk, read and write requests
inline constexpr BlockLayout kInverterBlocks[] = {
    {kAccessReadWrite, kPollReadEvery, 0x0000, 13, 2, 13, 5, 1, 3},
    {kAccessRead, kPollReadEvery, 0x0700, 26, 4, 26, 26, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0x3600, 55, 7, 55, 1, 1, 55},
    {kAccessRead, kPollReadEvery, 0x3700, 55, 7, 55, 55, 1, 1},
    {kAccessRead, kPollReadEvery, 0x3800, 55, 7, 55, 55, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0x2000, 3, 1, 3, 1, 1, 3},
    {kAccessRead, kPollReadEvery, 0x071A, 18, 3, 18, 1, 1, 18},
    {kAccessReadWrite, kPollReadEvery, 0x3637, 32, 4, 32, 1, 1, 32},
};

inline constexpr DeviceLayout kInverterLayout{kKindInverter, kInverterBlocks};

}  // namespace veltrona
