// Line reader, program settings loader and device settings loader on arbitrary bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "files/device_settings_file.h"
#include "files/key_value_file.h"
#include "files/program_settings.h"

namespace {

using namespace veltrona;

constexpr std::array<DeviceSettingsKey, 3> kKeys{{
    {"WaySaveSettings", 0, "Способ"},
    {"Control_Mode", 2, "Режим"},
    {"ЁмкостьАКБ", 1, "Ёмкость"},
}};

void Check(bool condition) {
    if (!condition) std::abort();
}

MessageAnswer Ignore(std::string_view, std::string_view, MessageButtons) {
    return MessageAnswer::kYes;
}

void ReadAllLines(std::span<const std::uint8_t> data) {
    MemorySource source(data);
    FileCursor cursor;
    constexpr std::size_t kRoom = 32;
    std::array<char, kRoom + 8> storage{};
    storage.fill('#');
    for (;;) {
        cursor.line_start = cursor.next_line;
        const LineInfo info = ReadLine(source, cursor, std::span<char>(storage.data(), kRoom));
        Check(std::all_of(storage.begin() + kRoom, storage.end(), [](char c) { return c == '#'; }));
        Check(info.stored <= kRoom && info.stored <= info.length);
        Check(cursor.next_line == cursor.line_start + info.length);
        Check(cursor.next_line <= data.size());
        const SplitResult split = SplitLine(std::string_view(storage.data(), kRoom), info);
        Check(split.key.size() + split.value.size() <= info.stored);
        if (info.length == 0 || info.read_error) break;
    }
}

void CheckValid(const ProgramSettings& s) {
    const PortSettings& p = s.port;
    Check(p.Port >= 1 && p.Port <= 255);
    Check(p.DataBits >= 5 && p.DataBits <= 8);
    Check(p.Parity >= 0 && p.Parity <= 2 && p.StopBits >= 0 && p.StopBits <= 2);
    Check(p.TimeRest > 0 && p.TimeWait > 0);
    for (const DeviceLinkSettings& d : s.devices) {
        Check(d.address >= 1 && d.address <= 247 && d.baudrate >= 0);
        Check(d.parity <= 2 && d.stop_bits <= 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    ReadAllLines(bytes);

    ProgramSettings settings;
    MemorySource source(bytes);
    ReadProgramSettings(source, settings, Ignore);
    CheckValid(settings);

    // Whatever was loaded saves and loads back unchanged.
    const std::string saved = ComposeProgramSettings(settings);
    ProgramSettings reloaded;
    MemorySource saved_source(saved);
    ReadProgramSettings(saved_source, reloaded, Ignore);
    Check(ComposeProgramSettings(reloaded) == saved);

    std::array<std::uint16_t, 3> target{};
    MemorySource device_source(bytes);
    ReadDeviceSettings(device_source, "НАСТРОЙКИ ПРИБОРА ТЛ-7150", kKeys, target, Ignore);
    return 0;
}
