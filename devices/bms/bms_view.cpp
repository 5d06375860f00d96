#include "devices/bms/bms_view.h"

#include "link/block_helpers.h"
#include "link/register_sets.h"

namespace veltrona {

namespace {}  // namespace

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
    if (!FollowReachability(model, view.not_available, view.availability_changed)) return;
    RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return;
    TakeFreshRegisters(*block, model.current_block, BmsDescriptor,
                       BmsReceivedSet(view, model.current_block));
}

}  // namespace veltrona
