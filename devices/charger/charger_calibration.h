#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "devices/charger/charger_view.h"
#include "link/device_model.h"

namespace veltrona {

// The four coefficients 0x290A..0x290D in address order; change mark and lamp bit i stand for
// coefficient i.
inline constexpr std::size_t kCalibrationCoefficients = 4;
using CalibrationCoefficients = std::array<std::uint16_t, kCalibrationCoefficients>;

inline constexpr std::uint16_t kCoefficientMinimum = 5000;
inline constexpr std::uint16_t kCoefficientMaximum = 15000;
inline constexpr std::uint16_t kCoefficientDefault = 10000;
inline constexpr std::uint8_t kAllCoefficients = 0x0F;

enum class CalibrationRefusal : std::uint8_t {
    kNone,
    kNotAvailable,  // "Устройство не доступно"
    kDisabled,      // "Калибровка запрещена"
    kEnabled,       // "Калибровка разрешена"
};
std::string_view CalibrationRefusalText(CalibrationRefusal refusal);

// Bit 15 of the received 0x0620.
bool CalibrationEnabled(const ChargerView& view);
// The received coefficients and those of the calibration set.
CalibrationCoefficients ReceivedCoefficients(const ChargerView& view);
CalibrationCoefficients CalibrationSetCoefficients(const ChargerView& view);

// What the page shows after an action: a refusal, or the coefficients for the edits
// (nullopt: the edits stay) and the lamps to give the "sent" colour.
struct CalibrationOutcome {
    CalibrationRefusal refusal = CalibrationRefusal::kNone;
    std::optional<CalibrationCoefficients> shown;
    std::uint8_t lamps_sent = 0;
};

// The check that Default, Write and the arrows make before anything else (Default asks its
// question after it).
CalibrationRefusal CalibrationStepRefusal(const DeviceModel* model, const ChargerView& view);

CalibrationOutcome EnableCalibration(DeviceModel* model, ChargerView& view);
CalibrationOutcome SetDefaultCoefficients(DeviceModel* model, ChargerView& view);
CalibrationOutcome StoreCoefficients(DeviceModel* model, ChargerView& view);
CalibrationOutcome DisableCalibration(DeviceModel* model, ChargerView& view);
// Adds delta to coefficient index of the calibration set.
CalibrationOutcome StepCoefficient(DeviceModel* model, ChargerView& view, std::size_t index,
                                   int delta);

// After every live-block read: the device's calibration state when it has changed since the
// last one seen, with the received coefficients for the arrows.
struct CalibrationStateChange {
    bool enabled = false;
    CalibrationCoefficients positions{};
};
std::optional<CalibrationStateChange> WatchCalibrationState(ChargerView& view);

// After every live- and control-block read: the coefficients for the edits (nullopt: they
// stay) and the marked coefficients read back as set, whose marks are now cleared.
struct CalibrationReadBack {
    std::optional<CalibrationCoefficients> shown;
    std::uint8_t lamps_rest = 0;
};
CalibrationReadBack TakeCalibrationValues(ChargerView& view);

// After every control-block write reply: the marked coefficients whose value went out and
// was answered.
std::uint8_t CalibrationWrittenLamps(const DeviceModel& model, const ChargerView& view);

}  // namespace veltrona
