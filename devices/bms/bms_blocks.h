#pragma once

#include "link/device_model.h"

namespace veltrona {

inline constexpr std::uint16_t kBmsBlockStatus = 0;
inline constexpr std::uint16_t kBmsBlockCellVoltage = 1;
inline constexpr std::uint16_t kBmsBlockCellTemperature = 2;
inline constexpr std::uint16_t kBmsBlockCellStatus = 3;
inline constexpr std::uint16_t kBmsBlockMode = 4;
inline constexpr std::uint16_t kBmsBlockOperating = 5;
inline constexpr std::uint16_t kBmsBlockProtection = 6;
inline constexpr std::uint16_t kBmsBlockLink = 7;
inline constexpr std::uint16_t kBmsBlockJournal = 8;

// access, poll, base, registers, map bytes, read chunk, write chunk, read and write requests
inline constexpr BlockLayout kBmsBlocks[] = {
    {kAccessReadWrite, kPollReadEvery, 0x0000, 50, 7, 50, 50, 1, 1},
    {kAccessRead, kPollReadEvery, 0x0032, 200, 25, 125, 125, 2, 2},
    {kAccessRead, kPollReadEvery, 0x00FA, 200, 25, 125, 125, 2, 2},
    {kAccessRead, kPollReadEvery, 0x01C2, 200, 25, 125, 125, 2, 2},
    {kAccessReadWrite, kPollReadEvery, 0x6803, 3, 1, 3, 1, 1, 3},
    {kAccessReadWrite, kPollReadEvery, 0x6C00, 45, 6, 45, 45, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0x7000, 50, 7, 50, 50, 1, 1},
    {kAccessReadWrite, kPollReadEvery, 0x6800, 3, 1, 3, 1, 1, 3},
    {kAccessRead, kPollReadOnce, 0x7400, 3072, 384, 4, 1, 768, 3072},
};

inline constexpr DeviceLayout kBmsLayout{kKindBms, kBmsBlocks};

}  // namespace veltrona
