#include "sim/bms_sim.h"

#include <algorithm>
#include <cmath>

#include "devices/bms/bms_blocks.h"

namespace veltrona::sim {
namespace {

constexpr std::uint16_t kCellVoltageBase = 0x0032;
constexpr std::uint16_t kCellTempBase = 0x00FA;

std::uint16_t U16(double v) {
    return static_cast<std::uint16_t>(std::lround(v));
}
std::uint32_t U32(double v) {
    return static_cast<std::uint32_t>(std::llround(v));
}

}  // namespace

BmsSim::BmsSim() : SimDevice(kBmsBlocks) {
    Set32(0x0000, 100'000);
    Set(0x0002, kCells);
    Set32(0x0006, 0x00010203);
    Set32(0x001C, 98'000);
    Set(0x0023, 42);
    Set(0x6800, 3);
    Set(0x6801, 4);
}

void BmsSim::Advance(double t) {
    std::uint32_t sum = 0;
    std::uint16_t high = 0;
    std::uint16_t low = 0xFFFF;
    for (std::uint16_t i = 0; i < kCells; ++i) {
        const std::uint16_t mv = U16(3300 + 6 * std::sin(t / 10.0 + i) + (i % 3));
        Set(static_cast<std::uint16_t>(kCellVoltageBase + i), mv);
        sum += mv;
        high = std::max(high, mv);
        low = std::min(low, mv);
    }
    std::int16_t hottest = -100;
    std::int16_t coolest = 100;
    int temp_sum = 0;
    for (std::uint16_t i = 0; i < kCells; ++i) {
        const auto c = static_cast<std::int16_t>(std::lround(24 + i % 4 + std::sin(t / 90.0)));
        Set(static_cast<std::uint16_t>(kCellTempBase + i), static_cast<std::uint16_t>(c));
        temp_sum += c;
        hottest = std::max(hottest, c);
        coolest = std::min(coolest, c);
    }
    const double amps = -5.0 + 2.0 * std::sin(t / 20.0);
    const double remaining = std::max(0.0, 80'000 - 5.0 * t / 3.6);
    Set32(0x0008, sum);
    Set32(0x000A, static_cast<std::uint32_t>(std::llround(amps * 1000)));
    Set32(0x000C, 0);
    Set32(0x000E, static_cast<std::uint32_t>(-5000));
    Set(0x0010, static_cast<std::uint16_t>(sum / kCells));
    Set(0x0011, high);
    Set(0x0012, low);
    Set(0x0013, static_cast<std::uint16_t>(temp_sum / kCells));
    Set(0x0014, static_cast<std::uint16_t>(hottest));
    Set(0x0015, static_cast<std::uint16_t>(coolest));
    Set(0x0016, U16(235 + 5 * std::sin(t / 120.0)));
    Set(0x0017, U16(remaining / 980.0));
    Set(0x0018, U16(remaining / 1000.0));
    Set32(0x001A, U32(remaining));
    Set(0x001E, U16(remaining / 5000.0 * 60));
    Set32(0x0030, DeviceClockNow());
}

}  // namespace veltrona::sim
