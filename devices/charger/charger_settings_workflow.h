#pragma once

#include <filesystem>
#include <string_view>

#include "devices/charger/charger_view.h"
#include "devices/settings_write_step.h"
#include "files/file_messages.h"
#include "link/device_model.h"

namespace veltrona {

// First line of a charger settings file.
inline constexpr std::string_view kChargerSettingsTitle = "НАСТРОЙКИ ПРИБОРА ТАРВОЛЕН";

inline constexpr std::string_view kSettingsNotAvailable = "Устройство не доступно";
inline constexpr std::string_view kSettingsUndefined = "Настройки не определены";
inline constexpr std::string_view kSettingsInvalid = "Не корректные настройки";

// Open: loads the file into a copy of the file settings and takes it over only when the whole
// file was read, so a failed load changes nothing. On success the edited settings are the file
// settings, the link set is the received one and the source is 1.
bool OpenChargerSettings(ChargerView& view, const std::filesystem::path& path,
                         const MessageSink& messages);

// Save: the edited settings as they stand, without validation.
bool SaveChargerSettings(const ChargerView& view, const std::filesystem::path& chosen,
                         const MessageSink& messages);

// Receive: the values polled last become the edited settings and the link set; source 0.
// False (nothing done) while the charger is not available.
bool ReceiveChargerSettings(ChargerView& view);

// Undo: back to the file settings (source 1) or the received settings (source 0); the link set
// back to the received one.
void UndoChargerSettings(ChargerView& view);

// A link set the device can take: address 1..247, baud code 0..5, parity and stop-bit codes
// 0..2 (high and low byte of the frame format).
bool IsValidChargerLinkSet(const ChargerLinkValues& link);

enum class SendRefusal { kNone, kNotAvailable, kUndefined, kInvalidSettings };

// Send: the checks, then validation of the edited settings (corrections stay, passed or not),
// then the settings block and the link block queued for writing. The text of a refusal is
// SendRefusalText.
SendRefusal SendChargerSettings(DeviceModel& model, ChargerView& view);
std::string_view SendRefusalText(SendRefusal refusal);

// The write of one block as Send queues it: every register of the block in the edit and
// write-request maps, the write-done map cleared, the values taken from the edited settings
// (block 2) or the link set (block 4).
void QueueChargerSettingsWrite(DeviceModel& model, const ChargerView& view);
void QueueChargerLinkWrite(DeviceModel& model, const ChargerView& view);

// The write progress of block 2 or 4 after a write reply.
SettingsWriteStep ChargerSettingsWriteStep(const DeviceModel& model, std::size_t block);

}  // namespace veltrona
