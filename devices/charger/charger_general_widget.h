#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>

#include "ui/indicators.h"
#include "ui/numeric_field.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace veltrona {

struct ChargerView;

// The general view: live values, charged capacity, sensor lamps and the running stage.
class ChargerGeneralPage : public QWidget {
    Q_OBJECT
  public:
    explicit ChargerGeneralPage(QWidget* parent);

    QLabel* linkPicture() const { return imgDevicePgModbus_; }
    QPushButton* clearCapacityButton() const { return btnChargeLevelUsrClear_; }

    void ShowServiceItems();
    // Battery values and charged capacity: after a live-block read.
    void ShowLiveValues(const ChargerView& view, char separator);
    // Device status, version, sensor lamps and the running stage: after every read.
    void ShowCommonValues(const ChargerView& view, char separator);
    void ShowAvailabilityColours(bool not_available);

  private:
    QGroupBox* Group(const char* name, const QString& title, QRect where);

    QLabel* imgDevicePgModbus_ = nullptr;
    QLineEdit* eDeviceStatus_ = nullptr;
    QLineEdit* eDeviceFrwVersion_ = nullptr;
    std::array<QLineEdit*, 7> values_{};
    std::array<QLineEdit*, 3> capacity_{};
    std::array<QLineEdit*, 6> stage_{};
    std::array<TLampShape*, 6> inputs_{};
    QPushButton* btnChargeLevelUsrClear_ = nullptr;
    QLineEdit* edit10_ = nullptr;
    QLabel* label7_ = nullptr;
    QWidget* panel1_ = nullptr;
};

}  // namespace veltrona
