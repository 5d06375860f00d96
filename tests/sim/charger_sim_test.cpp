#include "sim/charger_sim.h"

#include <gtest/gtest.h>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_texts.h"

namespace veltrona::sim {
namespace {

template <typename Values>
Values Block(const ChargerSim& c, std::uint16_t base) {
    Values values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = c.Get(static_cast<std::uint16_t>(base + i));
    return values;
}

ChargerSettingsValues Settings(const ChargerSim& c) {
    return Block<ChargerSettingsValues>(c, 0x2800);
}

// Read by hand, low half in the lower register, so that the pair order is checked too.
std::uint32_t Pair(const ChargerSim& c, std::uint16_t address) {
    return c.Get(address) | std::uint32_t{c.Get(static_cast<std::uint16_t>(address + 1))} << 16;
}

// The write the program sends for a command: 0x0008..0x000F with code and parameter.
void Command(ChargerSim& c, std::uint16_t code, double t, std::uint16_t parameter = 0) {
    for (std::uint16_t a = 0x0008; a < 0x0010; ++a)
        c.Set(a, 0);
    c.Set(0x000A, code);
    c.Set(0x000B, parameter);
    c.Written(0x0008, 8, t);
}

bool Charging(const ChargerSim& c) {
    return c.Get(0x0616) != 0;
}

// The window's error lamp: 3 steady, 1 blinking, 0 dark.
int ErrorLamp(const ChargerSim& c) {
    const std::uint16_t state = c.Get(0x0600);
    if ((state & 0x06) != 0) return 3;
    return (state & 0x01) != 0 ? 1 : 0;
}

TEST(ChargerSim, RunStepsThroughTheStagesOnTheScaledClock) {
    ChargerSim c;
    c.SetTimeScale(60, 0);  // one second is a minute of the charger
    struct Expected {
        double t;
        std::uint16_t stage, stage_minutes, run_minutes;
        std::uint32_t centiamps, millivolts;
    };
    // AGM at 24 V: soft start, constant current, absorption, float.
    for (const Expected& e : {Expected{0, 2, 0, 0, 500, 25200},
                              {4.5, 2, 4, 4, 2300, 26280},
                              {5, 3, 0, 5, 2500, 26400},
                              {35, 3, 30, 35, 2500, 27600},
                              {65, 4, 0, 65, 2500, 28800},
                              {95, 4, 30, 95, 1350, 28800},
                              {125, 7, 0, 125, 50, 27240},
                              {1000, 7, 875, 1000, 50, 27240}}) {
        c.Advance(e.t);
        EXPECT_EQ(c.Get(0x0618), e.stage) << e.t;
        EXPECT_EQ(c.Get(0x0638), e.stage_minutes) << e.t;
        EXPECT_EQ(c.Get(0x0639), e.run_minutes) << e.t;
        EXPECT_EQ(Pair(c, 0x0628), e.centiamps) << e.t;
        EXPECT_EQ(Pair(c, 0x062E), e.millivolts) << e.t;
        EXPECT_EQ(c.Get(0x0600) & 0x30, 0x20) << e.t;  // the activity lamp steady
    }

    // One long step crosses every stage; a changed scale counts from the moment it changed.
    ChargerSim once;
    once.Advance(200 * 60);
    EXPECT_EQ(once.Get(0x0618), 7);
    EXPECT_EQ(once.Get(0x0638), 75);
    ChargerSim scaled;
    scaled.Advance(60);
    scaled.SetTimeScale(600, 60);
    scaled.Advance(61);
    EXPECT_EQ(scaled.Get(0x0639), 11);
    EXPECT_EQ(scaled.Get(0x0618), 3);
    scaled.SetTimeScale(0, 61);
    scaled.Advance(5000);
    EXPECT_EQ(scaled.Get(0x0639), 11);
}

TEST(ChargerSim, BatterySettingsChooseThePlanAtTheNextRun) {
    struct Plan {
        std::uint16_t type;
        std::uint16_t stages[4];  // at 0, 61, 101 and 181 minutes
    };
    for (const Plan& p : {Plan{36, {3, 3, 4, 7}}, {40, {3, 4, 5, 7}}, {99, {2, 3, 4, 7}}}) {
        ChargerSim c;
        c.SetTimeScale(60, 0);
        c.Set(0x280C, p.type);
        c.Set(0x2809, 480);
        EXPECT_EQ(c.Get(0x0611), 1);  // only a new run takes the settings
        Command(c, 2, 0);
        Command(c, 1, 0);
        EXPECT_EQ(c.Get(0x0611), p.type);
        EXPECT_EQ(c.Get(0x0610), 480);
        const double times[] = {0, 61, 101, 181};
        for (int i = 0; i < 4; ++i) {
            c.Advance(times[i]);
            EXPECT_EQ(c.Get(0x0618), p.stages[i]) << p.type << " at " << times[i];
        }
    }
    ChargerSim bad;
    bad.Set(0x2809, 100);  // no battery voltage code: the found one stays
    Command(bad, 2, 0);
    Command(bad, 1, 0);
    EXPECT_EQ(bad.Get(0x0610), 240);
}

TEST(ChargerSim, CountersIntegrateTheCurrent) {
    ChargerSim c;
    // Soft start: 5 to 25 A over 5 minutes is 1.25 A*h.
    c.Advance(300);
    EXPECT_EQ(Pair(c, 0x063A), 1'250u);
    EXPECT_EQ(Pair(c, 0x063C), 1'234'567u + 1'250u);
    EXPECT_EQ(Pair(c, 0x063E), 45'678u + 1'250u);
    // Then 25 A for 10 minutes, whatever the steps.
    c.Advance(900);
    EXPECT_EQ(Pair(c, 0x063A), 5'417u);
    ChargerSim stepped;
    for (double t = 0; t < 900; t += 0.7)
        stepped.Advance(t);
    stepped.Advance(900);
    EXPECT_EQ(Pair(stepped, 0x063A), 5'417u);

    // Off: nothing grows; the session stays until the next run starts from 0.
    Command(c, 2, 900);
    c.Advance(5000);
    EXPECT_EQ(Pair(c, 0x0628), 0u);
    EXPECT_EQ(Pair(c, 0x063A), 5'417u);
    EXPECT_EQ(Pair(c, 0x063E), 45'678u + 5'417u);
    Command(c, 1, 5000);
    EXPECT_EQ(Pair(c, 0x063A), 0u);
    EXPECT_EQ(Pair(c, 0x063C), 1'234'567u + 5'417u);
}

TEST(ChargerSim, CommandsAreAnsweredUntilTheMasterWritesZero) {
    ChargerSim c;
    auto answered = [&](std::uint16_t code, std::uint16_t result) {
        EXPECT_EQ(c.Get(0x060E), code);
        EXPECT_EQ(c.Get(0x060F), result) << "command " << code;
    };
    Command(c, 2, 10);
    answered(2, 1);
    EXPECT_FALSE(Charging(c));
    EXPECT_EQ(c.Get(0x0618), 0);
    EXPECT_EQ(c.Get(0x0600) & 0x30, 0x10);  // standby: the activity lamp blinks
    Command(c, 0, 11);
    answered(0, 0);

    Command(c, 4, 12);
    answered(4, 1);
    EXPECT_EQ(Pair(c, 0x063E), 0u);
    EXPECT_NE(Pair(c, 0x063C), 0u);
    Command(c, 3, 13);
    EXPECT_EQ(Pair(c, 0x063C), 0u);
    for (std::uint16_t unsupported : {6, 15, 17, 0xFFFF}) {
        Command(c, unsupported, 14);
        answered(unsupported, 2);
    }
    Command(c, 16, 15);
    answered(16, 1);

    // Errors clear only with the charge off and the parameter of the clear-errors button.
    Command(c, 1, 16);
    answered(1, 1);
    EXPECT_TRUE(Charging(c));
    c.InjectError({ChargerErrorKind::kSmall, 1}, 17);
    Command(c, 5, 18, 0x2000);
    answered(5, 3);
    EXPECT_EQ(c.Get(0x061C), 1);
    Command(c, 2, 19);
    Command(c, 5, 20, 0x1000);
    answered(5, 3);
    Command(c, 5, 21, 0x2000);
    answered(5, 1);
    EXPECT_EQ(c.Get(0x061C), 0);
    EXPECT_EQ(c.Get(0x0600) & 0x0F, 0);
}

TEST(ChargerSim, CalibrationKeepsCoefficientsUntilAStoringWrite) {
    ChargerSim c;
    const struct {
        std::uint16_t request;  // 0x2908, written with all four coefficients = written
        std::uint16_t written;
        std::uint16_t state;  // 0x0620 afterwards
        std::uint16_t kept;   // each coefficient afterwards
    } steps[] = {
        {0x8000, 10001, 0x8000, 10000},  // enabled, not stored: the charger keeps its own
        {0xC000, 10002, 0x8000, 10002},  // stored
        {0x0000, 9000, 0x0000, 10002},   // disabled: the stored values stay
        {0x4000, 11000, 0x0000, 11000},  // stored without calibration on
    };
    for (std::uint16_t a = 0x290A; a <= 0x290D; ++a)
        EXPECT_EQ(c.Get(a), 10000) << a;
    double t = 1;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.request);
        c.Set(0x2908, s.request);
        for (std::uint16_t a = 0x290A; a <= 0x290D; ++a)
            c.Set(a, s.written);
        c.Written(0x2908, 8, t++);
        EXPECT_EQ(c.Get(0x0620), s.state);
        for (std::uint16_t a = 0x290A; a <= 0x290D; ++a)
            EXPECT_EQ(c.Get(a), s.kept) << a;
    }
}

TEST(ChargerSim, StartsWithAValidProfileThatFactorySettingsRestore) {
    ChargerSim c;
    const ChargerSettingsValues start = Settings(c);
    ChargerSettingsValues validated = start;
    const ValidationResult result =
        ValidateSettings(Block<ChargerCapabilityValues>(c, 0x3000), validated);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(validated, start);  // nothing for validation to correct
    EXPECT_EQ(start[kSetTypeBattVoltage], 240);
    EXPECT_EQ(start[kSetTypeBatt], 1);
    EXPECT_EQ(start[0x0A], 200);  // a cell register the presets keep

    // The master offers what the capability bits allow: the profile's codes among them.
    const std::uint32_t voltages = Pair(c, 0x3000);
    for (const ChargerVoltageCode& v : kBatteryVoltageCodes)
        EXPECT_EQ((voltages >> v.capability_bit & 1) != 0, v.code <= 240) << v.code;
    for (const ChargerBatteryType& t : kBatteryTypes) {
        const bool offered = t.code <= 2 || t.code == 32;
        EXPECT_EQ((c.Get(0x3002) >> t.capability_bit & 1) != 0, offered) << t.code;
    }

    c.Set(0x2809, 480);
    c.Set(0x2850, 77);
    c.Set(0x281D, 6);
    c.Set(0x28FF, 1);
    Command(c, 16, 1);
    EXPECT_EQ(c.Get(0x060F), 1);
    EXPECT_EQ(Settings(c), start);
}

TEST(ChargerSim, InjectedErrorsShowInTheRegistersAndLamps) {
    struct Case {
        ChargerErrorKind kind;
        std::uint16_t address;
        int lamp;
        bool clear_button, stops;
    };
    for (const Case& e : {Case{ChargerErrorKind::kBig, 0x061B, 3, true, true},
                          {ChargerErrorKind::kSmall, 0x061C, 1, false, false},
                          {ChargerErrorKind::kClose, 0x061D, 3, true, true},
                          {ChargerErrorKind::kErr, 0x061E, 3, true, true}}) {
        ChargerSim c;
        c.InjectError({e.kind, 59}, 10);
        for (std::uint16_t a = 0x061B; a <= 0x061E; ++a)
            EXPECT_EQ(c.Get(a), a == e.address ? 59 : 0) << std::hex << a;
        EXPECT_EQ(ErrorLamp(c), e.lamp) << std::hex << e.address;
        EXPECT_EQ((c.Get(0x0600) & 0x04) != 0, e.clear_button) << std::hex << e.address;
        EXPECT_EQ(Charging(c), !e.stops) << std::hex << e.address;
        if (e.stops) {
            EXPECT_EQ(c.Get(0x0600) & 0x30, 0);  // neither charging nor ready
            Command(c, 1, 11);
            EXPECT_EQ(c.Get(0x060F), 3);  // no start while the error stands
            EXPECT_FALSE(Charging(c));
        }
        c.InjectError({ChargerErrorKind::kClear, 0}, 12);
        EXPECT_EQ(c.Get(e.address), 0);
        EXPECT_EQ(c.Get(0x0600) & 0x0F, 0);
        Command(c, 1, 13);
        EXPECT_EQ(c.Get(0x060F), 1);
        EXPECT_TRUE(Charging(c));
    }
}

TEST(ChargerSim, InputsAndOutputsFollowTheirControlCases) {
    ChargerSim c;
    c.SetTimeScale(60, 0);
    c.Advance(1);
    // Input 1 closed, the switch at on, output 1 following input 1.
    EXPECT_EQ(c.Get(0x0615), 0x0141);
    c.Set(0x281A, 2);  // output 1 follows input 2, which is open
    c.Set(0x281D, 6);  // output 2 after 10 minutes of charging
    c.Set(0x281E, 1);
    c.Set(0x281F, 10);
    c.Advance(9.5);
    EXPECT_EQ(c.Get(0x0615) & 0x0300, 0);
    c.Advance(10);
    EXPECT_EQ(c.Get(0x0615) & 0x0300, 0x0200);
    c.Set(0x281E, 0);  // inverse logic
    c.Advance(11);
    EXPECT_EQ(c.Get(0x0615) & 0x0200, 0);
    c.Set(0x281D, 5);  // battery voltage of at least 28.00 V: absorption holds 28.8 V
    c.Set(0x281E, 1);
    c.Set(0x281F, 2800);
    c.Advance(70);
    EXPECT_EQ(c.Get(0x0615) & 0x0200, 0x0200);
}

}  // namespace
}  // namespace veltrona::sim
