#include "devices/charger/charger_settings_workflow.h"

#include <algorithm>
#include <vector>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_map.h"
#include "files/device_settings_file.h"
#include "link/block_helpers.h"

namespace veltrona {
namespace {

constexpr std::uint16_t kLastBusAddress = 247;
constexpr std::uint16_t kLastBaudCode = 5;
constexpr std::uint16_t kLastFrameCode = 2;

// Every register of the block into the edit and write-request maps, then one write of it.
void QueueWholeBlock(DeviceModel& model, const ChargerView& view, std::uint16_t block_index) {
    if (block_index >= model.blocks.size()) return;
    RegisterBlock& block = model.blocks[block_index];
    model.write_block = block_index;
    model.write_step = 0;
    PutValuesToWrite(model, view);
    RequestWholeBlockWrite(block);
}

}  // namespace

bool OpenChargerSettings(ChargerView& view, const std::filesystem::path& path,
                         const MessageSink& messages) {
    // Keys missing from the file keep the previous load's values; a failed load keeps all.
    ChargerSettingsValues loaded = view.file_settings;
    if (!LoadDeviceSettings(path, kChargerSettingsTitle, ChargerSettingsKeys(), loaded, messages)) {
        return false;
    }
    view.file_settings = loaded;
    view.edited = view.file_settings;
    view.link = view.received.link;
    view.settings_source = 1;
    view.settings_defined = true;
    return true;
}

bool SaveChargerSettings(const ChargerView& view, const std::filesystem::path& chosen,
                         const MessageSink& messages) {
    return SaveDeviceSettings(chosen, kChargerSettingsTitle, ChargerSettingsKeys(), view.edited,
                              messages);
}

bool ReceiveChargerSettings(ChargerView& view) {
    if (view.not_available) return false;
    view.edited = view.received.settings;
    view.link = view.received.link;
    view.settings_source = 0;
    view.settings_defined = true;
    return true;
}

void UndoChargerSettings(ChargerView& view) {
    view.edited = view.settings_source == 1 ? view.file_settings : view.received.settings;
    view.link = view.received.link;
}

bool IsValidChargerLinkSet(const ChargerLinkValues& link) {
    const std::uint16_t parity = link[2] >> 8;
    const std::uint16_t stop_bits = link[2] & 0xFF;
    return link[0] >= 1 && link[0] <= kLastBusAddress && link[1] <= kLastBaudCode &&
           parity <= kLastFrameCode && stop_bits <= kLastFrameCode;
}

SendRefusal SendChargerSettings(DeviceModel& model, ChargerView& view) {
    if (view.not_available) return SendRefusal::kNotAvailable;
    // Before any Receive or Open the edited set is all zeros: its link part names the
    // broadcast address, and its profile would wipe the device's.
    if (!view.settings_defined) return SendRefusal::kUndefined;
    if (!ValidateSettings(view.received.capability, view.edited).ok ||
        !IsValidChargerLinkSet(view.link)) {
        return SendRefusal::kInvalidSettings;
    }
    QueueChargerSettingsWrite(model, view);
    QueueChargerLinkWrite(model, view);
    return SendRefusal::kNone;
}

std::string_view SendRefusalText(SendRefusal refusal) {
    switch (refusal) {
        case SendRefusal::kNotAvailable:
            return kSettingsNotAvailable;
        case SendRefusal::kUndefined:
            return kSettingsUndefined;
        case SendRefusal::kInvalidSettings:
            return kSettingsInvalid;
        case SendRefusal::kNone:
            break;
    }
    return {};
}

void QueueChargerSettingsWrite(DeviceModel& model, const ChargerView& view) {
    QueueWholeBlock(model, view, kChargerBlockSettings);
}

void QueueChargerLinkWrite(DeviceModel& model, const ChargerView& view) {
    QueueWholeBlock(model, view, kChargerBlockLink);
}

SettingsWriteStep ChargerSettingsWriteStep(const DeviceModel& model, std::size_t block) {
    SettingsWriteStep step;
    if (block >= model.blocks.size()) return step;
    const ChargerWriteProgress progress = ChargerWriteProgressOf(model, block);
    step.maximum = model.blocks[block].map_bytes;
    step.position = progress.count;
    step.failed = (progress.result & kChrgWriteProgressDataError) != 0;
    return step;
}

}  // namespace veltrona
