#include "sim/sim_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace veltrona::sim {
namespace {

constexpr std::string_view kDeviceNames[kDeviceCount] = {"charger", "inverter", "bms"};

struct ErrorKindName {
    std::string_view name;
    ChargerErrorKind kind;
};

constexpr ErrorKindName kErrorKinds[] = {
    {"big", ChargerErrorKind::kBig},
    {"small", ChargerErrorKind::kSmall},
    {"close", ChargerErrorKind::kClose},
    {"err", ChargerErrorKind::kErr},
};

constexpr std::uint32_t kMaxTimeScale = 100'000;

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Decimal, or hexadecimal with a 0x prefix; the whole word must be the number.
std::optional<std::uint32_t> ParseNumber(std::string_view word, std::uint32_t max) {
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        word.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

// A register value: 0 to 0xFFFF, or -32768 to -1 as two's complement.
std::optional<std::uint16_t> ParseValue(std::string_view word) {
    const bool negative = word.size() > 1 && word[0] == '-';
    if (negative) word.remove_prefix(1);
    const auto value = ParseNumber(word, negative ? 0x8000 : 0xFFFF);
    if (!value) return std::nullopt;
    return static_cast<std::uint16_t>(negative ? 0x10000 - *value : *value);
}

std::optional<std::uint8_t> ParseAddress(std::string_view word) {
    auto value = ParseNumber(word, 247);
    if (!value || *value == 0) return std::nullopt;
    return static_cast<std::uint8_t>(*value);
}

std::string ApplyWords(const std::vector<std::string_view>& w, SimSwitches& s) {
    if (w.empty()) return "empty command";
    const std::string_view name = w[0];
    if ((name == "mute" || name == "unmute") && w.size() == 2) {
        auto id = DeviceByName(w[1]);
        if (!id) return "unknown device";
        s.muted[static_cast<std::size_t>(*id)] = name == "mute";
        return {};
    }
    if (name == "delay-us" && w.size() == 2) {
        auto value = ParseNumber(w[1], 10'000'000);
        if (!value) return "bad delay";
        s.turnaround_us = *value;
        return {};
    }
    if (name == "corrupt-crc" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        s.corrupt_crc = w[1] == "on";
        return {};
    }
    if (name == "reply-address" && w.size() == 2) {
        if (w[1] == "off") {
            s.reply_address.reset();
            return {};
        }
        auto address = ParseAddress(w[1]);
        if (!address) return "bad address";
        s.reply_address = *address;
        return {};
    }
    if (name == "time-scale" && w.size() == 2) {
        auto value = ParseNumber(w[1], kMaxTimeScale);
        if (!value) return "bad time scale";
        s.time_scale = *value;
        return {};
    }
    if (name == "link-adopt" && w.size() == 2 && (w[1] == "after" || w[1] == "now")) {
        s.link_adopt_now = w[1] == "now";
        return {};
    }
    if (name == "exception" && w.size() == 4) {
        auto first = ParseNumber(w[1], 0xFFFF);
        auto last = ParseNumber(w[2], 0xFFFF);
        if (!first || !last || *first > *last) return "bad range";
        std::erase_if(s.exceptions,
                      [&](const ExceptionRule& r) { return r.first == *first && r.last == *last; });
        if (w[3] == "off") return {};
        auto code = ParseNumber(w[3], 0xFF);
        if (!code || *code == 0) return "bad exception code";
        s.exceptions.push_back({static_cast<std::uint16_t>(*first),
                                static_cast<std::uint16_t>(*last),
                                static_cast<std::uint8_t>(*code)});
        return {};
    }
    return "unknown command";
}

}  // namespace

const char kUsage[] =
    "usage: veltrona-sim (--folder DIR --com N | --port PATH) [switches]\n"
    "  --folder DIR           announce the pseudo-terminal as DIR/ports/COMN\n"
    "  --com N                the COM number of that link (1 to 255)\n"
    "  --port PATH            serve a real serial device instead of a pseudo-terminal\n"
    "  --baud N               line speed of --port (default 115200, 8N1)\n"
    "  --charger-address A    bus address of the charger (default 1)\n"
    "  --inverter-address A   bus address of the inverter (default 3)\n"
    "  --bms-address A        bus address of the BMS (default 3)\n"
    "  --turnaround-us N      pause before each reply besides its wire time (default 2000)\n"
    "  --mute DEVICE          charger, inverter or bms does not answer\n"
    "  --corrupt-crc          send every reply with a wrong CRC\n"
    "  --reply-address A      answer from address A\n"
    "  --exception F L C      answer exception C to requests touching registers F..L\n"
    "  --time-scale N         charger time runs N times as fast, 0 stops it (default 1)\n"
    "  --link-adopt WHEN      a written link set is taken after the reply (after, the\n"
    "                         default) or at once, leaving the write unanswered (now)\n"
    "  --set DEVICE A V       register A of charger, inverter or bms reads V (decimal,\n"
    "                         0x hex or negative); the stand-in no longer computes it\n"
    "                         until unset, a master's write to it ends the pin\n"
    "  --help                 this text\n"
    "Line commands on standard input: mute DEVICE, unmute DEVICE, delay-us N,\n"
    "corrupt-crc on|off, reply-address A|off, exception F L C|off, time-scale N,\n"
    "link-adopt after|now, charger-error big|small|close|err CODE, charger-error clear,\n"
    "set DEVICE A V, unset DEVICE A, unplug, plug, quit.\n";

std::string_view DeviceName(DeviceId id) {
    return kDeviceNames[static_cast<std::size_t>(id)];
}

std::optional<DeviceId> DeviceByName(std::string_view name) {
    for (std::size_t i = 0; i < kDeviceCount; ++i) {
        if (kDeviceNames[i] == name) return static_cast<DeviceId>(i);
    }
    return std::nullopt;
}

std::string ApplySwitchCommand(std::string_view line, SimSwitches& switches) {
    SimSwitches changed = switches;
    std::string error = ApplyWords(SplitWords(line), changed);
    if (error.empty()) switches = std::move(changed);
    return error;
}

std::optional<std::string> ParseChargerError(std::string_view line, ChargerErrorCommand& error) {
    const std::vector<std::string_view> w = SplitWords(line);
    if (w.empty() || w[0] != "charger-error") return std::nullopt;
    if (w.size() == 2 && w[1] == "clear") {
        error = {ChargerErrorKind::kClear, 0};
        return std::string();
    }
    if (w.size() != 3) return "charger-error needs big|small|close|err CODE or clear";
    const auto kind = std::find_if(std::begin(kErrorKinds), std::end(kErrorKinds),
                                   [&](const ErrorKindName& k) { return k.name == w[1]; });
    if (kind == std::end(kErrorKinds)) return "unknown error kind";
    auto code = ParseNumber(w[2], 0xFFFF);
    if (!code) return "bad error code";
    error = {kind->kind, static_cast<std::uint16_t>(*code)};
    return std::string();
}

std::optional<std::string> ParseRegisterCommand(std::string_view line, RegisterCommand& command) {
    const std::vector<std::string_view> w = SplitWords(line);
    if (w.empty() || (w[0] != "set" && w[0] != "unset")) return std::nullopt;
    const bool set = w[0] == "set";
    if (w.size() != (set ? 4u : 3u)) {
        return set ? "set needs DEVICE ADDRESS VALUE" : "unset needs DEVICE ADDRESS";
    }
    const auto device = DeviceByName(w[1]);
    if (!device) return "unknown device";
    const auto address = ParseNumber(w[2], 0xFFFF);
    if (!address) return "bad register address";
    std::optional<std::uint16_t> value;
    if (set) {
        value = ParseValue(w[3]);
        if (!value) return "bad register value";
    }
    command = {*device, static_cast<std::uint16_t>(*address), value};
    return std::string();
}

std::string ParseOptions(int argc, const char* const* argv, SimOptions& options) {
    bool com_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](int n) -> std::optional<std::vector<std::string_view>> {
            if (i + n >= argc) return std::nullopt;
            std::vector<std::string_view> values(argv + i + 1, argv + i + 1 + n);
            i += n;
            return values;
        };
        auto address_into = [&](DeviceId id) -> std::string {
            auto v = value(1);
            auto address = v ? ParseAddress((*v)[0]) : std::nullopt;
            if (!address) return std::string(arg) + " needs an address from 1 to 247";
            options.addresses[static_cast<std::size_t>(id)] = *address;
            return {};
        };
        // Switches that also exist as line commands go through the same parser.
        auto as_command = [&](std::string_view command, int n) -> std::string {
            auto v = value(n);
            if (!v) return std::string(arg) + " needs " + std::to_string(n) + " value(s)";
            std::string line(command);
            for (auto word : *v)
                line += " " + std::string(word);
            std::string error = ApplySwitchCommand(line, options.switches);
            return error.empty() ? error : std::string(arg) + ": " + error;
        };
        std::string error;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--folder") {
            auto v = value(1);
            if (!v || (*v)[0].empty()) return "--folder needs a folder";
            options.folder = (*v)[0];
        } else if (arg == "--com") {
            auto v = value(1);
            auto com = v ? ParseNumber((*v)[0], 255) : std::nullopt;
            if (!com || *com == 0) return "--com needs a number from 1 to 255";
            options.com = static_cast<int>(*com);
            com_given = true;
        } else if (arg == "--port") {
            auto v = value(1);
            if (!v || (*v)[0].empty()) return "--port needs a device path";
            options.port = (*v)[0];
        } else if (arg == "--baud") {
            auto v = value(1);
            auto baud = v ? ParseNumber((*v)[0], 4'000'000) : std::nullopt;
            if (!baud || *baud == 0) return "--baud needs a line speed";
            options.baud = *baud;
        } else if (arg == "--charger-address") {
            error = address_into(DeviceId::kCharger);
        } else if (arg == "--inverter-address") {
            error = address_into(DeviceId::kInverter);
        } else if (arg == "--bms-address") {
            error = address_into(DeviceId::kBms);
        } else if (arg == "--turnaround-us") {
            error = as_command("delay-us", 1);
        } else if (arg == "--mute") {
            error = as_command("mute", 1);
        } else if (arg == "--corrupt-crc") {
            error = as_command("corrupt-crc on", 0);
        } else if (arg == "--reply-address") {
            error = as_command("reply-address", 1);
        } else if (arg == "--exception") {
            error = as_command("exception", 3);
        } else if (arg == "--time-scale") {
            error = as_command("time-scale", 1);
        } else if (arg == "--link-adopt") {
            error = as_command("link-adopt", 1);
        } else if (arg == "--set") {
            auto v = value(3);
            if (!v) return "--set needs DEVICE ADDRESS VALUE";
            RegisterCommand command;
            const auto parsed =
                ParseRegisterCommand("set " + std::string((*v)[0]) + " " + std::string((*v)[1]) +
                                         " " + std::string((*v)[2]),
                                     command);
            if (!parsed->empty()) return "--set: " + *parsed;
            options.registers.push_back(command);
        } else {
            return "unknown switch " + std::string(arg);
        }
        if (!error.empty()) return error;
    }
    if (options.help) return {};
    if (!options.port.empty()) {
        if (!options.folder.empty() || com_given) return "--port excludes --folder and --com";
        return {};
    }
    if (options.folder.empty() || !com_given) return "--folder and --com are needed";
    return {};
}

}  // namespace veltrona::sim
