#include "files/program_settings.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "files/atomic_save.h"
#include "files/cp1251.h"

namespace veltrona {

namespace {

constexpr std::string_view kFileTitle = "RS485toUSB";
constexpr std::string_view kGeneralSection = "GeneralSettings";
constexpr std::string_view kDevicesSection = "SupportDevices";
constexpr std::string_view kPortSection = "SettingsPort";
constexpr std::string_view kDeviceSectionSuffix = "_Settings";
constexpr std::size_t kBmsIndex = 2;

constexpr std::array<std::string_view, 3> kParityNames{"NONE", "ODD", "EVEN"};
constexpr std::array<std::string_view, 3> kStopBitsNames{"1b", "1b5", "2b"};
constexpr std::array<std::int32_t, 11> kPortBaudrates{300,   600,   1200,  2400,   4800,  9600,
                                                      19200, 38400, 57600, 115200, 256000};

constexpr PortSettings kPortDefaults{};
constexpr std::int32_t kMaxPortNumber = 255;
constexpr std::int32_t kMinDataBits = 5;
constexpr std::int32_t kMaxDataBits = 8;
constexpr std::int32_t kMinAddress = 1;
constexpr std::int32_t kMaxAddress = 247;
constexpr std::int32_t kAddressNotNumber = 1;

constexpr std::size_t kKeyWidth = 40;
constexpr std::size_t kFlagWidth = 4;
constexpr std::size_t kSeparatorFill = 57;

constexpr std::string_view kOpenFailed = "Ошибка открытия файла доступных устройств";

// Decimal within [low, high]; anything else, overflow included, is not a number.
std::optional<std::int32_t> Number(std::string_view text, std::int32_t low, std::int32_t high) {
    std::int64_t value = 0;
    if (!ParseDecimal(text, value) || value < low || value > high) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> Number(std::string_view text) {
    return Number(text, std::numeric_limits<std::int32_t>::min(),
                  std::numeric_limits<std::int32_t>::max());
}

template <std::size_t N>
std::uint16_t NameIndex(const std::array<std::string_view, N>& names, std::string_view text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (SameTextCp1251(names[i], text)) return static_cast<std::uint16_t>(i);
    }
    return 0;
}

template <std::size_t N>
std::string_view IndexName(const std::array<std::string_view, N>& names, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? names[index] : names[0];
}

std::string DeviceSectionName(std::size_t device) {
    return std::string(DeviceKindKey(device)) + std::string(kDeviceSectionSuffix);
}

bool SkipTo(LineReader& lines, std::string_view name) {
    while (lines.Next()) {
        if (SameTextCp1251(lines.Line().whole, name)) return true;
    }
    return false;
}

bool NextWithKey(LineReader& lines, std::string_view key) {
    return lines.Next() && SameTextCp1251(lines.Line().key, key);
}

std::optional<std::size_t> NextDeviceSection(LineReader& lines) {
    while (lines.Next()) {
        for (std::size_t device = 0; device < kDeviceKindCount; ++device) {
            if (SameTextCp1251(lines.Line().whole, DeviceSectionName(device))) return device;
        }
    }
    return std::nullopt;
}

// False when reading must stop.
bool ReadDeviceList(LineReader& lines, ProgramSettings& settings) {
    if (!SkipTo(lines, kDevicesSection) || !NextWithKey(lines, "Count")) return false;
    const std::int32_t count = std::min<std::int32_t>(
        Number(lines.Line().value, 0, std::numeric_limits<std::int32_t>::max()).value_or(0),
        kDeviceKindCount);
    if (count == 0) return false;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!lines.Next()) return false;
        for (std::size_t device = 0; device < kDeviceKindCount; ++device) {
            if (SameTextCp1251(lines.Line().key, DeviceKindKey(device))) {
                settings.devices[device].enabled = SameTextCp1251(lines.Line().value, "YES");
                break;
            }
        }
    }
    return true;
}

bool ReadPortSettings(LineReader& lines, PortSettings& port) {
    if (!SkipTo(lines, kPortSection) || !NextWithKey(lines, "Name")) return false;
    // A negative number is as useless as none; above the last port number it is capped.
    const std::int32_t name = std::min(
        Number(lines.Line().value, 0, std::numeric_limits<std::int32_t>::max()).value_or(1),
        kMaxPortNumber);
    if (name == 0) return false;
    port.Port = name;

    if (!NextWithKey(lines, "Baudrate")) return false;
    const std::int32_t baudrate = Number(lines.Line().value).value_or(0);
    port.Baudrate =
        std::find(kPortBaudrates.begin(), kPortBaudrates.end(), baudrate) != kPortBaudrates.end()
            ? baudrate
            : kPortDefaults.Baudrate;

    if (!NextWithKey(lines, "DataBits")) return false;
    port.DataBits =
        Number(lines.Line().value, kMinDataBits, kMaxDataBits).value_or(kPortDefaults.DataBits);

    if (!NextWithKey(lines, "Parity")) return false;
    port.Parity = NameIndex(kParityNames, lines.Line().value);

    if (!NextWithKey(lines, "StopBits")) return false;
    port.StopBits = NameIndex(kStopBitsNames, lines.Line().value);

    // The link cannot work with a pause or a wait that is not above zero.
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    if (!NextWithKey(lines, "TimeRest")) return false;
    port.TimeRest = Number(lines.Line().value, 1, kMax).value_or(kPortDefaults.TimeRest);

    if (!NextWithKey(lines, "TimeWait")) return false;
    port.TimeWait = Number(lines.Line().value, 1, kMax).value_or(kPortDefaults.TimeWait);
    return true;
}

bool ReadDeviceSection(LineReader& lines, DeviceLinkSettings& device) {
    if (!NextWithKey(lines, "Address")) return false;
    device.address = static_cast<std::uint16_t>(
        Number(lines.Line().value, kMinAddress, kMaxAddress).value_or(kAddressNotNumber));

    if (!NextWithKey(lines, "Baudrate")) return false;
    // Not range-checked, but written back unsigned: a negative rate would not read back.
    device.baudrate = Number(lines.Line().value, 0, std::numeric_limits<std::int32_t>::max())
                          .value_or(DeviceLinkSettings{}.baudrate);

    if (!NextWithKey(lines, "DataBits")) return false;
    device.data_bits = static_cast<std::uint16_t>(
        Number(lines.Line().value, 0, std::numeric_limits<std::uint16_t>::max())
            .value_or(DeviceLinkSettings{}.data_bits));

    if (!NextWithKey(lines, "Parity")) return false;
    device.parity = NameIndex(kParityNames, lines.Line().value);

    if (!NextWithKey(lines, "StopBits")) return false;
    device.stop_bits = NameIndex(kStopBitsNames, lines.Line().value);
    return true;
}

std::string Line(std::string_view text) {
    return std::string(text) + std::string(kLineEnd);
}

std::string NumberLine(std::string_view key, std::uint32_t value) {
    return PadRight(key, kKeyWidth) + std::string(kSeparator) + std::to_string(value) +
           std::string(kLineEnd);
}

std::string TextLine(std::string_view key, std::string_view value) {
    return PadRight(key, kKeyWidth) + std::string(kSeparator) + std::string(value) +
           std::string(kLineEnd);
}

std::string FlagLine(std::string_view key, bool enabled) {
    return PadRight(key, kKeyWidth) + std::string(kSeparator) +
           PadRight(enabled ? "YES" : "NO", kFlagWidth) + PadRight(kCommentMarker, kFlagWidth) +
           PadLeft("NO", kFlagWidth) + PadLeft("YES", kFlagWidth) + std::string(kLineEnd);
}

std::string SeparatorLine() {
    return std::string(kCommentMarker) + std::string(kSeparatorFill, '&') + std::string(kLineEnd);
}

}  // namespace

std::uint16_t ParityValueOfName(std::string_view name) {
    return NameIndex(kParityNames, name);
}

std::uint16_t StopBitsValueOfName(std::string_view name) {
    return NameIndex(kStopBitsNames, name);
}

std::filesystem::path ProgramSettingsPath(const std::filesystem::path& folder) {
    return folder / kProgramSettingsFileName;
}

void ReadProgramSettings(ByteSource& source, ProgramSettings& settings,
                         const MessageSink& messages) {
    LineReader lines(source);
    if (!lines.Next() || !SameTextCp1251(lines.Line().whole, kFileTitle)) {
        messages("Файл не соответствует программе", kCaptionMessage, MessageButtons::kOk);
        return;
    }
    if (!lines.Next() || !SameTextCp1251(lines.Line().whole, kGeneralSection)) {
        messages("Файл не содержит настроек", kCaptionMessage, MessageButtons::kOk);
        return;
    }
    if (!ReadDeviceList(lines, settings) || !ReadPortSettings(lines, settings.port)) return;
    for (;;) {
        const std::optional<std::size_t> device = NextDeviceSection(lines);
        if (!device || !ReadDeviceSection(lines, settings.devices[*device]) ||
            *device == kBmsIndex) {
            return;
        }
    }
}

void LoadProgramSettings(const std::filesystem::path& folder, ProgramSettings& settings,
                         const MessageSink& messages) {
    FileSource source;
    if (!OpenSettingsFile(source, ProgramSettingsPath(folder), messages)) {
        messages(kOpenFailed, kCaptionMessage, MessageButtons::kOk);
        return;
    }
    ReadProgramSettings(source, settings, messages);
}

std::string ComposeProgramSettings(const ProgramSettings& settings) {
    std::string text = Line(kFileTitle) + Line(kGeneralSection) + Line("");

    text += SeparatorLine() + Line(kDevicesSection);
    text += NumberLine("Count", kDeviceKindCount);
    for (std::size_t device = 0; device < kDeviceKindCount; ++device) {
        text += FlagLine(DeviceKindKey(device), settings.devices[device].enabled);
    }
    text += Line("");

    const PortSettings& port = settings.port;
    text += SeparatorLine() + Line(kPortSection);
    text += NumberLine("Name", static_cast<std::uint32_t>(port.Port));
    text += NumberLine("Baudrate", static_cast<std::uint32_t>(port.Baudrate));
    text += NumberLine("DataBits", static_cast<std::uint32_t>(port.DataBits));
    text += TextLine("Parity", IndexName(kParityNames, port.Parity));
    text += TextLine("StopBits", IndexName(kStopBitsNames, port.StopBits));
    text += NumberLine("TimeRest", static_cast<std::uint32_t>(port.TimeRest));
    text += NumberLine("TimeWait", static_cast<std::uint32_t>(port.TimeWait));
    text += Line("");

    for (std::size_t index = 0; index < kDeviceKindCount; ++index) {
        const DeviceLinkSettings& device = settings.devices[index];
        text += SeparatorLine() + Line(DeviceSectionName(index));
        text += NumberLine("Address", device.address);
        text += NumberLine("Baudrate", static_cast<std::uint32_t>(device.baudrate));
        text += NumberLine("DataBits", device.data_bits);
        text += TextLine("Parity", IndexName(kParityNames, device.parity));
        text += TextLine("StopBits", IndexName(kStopBitsNames, device.stop_bits));
        text += Line("");
    }
    return text;
}

bool SaveProgramSettings(const std::filesystem::path& folder, const ProgramSettings& settings,
                         const MessageSink& messages) {
    if (AtomicSave(ProgramSettingsPath(folder), ComposeProgramSettings(settings))) return true;
    messages(kOpenFailed, kCaptionMessage, MessageButtons::kOk);
    return false;
}

}  // namespace veltrona
