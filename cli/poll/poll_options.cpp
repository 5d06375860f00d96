#include "cli/poll/poll_options.h"

#include <charconv>
#include <cstring>

#include "link/catalogue.h"
#include "link/serial_port.h"

namespace veltrona {

const char kPollUsage[] =
    "usage: veltrona-poll --port PATH|COMn [options]\n"
    "Polls the bus devices as the monitor does and writes one CSV row per register read:\n"
    "time,device,address,raw,value,name\n"
    "  --port PATH|COMn|n     serial device, or a COM number resolved like the monitor does\n"
    "  --folder DIR           folder whose ports/COMn links name COM numbers (default: .)\n"
    "  --baud N               line speed: 300 to 115200 or 256000 (default 115200)\n"
    "  --data-bits N          5 to 8 (default 8)\n"
    "  --parity none|odd|even (default none)\n"
    "  --stop-bits 1|1.5|2    (default 1)\n"
    "  --time-rest MS         silence after each transaction (default 20)\n"
    "  --time-wait MS         time allowed for a reply (default 1600)\n"
    "  --frame-end silence|length  a reply ends after 32 ms of silence (default), or as soon\n"
    "                         as its bytes form the whole reply and its CRC checks\n"
    "  --device KEY=ADDR      poll this device (TARVOLEN, TL_7150, BMS) at ADDR; repeatable;\n"
    "                         without it every device at the program's default address\n"
    "  --rounds N             stop after N rounds of the cycle\n"
    "  --seconds S            stop after S seconds\n"
    "  --changes-only         a row only when a register's value differs from its last row\n"
    "  --help                 this text\n";

namespace {

bool ToInt(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value >= low && value <= high;
}

bool ParseDevice(const std::string& text, PollOptions& options, bool& first, std::string& error) {
    const auto eq = text.find('=');
    std::int64_t address = 0;
    if (eq == std::string::npos || !ToInt(text.substr(eq + 1), 1, 247, address)) {
        error = "--device wants KEY=ADDR with ADDR 1 to 247: " + text;
        return false;
    }
    const std::string key = text.substr(0, eq);
    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        if (key == DeviceKindKey(i)) {
            if (first) options.devices.enabled = {false, false, false};
            first = false;
            options.devices.enabled[i] = true;
            options.devices.address[i] = static_cast<std::uint8_t>(address);
            return true;
        }
    }
    error = "unknown device key (TARVOLEN, TL_7150 or BMS): " + key;
    return false;
}

}  // namespace

std::optional<PollOptions> ParsePollOptions(const std::vector<std::string>& args,
                                            std::string& error) {
    PollOptions options;
    options.folder = ".";
    bool first_device = true;
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
        std::int64_t n = 0;
        bool ok = true;
        if (arg == "--port") {
            options.port = value;
        } else if (arg == "--folder") {
            options.folder = value;
        } else if (arg == "--baud") {
            // A rate the port cannot run at would quietly run at 9600.
            ok = ToInt(value, 50, 4000000, n) && IsSupportedBaudrate(static_cast<std::int32_t>(n));
            options.settings.Baudrate = static_cast<std::int32_t>(n);
        } else if (arg == "--data-bits") {
            ok = ToInt(value, 5, 8, n);
            options.settings.DataBits = static_cast<std::int32_t>(n);
        } else if (arg == "--parity") {
            static constexpr const char* kNames[] = {"none", "odd", "even"};
            ok = false;
            for (int p = 0; p < 3; ++p) {
                if (value == kNames[p]) {
                    options.settings.Parity = p;
                    ok = true;
                }
            }
        } else if (arg == "--frame-end") {
            ok = value == "silence" || value == "length";
            options.frame_end = value == "length" ? FrameEnd::kLength : FrameEnd::kSilence;
        } else if (arg == "--stop-bits") {
            ok = value == "1" || value == "1.5" || value == "2";
            options.settings.StopBits = value == "1" ? 0 : value == "1.5" ? 1 : 2;
        } else if (arg == "--time-rest" || arg == "--time-wait") {
            ok = ToInt(value, 1, 600000, n);
            (arg == "--time-rest" ? options.settings.TimeRest : options.settings.TimeWait) =
                static_cast<std::int32_t>(n * 1000);
        } else if (arg == "--device") {
            if (!ParseDevice(value, options, first_device, error)) return std::nullopt;
        } else if (arg == "--rounds" || arg == "--seconds") {
            ok = ToInt(value, 1, 100000000, n);
            (arg == "--rounds" ? options.rounds : options.seconds) = static_cast<std::uint32_t>(n);
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value for " + arg + ": " + value;
            return std::nullopt;
        }
    }
    if (options.port.empty()) {
        error = "--port is required";
        return std::nullopt;
    }
    return options;
}

}  // namespace veltrona
