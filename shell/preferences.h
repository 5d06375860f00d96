#pragma once

#include <filesystem>

namespace veltrona {

// The program's own choices, kept in veltrona.ini beside SettingsGeneral.ini: that file keeps
// its exact layout.
struct Preferences {
    bool frame_end_by_length = false;
};

// A missing file or key gives the defaults.
Preferences LoadPreferences(const std::filesystem::path& folder);
// False when the file could not be written.
bool SavePreferences(const std::filesystem::path& folder, const Preferences& preferences);

}  // namespace veltrona
