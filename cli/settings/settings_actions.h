#pragma once

#include <filesystem>
#include <ostream>

#include "cli/settings/settings_session.h"
#include "devices/charger/charger_view.h"

namespace veltrona {

// Both return the exit status (0 done, 1 failed) and tell the log why they failed.

// Reads the settings block and saves it to the file as the monitor's Save does; the file is
// replaced only once the whole block has arrived.
int ReadSettingsToFile(SettingsSession& session, const ChargerView& view,
                       const std::filesystem::path& file, std::ostream& log);

// Sends the edited settings of the view (already opened from a file) as the monitor's Send
// does, after the same validation, and reads them back. Settings that validation would change
// or refuse are not sent.
int WriteSettingsToDevice(SettingsSession& session, ChargerView& view, std::ostream& log);

}  // namespace veltrona
