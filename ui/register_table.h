#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTableView>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/device_model.h"

namespace veltrona {

inline constexpr std::uint8_t kRowMarkYellow = 0x10;
inline constexpr std::uint8_t kRowMarkGreen = 0x20;

// Where a device's registers sit in its table and how they read.
struct RegisterTableLayout {
    int grid_rows = 0;  // the header row included
    std::span<const char* const> headers;
    std::span<const int> first_rows;  // grid row of each block's register 0
    std::span<const BlockLayout> blocks;
    std::string (*caption)(std::size_t block, std::size_t index) = nullptr;
    const RegisterDescriptor* (*descriptor)(std::size_t block, std::size_t index) = nullptr;
};

// A device's registers, one row each, captions in column 0. Texts are kept per cell and
// rewritten only for the rows a transaction touched. Model row r is grid row r + 1.
class RegisterTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    RegisterTableModel(const RegisterTableLayout& layout, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Model row of a block's register; -1 outside the blocks.
    int RowOf(std::size_t block, std::size_t index) const;
    QString Text(int row, int column) const;

    // Column `column` of registers [first, first + count) of a block from its value set
    // (element i is register i); nothing for an empty set.
    void Refresh(std::span<const std::uint16_t> values, std::size_t block, std::size_t first,
                 std::size_t count, int column, char separator);

    std::uint8_t marks(int row) const;
    void ToggleMark(int row, std::uint8_t mark);
    void ClearMarks();
    int hoveredRow() const { return hovered_; }
    void SetHoveredRow(int row);

  private:
    QString& Cell(int row, int column);
    void RepaintRow(int row);

    RegisterTableLayout layout_;
    int columns_ = 0;
    std::vector<QString> texts_;
    std::vector<std::uint8_t> marks_;  // per model row
    int hovered_ = -1;
};

// The grid `sgTable`: left press toggles the yellow mark, right press the green one, a double
// click clears every mark, the row under the mouse is highlighted, the wheel steps one row.
// Presses and moves where there is no data row take no mark and no highlight.
class RegisterTableView : public QTableView {
    Q_OBJECT
  public:
    RegisterTableView(RegisterTableModel& model, QWidget* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    RegisterTableModel& model_;
};

// A page `pnlTable` holding a three-column register table: the grid 8 pixels in from the
// top left, the value columns up to 200 pixels wide, the name column taking the rest.
class RegisterTablePage : public QWidget {
    Q_OBJECT
  public:
    RegisterTablePage(const RegisterTableLayout& layout, QWidget* parent);

    RegisterTableModel& model() { return *model_; }
    RegisterTableView& grid() { return *grid_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    RegisterTableModel* model_ = nullptr;
    RegisterTableView* grid_ = nullptr;
};

// Width of each value column of a three-column table on a page `page_width` wide; 0 on
// pages too narrow for any.
int ValueColumnWidth(int page_width);

}  // namespace veltrona
