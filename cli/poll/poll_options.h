#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/line_options.h"

namespace veltrona {

struct PollOptions {
    LineOptions line;
    std::uint32_t rounds = 0;   // 0: not bounded by rounds
    std::uint32_t seconds = 0;  // 0: not bounded by time
    bool changes_only = false;
    bool help = false;
};

// Parses the command line (without the program name); nullopt with error set on a bad option.
std::optional<PollOptions> ParsePollOptions(const std::vector<std::string>& args,
                                            std::string& error);

std::string PollUsage();

}  // namespace veltrona
