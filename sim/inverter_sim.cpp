#include "sim/inverter_sim.h"

#include <cmath>

#include "devices/inverter/inverter_blocks.h"

namespace veltrona::sim {
namespace {

struct Preset {
    std::uint16_t address;
    std::uint16_t value;
};

constexpr Preset kPresets[] = {
    // identification: switched on (status bit 3)
    {0x0000, 3},
    {0x0001, 1},
    {0x0002, 0x0203},
    {0x0007, 0x0008},
    // live: buffer charge, mains pass-through, inverter running; relays 1 and 2
    {0x0711, 4},
    {0x0712, 1},
    {0x0715, 0x0003},
    {0x0716, 1000},
    {0x0717, 2880},
    {0x0718, 3},
    // settings: GEL battery
    {0x3619, 2},
    // link: address 3, 115200, 8N1
    {0x2000, 3},
    {0x2001, 4},
    {0x2002, 0},
};

constexpr std::uint16_t kCommand = 0x000A;
constexpr std::uint16_t kStatus = 0x0007;
constexpr std::uint16_t kSwitchedOn = 0x0008;
constexpr std::uint16_t kSettingsMax = 0x3800;
constexpr std::uint16_t kSettingsCount = 55;
constexpr std::uint8_t kLoaderOk = 1;

std::uint16_t U16(double v) {
    return static_cast<std::uint16_t>(std::lround(v));
}

}  // namespace

InverterSim::InverterSim() : SimDevice(kInverterBlocks) {
    for (const Preset& p : kPresets)
        Set(p.address, p.value);
    Set32(0x0003, 20240520);
    Set32(0x0005, 7150042);
    for (std::uint16_t i = 0; i < kSettingsCount; ++i) {
        Set(static_cast<std::uint16_t>(kSettingsMax + i), 0xFFFF);
    }
}

void InverterSim::Advance(double t) {
    Set32(0x0008, static_cast<std::uint32_t>(DeviceClockNow() + clock_offset_));
    const bool on = (Get(kStatus) & kSwitchedOn) != 0;
    const double in_v = 230.0 + 2.0 * std::sin(t / 9.0);
    const double in_a = 3.5 + 0.5 * std::sin(t / 4.0);
    const double out_v = 229.5 + 1.0 * std::sin(t / 13.0);
    const double out_a = on ? 3.0 + 0.6 * std::sin(t / 6.0) : 0.0;
    Set(0x0700, U16(in_v * 100));
    Set(0x0701, U16(in_a * 100));
    Set(0x0702, U16(5000 + 5 * std::sin(t / 11.0)));
    Set(0x0703, U16(in_v * in_a));
    Set(0x0704, on ? U16(out_v * 100 + 20) : 0);
    Set(0x0705, U16(out_a * 100));
    Set(0x0706, on ? 5000 : 0);
    Set(0x0707, U16(out_v * out_a));
    Set(0x0708, U16(out_v * 100));
    Set(0x0709, U16(out_a * 100));
    Set(0x070A, on ? U16(5000 + 5 * std::sin(t / 11.0)) : 0);
    Set(0x070B, U16(out_v * out_a));
    Set(0x070C, U16(420 + 30 * std::sin(t / 40.0)));
    Set(0x070D, U16(260 + 5 * std::sin(t / 70.0)));
    Set(0x070E, U16(2720 + 30 * std::sin(t / 8.0)));
    Set(0x070F, U16(500 + 200 * std::sin(t / 8.0)));
    Set(0x0710, U16(out_v * out_a / 30.0));
    Set(0x0718, on ? 3 : 0);
}

void InverterSim::Written(std::uint16_t start, std::uint16_t count, double) {
    if (kCommand < start || kCommand >= start + count) return;
    switch (Get(kCommand)) {
        case 3:
            clock_offset_ = std::int64_t{Get32(0x000B)} - DeviceClockNow();
            break;
        case 11:
            Set(kStatus, static_cast<std::uint16_t>(Get(kStatus) | kSwitchedOn));
            break;
        case 12:
            Set(kStatus, static_cast<std::uint16_t>(Get(kStatus) & ~kSwitchedOn));
            break;
        default:
            break;
    }
}

std::vector<std::uint8_t> InverterSim::LoaderReply(std::span<const std::uint8_t> request) {
    switch (request[1]) {
        case 0x20:
        case 0x31:
            return {request[1], request[2], kLoaderOk};
        case 0x21:
            return {0x21, kLoaderOk};
        case 0x30:
            return {0x30, kLoaderOk};
        default:
            return {};
    }
}

}  // namespace veltrona::sim
