#pragma once

#include <QColor>
#include <QGroupBox>
#include <QWidget>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class QLabel;
class QLineEdit;

namespace veltrona {

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
inline constexpr QRgb kLampRed = 0xFF0000;
inline constexpr QRgb kLampLime = 0x00FF00;

// A read-only value field without a caret.
QLineEdit* ValueField(const char* name, QWidget* parent);
// Red background while the device is not available, the normal colour otherwise.
void ShowAvailability(QLineEdit& field, bool not_available);
// Shows a named picture and remembers the name in the "picture" property, so that the
// choice is known even when the picture file is missing.
void ShowNamedPicture(QLabel& label, const char* name);

struct FlagLamp {
    std::uint8_t bit;
    std::string_view caption;
};

// Lamps for the bits of a flag word, each beside its caption: red for a set bit, lime for a
// clear one, silver until the first word and while the device is not available. Lamp i is
// named prefix + its bit number.
class TFlagLamps : public QGroupBox {
    Q_OBJECT
  public:
    TFlagLamps(const char* name, const QString& title, const char* prefix,
               std::span<const FlagLamp> lamps, int columns, QWidget* parent);

    void ShowWord(std::uint32_t word);
    void ShowSilver();
    std::size_t size() const { return lamps_.size(); }
    const TLampShape& lamp(std::size_t i) const { return *lamps_[i]; }

  private:
    std::vector<TLampShape*> lamps_;
    std::vector<std::uint8_t> bits_;
};

// Flag lamps for consecutive bits from 0, one per caption.
std::vector<FlagLamp> FlagLampsFromBits(std::span<const std::string_view> captions);

}  // namespace veltrona
