// Charge profile rules of the charger: presets, limits, coupling and validation.
//
// Range arithmetic (a stage current minus 100, five times the capacity, K x capacity, 3 x pulse,
// ...) is done in signed 32 bits and clamped to the register's range: in 16 bits it would wrap
// for small or unvalidated values.

#include "devices/charger/charge_profile.h"

#include <algorithm>
#include <initializer_list>

namespace veltrona {

namespace {

constexpr std::size_t kVoltageIndices = 4;
using ByVoltage = std::array<ValueRange, kVoltageIndices>;

constexpr ByVoltage Same(ValueRange range) {
    return {range, range, range, range};
}

// A raw value computed in signed 32 bits, clamped to an unsigned 16-bit register.
constexpr std::uint16_t ClampU16(std::int32_t value) {
    return static_cast<std::uint16_t>(std::clamp<std::int32_t>(value, 0, 0xFFFF));
}

// ---------------------------------------------------------------------------------------------
// Stage presets.

struct StagePreset {
    std::uint16_t descript = 0;
    std::uint16_t current1 = 0;  // K (x capacity) for the acid types, else the fixed value
    std::uint16_t current2 = 0;
    std::uint16_t voltage1 = 0;  // 12 V value; v gives (v + 1) x this
    std::int16_t ftemp = 0;      // 12 V value; v gives (v + 1) x this
    std::uint16_t pulse = 0;
    std::uint16_t pause = 0;
    std::uint16_t stage = 0;
    std::uint16_t voltage1_24v = 0;  // exception at 24 V when non-zero
    std::int16_t ftemp_24v = 0;      // exception at 24 V when non-zero
};
using PresetTable = std::array<StagePreset, kChargerStageCount>;

constexpr PresetTable kGelPresets{{
    {0x6000, 5, 0, 1470, -24, 30, 90, 720},
    {0x4000, 1, 0, 1200, -24, 0, 0, 480},
    {0xC000, 15, 0, 1420, -24, 0, 0, 720},
    {0xC000, 15, 0, 1420, -24, 0, 0, 720},
    {0x4000, 5, 0, 1200, -24, 0, 0, 3},
    {0xE000, 0, 0, 1200, -24, 0, 0, 3},
    {0x4000, 1, 0, 1340, -18, 0, 0, 0},
    {0xE000, 0, 0, 0, -18, 0, 0, 0},
    {0xE000, 0, 0, 0, -24, 900, 900, 0, 0, -36},
    {0xE000, 0, 0, 0, -24, 0, 0, 0},
    {0xE000, 0, 0, 0, -24, 0, 0, 0},
    {0xE000, 0, 0, 0, -24, 0, 0, 0},
}};

constexpr void SetVoltages(PresetTable& table, std::initializer_list<std::uint16_t> stages_1_to_7) {
    std::size_t i = 0;
    for (std::uint16_t voltage : stages_1_to_7)
        table[i++].voltage1 = voltage;
}

constexpr PresetTable kAgmPresets = [] {
    PresetTable t = kGelPresets;
    t[2].current1 = t[3].current1 = 20;
    SetVoltages(t, {1500, 1200, 1450, 1450, 1200, 1200, 1360});
    t[2].stage = t[3].stage = 540;
    return t;
}();

constexpr PresetTable kFloodedPresets = [] {
    PresetTable t = kGelPresets;
    t[2].current1 = t[3].current1 = 10;
    t[6].current1 = t[8].current1 = 2;
    SetVoltages(t, {1490, 1200, 1440, 1440, 1200, 1200, 1360});
    t[8].voltage1 = 1580;
    t[8].descript = 0x6000;
    t[8].stage = 720;
    return t;
}();

constexpr PresetTable kUserAcidPresets = [] {
    PresetTable t = kGelPresets;
    constexpr std::array<std::uint16_t, kChargerStageCount> kDescript{
        0x2000, 0x0000, 0x0000, 0x0000, 0x0000, 0xE000,
        0x0000, 0xE000, 0x2000, 0xE000, 0xE000, 0xE000};
    constexpr std::array<std::uint16_t, kChargerStageCount> kCurrent{100, 100, 500, 500, 100, 0,
                                                                     100, 0,   100, 0,   0,   0};
    for (std::size_t i = 0; i < kChargerStageCount; ++i) {
        t[i].descript = kDescript[i];
        t[i].current1 = kCurrent[i];
        t[i].current2 = 0;
    }
    t[8].voltage1 = 1580;
    t[8].stage = 720;
    return t;
}();

constexpr PresetTable kTractionPresets = [] {
    PresetTable t{};
    for (StagePreset& stage : t)
        stage.descript = 0xE000;
    t[2] = {0x8000, 1000, 0, 1440, -26, 0, 0, 480, 2888, 0};
    t[3] = {0x8000, 1000, 500, 1440, -26, 0, 0, 480};
    t[5] = {0x8000, 500, 0, 1590, -28, 0, 0, 480};
    t[6] = {0x0000, 100, 0, 1200, -18, 0, 0, 0};
    return t;
}();

constexpr PresetTable kLithiumPresets = [] {
    PresetTable t{};
    for (StagePreset& stage : t)
        stage.descript = 0xE000;
    t[2] = {0x8000, 1000, 0, 1480, 0, 0, 0, 720};
    t[3] = {0x8000, 1000, 0, 1480, 0, 0, 0, 720};
    t[4] = {0x8000, 700, 0, 1480, 0, 0, 0, 720};
    t[5] = {0x8000, 700, 0, 1480, 0, 0, 0, 720};
    t[6] = {0x0000, 100, 0, 1480, 0, 0, 0, 0};
    return t;
}();

// Null for a code that is no battery type.
const PresetTable* PresetsOf(std::uint16_t type_code) {
    switch (type_code) {
        case 0:
            return &kGelPresets;
        case 1:
            return &kAgmPresets;
        case 2:
            return &kFloodedPresets;
        case 32:
            return &kUserAcidPresets;
        case 4:
        case 36:
            return &kTractionPresets;
        case 8:
        case 40:
            return &kLithiumPresets;
        default:
            return nullptr;
    }
}

constexpr std::uint16_t PresetVoltage1(const StagePreset& preset, std::size_t v) {
    if (v == 1 && preset.voltage1_24v != 0) return preset.voltage1_24v;
    return ClampU16(static_cast<std::int32_t>(v + 1) * preset.voltage1);
}

constexpr std::uint16_t PresetFTemp(const StagePreset& preset, std::size_t v) {
    const std::int32_t ftemp = (v == 1 && preset.ftemp_24v != 0)
                                   ? preset.ftemp_24v
                                   : static_cast<std::int32_t>(v + 1) * preset.ftemp;
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(ftemp));
}

// ---------------------------------------------------------------------------------------------
// Limit tables: a rule gives the range by voltage index of one field over a set of stages; a
// stage no rule covers is fixed at 0. The acid current range is the Acid family's Current_1.

constexpr std::uint16_t Stages(std::initializer_list<int> numbers) {
    std::uint16_t mask = 0;
    for (int n : numbers)
        mask |= static_cast<std::uint16_t>(1u << (n - 1));
    return mask;
}
constexpr std::uint16_t kAllStages = 0x0FFF;

struct LimitRule {
    BatteryFamily family;
    StageField field;
    std::uint16_t stages;  // bit n - 1
    ByVoltage by_v;
};

constexpr ByVoltage kAcidHighCurrent{{{100, 12000}, {100, 10000}, {100, 6000}, {100, 5000}}};
constexpr ByVoltage kCompensation{{{-36, 0}, {-72, 0}, {-108, 0}, {-144, 0}}};
constexpr ByVoltage kVoltage17{{{1000, 1700}, {2000, 3400}, {3000, 4800}, {4000, 6800}}};

constexpr auto kLimitRules = std::to_array<LimitRule>({
    // Acid current range (GEL, AGM, FLOODED; User ACID's Current_1).
    {BatteryFamily::Acid,
     kFieldCurrent1,
     Stages({1}),
     {{{100, 8000}, {100, 8000}, {100, 4000}, {100, 4000}}}},
    {BatteryFamily::Acid, kFieldCurrent1, Stages({2, 3, 4, 5, 7, 9}), kAcidHighCurrent},
    // User acid.
    {BatteryFamily::UserAcid, kFieldVoltage1, Stages({1, 2, 3, 4, 5, 7, 9}), kVoltage17},
    {BatteryFamily::UserAcid,
     kFieldVoltage1,
     Stages({6}),
     {{{1150, 1260}, {2300, 2520}, {3450, 3780}, {4600, 5040}}}},
    {BatteryFamily::UserAcid, kFieldFTemp, kAllStages, kCompensation},
    {BatteryFamily::UserAcid, kFieldTimePulse, Stages({1}), Same({15, 80})},
    {BatteryFamily::UserAcid, kFieldTimePulse, Stages({9}), Same({60, 1800})},
    {BatteryFamily::UserAcid, kFieldTimePause, Stages({1}), Same({15, 240})},
    {BatteryFamily::UserAcid, kFieldTimePause, Stages({9}), Same({0, 1800})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({1}), Same({10, 1440})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({2}), Same({30, 480})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({3, 4, 9}), Same({30, 960})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({5}), Same({1, 120})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({6}), Same({1, 5})},
    {BatteryFamily::UserAcid, kFieldTimeStage, Stages({7}), Same({0, 1440})},
    // Traction.
    {BatteryFamily::Traction, kFieldCurrent1, Stages({3, 4}), kAcidHighCurrent},
    {BatteryFamily::Traction, kFieldCurrent1, Stages({6}), Same({100, 3000})},
    {BatteryFamily::Traction, kFieldCurrent1, Stages({7}), Same({100, 1000})},
    {BatteryFamily::Traction, kFieldCurrent2, Stages({4}), Same({100, 3000})},
    {BatteryFamily::Traction,
     kFieldVoltage1,
     Stages({3, 4}),
     {{{1000, 1600}, {2000, 3200}, {3000, 4800}, {4000, 6800}}}},
    {BatteryFamily::Traction, kFieldVoltage1, Stages({6, 7}), kVoltage17},
    {BatteryFamily::Traction, kFieldFTemp, kAllStages, kCompensation},
    {BatteryFamily::Traction, kFieldTimeStage, Stages({3, 4}), Same({30, 960})},
    {BatteryFamily::Traction, kFieldTimeStage, Stages({6}), Same({30, 480})},
    {BatteryFamily::Traction, kFieldTimeStage, Stages({7}), Same({0, 960})},
    // Lithium.
    {BatteryFamily::Lithium, kFieldCurrent1, Stages({3, 4, 5, 6}), kAcidHighCurrent},
    {BatteryFamily::Lithium,
     kFieldCurrent1,
     Stages({7}),
     {{{100, 11900}, {100, 9900}, {100, 5900}, {100, 4900}}}},
    {BatteryFamily::Lithium, kFieldVoltage1, Stages({3, 4, 5, 6, 7}), kVoltage17},
    {BatteryFamily::Lithium, kFieldTimeStage, Stages({3, 4, 5, 6}), Same({30, 1440})},
    {BatteryFamily::Lithium, kFieldTimeStage, Stages({7}), Same({0, 1440})},
});

constexpr ValueRange RuleRange(BatteryFamily family, StageField field, std::size_t n,
                               std::size_t v) {
    if (family == BatteryFamily::UserAcid && field == kFieldCurrent1) family = BatteryFamily::Acid;
    for (const LimitRule& rule : kLimitRules) {
        if (rule.family == family && rule.field == field && (rule.stages >> (n - 1)) & 1u)
            return rule.by_v[v];
    }
    return {0, 0};
}

constexpr ValueRange AcidCurrentRange(std::size_t n, std::size_t v) {
    return RuleRange(BatteryFamily::Acid, kFieldCurrent1, n, v);
}

constexpr StageLimitTable BuildLimits(BatteryFamily family, std::size_t v) {
    StageLimitTable table{};
    for (std::size_t field = 0; field < kStageFieldCount; ++field) {
        for (std::size_t n = 1; n <= kChargerStageCount; ++n)
            table.ranges[field][n - 1] = RuleRange(family, static_cast<StageField>(field), n, v);
    }
    for (std::size_t n = 1; n <= kChargerStageCount; ++n) {
        const bool minute_step =
            n == 5 && (family == BatteryFamily::UserAcid || family == BatteryFamily::Traction);
        table.time_step[n - 1] = minute_step ? 1 : 10;
    }
    return table;
}

// The user limit tables, [family - UserAcid][v].
constexpr std::array<std::array<StageLimitTable, kVoltageIndices>, 3> kUserLimitTables = [] {
    std::array<std::array<StageLimitTable, kVoltageIndices>, 3> tables{};
    for (std::size_t f = 0; f < 3; ++f) {
        for (std::size_t v = 0; v < kVoltageIndices; ++v)
            tables[f][v] = BuildLimits(static_cast<BatteryFamily>(f + 1), v);
    }
    return tables;
}();
static_assert(static_cast<int>(BatteryFamily::UserAcid) == 1 &&
              static_cast<int>(BatteryFamily::Lithium) == 3);

const StageLimitTable& UserLimits(BatteryFamily family, std::size_t v) {
    return kUserLimitTables[static_cast<std::size_t>(family) - 1][v];
}

// ---------------------------------------------------------------------------------------------
// Global presets and limits.

constexpr std::array<ByVoltage, 4> kCapacityRanges{{
    {{{50, 800}, {50, 660}, {50, 400}, {50, 330}}},    // GEL
    {{{50, 600}, {50, 500}, {50, 300}, {50, 250}}},    // AGM
    {{{50, 1200}, {50, 1000}, {50, 600}, {50, 500}}},  // FLOODED
    {{{50, 1000}, {50, 1000}, {50, 500}, {50, 500}}},  // User ACID (page display only)
}};

constexpr std::array<std::uint16_t, kVoltageIndices> kRestartVoltageDefault{1050, 2100, 3150, 4200};
constexpr ByVoltage kRestartVoltageRange{{{950, 1250}, {1900, 2500}, {2850, 3750}, {3800, 5000}}};

constexpr std::uint16_t kReleLockControlTimeDefault = 10;
constexpr std::uint16_t kChargeTempMaxDefault = 400;
constexpr std::uint16_t kDurationDefault = 30;
constexpr std::uint16_t kManagementModeLast = 4;

constexpr std::uint16_t CapacityDefault(BatteryFamily family) {
    switch (family) {
        case BatteryFamily::Traction:
            return 330;
        case BatteryFamily::Lithium:
            return 380;
        default:
            return 50;
    }
}

constexpr bool IsVoltageCode(std::uint16_t code) {
    return std::any_of(kBatteryVoltageCodes.begin(), kBatteryVoltageCodes.end(),
                       [code](const ChargerVoltageCode& entry) { return entry.code == code; });
}

// Output control cases 0..7.
constexpr std::array<OutputCriterion, 8> kOutputCriteria{
    {{}, {}, {}, {}, {{0, 3}, 1, 3}, {}, {{10, 3000}, 10, 960}, {}}};
constexpr ByVoltage kOutputBatteryVoltageRange{
    {{600, 1500}, {1200, 3000}, {1800, 4500}, {2400, 6000}}};
constexpr std::array<std::uint16_t, kVoltageIndices> kOutputBatteryVoltageDefault{1200, 2400, 3600,
                                                                                  4800};

// ---------------------------------------------------------------------------------------------
// Register access.

std::uint16_t& At(ChargerSettingsValues& settings, std::size_t n, std::size_t offset) {
    return settings[StageIndex(n, offset)];
}
std::uint16_t At(const ChargerSettingsValues& settings, std::size_t n, std::size_t offset) {
    return settings[StageIndex(n, offset)];
}

bool IsSignedField(StageField field) {
    return field == kFieldFTemp;
}

// Step 1 of ApplyPresets (also step 1 of ValidateSettings).
void ApplyHeader(ChargerSettingsValues& settings) {
    settings[kSetWaySaveSettings] = 1;
    settings[kSetDeviceIdentity] = 0;
    settings[kSetControlMode] = 0;
    settings[kSetStageCount] = kChargerStageCount;
    settings[kSetStageSetShift] = kChargerStageFirstIndex;
}

// Current_1 of an acid stage: K x capacity limited to the acid current range.
std::uint16_t AcidCurrent(const StagePreset& preset, std::uint16_t capacity, std::size_t n,
                          std::size_t v) {
    const std::int32_t current = static_cast<std::int32_t>(preset.current1) * capacity;
    return LimitTo(ClampU16(current), AcidCurrentRange(n, v), false);
}

// The field presets that do not depend on the current (Voltage_1, FTemp, pulse, pause, stage
// time) and the constant fields.
void PresetTimesAndVoltages(ChargerSettingsValues& settings, const StagePreset& preset,
                            std::size_t n, std::size_t v) {
    At(settings, n, kStageVoltage1) = PresetVoltage1(preset, v);
    At(settings, n, kStageFTemp) = PresetFTemp(preset, v);
    At(settings, n, kStageTimePulse) = preset.pulse;
    At(settings, n, kStageTimePause) = preset.pause;
    At(settings, n, kStageTimeStage) = preset.stage;
    At(settings, n, kStageVoltage2) = 0;
    At(settings, n, kStageDurationPass) = kDurationDefault;
}

void LimitStageField(ChargerSettingsValues& settings, const StageLimitTable& limits, std::size_t n,
                     StageField field) {
    std::uint16_t& value = At(settings, n, StageFieldOffset(field));
    value = LimitTo(value, limits.ranges[field][n - 1], IsSignedField(field));
}

void LimitEndCurrent(ChargerSettingsValues& settings, std::uint16_t type_code,
                     ValueRange& end_current) {
    end_current = EndCurrentRange(settings, type_code);
    settings[kSetChargeCurrentOff] = LimitTo(settings[kSetChargeCurrentOff], end_current, false);
}

// Lithium stage 7: range [100, max(S5.Current_1 - 100, 100)], the value limited to it.
void LimitLithiumStage7(ChargerSettingsValues& settings, StageLimitTable& limits) {
    const std::int32_t s5 = At(settings, 5, kStageCurrent1);
    ValueRange& range = limits.ranges[kFieldCurrent1][6];
    range = {100, std::max<std::int32_t>(s5 - 100, 100)};
    std::uint16_t& s7 = At(settings, 7, kStageCurrent1);
    s7 = LimitTo(s7, range, false);
}

// Stages 3..6 of lithium take stage 3's field (stage 4..6); for traction stage 4 only.
void CopyField(ChargerSettingsValues& settings, std::size_t from, std::size_t offset,
               std::initializer_list<std::size_t> to) {
    for (std::size_t n : to)
        At(settings, n, offset) = At(settings, from, offset);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::optional<BatteryFamily> FamilyOf(std::uint16_t type_code) {
    const ChargerBatteryType* type = FindBatteryType(type_code);
    if (type == nullptr) return std::nullopt;
    return type->family;
}

ChargeScript ChargeScriptFor(std::uint16_t type_code) {
    static constexpr std::array<ChargeScriptStage, 6> kGelAgm{
        {{1, 511}, {2, 415}, {3, 415}, {4, 415}, {5, 415}, {7, 415}}};
    static constexpr std::array<ChargeScriptStage, 7> kFloodedUserAcid{
        {{1, 511}, {2, 415}, {3, 415}, {4, 415}, {5, 415}, {7, 415}, {9, 511}}};
    static constexpr std::array<ChargeScriptStage, 3> kTraction{{{3, 415}, {6, 415}, {7, 415}}};
    static constexpr std::array<ChargeScriptStage, 3> kLithium{{{3, 399}, {5, 395}, {7, 399}}};
    switch (type_code) {
        case 0:
        case 1:
            return {kGelAgm, true};
        case 2:
            return {kFloodedUserAcid, true};
        case 32:
            return {kFloodedUserAcid, false};
        case 4:
        case 36:
            return {kTraction, false};
        case 8:
        case 40:
            return {kLithium, false};
        default:
            return {};
    }
}

std::optional<ValueRange> CapacityRange(std::uint16_t voltage_code, std::uint16_t type_code) {
    const std::size_t v = BatteryVoltageIndex(voltage_code);
    switch (type_code) {
        case 0:
        case 1:
        case 2:
            return kCapacityRanges[type_code][v];
        case 32:
            return kCapacityRanges[3][v];
        default:
            return std::nullopt;
    }
}

ValueRange RestartVoltageRange(std::uint16_t voltage_code) {
    return kRestartVoltageRange[BatteryVoltageIndex(voltage_code)];
}

OutputCriterion OutputCriterionFor(std::uint16_t output_case, std::uint16_t voltage_code) {
    const std::uint16_t c = std::min(output_case, kOutputCaseLast);
    if (c == 5) {
        const std::size_t v = BatteryVoltageIndex(voltage_code);
        return {kOutputBatteryVoltageRange[v], 10, kOutputBatteryVoltageDefault[v]};
    }
    return kOutputCriteria[c];
}

std::size_t StageFieldOffset(StageField field) {
    static constexpr std::array<std::size_t, kStageFieldCount> kOffsets{
        kStageCurrent1,  kStageCurrent2,  kStageVoltage1, kStageFTemp,
        kStageTimePulse, kStageTimePause, kStageTimeStage};
    return kOffsets[field];
}

std::optional<StageLimitTable> StageLimits(std::uint16_t voltage_code, std::uint16_t type_code) {
    const std::optional<BatteryFamily> family = FamilyOf(type_code);
    if (!family || *family == BatteryFamily::Acid) return std::nullopt;
    return UserLimits(*family, BatteryVoltageIndex(voltage_code));
}

ValueRange EndCurrentRange(const ChargerSettingsValues& settings, std::uint16_t type_code) {
    const std::optional<BatteryFamily> family = FamilyOf(type_code);
    std::int32_t max = 0;
    if (family) {
        switch (*family) {
            case BatteryFamily::Acid:
                max = 5 * std::int32_t{settings[kSetCapacityBatt]};
                break;
            case BatteryFamily::Traction:
                max = std::int32_t{At(settings, 6, kStageCurrent1)} - 100;
                break;
            case BatteryFamily::Lithium:
                max = std::int32_t{At(settings, 5, kStageCurrent1)} - 100;
                break;
            case BatteryFamily::UserAcid:
                max = std::int32_t{At(settings, 4, kStageCurrent1)} - 100;
                break;
        }
    }
    const std::int32_t min = kChargeCurrentOffMin;
    return {min, std::max<std::int32_t>(ClampU16(max), min)};
}

std::uint16_t LimitTo(std::uint16_t value, ValueRange range, bool is_signed) {
    // Below the minimum gives the minimum, else above the maximum gives the maximum, so a
    // range whose minimum exceeds its maximum is still well defined.
    std::int32_t v =
        is_signed ? std::int32_t{static_cast<std::int16_t>(value)} : std::int32_t{value};
    if (v < range.min) {
        v = range.min;
    } else if (v > range.max) {
        v = range.max;
    }
    return static_cast<std::uint16_t>(v);
}

void PresetStage(ChargerSettingsValues& settings, std::size_t n) {
    const std::uint16_t type_code = settings[kSetTypeBatt];
    const PresetTable* table = PresetsOf(type_code);
    if (table == nullptr || n < 1 || n > kChargerStageCount) return;
    const std::size_t v = BatteryVoltageIndex(settings[kSetTypeBattVoltage]);
    const StagePreset& preset = (*table)[n - 1];
    At(settings, n, kStageDescript) = preset.descript;
    if (FamilyOf(type_code) == BatteryFamily::Acid) {
        At(settings, n, kStageCurrent1) = AcidCurrent(preset, settings[kSetCapacityBatt], n, v);
        At(settings, n, kStageCurrent2) = 0;
    } else {
        At(settings, n, kStageCurrent1) = preset.current1;
        At(settings, n, kStageCurrent2) = preset.current2;
    }
    PresetTimesAndVoltages(settings, preset, n, v);
    for (std::size_t offset = kStageDurationPass + 1; offset < kChargerStageRegisters; ++offset)
        At(settings, n, offset) = 0;
}

void DeriveTotals(ChargerSettingsValues& settings) {
    std::uint16_t current_max = 0;
    std::int32_t time_sum = 0;
    bool unlimited = false;
    for (std::size_t n = 1; n <= kChargerStageCount; ++n) {
        if (At(settings, n, kStageDescript) & kStageOff) continue;
        current_max = std::max(current_max, At(settings, n, kStageCurrent1));
        const std::uint16_t time = At(settings, n, kStageTimeStage);
        if (time == 0) unlimited = true;
        time_sum += time;
    }
    settings[kSetChargeCurrentMax] = current_max;
    settings[kSetChargeTimeMax] = unlimited ? 0 : ClampU16(time_sum);
}

namespace {

// End current, restart voltage and temperatures as the presets give them for the settings'
// present stages and capacity.
void PresetLimits(ChargerSettingsValues& settings, BatteryFamily family) {
    std::int32_t end = 0;
    switch (family) {
        case BatteryFamily::Acid:
            end = settings[kSetCapacityBatt];
            break;
        case BatteryFamily::Traction:
            end = std::int32_t{At(settings, 6, kStageCurrent1)} - 100;
            break;
        case BatteryFamily::Lithium:
            end = std::int32_t{At(settings, 5, kStageCurrent1)} - 100;
            break;
        case BatteryFamily::UserAcid:
            end = At(settings, 4, kStageCurrent1) / 10;
            break;
    }
    settings[kSetChargeCurrentOff] = ClampU16(std::max<std::int32_t>(end, kChargeCurrentOffMin));
    settings[kSetChargeCurrentOffDuration] = kDurationDefault;

    const std::size_t v = BatteryVoltageIndex(settings[kSetTypeBattVoltage]);
    settings[kSetChargeVoltageRecom] = kRestartVoltageDefault[v];
    settings[kSetChargeVoltageRecomDuration] = kDurationDefault;
    settings[kSetChargeTempMin] = 0;
    settings[kSetChargeTempMinDuration] = kDurationDefault;
    settings[kSetChargeTempMax] = kChargeTempMaxDefault;
    settings[kSetChargeTempMaxDuration] = kDurationDefault;
}

}  // namespace

bool ApplyPresets(ChargerSettingsValues& settings, std::uint16_t voltage_code,
                  std::uint16_t type_code) {
    ApplyHeader(settings);
    const std::optional<BatteryFamily> family = FamilyOf(type_code);
    if (!IsVoltageCode(voltage_code) || !family) return false;
    settings[kSetTypeBattVoltage] = voltage_code;
    settings[kSetTypeBatt] = type_code;
    settings[kSetCapacityBatt] = CapacityDefault(*family);
    for (std::size_t n = 1; n <= kChargerStageCount; ++n)
        PresetStage(settings, n);
    DeriveTotals(settings);
    PresetLimits(settings, *family);
    settings[kSetReleLockControlEnable] = 0;
    settings[kSetReleLockControlTime] = kReleLockControlTimeDefault;
    for (std::size_t base : {kSetReleOut1ControlCase, kSetReleOut2ControlCase}) {
        settings[base] = 0;      // case
        settings[base + 1] = 1;  // logic: direct
        settings[base + 2] = 0;  // criterion
    }
    return true;
}

void ApplyCapacity(ChargerSettingsValues& settings, std::uint16_t capacity) {
    settings[kSetCapacityBatt] = capacity;
    const std::optional<BatteryFamily> family = FamilyOf(settings[kSetTypeBatt]);
    if (!family) return;
    for (std::size_t n = 1; n <= kChargerStageCount; ++n)
        PresetStage(settings, n);
    PresetLimits(settings, *family);
}

void ApplyCouplingRules(ChargerSettingsValues& settings,
                        [[maybe_unused]] std::uint16_t voltage_code, std::uint16_t type_code,
                        std::size_t n, StageField field, StageLimitTable& limits,
                        ValueRange& end_current) {
    const std::optional<BatteryFamily> family = FamilyOf(type_code);
    if (!family) return;
    const bool traction = *family == BatteryFamily::Traction;
    const bool lithium = *family == BatteryFamily::Lithium;
    const bool user_acid = *family == BatteryFamily::UserAcid;

    switch (field) {
        case kFieldCurrent1:
            if (traction && n == 3) {
                const std::uint16_t s3 = At(settings, 3, kStageCurrent1);
                At(settings, 4, kStageCurrent1) = s3;
                At(settings, 6, kStageCurrent1) = std::max<std::uint16_t>(s3 / 10, 100);
                limits.ranges[kFieldCurrent1][5] = {100, s3};
                At(settings, 4, kStageCurrent2) = At(settings, 6, kStageCurrent1);
                LimitEndCurrent(settings, type_code, end_current);
            } else if (traction && n == 6) {
                At(settings, 4, kStageCurrent2) = At(settings, 6, kStageCurrent1);
                LimitEndCurrent(settings, type_code, end_current);
            } else if (lithium && n == 3) {
                const std::uint16_t s3 = At(settings, 3, kStageCurrent1);
                At(settings, 4, kStageCurrent1) = s3;
                limits.ranges[kFieldCurrent1][4] = {100, s3};
                std::uint16_t& s5 = At(settings, 5, kStageCurrent1);
                s5 = std::min(s5, s3);
                At(settings, 6, kStageCurrent1) = s5;
                LimitLithiumStage7(settings, limits);
                LimitEndCurrent(settings, type_code, end_current);
            } else if (lithium && n == 5) {
                At(settings, 6, kStageCurrent1) = At(settings, 5, kStageCurrent1);
                LimitLithiumStage7(settings, limits);
                LimitEndCurrent(settings, type_code, end_current);
            } else if (user_acid && n == 4) {
                LimitEndCurrent(settings, type_code, end_current);
            }
            break;
        case kFieldVoltage1:
            if (traction && n == 3) CopyField(settings, 3, kStageVoltage1, {4});
            if (lithium && n == 3) CopyField(settings, 3, kStageVoltage1, {4, 5, 6});
            break;
        case kFieldFTemp:
            if (traction && n == 3) CopyField(settings, 3, kStageFTemp, {4});
            break;
        case kFieldTimePulse:
            if (user_acid && n == 1) {
                const std::uint16_t pulse = At(settings, 1, kStageTimePulse);
                const std::uint16_t pause = ClampU16(3 * std::int32_t{pulse});
                At(settings, 1, kStageTimePause) = pause;
                limits.ranges[kFieldTimePause][0] = {pulse, pause};
            } else if (user_acid && n == 9) {
                At(settings, 9, kStageTimePause) = At(settings, 9, kStageTimePulse);
            }
            break;
        case kFieldTimeStage:
            if (traction && n == 3) CopyField(settings, 3, kStageTimeStage, {4});
            if (lithium && n == 3) CopyField(settings, 3, kStageTimeStage, {4, 5, 6});
            if (lithium && n == 5) CopyField(settings, 5, kStageTimeStage, {6});
            break;
        default:
            break;
    }
}

ValidationResult ValidateSettings([[maybe_unused]] const ChargerCapabilityValues& capability,
                                  ChargerSettingsValues& settings) {
    ApplyHeader(settings);
    const std::uint16_t voltage_code = settings[kSetTypeBattVoltage];
    const std::uint16_t type_code = settings[kSetTypeBatt];
    if (!IsVoltageCode(voltage_code)) return {false, kSetTypeBattVoltage};
    const std::optional<BatteryFamily> family = FamilyOf(type_code);
    if (!family) return {false, kSetTypeBatt};
    const std::size_t v = BatteryVoltageIndex(voltage_code);
    const PresetTable& presets = *PresetsOf(type_code);

    std::uint16_t& capacity = settings[kSetCapacityBatt];
    if (*family == BatteryFamily::Acid) {
        capacity = LimitTo(capacity, *CapacityRange(voltage_code, type_code), false);
    } else {
        capacity = CapacityDefault(*family);
    }

    for (std::size_t n = 1; n <= kChargerStageCount; ++n) {
        const StagePreset& preset = presets[n - 1];
        if (*family == BatteryFamily::Acid) {
            At(settings, n, kStageCurrent1) = AcidCurrent(preset, capacity, n, v);
            At(settings, n, kStageCurrent2) = 0;
            PresetTimesAndVoltages(settings, preset, n, v);
            continue;
        }
        const StageLimitTable& limits = UserLimits(*family, v);
        for (StageField field :
             {kFieldCurrent1, kFieldCurrent2, kFieldVoltage1, kFieldFTemp, kFieldTimeStage})
            LimitStageField(settings, limits, n, field);
        if (*family == BatteryFamily::UserAcid) {
            LimitStageField(settings, limits, n, kFieldTimePulse);
            LimitStageField(settings, limits, n, kFieldTimePause);
        } else {
            At(settings, n, kStageTimePulse) = preset.pulse;
            At(settings, n, kStageTimePause) = preset.pause;
        }
        At(settings, n, kStageVoltage2) = 0;
        At(settings, n, kStageDurationPass) = kDurationDefault;
    }

    DeriveTotals(settings);
    settings[kSetChargeCurrentOff] =
        LimitTo(settings[kSetChargeCurrentOff], EndCurrentRange(settings, type_code), false);
    settings[kSetChargeVoltageRecom] =
        LimitTo(settings[kSetChargeVoltageRecom], kRestartVoltageRange[v], false);
    settings[kSetChargeVoltageRecomDuration] = kDurationDefault;
    settings[kSetChargeTempMin] = LimitTo(settings[kSetChargeTempMin], kChargeTempMinRange, true);
    settings[kSetChargeTempMax] = LimitTo(settings[kSetChargeTempMax], kChargeTempMaxRange, true);
    settings[kSetReleLockControlTime] =
        std::min<std::uint16_t>(settings[kSetReleLockControlTime], kReleLockControlTimeRange.max);
    settings[kSetManagementMode] =
        std::min<std::uint16_t>(settings[kSetManagementMode], kManagementModeLast);
    return {true, std::nullopt};
}

}  // namespace veltrona
