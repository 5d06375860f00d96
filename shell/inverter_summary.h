#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>
#include <functional>

#include "devices/inverter/inverter_view.h"
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
    // startCycle runs after a command has been queued, so that an idle cycle picks it up.
    InverterSummary(InverterView& view, const DeviceList& devices, std::function<void()> startCycle,
                    QWidget* parent);

    void MarkPortOpened();
    // After every inverter read or bootloader transaction (the view already holds its values).
    void RefreshAfterRead(std::uint16_t block);

    void AskOnOff();
    void GiveNewCycle();

  private:
    bool Available();
    void Queue(std::uint16_t code);

    InverterView& view_;
    const DeviceList& devices_;
    std::function<void()> startCycle_;
    QLabel* picture_ = nullptr;
    QLineEdit* state_ = nullptr;
    std::array<QLineEdit*, 4> values_{};
    QPushButton* onOff_ = nullptr;
};

}  // namespace veltrona
