#include "devices/charger/charger_calibration.h"

#include <algorithm>

#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "link/block_helpers.h"

namespace veltrona {
namespace {

constexpr std::uint16_t kControlBase = kChargerBlocks[kChargerBlockControl].base;
constexpr std::size_t kRequestIndex = kChrgCalibrationRequest - kControlBase;
constexpr std::size_t kFirstCoefficientIndex = kChrgCoefVoltageMeasure - kControlBase;
// The chunk every calibration write marks: 0x2908..0x290F.
constexpr std::size_t kMarkedFirst = kRequestIndex;
constexpr std::size_t kMarkedCount = 8;

CalibrationCoefficients CoefficientsOf(const ChargerControlValues& set) {
    CalibrationCoefficients coefficients{};
    for (std::size_t i = 0; i < kCalibrationCoefficients; ++i)
        coefficients[i] = set[kFirstCoefficientIndex + i];
    return coefficients;
}

bool Usable(const DeviceModel* model, const ChargerView& view) {
    return model != nullptr && model->blocks.size() > kChargerBlockControl && !view.not_available &&
           view.calibration_read;
}

// The common tail of every action: the coefficients limited, the chunk marked and written.
void WriteCalibration(DeviceModel& model, ChargerView& view) {
    for (std::size_t i = 0; i < kCalibrationCoefficients; ++i) {
        std::uint16_t& coefficient = view.calibration[kFirstCoefficientIndex + i];
        coefficient = std::clamp(coefficient, kCoefficientMinimum, kCoefficientMaximum);
    }
    RegisterBlock& block = model.blocks[kChargerBlockControl];
    RequestRegistersWrite(block, kMarkedFirst, kMarkedCount);
    model.write_block = kChargerBlockControl;
    model.write_step = 0;
    PutValuesToWrite(model, view);
    RequestWriteOnce(block);
}

// The device's control block with the given request; the set then asks to calibrate or not.
void TakeReceivedSet(ChargerView& view, std::uint16_t request) {
    view.calibration = view.received.control;
    view.calibration[kRequestIndex] = request;
    view.calibration_filled = request != 0;
}

CalibrationOutcome Refused(CalibrationRefusal refusal) {
    return CalibrationOutcome{.refusal = refusal, .shown = std::nullopt, .lamps_sent = 0};
}

}  // namespace

std::string_view CalibrationRefusalText(CalibrationRefusal refusal) {
    switch (refusal) {
        case CalibrationRefusal::kNotAvailable:
            return "Устройство не доступно";
        case CalibrationRefusal::kDisabled:
            return "Калибровка запрещена";
        case CalibrationRefusal::kEnabled:
            return "Калибровка разрешена";
        case CalibrationRefusal::kNone:
            break;
    }
    return {};
}

bool CalibrationEnabled(const ChargerView& view) {
    return (ChargerReceivedWord(view, kChrgCalibrationState) & kChrgCalibrationEnabled) != 0;
}

CalibrationCoefficients ReceivedCoefficients(const ChargerView& view) {
    return CoefficientsOf(view.received.control);
}

CalibrationCoefficients CalibrationSetCoefficients(const ChargerView& view) {
    return CoefficientsOf(view.calibration);
}

CalibrationRefusal CalibrationStepRefusal(const DeviceModel* model, const ChargerView& view) {
    if (!Usable(model, view)) return CalibrationRefusal::kNotAvailable;
    return CalibrationEnabled(view) ? CalibrationRefusal::kNone : CalibrationRefusal::kDisabled;
}

CalibrationOutcome EnableCalibration(DeviceModel* model, ChargerView& view) {
    if (!Usable(model, view)) return Refused(CalibrationRefusal::kNotAvailable);
    if (CalibrationEnabled(view)) return Refused(CalibrationRefusal::kEnabled);
    TakeReceivedSet(view, kChrgCalibrationEnabled);
    WriteCalibration(*model, view);
    return {};
}

CalibrationOutcome SetDefaultCoefficients(DeviceModel* model, ChargerView& view) {
    if (const CalibrationRefusal refusal = CalibrationStepRefusal(model, view);
        refusal != CalibrationRefusal::kNone) {
        return Refused(refusal);
    }
    for (std::size_t i = 0; i < kCalibrationCoefficients; ++i)
        view.calibration[kFirstCoefficientIndex + i] = kCoefficientDefault;
    WriteCalibration(*model, view);
    view.calibration_marks = kAllCoefficients;
    return {.shown = CalibrationSetCoefficients(view), .lamps_sent = kAllCoefficients};
}

CalibrationOutcome StoreCoefficients(DeviceModel* model, ChargerView& view) {
    if (const CalibrationRefusal refusal = CalibrationStepRefusal(model, view);
        refusal != CalibrationRefusal::kNone) {
        return Refused(refusal);
    }
    view.calibration[kRequestIndex] |= kChrgCalibrationStore;
    WriteCalibration(*model, view);
    return {};
}

CalibrationOutcome DisableCalibration(DeviceModel* model, ChargerView& view) {
    if (!Usable(model, view)) return Refused(CalibrationRefusal::kNotAvailable);
    TakeReceivedSet(view, 0);
    WriteCalibration(*model, view);
    return {};
}

CalibrationOutcome StepCoefficient(DeviceModel* model, ChargerView& view, std::size_t index,
                                   int delta) {
    if (const CalibrationRefusal refusal = CalibrationStepRefusal(model, view);
        refusal != CalibrationRefusal::kNone) {
        return Refused(refusal);
    }
    if (index >= kCalibrationCoefficients) return {};
    std::uint16_t& coefficient = view.calibration[kFirstCoefficientIndex + index];
    // Widened so that a step past either end is brought back by the write, not wrapped.
    coefficient = static_cast<std::uint16_t>(
        std::clamp<int>(coefficient + delta, kCoefficientMinimum - 1, kCoefficientMaximum + 1));
    WriteCalibration(*model, view);
    view.calibration_marks |= static_cast<std::uint8_t>(1u << index);
    return {.shown = CalibrationSetCoefficients(view), .lamps_sent = view.calibration_marks};
}

std::optional<CalibrationStateChange> WatchCalibrationState(ChargerView& view) {
    const std::uint16_t state = ChargerReceivedWord(view, kChrgCalibrationState);
    const bool enabled = (state & kChrgCalibrationEnabled) != 0;
    const bool was = (view.last_calibration_state & kChrgCalibrationEnabled) != 0;
    view.last_calibration_state = state;
    if (enabled == was) return std::nullopt;
    return CalibrationStateChange{.enabled = enabled, .positions = ReceivedCoefficients(view)};
}

CalibrationReadBack TakeCalibrationValues(ChargerView& view) {
    if (!CalibrationEnabled(view)) return {.shown = ReceivedCoefficients(view)};
    CalibrationReadBack back;
    // A device that calibrates already (found so when the port opened) gets its own
    // coefficients back from Write, Default and the arrows, not an empty set.
    if (view.calibration_read && !view.calibration_filled) {
        TakeReceivedSet(view, kChrgCalibrationEnabled);
        back.shown = CalibrationSetCoefficients(view);
    }
    for (std::size_t i = 0; i < kCalibrationCoefficients; ++i) {
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << i);
        const std::size_t at = kFirstCoefficientIndex + i;
        if ((view.calibration_marks & bit) == 0 ||
            view.received.control[at] != view.calibration[at]) {
            continue;
        }
        back.lamps_rest |= bit;
        view.calibration_marks &= static_cast<std::uint8_t>(~bit);
    }
    return back;
}

std::uint8_t CalibrationWrittenLamps(const DeviceModel& model, const ChargerView& view) {
    if (model.blocks.size() <= kChargerBlockControl) return 0;
    const RegisterBlock& block = model.blocks[kChargerBlockControl];
    // A refused or unanswered write leaves the lamps as they are.
    if (block.last_write_result != 0) return 0;
    std::uint8_t lamps = 0;
    for (std::size_t i = 0; i < kCalibrationCoefficients; ++i) {
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << i);
        const std::size_t at = kFirstCoefficientIndex + i;
        if ((view.calibration_marks & bit) != 0 && TestBit(block.write_done_map, at) &&
            view.calibration[at] == view.written.control[at]) {
            lamps |= bit;
        }
    }
    return lamps;
}

}  // namespace veltrona
