#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>

#include "ui/numeric_field.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace veltrona {

struct ChargerView;

// A round indicator with a fill and an outline colour.
class TLampShape : public QWidget {
    Q_OBJECT
  public:
    TLampShape(const char* name, QWidget* parent);

    void SetColours(QColor fill, QColor outline);
    QColor fill() const { return fill_; }
    QColor outline() const { return outline_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
    QColor outline_;
};

inline constexpr QRgb kLampDark = 0xC0C0C0;

// A read-only value field without a caret.
QLineEdit* ChargerValueField(const char* name, QWidget* parent);
// Red background while the device is not available, the normal colour otherwise.
void ShowAvailability(QLineEdit& field, bool not_available);
// Shows a named picture and remembers the name in the "picture" property, so that the
// choice is known even when the picture file is missing.
void ShowNamedPicture(QLabel& label, const char* name);

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
