#include "cli/poll/poll_options.h"

namespace veltrona {

std::string PollUsage() {
    return std::string(
               "usage: veltrona-poll --port PATH|COMn [options]\n"
               "Polls the bus devices as the monitor does and writes one CSV row per "
               "register read:\n"
               "time,device,address,raw,value,name\n") +
           kLineOptionsUsage +
           "  --device KEY=ADDR      poll this device (TARVOLEN, TL_7150, BMS) at ADDR; "
           "repeatable;\n"
           "                         without it every device at the program's default address\n"
           "  --rounds N             stop after N rounds of the cycle\n"
           "  --seconds S            stop after S seconds\n"
           "  --changes-only         a row only when a register's value differs from its last row\n"
           "  --help                 this text\n";
}

std::optional<PollOptions> ParsePollOptions(const std::vector<std::string>& args,
                                            std::string& error) {
    PollOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg == "--changes-only") {
            options.changes_only = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg.rfind("--", 0) == 0 ? "missing value for " + arg : "unknown option " + arg;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        const OptionMatch match = ParseLineOption(arg, value, options.line, error);
        if (match == OptionMatch::kBad) return std::nullopt;
        if (match == OptionMatch::kTaken) continue;
        std::int64_t n = 0;
        if (arg != "--rounds" && arg != "--seconds") {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (!ParseBounded(value, 1, 100000000, n)) {
            error = "bad value for " + arg + ": " + value;
            return std::nullopt;
        }
        (arg == "--rounds" ? options.rounds : options.seconds) = static_cast<std::uint32_t>(n);
    }
    if (options.line.port.empty()) {
        error = "--port is required";
        return std::nullopt;
    }
    return options;
}

}  // namespace veltrona
