#pragma once

#include <QTimer>
#include <array>
#include <cstdint>

#include "devices/charger/charger_window_commands.h"
#include "ui/dragged_window.h"

class QAction;
class QLabel;
class QPushButton;
class QStackedWidget;

namespace veltrona {

class ChargerErrorPage;
class ChargerGeneralPage;
class ChargerSettingsPage;
class ChargerTablePage;
class DeviceChart;
class TLampShape;

// Indicator states of the control panel's lamps.
inline constexpr std::uint8_t kLampOff = 0;
inline constexpr std::uint8_t kLampSlowBlink = 1;
inline constexpr std::uint8_t kLampFastBlink = 2;
inline constexpr std::uint8_t kLampSteady = 3;

// The charger window: live values, register table, error log, chart and settings pages,
// fed by the main window after every charger transaction.
class TFormChrgNet : public TDraggedWindow {
    Q_OBJECT
  public:
    enum Lamp : std::size_t { kLampActivity = 0, kLampStage = 1, kLampError = 2 };

    TFormChrgNet();
    ~TFormChrgNet() override;

    void Attach(const ChargerLink& link) { link_ = link; }

    // The port has opened: not available until the first good read.
    void MarkPortOpened();
    // After a read reply of a block (the charger's view already holds its values).
    void RefreshAfterRead(std::uint16_t block);
    // After a write reply of a block.
    void RefreshAfterWrite(std::uint16_t block);
    void ShowServiceItems();
    bool extendedMode() const { return extended_; }

    std::uint8_t indicatorState(Lamp lamp) const { return indicators_[lamp]; }
    DeviceChart& chart() const { return *chart_; }
    ChargerTablePage& tablePage() const { return *table_; }
    ChargerSettingsPage& settingsPage() const { return *settings_; }

  private:
    QWidget* BuildStatPage();
    QWidget* BuildControlPanel();
    void TakeIndicatorStates();
    void ShowErrorSummary();
    void AddChartPoints();
    void TickLamps();

    ChargerLink link_;
    bool extended_ = false;

    QAction* tbtnTable_ = nullptr;
    QAction* tbtnDeviceErrorList_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    ChargerGeneralPage* general_ = nullptr;
    ChargerTablePage* table_ = nullptr;
    ChargerErrorPage* errors_ = nullptr;
    ChargerSettingsPage* settings_ = nullptr;
    DeviceChart* chart_ = nullptr;

    std::array<TLampShape*, 3> lamps_{};
    QLabel* imgDeviceError_ = nullptr;
    QPushButton* btnDeviceClearError_ = nullptr;
    std::array<QLabel*, 5> statusPanels_{};

    std::array<std::uint8_t, 3> indicators_{};
    std::uint32_t ticks_ = 0;
    QTimer tmrLight_;
};

}  // namespace veltrona
