#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "devices/charger/charger_calibration.h"
#include "devices/charger/charger_window_commands.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace veltrona {

class TLampShape;
class TUpDown;

// The hidden settings tab: what the charger supports, the calibration of its measurement and
// setpoint coefficients, and the counter and factory resets.
class ChargerServicePage : public QWidget {
    Q_OBJECT
  public:
    ChargerServicePage(const ChargerLink& link, QWidget* parent);

    // Refresh steps of the charger window.
    void MarkPortOpened();
    void CalibrationStateWatch();
    void ShowCalibrationValues();
    void MarkCalibrationWritten();
    void ShowCapabilities();

  private:
    QWidget* BuildBattery();
    QWidget* BuildCalibration();
    QWidget* BuildCounters();
    QWidget* BuildCommands();
    QPushButton* AddButton(QWidget* parent, const char* name, const char* caption);

    void Tell(CalibrationRefusal refusal);
    bool Available();
    bool Confirmed(const QString& question);
    void Show(const CalibrationOutcome& outcome);
    void ShowCoefficients(const CalibrationCoefficients& coefficients);
    void ColourLamps(std::uint8_t lamps, QRgb colour);
    void ShowButtons(bool enabled);

    void Enable();
    void SetDefault();
    void Store();
    void Disable();
    void Step(std::size_t coefficient, int direction);
    void AskCommand(const QString& action, std::uint16_t code);

    const ChargerLink& link_;
    std::array<QCheckBox*, 4> voltages_{};
    std::array<QCheckBox*, 6> types_{};
    QLineEdit* eSettings2CalibrVoltBatt_ = nullptr;
    QLineEdit* eSettings2CalibrCurrBatt_ = nullptr;
    std::array<QLineEdit*, kCalibrationCoefficients> coefficients_{};
    std::array<TUpDown*, kCalibrationCoefficients> arrows_{};
    std::array<TLampShape*, kCalibrationCoefficients> lamps_{};
    QPushButton* btnSettings2CalibrEnable_ = nullptr;
    std::array<QPushButton*, 3> calibrating_{};  // Default, Write, Disable
};

}  // namespace veltrona
