#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

class QLineEdit;
class QValidator;

namespace veltrona {

// Asks for a text; the entry of the last OK is kept for the caller after the dialog closes.
class TFormPassword : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kMaxLength = 32;

    explicit TFormPassword(QWidget* parent = nullptr);

    // The dialog's bottom-right corner goes to this point at every showing.
    void placeBottomRightAt(QPoint globalPoint);
    // Without letters only digits can be typed.
    void setLettersAllowed(bool allowed);
    QString enteredText() const { return entered_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* field_ = nullptr;
    QValidator* digitsOnly_ = nullptr;
    QPoint corner_;
    bool placed_ = false;
    QString entered_;
};

// True for the extended-mode access code, letter case ignored.
bool IsServiceAccessCode(const QString& text);

}  // namespace veltrona
