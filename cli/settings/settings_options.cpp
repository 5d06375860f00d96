#include "cli/settings/settings_options.h"

namespace veltrona {

std::string SettingsUsage() {
    return std::string(
               "usage: veltrona-settings --port PATH|COMn [options] --device TARVOLEN=ADDR "
               "read FILE|write FILE\n"
               "  read FILE              saves the charger's settings block to FILE as the "
               "monitor's\n"
               "                         Save does; FILE is replaced only after a complete read\n"
               "  write FILE             sends the settings of FILE as the monitor's Send does, "
               "then reads\n"
               "                         them back; nothing is sent when they fail validation\n") +
           kLineOptionsUsage +
           "  --device TARVOLEN=ADDR the charger's bus address (required)\n"
           "  --help                 this text\n"
           "Exit status: 0 done, 1 failed, 2 usage error.\n";
}

std::optional<SettingsOptions> ParseSettingsOptions(const std::vector<std::string>& args,
                                                    std::string& error) {
    SettingsOptions options;
    bool action_given = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            options.help = true;
            return options;
        }
        const bool action = arg == "read" || arg == "write";
        if (i + 1 >= args.size()) {
            error = action || arg.rfind("--", 0) == 0 ? "missing value for " + arg
                                                      : "unknown option " + arg;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (action) {
            if (action_given) {
                error = "one action only: " + arg;
                return std::nullopt;
            }
            action_given = true;
            options.action = arg == "read" ? SettingsAction::kRead : SettingsAction::kWrite;
            options.file = value;
            continue;
        }
        const OptionMatch match = ParseLineOption(arg, value, options.line, error);
        if (match == OptionMatch::kBad) return std::nullopt;
        if (match == OptionMatch::kOther) {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    const auto& enabled = options.line.devices.enabled;
    const char* problem = nullptr;
    if (options.line.port.empty()) {
        problem = "--port is required";
    } else if (!options.line.device_given) {
        problem = "--device TARVOLEN=ADDR is required";
    } else if (!enabled[kChargerIndex] || enabled[kInverterIndex] || enabled[kBmsIndex]) {
        problem = "only the charger (TARVOLEN) has settings here";
    } else if (!action_given) {
        problem = "read FILE or write FILE is required";
    } else if (options.file.empty()) {
        problem = "an empty file name";
    }
    if (problem != nullptr) {
        error = problem;
        return std::nullopt;
    }
    return options;
}

}  // namespace veltrona
