#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace veltrona {

inline constexpr int kMaxComNumber = 255;

// The number n of a text that starts with "COMn"; 0 when it has none (or n is out of range).
int ComNumberFromName(std::string_view name);

// The device path of port "COMn": the link ports/COMn in the program's folder when there is
// one, otherwise the fixed mapping (COM1-32 ttyS0-31, COM33-96 ttyUSB0-63, COM97-160
// ttyACM0-63). Empty when the number stands for nothing.
std::string ResolveComPath(int com, const std::filesystem::path& program_folder,
                           const std::filesystem::path& dev_root = "/dev");

// The ports that can be opened, in ascending COM order, each "COMn (device[, product])".
std::vector<std::string> EnumeratePorts(const std::filesystem::path& program_folder,
                                        const std::filesystem::path& sysfs_root = "/sys",
                                        const std::filesystem::path& dev_root = "/dev");

}  // namespace veltrona
