#include "sim/charger_sim.h"

#include <cmath>

#include "devices/charger/charger_blocks.h"

namespace veltrona::sim {
namespace {

struct Preset {
    std::uint16_t address;
    std::uint16_t value;
};

constexpr Preset kPresets[] = {
    // identification
    {0x0000, 2},
    {0x0001, 1},
    {0x0002, 0x0107},
    {0x0007, 0x00C0},
    // live block: connected, available, active; firmware 1.2.0.7; AGM at 24 V
    {0x0600, 0x00E0},
    {0x0602, 1},
    {0x0603, 2},
    {0x0604, 0},
    {0x0605, 7},
    {0x0606, 3},
    {0x0610, 240},
    {0x0611, 1},
    {0x0615, 0x0101},
    {0x0617, 1},
    {0x0619, 1},
    // settings
    {0x2800, 1},
    {0x2803, 12},
    {0x2804, 56},
    {0x2809, 240},
    {0x280A, 200},
    {0x280B, 12},
    {0x280C, 1},
    // link: address 1, 115200, 8N1
    {0x2000, 1},
    {0x2001, 4},
    {0x2002, 0},
    // capability: 12, 24, 36 and 48 V; GEL, AGM, FLOODED; 30.00 V; 40.00 A at 24 V
    {0x3000, 0x0D80},
    {0x3002, 0x0007},
    {0x3003, 3000},
    {0x300C, 4000},
};

constexpr std::uint16_t kCommand = 0x000A;
constexpr std::uint16_t kCommandAnswer = 0x060E;
constexpr std::uint16_t kCommandResult = 0x060F;
constexpr double kStageMinutes = 5;

// Charge current in A, and its integral from 0 in A*s.
double Current(double t) {
    return 25.0 + std::sin(t / 5.0);
}
double Charge(double t) {
    return 25.0 * t + 5.0 * (1.0 - std::cos(t / 5.0));
}

std::uint16_t U16(double v) {
    return static_cast<std::uint16_t>(std::lround(v));
}
std::uint32_t U32(double v) {
    return static_cast<std::uint32_t>(std::llround(v));
}

}  // namespace

ChargerSim::ChargerSim() : SimDevice(kChargerBlocks) {
    for (const Preset& p : kPresets)
        Set(p.address, p.value);
    Set32(0x0003, 20240611);
    Set32(0x0005, 1200345);
}

void ChargerSim::Advance(double t) {
    Set32(0x0008, DeviceClockNow());
    Set(0x0613, U16(23000 + 150 * std::sin(t / 7.0)));
    Set(0x0616, charging_ ? 1 : 0);

    const double run = t - run_start_;
    const double amps = charging_ ? Current(t) : 0.0;
    const double volts = charging_ ? 27.6 + 0.4 * (1 - std::exp(-run / 600.0)) : 25.4;
    Set(0x0614, U16(charging_ ? 380 + 40 * std::sin(t / 3.0) : 12));
    Set32(0x0628, U32(amps * 100));
    Set32(0x062A, U32(amps * 100 + 3));
    Set32(0x062E, U32(volts * 1000 + 20 * std::sin(t / 4.0)));
    Set32(0x0632, U32(volts * amps * 1000));
    Set(0x0634, U16(250 + 10 * std::sin(t / 60.0)));
    Set(0x0635, U16(350 + 20 * std::sin(t / 45.0)));
    Set(0x0636, U16(330 + 15 * std::sin(t / 50.0)));

    const double minutes = run / 60.0;
    const auto stage_index = static_cast<std::uint16_t>(minutes / kStageMinutes);
    Set(0x0618, charging_ ? static_cast<std::uint16_t>(1 + stage_index % 3) : 0);
    Set(0x0638, charging_ ? U16(std::floor(std::fmod(minutes, kStageMinutes))) : 0);
    Set(0x0639, charging_ ? static_cast<std::uint16_t>(minutes) : 0);

    const double session = charging_ ? Charge(t) - Charge(run_start_) : 0.0;
    const double ah_milli = (charge_before_ + session) / 3.6;
    Set32(0x063A, U32(session / 3.6));
    Set32(0x063C, U32(1'234'567 + ah_milli));
    Set32(0x063E, U32(45'678 + ah_milli));
}

void ChargerSim::Written(std::uint16_t start, std::uint16_t count, double t) {
    if (kCommand < start || kCommand >= start + count) return;
    const std::uint16_t code = Get(kCommand);
    std::uint16_t result = 1;
    if (code == 1 && !charging_) {
        charging_ = true;
        run_start_ = t;
    } else if (code == 2 && charging_) {
        charge_before_ += Charge(t) - Charge(run_start_);
        charging_ = false;
    } else if (code > 2 && code != 5) {
        result = 2;
    }
    Set(kCommandAnswer, code);
    Set(kCommandResult, code == 0 ? 0 : result);
}

}  // namespace veltrona::sim
