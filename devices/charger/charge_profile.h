#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"

namespace veltrona {

// Settings-block indices of the profile registers the rules read and write.
inline constexpr std::size_t kSetWaySaveSettings = 0x00;
inline constexpr std::size_t kSetDeviceIdentity = 0x01;
inline constexpr std::size_t kSetControlMode = 0x02;
inline constexpr std::size_t kSetStageCount = 0x03;
inline constexpr std::size_t kSetStageSetShift = 0x04;
inline constexpr std::size_t kSetManagementMode = 0x05;
inline constexpr std::size_t kSetErrorRechargeEnable = 0x06;
inline constexpr std::size_t kSetTypeBattVoltage = 0x09;
inline constexpr std::size_t kSetTypeBatt = 0x0C;
inline constexpr std::size_t kSetCapacityBatt = 0x0D;
inline constexpr std::size_t kSetChargeCurrentMax = 0x0E;
inline constexpr std::size_t kSetChargeTimeMax = 0x0F;
inline constexpr std::size_t kSetChargeCurrentOff = 0x10;
inline constexpr std::size_t kSetChargeCurrentOffDuration = 0x11;
inline constexpr std::size_t kSetChargeVoltageRecom = 0x12;
inline constexpr std::size_t kSetChargeVoltageRecomDuration = 0x13;
inline constexpr std::size_t kSetChargeTempMax = 0x14;
inline constexpr std::size_t kSetChargeTempMaxDuration = 0x15;
inline constexpr std::size_t kSetChargeTempMin = 0x16;
inline constexpr std::size_t kSetChargeTempMinDuration = 0x17;
inline constexpr std::size_t kSetReleLockControlEnable = 0x18;
inline constexpr std::size_t kSetReleLockControlTime = 0x19;
inline constexpr std::size_t kSetReleOut1ControlCase = 0x1A;
inline constexpr std::size_t kSetReleOut2ControlCase = 0x1D;

// Index of field `offset` of stage n (1..12).
constexpr std::size_t StageIndex(std::size_t n, std::size_t offset) {
    return kChargerStageFirstIndex + kChargerStageRegisters * (n - 1) + offset;
}

// Battery type family of a type code; nullopt for a code that is no battery type.
std::optional<BatteryFamily> FamilyOf(std::uint16_t type_code);

// Editable-field mask bits of a charge script stage.
inline constexpr std::uint16_t kMaskCurrent = 1u << 0;
inline constexpr std::uint16_t kMaskVoltage = 1u << 2;
inline constexpr std::uint16_t kMaskFTemp = 1u << 4;
inline constexpr std::uint16_t kMaskTimePulse = 1u << 5;
inline constexpr std::uint16_t kMaskTimePause = 1u << 6;
inline constexpr std::uint16_t kMaskTimeStage = 1u << 7;

struct ChargeScriptStage {
    std::uint8_t stage = 0;  // 1..12
    std::uint16_t mask = 0;
};

struct ChargeScript {
    std::span<const ChargeScriptStage> stages;  // in tab order; empty for an unknown type
    bool capacity_editable = false;
};

ChargeScript ChargeScriptFor(std::uint16_t type_code);

// A closed range in register units, signed so that the signed registers fit.
struct ValueRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
    friend bool operator==(const ValueRange&, const ValueRange&) = default;
};

// The stage fields that have user limits, in the order of the limit tables.
enum StageField : std::size_t {
    kFieldCurrent1,
    kFieldCurrent2,
    kFieldVoltage1,
    kFieldFTemp,
    kFieldTimePulse,
    kFieldTimePause,
    kFieldTimeStage,
    kStageFieldCount
};

// Ranges that do not depend on the battery (register units).
inline constexpr ValueRange kChargeTempMinRange{-100, 100};
inline constexpr ValueRange kChargeTempMaxRange{300, 500};
inline constexpr ValueRange kReleLockControlTimeRange{0, 30};
inline constexpr std::int32_t kChargeCurrentOffMin = 100;  // ChargeCurrentOff, every family

// Capacity range of an acid type or User ACID (page display only) for the voltage code;
// nullopt for traction, lithium and a code that is no battery type.
std::optional<ValueRange> CapacityRange(std::uint16_t voltage_code, std::uint16_t type_code);
// Range of ChargeVoltageRecom for the voltage code.
ValueRange RestartVoltageRange(std::uint16_t voltage_code);

// Criterion of an output control case; a case above 7
// counts as 7.
struct OutputCriterion {
    ValueRange range;
    std::uint16_t step = 0;
    std::uint16_t default_value = 0;  // set when the case is chosen
};
OutputCriterion OutputCriterionFor(std::uint16_t output_case, std::uint16_t voltage_code);

// Descriptor offset of a limited stage field.
std::size_t StageFieldOffset(StageField field);

struct StageLimitTable {
    // ranges[field][n - 1]
    std::array<std::array<ValueRange, kChargerStageCount>, kStageFieldCount> ranges{};
    // Arrow and typing step of TimeStage, minutes, by n - 1.
    std::array<std::uint16_t, kChargerStageCount> time_step{};
};

// The user limit tables of the family for the voltage code; nullopt for the acid types (their
// stage fields cannot be edited) and for a type code that is no battery type.
std::optional<StageLimitTable> StageLimits(std::uint16_t voltage_code, std::uint16_t type_code);

// Range of ChargeCurrentOff for the settings' present values: minimum 100, the maximum by the
// family, raised to 100 when below. Computed in signed 32 bits, so a small stage current gives
// the minimum instead of wrapping.
ValueRange EndCurrentRange(const ChargerSettingsValues& settings, std::uint16_t type_code);

// Limits a raw register value to [range.min, range.max]; signed registers (FTemp, the
// temperatures) are read as two's complement, the others as unsigned.
std::uint16_t LimitTo(std::uint16_t value, ValueRange range, bool is_signed);

// Fills the settings with the presets of the voltage and type codes; false, with only the first
// step done, for an invalid code.
bool ApplyPresets(ChargerSettingsValues& settings, std::uint16_t voltage_code,
                  std::uint16_t type_code);
// The presets of stage n (1..12) for the settings' own voltage and type codes.
void PresetStage(ChargerSettingsValues& settings, std::size_t n);
// A new capacity: the stages, end current, restart voltage and temperatures get their presets
// again for it (the totals wait for validation).
void ApplyCapacity(ChargerSettingsValues& settings, std::uint16_t capacity);
// ChargeCurrentMax and ChargeTimeMax from the stages that are on.
void DeriveTotals(ChargerSettingsValues& settings);

// After field `field` of stage n was edited: the dependent fields of the settings and the
// ranges of limits and end_current follow.
void ApplyCouplingRules(ChargerSettingsValues& settings, std::uint16_t voltage_code,
                        std::uint16_t type_code, std::size_t n, StageField field,
                        StageLimitTable& limits, ValueRange& end_current);

struct ValidationResult {
    bool ok = false;
    // The register that made validation fail (an invalid voltage or type code); none when ok.
    std::optional<std::size_t> refused_index;
};

// Verifies and corrects the settings in place before a Send, with the voltage and type codes
// the settings themselves hold. A failed check leaves the corrections made before it.
ValidationResult ValidateSettings(const ChargerCapabilityValues& capability,
                                  ChargerSettingsValues& settings);

}  // namespace veltrona
