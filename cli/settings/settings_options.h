#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/line_options.h"

namespace veltrona {

enum class SettingsAction { kRead, kWrite };

struct SettingsOptions {
    LineOptions line;
    SettingsAction action = SettingsAction::kRead;
    std::string file;
    bool help = false;
};

// Parses the command line (without the program name); nullopt with error set when it is not
// one action on the charger alone.
std::optional<SettingsOptions> ParseSettingsOptions(const std::vector<std::string>& args,
                                                    std::string& error);

std::string SettingsUsage();

}  // namespace veltrona
