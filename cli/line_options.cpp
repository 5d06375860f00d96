#include "cli/line_options.h"

#include <charconv>

#include "link/catalogue.h"
#include "link/port_names.h"
#include "link/serial_port.h"

namespace veltrona {

const char kLineOptionsUsage[] =
    "  --port PATH|COMn|n     serial device, or a COM number resolved like the monitor does\n"
    "  --folder DIR           folder whose ports/COMn links name COM numbers (default: .)\n"
    "  --baud N               line speed: 300 to 115200 or 256000 (default 115200)\n"
    "  --data-bits N          5 to 8 (default 8)\n"
    "  --parity none|odd|even (default none)\n"
    "  --stop-bits 1|1.5|2    (default 1)\n"
    "  --time-rest MS         silence after each transaction (default 20)\n"
    "  --time-wait MS         time allowed for a reply (default 1600)\n"
    "  --frame-end silence|length  a reply ends after 32 ms of silence (default), or as soon\n"
    "                         as its bytes form the whole reply and its CRC checks\n";

namespace {

bool ParseDevice(const std::string& text, LineOptions& options, std::string& error) {
    const auto eq = text.find('=');
    std::int64_t address = 0;
    if (eq == std::string::npos || !ParseBounded(text.substr(eq + 1), 1, 247, address)) {
        error = "--device wants KEY=ADDR with ADDR 1 to 247: " + text;
        return false;
    }
    const std::string key = text.substr(0, eq);
    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        if (key == DeviceKindKey(i)) {
            if (!options.device_given) options.devices.enabled = {false, false, false};
            options.device_given = true;
            options.devices.enabled[i] = true;
            options.devices.address[i] = static_cast<std::uint8_t>(address);
            return true;
        }
    }
    error = "unknown device key (TARVOLEN, TL_7150 or BMS): " + key;
    return false;
}

}  // namespace

bool ParseBounded(const std::string& text, std::int64_t low, std::int64_t high,
                  std::int64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value >= low && value <= high;
}

OptionMatch ParseLineOption(const std::string& name, const std::string& value, LineOptions& options,
                            std::string& error) {
    std::int64_t n = 0;
    bool ok = true;
    if (name == "--port") {
        options.port = value;
    } else if (name == "--folder") {
        options.folder = value;
    } else if (name == "--baud") {
        // A rate the port cannot run at would quietly run at 9600.
        ok = ParseBounded(value, 50, 4000000, n) &&
             IsSupportedBaudrate(static_cast<std::int32_t>(n));
        options.settings.Baudrate = static_cast<std::int32_t>(n);
    } else if (name == "--data-bits") {
        ok = ParseBounded(value, 5, 8, n);
        options.settings.DataBits = static_cast<std::int32_t>(n);
    } else if (name == "--parity") {
        static constexpr const char* kNames[] = {"none", "odd", "even"};
        ok = false;
        for (int p = 0; p < 3; ++p) {
            if (value == kNames[p]) {
                options.settings.Parity = p;
                ok = true;
            }
        }
    } else if (name == "--frame-end") {
        ok = value == "silence" || value == "length";
        options.frame_end = value == "length" ? FrameEnd::kLength : FrameEnd::kSilence;
    } else if (name == "--stop-bits") {
        ok = value == "1" || value == "1.5" || value == "2";
        options.settings.StopBits = value == "1" ? 0 : value == "1.5" ? 1 : 2;
    } else if (name == "--time-rest" || name == "--time-wait") {
        ok = ParseBounded(value, 1, 600000, n);
        (name == "--time-rest" ? options.settings.TimeRest : options.settings.TimeWait) =
            static_cast<std::int32_t>(n * 1000);
    } else if (name == "--device") {
        return ParseDevice(value, options, error) ? OptionMatch::kTaken : OptionMatch::kBad;
    } else {
        return OptionMatch::kOther;
    }
    if (!ok) {
        error = "bad value for " + name + ": " + value;
        return OptionMatch::kBad;
    }
    return OptionMatch::kTaken;
}

std::string ResolvePortPath(const LineOptions& options) {
    int com = ComNumberFromName(options.port);
    if (com == 0 && !options.port.empty() &&
        options.port.find_first_not_of("0123456789") == std::string::npos) {
        com = ComNumberFromName("COM" + options.port);
    }
    return com != 0 ? ResolveComPath(com, options.folder) : options.port;
}

}  // namespace veltrona
