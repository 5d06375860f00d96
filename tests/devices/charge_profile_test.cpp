// Charge profile rules: presets, limits, coupling, validation and the wrap mends.

#include "devices/charger/charge_profile.h"

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

namespace veltrona {

void PrintTo(const ValueRange& range, std::ostream* os) {
    *os << "[" << range.min << ", " << range.max << "]";
}

namespace {

constexpr std::array<std::uint16_t, 4> kVoltages{120, 240, 360, 480};
constexpr std::array<std::uint16_t, 8> kTypes{0, 1, 2, 4, 8, 32, 36, 40};

constexpr std::uint16_t Raw(int value) {
    return static_cast<std::uint16_t>(value);
}
constexpr std::size_t S(std::size_t n, std::size_t offset) {
    return StageIndex(n, offset);
}

using Changes = std::vector<std::pair<std::size_t, int>>;  // settings index, raw value

ChargerSettingsValues Presets(std::uint16_t voltage, std::uint16_t type) {
    ChargerSettingsValues settings{};
    EXPECT_TRUE(ApplyPresets(settings, voltage, type)) << voltage << " " << type;
    return settings;
}

TEST(ChargeProfile, ChargeScripts) {
    struct Row {
        std::uint16_t type;
        std::vector<std::pair<int, int>> stages;  // stage, mask
        bool capacity_editable;
    };
    const std::vector<std::pair<int, int>> acid{{1, 511}, {2, 415}, {3, 415},
                                                {4, 415}, {5, 415}, {7, 415}};
    auto acid9 = acid;
    acid9.emplace_back(9, 511);
    // clang-format off
    const Row rows[] = {
        {0, acid, true}, {1, acid, true}, {2, acid9, true}, {32, acid9, false},
        {4, {{3, 415}, {6, 415}, {7, 415}}, false}, {36, {{3, 415}, {6, 415}, {7, 415}}, false},
        {8, {{3, 399}, {5, 395}, {7, 399}}, false}, {40, {{3, 399}, {5, 395}, {7, 399}}, false},
        {3, {}, false}, {99, {}, false},
    };
    // clang-format on
    for (const Row& row : rows) {
        const ChargeScript script = ChargeScriptFor(row.type);
        std::vector<std::pair<int, int>> got;
        for (const ChargeScriptStage& stage : script.stages)
            got.emplace_back(stage.stage, stage.mask);
        EXPECT_EQ(got, row.stages) << row.type;
        EXPECT_EQ(script.capacity_editable, row.capacity_editable) << row.type;
    }
}

TEST(ChargeProfile, PresetsByTypeAndVoltage) {
    struct Row {
        std::uint16_t voltage, type;
        std::size_t index;
        int expected;
    };
    // clang-format off
    const Row rows[] = {
        // GEL 24 V: K x 50, 2 x the 12 V values, stage 2 raised to the range minimum.
        {240, 0, S(3, kStageCurrent1), 750}, {240, 0, S(3, kStageVoltage1), 2840},
        {240, 0, S(3, kStageFTemp), -48}, {240, 0, S(2, kStageCurrent1), 100},
        {240, 0, kSetChargeCurrentMax, 750}, {240, 0, kSetChargeTimeMax, 0},
        {240, 0, S(9, kStageFTemp), -36}, {480, 0, S(9, kStageFTemp), -96},
        {120, 0, S(1, kStageDescript), 0x6000}, {120, 0, S(1, kStageTimePause), 90},
        {120, 0, S(9, kStageTimePulse), 900}, {120, 0, S(7, kStageFTemp), -18},
        {120, 1, S(3, kStageCurrent1), 1000}, {120, 1, S(4, kStageVoltage1), 1450},
        {120, 1, S(3, kStageTimeStage), 540}, {240, 1, S(9, kStageFTemp), -36},
        {120, 2, S(9, kStageDescript), 0x6000}, {360, 2, S(9, kStageVoltage1), 4740},
        {120, 2, S(9, kStageTimeStage), 720}, {120, 2, S(7, kStageCurrent1), 100},
        {120, 2, S(3, kStageCurrent1), 500}, {120, 2, kSetCapacityBatt, 50},
        {360, 32, S(9, kStageVoltage1), 4740}, {120, 32, S(3, kStageCurrent1), 500},
        {120, 32, S(1, kStageDescript), 0x2000}, {120, 32, S(9, kStageTimeStage), 720},
        {240, 32, S(9, kStageFTemp), -36}, {120, 32, kSetChargeCurrentOff, 100},
        {240, 4, S(3, kStageVoltage1), 2888}, {240, 4, S(4, kStageVoltage1), 2880},
        {360, 36, S(3, kStageVoltage1), 4320}, {120, 36, S(4, kStageCurrent2), 500},
        {480, 4, S(6, kStageFTemp), -112}, {120, 4, kSetChargeCurrentOff, 400},
        {120, 4, kSetCapacityBatt, 330}, {120, 4, S(5, kStageDescript), 0xE000},
        {480, 8, S(5, kStageVoltage1), 5920}, {120, 40, kSetChargeCurrentOff, 600},
        {120, 8, kSetCapacityBatt, 380}, {120, 8, S(7, kStageDescript), 0},
        {120, 8, kSetChargeCurrentMax, 1000}, {120, 8, S(3, kStageFTemp), 0},
        // Global registers.
        {480, 0, kSetChargeVoltageRecom, 4200}, {120, 0, kSetReleLockControlTime, 10},
        {120, 0, kSetReleOut1ControlCase + 1, 1}, {120, 0, kSetReleOut2ControlCase + 1, 1},
        {120, 0, kSetStageSetShift, 56}, {120, 0, kSetChargeTempMax, 400},
        {120, 0, S(12, kStageDurationPass), 30},
    };
    // clang-format on
    for (const Row& row : rows)
        EXPECT_EQ(Presets(row.voltage, row.type)[row.index], Raw(row.expected))
            << row.voltage << "/" << row.type << " index " << row.index;

    // An invalid code does step 1 only.
    for (auto [voltage, type] : {std::pair<int, int>{110, 0}, {120, 99}}) {
        ChargerSettingsValues settings{};
        settings[kSetTypeBatt] = 7;
        EXPECT_FALSE(ApplyPresets(settings, voltage, type));
        EXPECT_EQ(settings[kSetWaySaveSettings], 1);
        EXPECT_EQ(settings[kSetStageCount], 12);
        EXPECT_EQ(settings[kSetTypeBatt], 7);
        EXPECT_EQ(settings[S(3, kStageCurrent1)], 0);
    }
}

TEST(ChargeProfile, PresetStageLimitsKTimesCapacity) {
    struct Row {
        std::uint16_t voltage, type, capacity;
        std::size_t n;
        int current;
    };
    const Row rows[] = {
        {480, 0, 330, 3, 4950},    {480, 0, 400, 3, 5000},
        {120, 0, 50, 1, 250},      {120, 1, 3300, 3, 12000},  // 66000 would wrap to 464 in 16 bits
        {120, 2, 60000, 7, 12000}, {120, 0, 1000, 6, 0},
    };
    for (const Row& row : rows) {
        ChargerSettingsValues settings{};
        settings[kSetTypeBattVoltage] = row.voltage;
        settings[kSetTypeBatt] = row.type;
        settings[kSetCapacityBatt] = row.capacity;
        PresetStage(settings, row.n);
        EXPECT_EQ(settings[S(row.n, kStageCurrent1)], row.current) << row.capacity;
    }
}

TEST(ChargeProfile, StageLimitTables) {
    struct Row {
        std::uint16_t voltage, type;
        StageField field;
        std::size_t n;
        ValueRange range;
    };
    const Row rows[] = {
        {120, 32, kFieldCurrent1, 1, {100, 8000}},  {480, 32, kFieldCurrent1, 9, {100, 5000}},
        {120, 32, kFieldCurrent1, 6, {0, 0}},       {120, 32, kFieldCurrent2, 3, {0, 0}},
        {360, 32, kFieldVoltage1, 6, {3450, 3780}}, {240, 32, kFieldVoltage1, 9, {2000, 3400}},
        {120, 32, kFieldVoltage1, 8, {0, 0}},       {480, 32, kFieldFTemp, 11, {-144, 0}},
        {120, 32, kFieldTimePulse, 9, {60, 1800}},  {120, 32, kFieldTimePause, 1, {15, 240}},
        {120, 32, kFieldTimePulse, 2, {0, 0}},      {120, 32, kFieldTimeStage, 6, {1, 5}},
        {120, 32, kFieldTimeStage, 9, {30, 960}},   {120, 32, kFieldTimeStage, 7, {0, 1440}},
        {240, 4, kFieldCurrent1, 3, {100, 10000}},  {240, 36, kFieldCurrent1, 7, {100, 1000}},
        {120, 4, kFieldCurrent2, 4, {100, 3000}},   {120, 4, kFieldCurrent2, 3, {0, 0}},
        {480, 4, kFieldVoltage1, 3, {4000, 6800}},  {120, 4, kFieldVoltage1, 4, {1000, 1600}},
        {120, 4, kFieldVoltage1, 6, {1000, 1700}},  {240, 4, kFieldFTemp, 1, {-72, 0}},
        {120, 4, kFieldTimePulse, 3, {0, 0}},       {120, 4, kFieldTimeStage, 7, {0, 960}},
        {120, 4, kFieldTimeStage, 6, {30, 480}},    {360, 8, kFieldCurrent1, 7, {100, 5900}},
        {360, 40, kFieldCurrent1, 6, {100, 6000}},  {120, 8, kFieldFTemp, 3, {0, 0}},
        {120, 8, kFieldTimeStage, 5, {30, 1440}},   {120, 8, kFieldTimeStage, 7, {0, 1440}},
        {999, 8, kFieldVoltage1, 3, {1000, 1700}},  // any other voltage code counts as 12 V
    };
    for (const Row& row : rows) {
        const auto limits = StageLimits(row.voltage, row.type);
        ASSERT_TRUE(limits) << row.type;
        EXPECT_EQ(limits->ranges[row.field][row.n - 1], row.range)
            << row.voltage << "/" << row.type << " field " << row.field << " stage " << row.n;
    }
    for (std::uint16_t type : {0, 1, 2, 3, 99})
        EXPECT_FALSE(StageLimits(120, type)) << type;
    for (std::uint16_t type : {4, 8, 32}) {
        for (std::size_t n = 1; n <= 12; ++n)
            EXPECT_EQ(StageLimits(240, type)->time_step[n - 1], n == 5 && type != 8 ? 1 : 10);
    }
}

TEST(ChargeProfile, LimitsAndGlobalRanges) {
    EXPECT_EQ(LimitTo(50, {100, 200}, false), 100);
    EXPECT_EQ(LimitTo(0xFFFF, {100, 200}, false), 200);  // unsigned: 65535, not -1
    EXPECT_EQ(LimitTo(Raw(-200), {-144, 0}, true), Raw(-144));
    EXPECT_EQ(LimitTo(5, {-36, 0}, true), 0);
    EXPECT_EQ(LimitTo(150, {100, 50}, false), 50);  // minimum first, then maximum
    EXPECT_EQ(CapacityRange(360, 2)->max, 600);
    EXPECT_EQ(CapacityRange(480, 32)->max, 500);
    EXPECT_FALSE(CapacityRange(120, 4));
    EXPECT_EQ(RestartVoltageRange(360).min, 2850);
    EXPECT_EQ(OutputCriterionFor(5, 240).default_value, 2400);
    EXPECT_EQ(OutputCriterionFor(5, 480).range.max, 6000);
    EXPECT_EQ(OutputCriterionFor(6, 120).default_value, 960);
    EXPECT_EQ(OutputCriterionFor(4, 120).range.max, 3);
    EXPECT_EQ(OutputCriterionFor(9, 120).step, 0);
}

TEST(ChargeProfile, DeriveTotals) {
    struct Row {
        std::vector<std::array<int, 3>> stages;  // descript, current, time (stage 1 upwards)
        int current_max, time_max;
    };
    const Row rows[] = {
        {{}, 0, 0},
        {{{0, 500, 100}, {0, 700, 50}, {0x2000, 9000, 0}}, 700, 150},  // off stage ignored
        {{{0x8000, 500, 100}, {0x4000, 300, 0}}, 500, 0},              // a 0 time: unlimited
        {{{0, 1, 60000}, {0, 1, 60000}}, 1, 65535},                    // sum clamps
    };
    for (const Row& row : rows) {
        ChargerSettingsValues settings{};
        for (std::size_t n = 1; n <= 12; ++n)
            settings[S(n, kStageDescript)] = kStageOff;
        for (std::size_t i = 0; i < row.stages.size(); ++i) {
            settings[S(i + 1, kStageDescript)] = Raw(row.stages[i][0]);
            settings[S(i + 1, kStageCurrent1)] = Raw(row.stages[i][1]);
            settings[S(i + 1, kStageTimeStage)] = Raw(row.stages[i][2]);
        }
        DeriveTotals(settings);
        EXPECT_EQ(settings[kSetChargeCurrentMax], row.current_max);
        EXPECT_EQ(settings[kSetChargeTimeMax], row.time_max);
    }
}

TEST(ChargeProfile, EndCurrentRangeDoesNotWrap) {
    struct Row {
        std::uint16_t type;
        Changes set;
        int max;
    };
    const Row rows[] = {
        {0, {{kSetCapacityBatt, 50}}, 250},
        {0, {{kSetCapacityBatt, 20000}}, 65535},  // 5 x 20000 would wrap to 34464
        {0, {{kSetCapacityBatt, 10}}, 100},
        {4, {{S(6, kStageCurrent1), 500}}, 400},
        {8, {{S(5, kStageCurrent1), 50}}, 100},  // 50 - 100 would wrap to 65486
        {32, {{S(4, kStageCurrent1), 500}}, 400},
        {99, {}, 100},
    };
    for (const Row& row : rows) {
        ChargerSettingsValues settings{};
        for (auto [index, value] : row.set)
            settings[index] = Raw(value);
        const ValueRange range = EndCurrentRange(settings, row.type);
        EXPECT_EQ(range.min, 100);
        EXPECT_EQ(range.max, row.max) << row.type;
    }
}

TEST(ChargeProfile, CouplingRules) {
    struct Range {
        StageField field;
        std::size_t n;
        ValueRange range;
    };
    struct Row {
        std::uint16_t voltage, type;
        std::size_t n;
        StageField field;
        int value;
        Changes changes;            // besides the edit
        std::vector<Range> ranges;  // the limits that move
        int end_max;                // -1: end_current untouched
    };
    constexpr StageField kC1 = kFieldCurrent1;
    // clang-format off
    const Row rows[] = {
        {120, 8, 3, kC1, 5000, {{S(4, kStageCurrent1), 5000}},
         {{kC1, 5, {100, 5000}}, {kC1, 7, {100, 600}}}, 600},
        {120, 8, 3, kC1, 500, {{S(4, kStageCurrent1), 500}, {S(5, kStageCurrent1), 500},
                               {S(6, kStageCurrent1), 500}, {kSetChargeCurrentOff, 400}},
         {{kC1, 5, {100, 500}}, {kC1, 7, {100, 400}}}, 400},
        // 50 - 100 must not wrap to 65486.
        {120, 40, 5, kC1, 50, {{S(6, kStageCurrent1), 50}, {kSetChargeCurrentOff, 100}},
         {{kC1, 7, {100, 100}}}, 100},
        {120, 8, 3, kFieldVoltage1, 1500, {{S(4, kStageVoltage1), 1500},
                  {S(5, kStageVoltage1), 1500}, {S(6, kStageVoltage1), 1500}}, {}, -1},
        {120, 8, 3, kFieldTimeStage, 600, {{S(4, kStageTimeStage), 600},
                  {S(5, kStageTimeStage), 600}, {S(6, kStageTimeStage), 600}}, {}, -1},
        {120, 8, 5, kFieldTimeStage, 300, {{S(6, kStageTimeStage), 300}}, {}, -1},
        {120, 32, 1, kFieldTimePulse, 40, {{S(1, kStageTimePause), 120}},
         {{kFieldTimePause, 1, {40, 120}}}, -1},
        // 3 x 30000 must not wrap to 24464.
        {120, 32, 1, kFieldTimePulse, 30000, {{S(1, kStageTimePause), 65535}},
         {{kFieldTimePause, 1, {30000, 65535}}}, -1},
        {120, 32, 9, kFieldTimePulse, 100, {{S(9, kStageTimePause), 100}}, {}, -1},
        {120, 32, 4, kC1, 300, {}, {}, 200},
        {240, 4, 3, kC1, 5000, {{S(4, kStageCurrent1), 5000}}, {{kC1, 6, {100, 5000}}}, 400},
        {240, 36, 3, kC1, 3000, {{S(4, kStageCurrent1), 3000}, {S(6, kStageCurrent1), 300},
                                 {S(4, kStageCurrent2), 300}, {kSetChargeCurrentOff, 200}},
         {{kC1, 6, {100, 3000}}}, 200},
        {240, 4, 6, kC1, 1000, {{S(4, kStageCurrent2), 1000}}, {}, 900},
        {240, 4, 3, kFieldVoltage1, 2900, {{S(4, kStageVoltage1), 2900}}, {}, -1},
        {240, 4, 3, kFieldFTemp, -30, {{S(4, kStageFTemp), -30}}, {}, -1},
        {240, 4, 3, kFieldTimeStage, 600, {{S(4, kStageTimeStage), 600}}, {}, -1},
        // Edits outside the table change nothing else.
        {120, 0, 3, kC1, 900, {}, {}, -1},
        {120, 8, 4, kC1, 900, {}, {}, -1},
        {120, 4, 3, kFieldTimePulse, 5, {}, {}, -1},
    };
    // clang-format on
    for (const Row& row : rows) {
        ChargerSettingsValues settings = Presets(row.voltage, row.type);
        StageLimitTable limits = StageLimits(row.voltage, row.type).value_or(StageLimitTable{});
        StageLimitTable expected_limits = limits;
        for (const Range& range : row.ranges)
            expected_limits.ranges[range.field][range.n - 1] = range.range;
        ValueRange end_current{-1, -1};
        settings[S(row.n, StageFieldOffset(row.field))] = Raw(row.value);
        ChargerSettingsValues expected = settings;
        for (auto [index, value] : row.changes)
            expected[index] = Raw(value);
        ApplyCouplingRules(settings, row.voltage, row.type, row.n, row.field, limits, end_current);
        SCOPED_TRACE(testing::Message() << row.type << " stage " << row.n << " field " << row.field
                                        << " = " << row.value);
        EXPECT_EQ(settings, expected);
        for (std::size_t field = 0; field < kStageFieldCount; ++field) {
            for (std::size_t n = 1; n <= 12; ++n)
                EXPECT_EQ(limits.ranges[field][n - 1], expected_limits.ranges[field][n - 1])
                    << "field " << field << " stage " << n;
        }
        EXPECT_EQ(end_current.max, row.end_max);
    }
}

TEST(ChargeProfile, ValidateSettings) {
    const ChargerCapabilityValues capability{};
    // Presets always pass and are left as they are.
    for (std::uint16_t voltage : kVoltages) {
        for (std::uint16_t type : kTypes) {
            ChargerSettingsValues settings = Presets(voltage, type);
            const ChargerSettingsValues presets = settings;
            const ValidationResult result = ValidateSettings(capability, settings);
            EXPECT_TRUE(result.ok) << voltage << "/" << type;
            EXPECT_FALSE(result.refused_index);
            EXPECT_EQ(settings, presets) << voltage << "/" << type;
        }
    }
    struct Row {
        std::uint16_t voltage, type;
        Changes edits;
        Changes corrected;
        std::optional<std::size_t> refused;
    };
    // An edited register not listed as corrected keeps the edit.
    // clang-format off
    const Row rows[] = {
        {120, 0, {{S(3, kStageVoltage1), 1500}}, {{S(3, kStageVoltage1), 1420}}, {}},
        {480, 0, {{kSetCapacityBatt, 400}},
         {{kSetCapacityBatt, 330}, {S(1, kStageCurrent1), 1650}, {S(2, kStageCurrent1), 330},
          {S(3, kStageCurrent1), 4950}, {S(4, kStageCurrent1), 4950}, {S(5, kStageCurrent1), 1650},
          {S(7, kStageCurrent1), 330}, {kSetChargeCurrentMax, 4950}}, {}},
        {120, 1, {{S(2, kStageCurrent2), 7}, {S(2, kStageDescript), 0}, {S(2, kStageTimeStage), 1}},
         {{S(2, kStageCurrent2), 0}, {S(2, kStageTimeStage), 480}}, {}},
        {120, 32, {{S(1, kStageTimePulse), 5}, {kSetCapacityBatt, 70}},
         {{S(1, kStageTimePulse), 15}, {kSetCapacityBatt, 50}}, {}},
        {480, 4, {{S(3, kStageTimePulse), 7}, {S(3, kStageFTemp), -200}, {S(3, kStageVoltage2), 5},
                  {S(3, kStageDurationPass), 0}, {kSetCapacityBatt, 1}},
         {{S(3, kStageTimePulse), 0}, {S(3, kStageFTemp), -144}, {S(3, kStageVoltage2), 0},
          {S(3, kStageDurationPass), 30}, {kSetCapacityBatt, 330}}, {}},
        {120, 8, {{S(3, kStageFTemp), -5}, {S(7, kStageCurrent1), 20000}},
         {{S(3, kStageFTemp), 0}, {S(7, kStageCurrent1), 11900}, {kSetChargeCurrentMax, 11900}}, {}},
        {120, 8, {{kSetChargeCurrentOff, 50}}, {{kSetChargeCurrentOff, 100}}, {}},
        {120, 8, {{kSetChargeCurrentOff, 5000}}, {{kSetChargeCurrentOff, 600}}, {}},
        {120, 0, {{kSetChargeTempMin, -256}, {kSetChargeTempMax, 600}, {kSetManagementMode, 9},
                  {kSetReleLockControlTime, 31}, {kSetChargeVoltageRecom, 0},
                  {kSetChargeVoltageRecomDuration, 0}},
         {{kSetChargeTempMin, -100}, {kSetChargeTempMax, 500}, {kSetManagementMode, 4},
          {kSetReleLockControlTime, 30}, {kSetChargeVoltageRecom, 950},
          {kSetChargeVoltageRecomDuration, 30}}, {}},
        // Invalid codes: refused after step 1, nothing else corrected.
        {120, 0, {{kSetTypeBattVoltage, 110}, {kSetWaySaveSettings, 0}, {kSetManagementMode, 9}},
         {{kSetWaySaveSettings, 1}}, kSetTypeBattVoltage},
        {120, 0, {{kSetTypeBatt, 99}, {kSetStageCount, 3}, {S(3, kStageVoltage1), 1}},
         {{kSetStageCount, 12}}, kSetTypeBatt},
    };
    // clang-format on
    for (const Row& row : rows) {
        ChargerSettingsValues settings = Presets(row.voltage, row.type);
        for (auto [index, value] : row.edits)
            settings[index] = Raw(value);
        ChargerSettingsValues expected = settings;
        for (auto [index, value] : row.corrected)
            expected[index] = Raw(value);
        const ValidationResult result = ValidateSettings(capability, settings);
        SCOPED_TRACE(testing::Message() << row.voltage << "/" << row.type << " first edit index "
                                        << row.edits.front().first);
        EXPECT_EQ(result.ok, !row.refused);
        EXPECT_EQ(result.refused_index, row.refused);
        EXPECT_EQ(settings, expected);
    }
}

}  // namespace
}  // namespace veltrona
