#include "files/device_settings_file.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "files/atomic_save.h"
#include "files/cp1251.h"

namespace veltrona {

namespace {

constexpr std::size_t kKeyWidth = 48;
constexpr std::size_t kValueWidth = 5;
constexpr std::size_t kMarkerWidth = 8;

// Signed registers are stored as their two's complement, so both readings of 16 bits pass.
constexpr std::int64_t kMinValue = -32768;
constexpr std::int64_t kMaxValue = 65535;

bool AllIndexesIn(std::span<const DeviceSettingsKey> keys, std::size_t size) {
    return std::all_of(keys.begin(), keys.end(),
                       [size](const DeviceSettingsKey& entry) { return entry.index < size; });
}

bool Refuse(const MessageSink& messages, std::string_view text) {
    messages(text, kCaptionMessage, MessageButtons::kOk);
    return false;
}

constexpr std::string_view kWriteFailed = "Ошибка записи файла";
constexpr std::string_view kReadFailed = "Ошибка чтения файла";

// A chosen name that already ends in ".ini", in whatever letter case, is the file the user
// chose; file names are case sensitive, so "X.ini" beside "X.INI" would be another file.
std::filesystem::path SettingsPath(std::filesystem::path chosen) {
    if (!SameTextCp1251(chosen.extension().string(), ".ini")) chosen.replace_extension(".ini");
    return chosen;
}

std::optional<std::vector<std::string>> FileKeys(std::span<const DeviceSettingsKey> keys) {
    std::vector<std::string> file_keys;
    file_keys.reserve(keys.size());
    for (const DeviceSettingsKey& entry : keys) {
        std::optional<std::string> key = Utf8ToCp1251(entry.key);
        if (!key) return std::nullopt;
        file_keys.push_back(std::move(*key));
    }
    return file_keys;
}

}  // namespace

std::optional<std::string> ComposeDeviceSettings(std::string_view title,
                                                 std::span<const DeviceSettingsKey> keys,
                                                 std::span<const std::uint16_t> values) {
    const std::optional<std::string> file_title = Utf8ToCp1251(title);
    if (!file_title) return std::nullopt;
    std::string text = *file_title + std::string(kLineEnd);
    for (const DeviceSettingsKey& entry : keys) {
        const std::optional<std::string> key = Utf8ToCp1251(entry.key);
        const std::optional<std::string> comment = Utf8ToCp1251(entry.comment);
        if (!key || !comment) return std::nullopt;
        text += PadRight(*key, kKeyWidth);
        text += kSeparator;
        text += PadLeft(std::to_string(values[entry.index]), kValueWidth);
        text += PadLeft(kCommentMarker, kMarkerWidth);
        text += *comment;
        text += kLineEnd;
    }
    return text;
}

bool SaveDeviceSettings(const std::filesystem::path& chosen, std::string_view title,
                        std::span<const DeviceSettingsKey> keys,
                        std::span<const std::uint16_t> values, const MessageSink& messages) {
    if (values.empty() || !AllIndexesIn(keys, values.size())) {
        messages("Настройки не определены", kCaptionMessage, MessageButtons::kOk);
        return false;
    }
    // Composed first: a text that cannot be converted is not worth the overwrite question.
    const std::optional<std::string> bytes = ComposeDeviceSettings(title, keys, values);
    if (!bytes) return Refuse(messages, kWriteFailed);
    const std::filesystem::path path = SettingsPath(chosen);
    std::error_code error;
    if (std::filesystem::exists(path, error) &&
        messages("Файл с указанным именем уже существует\r\nЖелаете переписать", kCaptionMessage,
                 MessageButtons::kYesNo) != MessageAnswer::kYes) {
        return false;
    }
    return AtomicSave(path, *bytes) || Refuse(messages, kWriteFailed);
}

bool ReadDeviceSettings(ByteSource& source, std::string_view title,
                        std::span<const DeviceSettingsKey> keys, std::span<std::uint16_t> target,
                        const MessageSink& messages) {
    const std::optional<std::string> file_title = Utf8ToCp1251(title);
    const std::optional<std::vector<std::string>> file_keys = FileKeys(keys);
    if (!file_title || !file_keys) return Refuse(messages, kReadFailed);
    LineReader lines(source);
    if (!lines.Next() || !SameTextCp1251(lines.Line().whole, *file_title)) {
        messages("Файл не содержит настроек прибора", kCaptionMessage, MessageButtons::kOk);
        return false;
    }

    while (lines.Next()) {
        const SplitResult& line = lines.Line();
        if (line.key.empty()) continue;
        const auto found =
            std::find_if(file_keys->begin(), file_keys->end(),
                         [&line](const std::string& key) { return SameTextCp1251(key, line.key); });
        if (found == file_keys->end()) continue;
        const DeviceSettingsKey& entry = keys[static_cast<std::size_t>(found - file_keys->begin())];
        if (entry.index >= target.size()) continue;

        std::int64_t value = 0;
        if (!line.value.empty() &&
            (!ParseDecimal(line.value, value) || value < kMinValue || value > kMaxValue)) {
            const std::optional<std::string> key = Cp1251ToUtf8(line.key);
            const std::optional<std::string> text = Cp1251ToUtf8(line.value);
            if (!key || !text) return Refuse(messages, kReadFailed);
            return Refuse(messages, "Недопустимое значение параметра " + *key + "\r\n" + *text);
        }
        target[entry.index] = static_cast<std::uint16_t>(value);
    }
    return !lines.Failed() || Refuse(messages, kReadFailed);
}

bool LoadDeviceSettings(const std::filesystem::path& path, std::string_view title,
                        std::span<const DeviceSettingsKey> keys, std::span<std::uint16_t> target,
                        const MessageSink& messages) {
    FileSource source;
    if (!OpenSettingsFile(source, path, messages)) {
        messages("Ошибка открытия файла", kCaptionMessage, MessageButtons::kOk);
        return false;
    }
    return ReadDeviceSettings(source, title, keys, target, messages);
}

}  // namespace veltrona
