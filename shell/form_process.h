#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace veltrona {

// The modeless progress window of a settings write. Update() only records; Refresh() shows
// what was recorded. The first recorded error freezes the state until the window closes.
class TFormProcess : public QWidget {
    Q_OBJECT
  public:
    explicit TFormProcess(QWidget* parent = nullptr);

    bool IsShown() const { return state_.shown; }
    void Prepare(int minimum, int maximum, const QString& caption);
    void Show();
    void Update(int position, int errorMark, const QString& errorText);
    void Refresh();
    // Closes unless an error is recorded; then the user closes it.
    void Finish();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    struct State {
        bool shown = false;
        int minimum = 0;
        int maximum = 0;
        int position = 0;
        QString caption;
        QString errorText;
        int errorMark = 0;
    };

    State state_;
    QProgressBar* bar_ = nullptr;
    QLabel* error_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace veltrona
