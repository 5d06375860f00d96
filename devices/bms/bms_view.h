#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/bms/bms_map.h"
#include "link/device_model.h"

namespace veltrona {

// One slot per register of a block: a 32-bit pair fills the slots of both its registers, low
// half first.
template <std::uint16_t Block>
using BmsBlockSet = std::array<std::uint16_t, kBmsBlocks[Block].count>;

// The values last received from the BMS, block by block.
struct BmsView {
    BmsBlockSet<kBmsBlockStatus> status{};
    BmsBlockSet<kBmsBlockCellVoltage> cell_voltage{};
    BmsBlockSet<kBmsBlockCellTemperature> cell_temperature{};
    BmsBlockSet<kBmsBlockCellStatus> cell_status{};
    BmsBlockSet<kBmsBlockMode> mode{};
    BmsBlockSet<kBmsBlockOperating> operating{};
    BmsBlockSet<kBmsBlockProtection> protection{};
    BmsBlockSet<kBmsBlockLink> link{};
    BmsBlockSet<kBmsBlockJournal> journal{};
    bool not_available = false;
    std::uint8_t availability_changed = 0;
};

// The set of a block; empty for an unknown block.
std::span<std::uint16_t> BmsReceivedSet(BmsView& view, std::size_t block);
std::span<const std::uint16_t> BmsReceivedSet(const BmsView& view, std::size_t block);

// The port has opened: not available until the first answered read.
void MarkBmsPortOpened(BmsView& view);

// After every read transaction of the BMS, answered or not. The not-available flag follows
// the unreachable mark, but only an answered transaction clears it; while the BMS is
// unreachable nothing is copied. Otherwise the fresh registers of the current block go into
// its set (their fresh bits cleared), a pair by its upper register.
void TakeReceivedValues(DeviceModel& model, BmsView& view);

}  // namespace veltrona
