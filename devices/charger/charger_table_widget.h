#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>
#include <QWidget>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

class QLabel;
class QLineEdit;

namespace veltrona {

struct ChargerView;

// Grid rows of the register table, the header row included (it is the view's header).
inline constexpr int kChargerTableRows = 409;
inline constexpr int kChargerTableColumns = 6;
inline constexpr std::uint8_t kRowMarkYellow = 0x10;
inline constexpr std::uint8_t kRowMarkGreen = 0x20;

// The charger's registers, one row each, with what was last written and received. Texts
// are kept per cell and rewritten only for the rows a transaction touched.
class ChargerTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ChargerTableModel(QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Model row of a block's register; -1 outside the blocks.
    static int RowOf(std::size_t block, std::size_t index);

    // Column "Устройство 0" of registers [first, first + count) of a block from the received
    // set, column "Мастер" from the written set.
    void RefreshReceived(const ChargerView& view, std::size_t block, std::size_t first,
                         std::size_t count, char separator);
    void RefreshWritten(const ChargerView& view, std::size_t block, std::size_t first,
                        std::size_t count, char separator);

    std::uint8_t marks(int row) const;
    void ToggleMark(int row, std::uint8_t mark);
    void ClearMarks();
    int hoveredRow() const { return hovered_; }
    void SetHoveredRow(int row);

  private:
    enum Column { kName = 0, kMaster = 1, kDevice = 2 };
    void Refresh(std::span<const std::uint16_t> values, std::size_t block, std::size_t first,
                 std::size_t count, Column column, char separator);
    void RepaintRow(int row);

    // Per model row: name, written and received texts; the other columns stay empty.
    std::vector<std::array<QString, 3>> texts_;
    // Per grid row (0 is the header row).
    std::array<std::uint8_t, kChargerTableRows> marks_{};
    int hovered_ = -1;
};

// The grid: left press toggles the yellow mark, right press the green one, a double click
// clears every mark, the row under the mouse is highlighted, the wheel steps one row.
class ChargerTableView : public QTableView {
    Q_OBJECT
  public:
    ChargerTableView(ChargerTableModel& model, QWidget* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    ChargerTableModel& model_;
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
    ChargerTableView* grid_ = nullptr;
    std::array<QLabel*, 4> errorLabels_{};
    std::array<QLabel*, 5> captions_{};
    std::array<std::array<QLineEdit*, 4>, 3> deviceEdits_{};
};

}  // namespace veltrona
