#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrona::sim {

// Index of a stand-in in the per-device arrays below.
enum class DeviceId : std::uint8_t { kCharger = 0, kInverter = 1, kBms = 2 };
inline constexpr std::size_t kDeviceCount = 3;

std::string_view DeviceName(DeviceId id);
std::optional<DeviceId> DeviceByName(std::string_view name);

// An exception code given for every read or write that touches [first, last].
struct ExceptionRule {
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    std::uint8_t code = 0;
};

// What a test may change while the stand-ins run.
struct SimSwitches {
    std::uint32_t turnaround_us = 2000;
    bool corrupt_crc = false;
    std::optional<std::uint8_t> reply_address;
    std::vector<ExceptionRule> exceptions;
    std::array<bool, kDeviceCount> muted{};
    std::uint32_t time_scale = 1;  // how much faster than the wall clock the charger runs
    bool link_adopt_now = false;   // new line settings taken at once, the write unanswered
};

// One error register of the charger (ErrBig, ErrSmall, ErrCloseChrg, Err), or all of them.
enum class ChargerErrorKind : std::uint8_t { kBig, kSmall, kClose, kErr, kClear };

struct ChargerErrorCommand {
    ChargerErrorKind kind = ChargerErrorKind::kClear;
    std::uint16_t code = 0;
};

// "set DEVICE ADDRESS VALUE" pins a register of a stand-in; "unset DEVICE ADDRESS" (no value)
// lets the stand-in compute it again.
struct RegisterCommand {
    DeviceId device = DeviceId::kCharger;
    std::uint16_t address = 0;
    std::optional<std::uint16_t> value;
};

struct SimOptions {
    std::string folder;
    int com = 0;
    std::string port;  // a real serial device instead of a pseudo-terminal
    std::uint32_t baud = 115200;
    std::array<std::uint8_t, kDeviceCount> addresses{1, 3, 3};
    SimSwitches switches;
    std::vector<RegisterCommand> registers;  // from --set, in order
    bool help = false;
};

extern const char kUsage[];

// Applies one line command ("mute inverter", "delay-us 30000", ...). Returns an empty string
// on success, else the reason; the switches are unchanged on failure.
std::string ApplySwitchCommand(std::string_view line, SimSwitches& switches);

// Parses "charger-error big|small|close|err CODE" and "charger-error clear": nothing for a
// line that is another command, else an empty string on success or the reason.
std::optional<std::string> ParseChargerError(std::string_view line, ChargerErrorCommand& error);

// Parses "set DEVICE ADDRESS VALUE" and "unset DEVICE ADDRESS" (VALUE may be negative, as
// two's complement): nothing for another command, else an empty string or the reason.
std::optional<std::string> ParseRegisterCommand(std::string_view line, RegisterCommand& command);

// Returns an empty string on success, else the reason.
std::string ParseOptions(int argc, const char* const* argv, SimOptions& options);

}  // namespace veltrona::sim
