#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "files/file_messages.h"
#include "files/key_value_file.h"
#include "link/catalogue.h"
#include "link/port_settings.h"

namespace veltrona {

// A device's own line settings as last given to it; only the enabled flag and the address feed
// the device models, the rest is kept for the file.
struct DeviceLinkSettings {
    bool enabled = true;
    std::uint16_t address = 1;
    std::int32_t baudrate = 115200;
    std::uint16_t data_bits = 8;
    std::uint16_t parity = 0;     // 0 "NONE", 1 "ODD", 2 "EVEN"
    std::uint16_t stop_bits = 0;  // 0 "1b", 1 "1b5", 2 "2b"
};

// Everything "SettingsGeneral.ini" holds; the members' initial values are the defaults that
// stay wherever the file does not override them. Devices in device-list order.
struct ProgramSettings {
    PortSettings port;
    std::array<DeviceLinkSettings, kDeviceKindCount> devices{DeviceLinkSettings{.address = 1},
                                                             DeviceLinkSettings{.address = 3},
                                                             DeviceLinkSettings{.address = 3}};
};

inline constexpr std::string_view kProgramSettingsFileName = "SettingsGeneral.ini";

// Parity and stop-bit values of the file by their names ("EVEN" is 2); 0 for any other name.
std::uint16_t ParityValueOfName(std::string_view name);
std::uint16_t StopBitsValueOfName(std::string_view name);

// The folder is the program's own, decided by the caller.
std::filesystem::path ProgramSettingsPath(const std::filesystem::path& folder);

// Reads what it can; a missing or damaged file leaves the defaults and whatever was read before
// the first mismatch, and reports its problems through messages.
void LoadProgramSettings(const std::filesystem::path& folder, ProgramSettings& settings,
                         const MessageSink& messages);
void ReadProgramSettings(ByteSource& source, ProgramSettings& settings,
                         const MessageSink& messages);

// The file's exact bytes (CP1251, CR LF).
std::string ComposeProgramSettings(const ProgramSettings& settings);
bool SaveProgramSettings(const std::filesystem::path& folder, const ProgramSettings& settings,
                         const MessageSink& messages);

}  // namespace veltrona
