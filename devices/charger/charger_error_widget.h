#pragma once

#include <QWidget>
#include <span>
#include <string>

class QPlainTextEdit;

namespace veltrona {

// The log of error changes: one line per change, kept for as long as the program runs.
class ChargerErrorPage : public QWidget {
    Q_OBJECT
  public:
    explicit ChargerErrorPage(QWidget* parent);

    void AppendLines(std::span<const std::string> lines);

  private:
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace veltrona
