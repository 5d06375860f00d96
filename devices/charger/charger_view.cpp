#include "devices/charger/charger_view.h"

#include <algorithm>
#include <cstdio>

#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "link/block_helpers.h"
#include "link/register_sets.h"

namespace veltrona {

namespace {

constexpr std::uint16_t kIdentBase = kChargerBlocks[kChargerBlockIdent].base;
constexpr std::uint16_t kLiveBase = kChargerBlocks[kChargerBlockLive].base;
constexpr std::size_t kCommandIndex = kChrgCommand - kIdentBase;
constexpr std::size_t kParameterIndex = kChrgCommandParameter - kIdentBase;
constexpr std::size_t kAnswerIndex = kChrgAnswer - kLiveBase;
constexpr std::size_t kAnswerResultIndex = kChrgAnswerResult - kLiveBase;
constexpr std::uint16_t kControlBase = kChargerBlocks[kChargerBlockControl].base;
constexpr std::size_t kCalibrationFirstIndex = kChrgCalibrationRequest - kControlBase;
constexpr std::size_t kCalibrationLastIndex = kChrgCoefCurrentSet - kControlBase;

// Largest codes the status line names; anything above shows the table's fallback.
constexpr std::uint16_t kAnswerClamp = 17;
constexpr std::uint16_t kResultClamp = 4;

struct ErrorRegister {
    std::size_t index;  // in the live block
    std::string_view (*text)(std::uint32_t);
};

// In detection order, which is the kind order.
constexpr std::array<ErrorRegister, kChargerErrorKinds> kErrorRegisters{{
    {kChrgErr - kLiveBase, ErrorTextC},
    {kChrgErrCloseChrg - kLiveBase, ErrorTextA},
    {kChrgErrBig - kLiveBase, ErrorTextA},
    {kChrgErrSmall - kLiveBase, ErrorTextB},
}};

// The unreachable-mark rule shared by received and written values; true when reachable.
bool FollowReachability(const DeviceModel& model, ChargerView& view) {
    const bool unreachable = IsUnreachable(model);
    view.availability_changed = view.not_available != unreachable ? 1 : 0;
    view.not_available = unreachable;
    return !unreachable;
}

std::span<const std::uint16_t> WriteSource(const DeviceModel& model, const ChargerView& view) {
    switch (model.write_block) {
        case kChargerBlockIdent:
            return view.command;
        case kChargerBlockSettings:
            return model.write_step == 1 ? view.file_settings : view.edited;
        case kChargerBlockControl:
            return view.calibration;
        case kChargerBlockLink:
            return view.link;
        default:
            return {};
    }
}

void PutCommand(DeviceModel& model, ChargerView& view, std::uint16_t code,
                std::uint16_t parameter) {
    if (model.blocks.size() <= kChargerBlockIdent) return;
    RegisterBlock& block = model.blocks[kChargerBlockIdent];
    view.command[kCommandIndex] = code;
    view.command[kParameterIndex] = parameter;
    RequestRegistersWrite(block, kCommandIndex, kParameterIndex - kCommandIndex + 1);
    model.write_block = kChargerBlockIdent;
    model.write_step = 0;
    PutValuesToWrite(model, view);
    RequestWriteOnce(block);
}

// A command queued but not yet sent: clearing the register now would overwrite it, and the
// command going out replaces the answered one on the device anyway.
bool CommandWaiting(const DeviceModel& model, const ChargerView& view) {
    if (model.blocks.size() <= kChargerBlockIdent) return false;
    const RegisterBlock& block = model.blocks[kChargerBlockIdent];
    return (block.poll_mode & kPollWriteOnce) != 0 &&
           TestBit(block.write_request_map, kCommandIndex) && view.command[kCommandIndex] != 0;
}

// The read being taken holds all of 0x2908..0x290D.
bool BringsCalibration(const DeviceModel& model, const RegisterBlock& block) {
    if (model.current_block != kChargerBlockControl) return false;
    for (std::size_t i = kCalibrationFirstIndex; i <= kCalibrationLastIndex; ++i) {
        if (!TestBit(block.fresh_map, i)) return false;
    }
    return true;
}

}  // namespace

std::span<std::uint16_t> ChargerReceivedSet(ChargerView& view, std::size_t block) {
    switch (block) {
        case kChargerBlockIdent:
            return view.received.ident;
        case kChargerBlockLive:
            return view.received.live;
        case kChargerBlockSettings:
            return view.received.settings;
        case kChargerBlockControl:
            return view.received.control;
        case kChargerBlockLink:
            return view.received.link;
        case kChargerBlockCapability:
            return view.received.capability;
        default:
            return {};
    }
}

std::span<const std::uint16_t> ChargerReceivedSet(const ChargerView& view, std::size_t block) {
    return ChargerReceivedSet(const_cast<ChargerView&>(view), block);
}

std::span<std::uint16_t> ChargerWrittenSet(ChargerView& view, std::size_t block) {
    switch (block) {
        case kChargerBlockIdent:
            return view.written.ident;
        case kChargerBlockSettings:
            return view.written.settings;
        case kChargerBlockControl:
            return view.written.control;
        case kChargerBlockLink:
            return view.written.link;
        default:
            return {};
    }
}

std::span<const std::uint16_t> ChargerWrittenSet(const ChargerView& view, std::size_t block) {
    return ChargerWrittenSet(const_cast<ChargerView&>(view), block);
}

std::uint16_t ChargerReceivedWord(const ChargerView& view, std::uint16_t address) {
    const std::optional<ChargerRegisterRef> where = ChargerLocate(address);
    return where ? ChargerReceivedSet(view, where->block)[where->index] : 0;
}

std::uint32_t ChargerReceivedPair(const ChargerView& view, std::uint16_t upper_address) {
    const std::optional<ChargerRegisterRef> where = ChargerLocate(upper_address);
    return where ? PairInSet(ChargerReceivedSet(view, where->block), where->index) : 0;
}

bool CreateChargerModel(DeviceList& list, std::uint8_t address) {
    if (list.models.empty()) list.models.resize(1);
    list.models[0] = BuildDeviceModel(kChargerLayout, address, false);
    return list.models[0] != nullptr;
}

void DestroyChargerModel(DeviceList& list) {
    if (!list.models.empty()) list.models[0].reset();
}

void MarkChargerPortOpened(ChargerView& view) {
    view.not_available = true;
    view.availability_changed = 0;
    view.calibration_read = false;
    view.calibration_filled = false;
}

void TakeReceivedValues(DeviceModel& model, ChargerView& view) {
    if (!FollowReachability(model, view)) return;
    RegisterBlock* block = model.CurrentBlock();
    if (block == nullptr) return;
    if (BringsCalibration(model, *block)) view.calibration_read = true;
    TakeFreshRegisters(*block, model.current_block, ChargerDescriptor,
                       ChargerReceivedSet(view, model.current_block));
}

void TakeWrittenValues(DeviceModel& model, ChargerView& view) {
    if (!FollowReachability(model, view)) return;
    const RegisterBlock* block = model.CurrentBlock();
    const std::span<std::uint16_t> set = ChargerWrittenSet(view, model.current_block);
    const std::span<const RegisterDescriptor> table = ChargerDescriptors(model.current_block);
    if (block == nullptr) return;
    const std::size_t count = std::min({block->values_to_write.size(), set.size(), table.size()});
    for (std::size_t i = 0; i < count; ++i)
        CopyRegisterToSet(block->values_to_write, i, table[i], set);
}

bool PutValuesToWrite(DeviceModel& model, const ChargerView& view) {
    const std::span<const std::uint16_t> source = WriteSource(model, view);
    const std::span<const RegisterDescriptor> table = ChargerDescriptors(model.write_block);
    if (source.empty() || model.write_block >= model.blocks.size()) return false;
    CopySetToValues(source, table, model.blocks[model.write_block].values_to_write);
    return true;
}

ChargerWriteProgress ChargerWriteProgressOf(const DeviceModel& model, std::size_t block_index) {
    ChargerWriteProgress progress;
    if (block_index >= model.blocks.size()) return progress;
    const RegisterBlock& block = model.blocks[block_index];
    const std::size_t bytes = std::min(
        {std::size_t{block.map_bytes}, block.edit_map.size(), block.write_done_map.size()});
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::uint8_t edited = block.edit_map[i];
        if (edited == 0) continue;
        if ((edited & block.write_done_map[i]) != edited) {
            progress.result |= kChrgWriteProgressPending;
            break;
        }
        if (block.last_write_result != 0) {
            progress.result = kChrgWriteProgressDataError;
            break;
        }
        ++progress.count;
        progress.result |= kChrgWriteProgressDone;
    }
    return progress;
}

std::uint16_t ChargerCommandParameter(std::uint16_t code) {
    return code == kChrgCmdClearErrors ? kChrgClearErrorsParameter : 0;
}

bool QueueChargerCommand(DeviceModel& model, ChargerView& view, std::uint16_t code) {
    return QueueChargerCommand(model, view, code, ChargerCommandParameter(code));
}

bool QueueChargerCommand(DeviceModel& model, ChargerView& view, std::uint16_t code,
                         std::uint16_t parameter) {
    if (view.not_available) return false;
    PutCommand(model, view, code, parameter);
    return true;
}

std::string CommandStatusText(std::uint16_t answer, std::uint16_t result) {
    return std::string(kChrgTextCommand) + " " +
           std::string(CommandText(std::min(answer, kAnswerClamp))) + " " +
           std::string(CommandResultText(std::min(result, kResultClamp)));
}

std::optional<std::string> TakeCommandAnswer(DeviceModel& model, ChargerView& view) {
    const std::uint16_t answer = view.received.live[kAnswerIndex];
    std::optional<std::string> status;
    if (answer != view.last_answer && answer != 0) {
        status = CommandStatusText(answer, view.received.live[kAnswerResultIndex]);
        if (!CommandWaiting(model, view)) PutCommand(model, view, kChrgCmdNone, 0);
    }
    view.last_answer = answer;
    return status;
}

std::vector<ChargerErrorChange> DetectErrorChanges(ChargerView& view) {
    std::vector<ChargerErrorChange> changes;
    for (std::size_t kind = 0; kind < kErrorRegisters.size(); ++kind) {
        const std::uint16_t code = view.received.live[kErrorRegisters[kind].index];
        if (code == view.remembered_errors[kind]) continue;
        view.remembered_errors[kind] = code;
        changes.push_back({kind, code});
    }
    return changes;
}

std::string_view ChargerErrorText(std::size_t kind, std::uint16_t code) {
    return kind < kErrorRegisters.size() ? kErrorRegisters[kind].text(code) : kChrgErrorUnknown;
}

std::string FormatErrorTime(const DeviceDateTime& when) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d.%02d", when.day, when.month,
                  when.year, when.hour, when.minute, when.second);
    return text;
}

std::string FormatErrorLine(std::string_view time_text, std::size_t kind,
                            std::string_view error_text) {
    const auto padded = [](std::string_view text, std::size_t width) {
        std::string result(text);
        if (result.size() < width) result.append(width - result.size(), ' ');
        return result;
    };
    return padded(time_text, 24) + padded(ErrorKindLabel(kind), 16) + std::string(error_text);
}

std::vector<std::string> TakeErrorLines(ChargerView& view, const DeviceDateTime& now) {
    const std::string time = FormatErrorTime(now);
    std::vector<std::string> lines;
    for (const ChargerErrorChange& change : DetectErrorChanges(view))
        lines.push_back(
            FormatErrorLine(time, change.kind, ChargerErrorText(change.kind, change.code)));
    return lines;
}

}  // namespace veltrona
