#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

#include "ui/register_table.h"

class QLabel;
class QLineEdit;

namespace veltrona {

struct ChargerView;

// Grid rows of the register table, the header row included (it is the view's header).
inline constexpr int kChargerTableRows = 409;
inline constexpr int kChargerTableColumns = 6;

// The charger's registers with what was last written (column "Мастер") and received
// (column "Устройство 0").
class ChargerTableModel : public RegisterTableModel {
    Q_OBJECT
  public:
    explicit ChargerTableModel(QObject* parent);

    void RefreshReceived(const ChargerView& view, std::size_t block, std::size_t first,
                         std::size_t count, char separator);
    void RefreshWritten(const ChargerView& view, std::size_t block, std::size_t first,
                        std::size_t count, char separator);
};

// The register table page with the device summary rows under the grid.
class ChargerTablePage : public QWidget {
    Q_OBJECT
  public:
    explicit ChargerTablePage(QWidget* parent);

    ChargerTableModel& model() { return *model_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    ChargerTableModel* model_ = nullptr;
    RegisterTableView* grid_ = nullptr;
    std::array<QLabel*, 4> errorLabels_{};
    std::array<QLabel*, 5> captions_{};
    std::array<std::array<QLineEdit*, 4>, 3> deviceEdits_{};
};

}  // namespace veltrona
