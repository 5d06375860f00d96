#include "devices/inverter/inverter_view.h"

#include <algorithm>
#include <vector>

#include "devices/inverter/inverter_texts.h"
#include "link/block_helpers.h"
#include "link/register_sets.h"

namespace veltrona {

namespace {

constexpr std::size_t kCommandIndex = kInvCommand - kInverterBlocks[kInverterBlockIdent].base;
constexpr std::size_t kParameterLowIndex = kCommandIndex + 1;
constexpr std::size_t kParameterHighIndex = kCommandIndex + 2;

struct StateRegister {
    std::uint16_t address;
    InverterEnumeration enumeration;
};

constexpr std::array<StateRegister, 7> kStateRegisters{{
    {kInvChargeState, InverterEnumeration::kChargeState},
    {kInvOperatingState, InverterEnumeration::kOperatingState},
    {kInvInverterState, InverterEnumeration::kInverterState},
    {kInvChargeStateAlert, InverterEnumeration::kChargeState},
    {kInvOperatingStateAlert, InverterEnumeration::kOperatingState},
    {kInvSwitching, InverterEnumeration::kSwitching},
    {kInvAlarmState, InverterEnumeration::kAlarmState},
}};

void CopyAllToSet(std::span<const std::uint16_t> values, std::span<const RegisterDescriptor> table,
                  std::span<std::uint16_t> set) {
    const std::size_t count = std::min({values.size(), table.size(), set.size()});
    for (std::size_t i = 0; i < count; ++i)
        CopyRegisterToSet(values, i, table[i], set);
}

std::span<const std::uint16_t> WriteSource(const DeviceModel& model, const InverterView& view) {
    switch (model.write_block) {
        case kInverterBlockIdent:
            return view.command;
        case kInverterBlockSettings:
            return model.write_step == 1 ? view.file_settings : view.edited;
        case kInverterBlockLink:
            return view.link;
        case kInverterBlockHidden:
            return view.hidden;
        default:
            return {};
    }
}

}  // namespace

std::span<std::uint16_t> InverterReceivedSet(InverterView& view, std::size_t block) {
    switch (block) {
        case kInverterBlockIdent:
            return view.received.ident;
        case kInverterBlockLive:
            return view.received.live;
        case kInverterBlockSettings:
            return view.received.settings;
        case kInverterBlockSettingsMin:
            return view.received.minimum;
        case kInverterBlockSettingsMax:
            return view.received.maximum;
        case kInverterBlockLink:
            return view.received.link;
        case kInverterBlockInner:
            return view.received.inner;
        case kInverterBlockHidden:
            return view.received.hidden;
        default:
            return {};
    }
}

std::span<const std::uint16_t> InverterReceivedSet(const InverterView& view, std::size_t block) {
    return InverterReceivedSet(const_cast<InverterView&>(view), block);
}

std::span<std::uint16_t> InverterWrittenSet(InverterView& view, std::size_t block) {
    switch (block) {
        case kInverterBlockIdent:
            return view.written.ident;
        case kInverterBlockSettings:
            return view.written.settings;
        case kInverterBlockLink:
            return view.written.link;
        case kInverterBlockHidden:
            return view.written.hidden;
        default:
            return {};
    }
}

std::span<const std::uint16_t> InverterWrittenSet(const InverterView& view, std::size_t block) {
    return InverterWrittenSet(const_cast<InverterView&>(view), block);
}

std::uint16_t InverterReceivedWord(const InverterView& view, std::uint16_t address) {
    const std::optional<InverterRegisterRef> where = InverterLocate(address);
    return where ? InverterReceivedSet(view, where->block)[where->index] : 0;
}

std::uint32_t InverterReceivedPair(const InverterView& view, std::uint16_t upper_address) {
    const std::optional<InverterRegisterRef> where = InverterLocate(upper_address);
    return where ? PairInSet(InverterReceivedSet(view, where->block), where->index) : 0;
}

void MarkInverterPortOpened(InverterView& view) {
    view.not_available = true;
    view.availability_changed = 0;
    view.previous_relays = 0;
}

void TakeReceivedValues(DeviceModel& model, InverterView& view) {
    if (!FollowReachability(model, view.not_available, view.availability_changed)) return;
    RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) {
        const BootRecord* boot = model.boot.get();
        if (model.current_block == kBootBlock && boot != nullptr &&
            boot->current_operation == kBootInfo1) {
            CopyAllToSet(boot->info1, InverterBootInfoDescriptors(), view.boot_info);
        }
        return;
    }
    TakeFreshRegisters(*block, model.current_block, InverterDescriptor,
                       InverterReceivedSet(view, model.current_block));
}

void TakeWrittenValues(DeviceModel& model, InverterView& view) {
    if (!FollowReachability(model, view.not_available, view.availability_changed)) return;
    const RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return;
    CopyAllToSet(block->values_to_write, InverterDescriptors(model.current_block),
                 InverterWrittenSet(view, model.current_block));
}

bool PutValuesToWrite(DeviceModel& model, const InverterView& view) {
    const std::span<const std::uint16_t> source = WriteSource(model, view);
    const std::span<const RegisterDescriptor> table = InverterDescriptors(model.write_block);
    if (source.empty() || model.write_block >= model.blocks.size()) return false;
    CopySetToValues(source, table, model.blocks[model.write_block].values_to_write);
    return true;
}

void TakeWriteResult(const DeviceModel& model, InverterView& view) {
    const RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr || model.current_block >= kInverterBlockCount ||
        block->last_write_result == 0) {
        return;
    }
    view.failed_writes |= static_cast<std::uint8_t>(1u << model.current_block);
}

bool QueueInverterBlockWrite(DeviceModel& model, InverterView& view, std::uint16_t block_index) {
    if (block_index != kInverterBlockSettings && block_index != kInverterBlockLink &&
        block_index != kInverterBlockHidden) {
        return false;
    }
    if (block_index >= model.blocks.size()) return false;
    RegisterBlock& block = model.blocks[block_index];
    model.write_block = block_index;
    model.write_step = 0;
    PutValuesToWrite(model, view);
    // A result left by an earlier write must not count against this one.
    block.last_write_result = 0;
    view.failed_writes &= static_cast<std::uint8_t>(~(1u << block_index));
    RequestWholeBlockWrite(block);
    return true;
}

InverterWriteProgress InverterWriteProgressOf(const DeviceModel& model, const InverterView& view,
                                              std::size_t block_index) {
    InverterWriteProgress progress;
    if (block_index >= model.blocks.size()) return progress;
    const RegisterBlock& block = model.blocks[block_index];
    const bool failed =
        block.last_write_result != 0 ||
        (block_index < kInverterBlockCount && (view.failed_writes >> block_index & 1) != 0);
    const std::size_t bytes = std::min(
        {std::size_t{block.map_bytes}, block.edit_map.size(), block.write_done_map.size()});
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::uint8_t edited = block.edit_map[i];
        if (edited == 0) continue;
        if ((edited & block.write_done_map[i]) != edited) {
            progress.result |= kInvWriteProgressPending;
            break;
        }
        if (failed) {
            progress.result = kInvWriteProgressDataError;
            break;
        }
        ++progress.count;
        progress.result |= kInvWriteProgressDone;
    }
    return progress;
}

SettingsWriteStep InverterSettingsWriteStep(const DeviceModel& model, const InverterView& view,
                                            std::size_t block) {
    if (block >= model.blocks.size()) return {};
    const InverterWriteProgress progress = InverterWriteProgressOf(model, view, block);
    return SettingsWriteStep{model.blocks[block].map_bytes, progress.count,
                             (progress.result & kInvWriteProgressDataError) != 0};
}

bool QueueInverterCommand(DeviceModel& model, InverterView& view, std::uint16_t code,
                          std::uint32_t parameter) {
    if (view.not_available || model.blocks.size() <= kInverterBlockIdent) return false;
    RegisterBlock& block = model.blocks[kInverterBlockIdent];
    view.command[kCommandIndex] = code;
    view.command[kParameterLowIndex] = static_cast<std::uint16_t>(parameter);
    view.command[kParameterHighIndex] = static_cast<std::uint16_t>(parameter >> 16);
    RequestRegistersWrite(block, kCommandIndex, kParameterHighIndex - kCommandIndex + 1);
    model.write_block = kInverterBlockIdent;
    model.write_step = 0;
    PutValuesToWrite(model, view);
    RequestWriteOnce(block);
    return true;
}

bool InverterRunning(const InverterView& view) {
    return (InverterReceivedWord(view, kInvDeviceStatus) & kInvStatusRunning) != 0;
}

std::uint16_t InverterOnOffCommand(const InverterView& view) {
    return InverterRunning(view) ? kInvCmdOff : kInvCmdOn;
}

std::string_view InverterStateText(const InverterView& view, std::uint16_t address) {
    for (const StateRegister& entry : kStateRegisters) {
        if (entry.address == address)
            return InverterEnumerationText(entry.enumeration, InverterReceivedWord(view, address));
    }
    return {};
}

bool TakeRelayChange(InverterView& view) {
    const std::uint16_t relays = InverterReceivedWord(view, kInvRelayState);
    const bool changed = relays != view.previous_relays;
    view.previous_relays = relays;
    return changed;
}

}  // namespace veltrona
