#pragma once

#include <QWidget>
#include <array>
#include <vector>

class QLineEdit;

namespace veltrona {

struct InverterView;
class TFlagLamps;

// The inner values page (`pnlInner`): the inner block's numbers, states and flag groups on
// two tabs.
class InverterInnerPage : public QWidget {
    Q_OBJECT
  public:
    explicit InverterInnerPage(QWidget* parent);

    // Every indicator group silver while the inverter is not available.
    void ShowAvailability(bool not_available);
    // After an inner-block read.
    void ShowValues(const InverterView& view, char separator);

  private:
    std::array<QLineEdit*, 10> fields_{};
    std::vector<TFlagLamps*> groups_;  // in the order of their table
};

}  // namespace veltrona
