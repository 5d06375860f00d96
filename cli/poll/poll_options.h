#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/bus_devices.h"
#include "link/port_settings.h"
#include "link/port_worker.h"

namespace veltrona {

struct PollOptions {
    std::string port;    // a device path, "COMn" or n
    std::string folder;  // where ports/COMn links are looked up
    PortSettings settings;
    FrameEnd frame_end = FrameEnd::kSilence;
    BusDeviceSettings devices;
    std::uint32_t rounds = 0;   // 0: not bounded by rounds
    std::uint32_t seconds = 0;  // 0: not bounded by time
    bool changes_only = false;
    bool help = false;
};

// Parses the command line (without the program name); nullopt with error set on a bad option.
std::optional<PollOptions> ParsePollOptions(const std::vector<std::string>& args,
                                            std::string& error);

extern const char kPollUsage[];

}  // namespace veltrona
