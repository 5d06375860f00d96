#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "ui/typed_value.h"

class QLineEdit;
class QToolButton;

namespace veltrona {

// The user's decimal separator, '.' when it is not a single ASCII character.
char UserDecimalSeparator();

// An arrow control: minimum, maximum, increment and position. The program sets it without a
// signal; a click moves the position one increment, never past a bound (at a bound, or with
// increment 0, a click changes nothing and signals nothing).
class TUpDown : public QWidget {
    Q_OBJECT
  public:
    explicit TUpDown(const QString& name, QWidget* parent = nullptr);

    void SetLimits(const FieldLimits& limits);
    void SetPosition(std::int32_t position);
    const FieldLimits& limits() const { return limits_; }
    std::int32_t position() const { return position_; }

    // What the up and down buttons do.
    void StepUp();
    void StepDown();

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

  signals:
    // The user moved the position.
    void stepped(std::int32_t position);

  private:
    void Step(std::int32_t direction);

    FieldLimits limits_;
    std::int32_t position_ = 0;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};

// A numeric settings field: an edit box and its arrow control. The text shows the stored value
// through the formatter (by default the register's decimals with the user's separator). Typing
// is filtered as AcceptsTypedCharacter says, pasting too; Enter stores TypedValue of the text
// ("Нет данных" and the stored text back for an empty one); focus lost without Enter puts the
// stored text back.
class TNumericField : public QWidget {
    Q_OBJECT
  public:
    using Formatter = std::function<QString(std::int32_t value)>;

    // edit_name and arrows_name are the object names of the edit and the arrow control.
    TNumericField(const char* edit_name, const char* arrows_name, QWidget* parent = nullptr);

    void SetDecimals(unsigned decimals);
    void SetFormatter(Formatter formatter);
    // Arrows only: the edit takes no typing (codes whose typed value would mean something else).
    void SetTypingAllowed(bool allowed);

    void SetLimits(const FieldLimits& limits);
    const FieldLimits& limits() const;
    // The program sets the stored value: arrow position and text, no signal.
    void SetValue(std::int32_t value);
    std::int32_t value() const;

    QLineEdit* edit() const { return edit_; }
    TUpDown* arrows() const { return arrows_; }

  signals:
    // The user stored a value (Enter or an arrow); the field already shows it.
    void valueEdited(std::int32_t value);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void TakeTypedText();
    void ShowValue();

    QLineEdit* edit_ = nullptr;
    TUpDown* arrows_ = nullptr;
    unsigned decimals_ = 0;
    bool typing_ = true;
    Formatter formatter_;
};

}  // namespace veltrona
