#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "files/file_messages.h"
#include "files/key_value_file.h"

namespace veltrona {

// One line of a device settings file: the register's settings key, its index within the
// settings block and the comment written after it. Texts are UTF-8.
struct DeviceSettingsKey {
    std::string_view key;
    std::size_t index = 0;
    std::string_view comment;
};

// The file's exact bytes: the title line, then one line per key in table order. Nullopt when
// the texts cannot be converted to the code page.
std::optional<std::string> ComposeDeviceSettings(std::string_view title,
                                                 std::span<const DeviceSettingsKey> keys,
                                                 std::span<const std::uint16_t> values);

// Saves to the chosen name with its extension replaced by ".ini" (kept when it is ".ini" in
// other letter case), asking before it replaces an existing file. False when nothing was saved
// (no values, declined, or the texts could not be converted or written).
bool SaveDeviceSettings(const std::filesystem::path& chosen, std::string_view title,
                        std::span<const DeviceSettingsKey> keys,
                        std::span<const std::uint16_t> values, const MessageSink& messages);

// Loads into target, indexed like the keys. False when the load failed (a read or conversion
// failure among them): the window then takes nothing over, though target keeps the registers
// read before the failing line.
bool LoadDeviceSettings(const std::filesystem::path& path, std::string_view title,
                        std::span<const DeviceSettingsKey> keys, std::span<std::uint16_t> target,
                        const MessageSink& messages);
bool ReadDeviceSettings(ByteSource& source, std::string_view title,
                        std::span<const DeviceSettingsKey> keys, std::span<std::uint16_t> target,
                        const MessageSink& messages);

}  // namespace veltrona
