#include "sim/inverter_sim.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace veltrona::sim {
namespace {

double Signed(const InverterSim& inv, std::uint16_t address) {
    return static_cast<std::int16_t>(inv.Get(address));
}

// A master's write of one register, as the settings pages send it.
void Write(InverterSim& inv, std::uint16_t address, std::uint16_t value, double t) {
    inv.Set(address, value);
    inv.Written(address, 1, t);
}

// The command frame: code, parameter low half, parameter high half in one write.
void Command(InverterSim& inv, std::uint16_t code, std::uint32_t parameter, double t) {
    inv.Set(0x000A, code);
    inv.Set32(0x000B, parameter);
    inv.Written(0x000A, 3, t);
}

enum class Mode { kMains, kBattery, kOff };

// The UPS in a mode from t = 0 on: the mains lost by an input threshold above it.
void Enter(InverterSim& inv, Mode mode) {
    if (mode == Mode::kBattery) Write(inv, 0x360E, 24000, 0);
    if (mode == Mode::kOff) Command(inv, 12, 0, 0);
}

struct Range {
    std::uint16_t address;
    bool is_signed;
    double scale;
    double low[3];  // by mode
    double high[3];
};

// mains, battery, off
constexpr Range kRanges[] = {
    {0x0700, false, 100, {226, 226, 226}, {234, 234, 234}},  // input voltage
    {0x0701, true, 100, {1.5, 0, 0}, {6, 0, 0}},             // input current
    {0x0702, false, 100, {49.9, 49.9, 49.9}, {50.1, 50.1, 50.1}},
    {0x0704, false, 100, {229, 229, 0}, {231, 231, 0}},  // inverter voltage
    {0x0705, true, 100, {-3, 1.5, 0}, {0, 4.5, 0}},      // inverter current
    {0x0708, false, 100, {225, 229, 0}, {234, 231, 0}},  // output voltage
    {0x070A, false, 100, {49.9, 50, 0}, {50.1, 50, 0}},  // output frequency
    {0x070B, false, 1, {400, 400, 0}, {900, 900, 0}},    // load
    {0x070C, true, 10, {30, 30, 30}, {70, 70, 70}},      // heatsink
    {0x070D, true, 10, {20, 20, 20}, {35, 35, 35}},      // battery temperature
    {0x070E, false, 100, {26.5, 22, 25.5}, {28.5, 25.6, 26.2}},
    {0x070F, true, 100, {0, -45, 0}, {1, -15, 0}},   // battery current
    {0x0710, false, 1, {10, 10, 0}, {35, 35, 0}},    // load level, %
    {0x072A, true, 10, {40, 40, 40}, {60, 60, 60}},  // transformer
};

struct ModeFacts {
    std::uint16_t operating, inverter, relays, alarms, charge, sync, alarm_state;
};

// Relays: mains through transfer and neutral, battery on inverter and ground with both
// outputs; input 0 always.
constexpr ModeFacts kFacts[] = {
    {1, 3, 0x0043, 0, 4, 0x000F, 1},
    {2, 3, 0x007C, 0x0002, 0, 0x0008, 4},
    {0, 0, 0x0040, 0, 0, 0, 0},
};

TEST(InverterSim, LiveValuesStayPlausibleInEachMode) {
    for (const Mode mode : {Mode::kMains, Mode::kBattery, Mode::kOff}) {
        const auto m = static_cast<std::size_t>(mode);
        InverterSim inv;
        Enter(inv, mode);
        double load_min = 1e9;
        double load_max = 0;
        for (double t = 2; t < 4 * 3600; t += 37) {
            inv.Advance(t);
            for (const Range& r : kRanges) {
                const double v =
                    (r.is_signed ? Signed(inv, r.address) : inv.Get(r.address)) / r.scale;
                EXPECT_GE(v, r.low[m]) << std::hex << r.address << " mode " << m << " t " << t;
                EXPECT_LE(v, r.high[m]) << std::hex << r.address << " mode " << m << " t " << t;
            }
            const ModeFacts& f = kFacts[m];
            EXPECT_EQ(inv.Get(0x0712), f.operating) << m;
            EXPECT_EQ(inv.Get(0x0718), f.inverter) << m;
            EXPECT_EQ(inv.Get(0x0715), f.relays) << m;
            EXPECT_EQ(inv.Get(0x0713), f.alarms) << m;
            EXPECT_EQ(inv.Get(0x0711), f.charge) << m;
            EXPECT_EQ(inv.Get(0x0723), f.sync) << m;
            // The inner block repeats the live states, alarms, relays and inputs.
            EXPECT_EQ(inv.Get(0x071A), inv.Get(0x0711));
            EXPECT_EQ(inv.Get(0x071B), inv.Get(0x0712));
            EXPECT_EQ(inv.Get(0x071C), 0) << "no switching long after it";
            EXPECT_EQ(inv.Get(0x0721), inv.Get(0x0713));
            EXPECT_EQ(inv.Get(0x0722), inv.Get(0x0714));
            const std::uint16_t relays = inv.Get(0x0715);
            // Dout: MODE_GND, MODE_N, MODE_TX follow the ground, neutral and transfer relays.
            EXPECT_EQ(inv.Get(0x0724) >> 5 & 0x7,
                      (relays >> 2 & 1) | (relays >> 1 & 1) << 1 | (relays & 1) << 2);
            EXPECT_EQ(inv.Get(0x0725) & 0xC0, relays & 0xC0);
            EXPECT_EQ(inv.Get(0x0729), f.alarm_state) << m;
            load_min = std::min<double>(load_min, inv.Get(0x070B));
            load_max = std::max<double>(load_max, inv.Get(0x070B));
        }
        if (mode != Mode::kOff) {
            EXPECT_GT(load_max - load_min, 200) << "the load moves";
        }
    }
}

TEST(InverterSim, BoundsHoldEverySetting) {
    const InverterSim inv;
    auto is_signed = [](std::uint16_t a) { return a == 0x3624 || (a >= 0x362D && a <= 0x3632); };
    for (std::uint16_t i = 0; i < InverterSim::kSettingsCount; ++i) {
        const auto at = [&](std::uint16_t base) {
            const std::uint16_t raw = inv.Get(static_cast<std::uint16_t>(base + i));
            return is_signed(static_cast<std::uint16_t>(0x3600 + i))
                       ? int{static_cast<std::int16_t>(raw)}
                       : int{raw};
        };
        EXPECT_LE(at(0x3700), at(0x3600)) << std::hex << 0x3600 + i;
        EXPECT_LE(at(0x3600), at(0x3800)) << std::hex << 0x3600 + i;
        EXPECT_LT(at(0x3700), at(0x3800)) << std::hex << 0x3600 + i;
    }
    for (std::uint16_t a = 0x3637; a <= 0x3656; ++a)
        EXPECT_NE(inv.Get(a), 0) << std::hex << a;
}

struct Expect {
    std::uint16_t address;
    std::uint16_t value;
};

struct CommandCase {
    const char* name;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> commands;  // code, parameter
    std::vector<Expect> expected;
};

TEST(InverterSim, CommandsChangeWhatItReports) {
    const CommandCase cases[] = {
        {"off",
         {{12, 0}},
         {{0x0007, 0},
          {0x0712, 0},
          {0x0718, 0},
          {0x0715, 0x40},
          {0x0711, 0},
          {0x0708, 0},
          {0x071C, 3},
          {0x0728, 0x6}}},
        {"off and on",
         {{12, 0}, {11, 0}},
         {{0x0007, 8}, {0x0712, 1}, {0x0718, 3}, {0x0715, 0x43}, {0x071C, 2}, {0x0728, 0x1}}},
        {"on when on", {{11, 0}}, {{0x0007, 8}, {0x0712, 1}, {0x071C, 0}, {0x0728, 0}}},
        {"new cycle",
         {{13, 0}},
         {{0x0711, 1}, {0x071A, 1}, {0x0726, 1}, {0x0727, 1}, {0x0716, 1000}, {0x0717, 2820}}},
        {"charging current", {{9, 2500}}, {{0x3617, 2500}, {0x0716, 2500}}},
        {"charging current above", {{9, 99999}}, {{0x3617, 4000}}},
        {"charging current below", {{9, 0}}, {{0x3617, 100}}},
        {"charging voltage then cycle", {{10, 2880}, {13, 0}}, {{0x361C, 2880}, {0x0717, 2880}}},
        {"charging voltage above", {{10, 0x10000 + 2600}}, {{0x361C, 3000}}},
        {"clock", {{3, 631152000}}, {{0x0008, 0x9D80}, {0x0009, 0x259E}}},
        {"unknown", {{99, 7}}, {{0x0007, 8}, {0x0711, 4}, {0x3617, 1000}}},
    };
    for (const CommandCase& c : cases) {
        InverterSim inv;
        double t = 100;
        for (const auto& [code, parameter] : c.commands) {
            Command(inv, code, parameter, t);
            t += 0.2;
        }
        for (const Expect& e : c.expected)
            EXPECT_EQ(inv.Get(e.address), e.value) << c.name << " 0x" << std::hex << e.address;
    }
}

TEST(InverterSim, SavingAndTheAlarmJournal) {
    InverterSim inv;
    Write(inv, 0x3617, 1500, 1);
    Write(inv, 0x2000, 9, 1);
    EXPECT_EQ(inv.SavedSettings()[0x17], 1000);
    Command(inv, 2, 0, 2);
    EXPECT_EQ(inv.SavedLink()[0], 9);
    EXPECT_EQ(inv.SavedSettings()[0x17], 1000);
    Command(inv, 1, 0, 3);
    EXPECT_EQ(inv.SavedSettings()[0x17], 1500);

    // Each loss of the mains below its threshold is one entry, while the log word selects it.
    for (int i = 0; i < 2; ++i) {
        Write(inv, 0x360E, 24000, 10 + 10 * i);
        Write(inv, 0x360E, 18000, 15 + 10 * i);
    }
    EXPECT_EQ(inv.JournalEntries(), 2u);
    Command(inv, 4, 0, 40);
    EXPECT_EQ(inv.JournalEntries(), 0u);
    Write(inv, 0x3604, 0xFFFD, 41);
    Write(inv, 0x360E, 24000, 42);
    EXPECT_EQ(inv.Get(0x0713), 0x0002);
    EXPECT_EQ(inv.JournalEntries(), 0u);
}

TEST(InverterSim, MainsThresholdsWithRecovery) {
    struct Step {
        std::uint16_t address, value;
        std::uint16_t operating, alarms, switching;
    };
    // The mains moves between about 227 and 233 V.
    const Step steps[] = {
        {0x360E, 24000, 2, 0x0002, 1},  // above the mains: to battery
        {0x360F, 24500, 2, 0x0002, 0},
        {0x360E, 22000, 2, 0x0002, 0},  // below, but recovery still
                                        // above the mains
        {0x360F, 22500, 1, 0, 2},
        {0x3610, 22000, 2, 0x0001, 1},  // over-voltage the same way
        {0x3611, 21500, 2, 0x0001, 0},
        {0x3610, 26000, 2, 0x0001, 0},
        {0x3611, 25000, 1, 0, 2},
    };
    InverterSim inv;
    double t = 0;
    for (const Step& s : steps) {
        t += 10;
        Write(inv, s.address, s.value, t);
        EXPECT_EQ(inv.Get(0x0712), s.operating) << std::hex << s.address << " " << s.value;
        EXPECT_EQ(inv.Get(0x0713), s.alarms) << std::hex << s.address << " " << s.value;
        inv.Advance(t + 0.5);
        EXPECT_EQ(inv.Get(0x071C), s.switching) << std::hex << s.address << " " << s.value;
    }
}

TEST(InverterSim, ChargeCycleStepsThroughItsStages) {
    struct Point {
        double t;
        std::uint16_t state, status;
    };
    struct Cycle {
        std::uint16_t charge_set;
        std::vector<Point> points;
    };
    // Bulk from float 27.00 V to 28.20 V takes 225 s, absorption 2 h, equalization 1 h.
    const Cycle cycles[] = {
        {0x3, {{10, 1, 0x01}, {230, 1, 0x01}, {240, 2, 0x03}, {7400, 2, 0x03}, {7500, 4, 0x0B}}},
        {0x7, {{240, 2, 0x03}, {7500, 3, 0x0B}, {11000, 3, 0x0B}, {11100, 4, 0x2B}}},
        {0x0, {{230, 1, 0x01}, {240, 0, 0x03}, {50000, 0, 0x03}}},
        {0x3, {{100000, 4, 0x0B}}},  // one long step crosses every stage
    };
    for (const Cycle& c : cycles) {
        InverterSim inv;
        Write(inv, 0x361A, c.charge_set, 1);
        Command(inv, 13, 0, 10);
        for (const Point& p : c.points) {
            inv.Advance(p.t);
            EXPECT_EQ(inv.Get(0x0711), p.state) << c.charge_set << " t " << p.t;
            EXPECT_EQ(inv.Get(0x0727), p.status) << c.charge_set << " t " << p.t;
        }
    }
}

TEST(InverterSim, ClockRunsWithTheTimeBaseAndTakesASetting) {
    const std::uint32_t before = DeviceClockNow();
    InverterSim inv;
    const std::uint32_t after = DeviceClockNow();
    EXPECT_GE(inv.Get32(0x0008), before);
    EXPECT_LE(inv.Get32(0x0008), after);

    inv.Advance(5);
    Command(inv, 3, 631152000, 10);
    EXPECT_EQ(inv.Get32(0x0008), 631152000u);
    inv.Advance(25.5);
    EXPECT_EQ(inv.Get32(0x0008), 631152015u);
    inv.Advance(20);  // a time base that starts again does not turn the clock back
    EXPECT_EQ(inv.Get32(0x0008), 631152015u);
    inv.Advance(21);
    EXPECT_EQ(inv.Get32(0x0008), 631152016u);
}

}  // namespace
}  // namespace veltrona::sim
