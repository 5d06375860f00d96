#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>
#include <functional>

#include "devices/inverter/inverter_view.h"
#include "devices/inverter/inverter_window_commands.h"
#include "link/device_model.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace veltrona {

// The main window's inverter summary (`gbDcacBox`): link picture, live values and the on/off
// and new-cycle commands.
class InverterSummary : public QGroupBox {
    Q_OBJECT
  public:
    // The link is the main window's; it outlives the summary.
    InverterSummary(const InverterLink& link, QWidget* parent);

    void MarkPortOpened();
    // After every inverter read or bootloader transaction (the view already holds its values).
    void RefreshAfterRead(std::uint16_t block);

    void AskOnOff();
    void GiveNewCycle();

  private:
    const InverterLink& link_;
    QLabel* picture_ = nullptr;
    QLineEdit* state_ = nullptr;
    std::array<QLineEdit*, 4> values_{};
    QPushButton* onOff_ = nullptr;
};

}  // namespace veltrona
