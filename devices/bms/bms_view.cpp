#include "devices/bms/bms_view.h"

#include <algorithm>

#include "link/register_sets.h"

namespace veltrona {

namespace {

// True when reachable. A miss short of the unreachable mark is no news: while the port has
// just opened it must not make an absent BMS look available.
bool FollowReachability(const DeviceModel& model, BmsView& view) {
    const bool unreachable = IsUnreachable(model);
    const bool not_available = unreachable || (view.not_available && model.failures != 0);
    view.availability_changed = view.not_available != not_available ? 1 : 0;
    view.not_available = not_available;
    return !unreachable;
}

}  // namespace

std::span<std::uint16_t> BmsReceivedSet(BmsView& view, std::size_t block) {
    switch (block) {
        case kBmsBlockStatus:
            return view.status;
        case kBmsBlockCellVoltage:
            return view.cell_voltage;
        case kBmsBlockCellTemperature:
            return view.cell_temperature;
        case kBmsBlockCellStatus:
            return view.cell_status;
        case kBmsBlockMode:
            return view.mode;
        case kBmsBlockOperating:
            return view.operating;
        case kBmsBlockProtection:
            return view.protection;
        case kBmsBlockLink:
            return view.link;
        case kBmsBlockJournal:
            return view.journal;
        default:
            return {};
    }
}

std::span<const std::uint16_t> BmsReceivedSet(const BmsView& view, std::size_t block) {
    return BmsReceivedSet(const_cast<BmsView&>(view), block);
}

void MarkBmsPortOpened(BmsView& view) {
    view.not_available = true;
    view.availability_changed = 0;
}

void TakeReceivedValues(DeviceModel& model, BmsView& view) {
    if (!FollowReachability(model, view)) return;
    RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return;
    const std::span<std::uint16_t> set = BmsReceivedSet(view, model.current_block);
    const std::size_t count =
        std::min({std::size_t{block->count}, block->values_read.size(), set.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (!TestBit(block->fresh_map, i)) continue;
        ClearBit(block->fresh_map, i);
        CopyRegisterToSet(block->values_read, i, *BmsDescriptor(model.current_block, i), set);
    }
}

}  // namespace veltrona
