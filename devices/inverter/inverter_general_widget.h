#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;

namespace veltrona {

struct InverterView;
class TFlagLamps;
class TLampShape;

// The inverter's general view: live values, the three states, relays and inputs, alarms.
class InverterGeneralPage : public QWidget {
    Q_OBJECT
  public:
    explicit InverterGeneralPage(QWidget* parent);

    QLabel* linkPicture() const { return imgDevicePgModbus_; }
    const TFlagLamps& alarms() const { return *alarms_; }

    // Red backgrounds of the value and state fields while not available; silver alarms.
    void ShowAvailability(bool not_available);
    // After a live-block read: values, states and alarms.
    void ShowLiveValues(const InverterView& view, char separator);
    // The relay pictures and input lamps from the relay state word.
    void ShowRelays(const InverterView& view);

  private:
    QLabel* imgDevicePgModbus_ = nullptr;
    std::array<QLineEdit*, 15> values_{};
    std::array<QLineEdit*, 3> states_{};
    std::array<QLabel*, 6> relays_{};
    std::array<TLampShape*, 2> inputs_{};
    TFlagLamps* alarms_ = nullptr;
};

}  // namespace veltrona
