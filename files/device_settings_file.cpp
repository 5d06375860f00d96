#include "files/device_settings_file.h"

#include <algorithm>
#include <system_error>
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

}  // namespace

std::string ComposeDeviceSettings(std::string_view title, std::span<const DeviceSettingsKey> keys,
                                  std::span<const std::uint16_t> values) {
    std::string text = Utf8ToCp1251(title) + std::string(kLineEnd);
    for (const DeviceSettingsKey& entry : keys) {
        text += PadRight(Utf8ToCp1251(entry.key), kKeyWidth);
        text += kSeparator;
        text += PadLeft(std::to_string(values[entry.index]), kValueWidth);
        text += PadLeft(kCommentMarker, kMarkerWidth);
        text += Utf8ToCp1251(entry.comment);
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
    std::filesystem::path path = chosen;
    path.replace_extension(".ini");
    std::error_code error;
    if (std::filesystem::exists(path, error) &&
        messages("Файл с указанным именем уже существует\r\nЖелаете переписать", kCaptionMessage,
                 MessageButtons::kYesNo) != MessageAnswer::kYes) {
        return false;
    }
    if (AtomicSave(path, ComposeDeviceSettings(title, keys, values))) return true;
    messages("Ошибка записи файла", kCaptionMessage, MessageButtons::kOk);
    return false;
}

bool ReadDeviceSettings(ByteSource& source, std::string_view title,
                        std::span<const DeviceSettingsKey> keys, std::span<std::uint16_t> target,
                        const MessageSink& messages) {
    LineReader lines(source);
    if (!lines.Next() || !SameTextCp1251(lines.Line().whole, Utf8ToCp1251(title))) {
        messages("Файл не содержит настроек прибора", kCaptionMessage, MessageButtons::kOk);
        return false;
    }
    std::vector<std::string> file_keys;
    file_keys.reserve(keys.size());
    for (const DeviceSettingsKey& entry : keys)
        file_keys.push_back(Utf8ToCp1251(entry.key));

    while (lines.Next()) {
        const SplitResult& line = lines.Line();
        if (line.key.empty()) continue;
        const auto found =
            std::find_if(file_keys.begin(), file_keys.end(),
                         [&line](const std::string& key) { return SameTextCp1251(key, line.key); });
        if (found == file_keys.end()) continue;
        const DeviceSettingsKey& entry = keys[static_cast<std::size_t>(found - file_keys.begin())];
        if (entry.index >= target.size()) continue;

        std::int64_t value = 0;
        if (!line.value.empty() &&
            (!ParseDecimal(line.value, value) || value < kMinValue || value > kMaxValue)) {
            messages("Недопустимое значение параметра " + Cp1251ToUtf8(line.key) + "\r\n" +
                         Cp1251ToUtf8(line.value),
                     kCaptionMessage, MessageButtons::kOk);
            return false;
        }
        target[entry.index] = static_cast<std::uint16_t>(value);
    }
    if (lines.Failed()) {
        messages("Ошибка чтения файла", kCaptionMessage, MessageButtons::kOk);
        return false;
    }
    return true;
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
