#pragma once

#include <cstdint>

#include "devices/inverter/inverter_window_commands.h"
#include "ui/dragged_window.h"

class QAction;
class QPushButton;
class QStackedWidget;

namespace veltrona {

class DeviceChart;
class InverterGeneralPage;
class InverterInnerPage;
class RegisterTablePage;

// The inverter window: general view, register table, inner values, chart and settings
// pages, fed by the main window after every inverter transaction.
class TFormDcacBox : public TDraggedWindow {
    Q_OBJECT
  public:
    TFormDcacBox();
    ~TFormDcacBox() override;

    void Attach(const InverterLink& link) { link_ = link; }

    // The port has opened: not available until the first good read.
    void MarkPortOpened();
    // After every read transaction of a block, answered or not (the view already holds its
    // values); a block beyond the map (a loader transaction) changes the link picture only.
    void RefreshAfterRead(std::uint16_t block);
    // After every write transaction of a block.
    void RefreshAfterWrite(std::uint16_t block);
    void ShowServiceItems();
    bool extendedMode() const { return extended_; }

    RegisterTablePage& tablePage() const { return *table_; }
    InverterGeneralPage& generalPage() const { return *general_; }
    DeviceChart& chart() const { return *chart_; }

  private:
    QWidget* BuildControlPanel();
    void AddChartPoints();

    InverterLink link_;
    bool extended_ = false;
    QStackedWidget* stack_ = nullptr;
    RegisterTablePage* table_ = nullptr;
    InverterGeneralPage* general_ = nullptr;
    InverterInnerPage* inner_ = nullptr;
    DeviceChart* chart_ = nullptr;
    QList<QAction*> serviceButtons_;
    QPushButton* onOff_ = nullptr;
};

}  // namespace veltrona
