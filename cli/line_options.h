#pragma once

#include <cstdint>
#include <string>

#include "devices/bus_devices.h"
#include "link/port_settings.h"
#include "link/port_worker.h"

namespace veltrona {

// The options of the programs without a window that say which line and devices to use.
struct LineOptions {
    std::string port;          // a device path, "COMn" or n
    std::string folder = ".";  // where ports/COMn links are looked up
    PortSettings settings;
    FrameEnd frame_end = FrameEnd::kSilence;
    BusDeviceSettings devices;  // every device until the first --device
    bool device_given = false;
};

enum class OptionMatch { kOther, kTaken, kBad };

// One option and its value: kOther when the option is none of the line options, kBad with
// error set when its value is refused.
OptionMatch ParseLineOption(const std::string& name, const std::string& value, LineOptions& options,
                            std::string& error);

// A whole decimal number within [low, high].
bool ParseBounded(const std::string& text, std::int64_t low, std::int64_t high,
                  std::int64_t& value);

// The device path --port stands for: a COM number (COMn or n) resolved like the monitor does,
// else the text itself; empty when a COM number names no device.
std::string ResolvePortPath(const LineOptions& options);

// Usage lines of --port through --frame-end.
extern const char kLineOptionsUsage[];

}  // namespace veltrona
