#include "ui/register_table.h"

#include <QApplication>
#include <QColor>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "link/value_format.h"

namespace veltrona {
namespace {

constexpr QRgb kGreenMark = 0x00FF00;
constexpr QRgb kYellowMark = 0xFFFF00;
constexpr int kRowHeight = 16;
constexpr int kMaxValueColumn = 200;

}  // namespace

RegisterTableModel::RegisterTableModel(const RegisterTableLayout& layout, QObject* parent)
    : QAbstractTableModel(parent),
      layout_(layout),
      columns_(static_cast<int>(layout.headers.size())),
      texts_(static_cast<std::size_t>(std::max(0, layout.grid_rows - 1) * columns_)),
      marks_(static_cast<std::size_t>(std::max(0, layout.grid_rows - 1))) {
    for (std::size_t block = 0; block < layout_.blocks.size(); ++block) {
        for (std::size_t i = 0; i < layout_.blocks[block].count; ++i) {
            const int row = RowOf(block, i);
            if (row >= 0) Cell(row, 0) = QString::fromStdString(layout_.caption(block, i));
        }
    }
}

int RegisterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(marks_.size());
}

int RegisterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

int RegisterTableModel::RowOf(std::size_t block, std::size_t index) const {
    if (block >= layout_.blocks.size() || block >= layout_.first_rows.size() ||
        index >= layout_.blocks[block].count) {
        return -1;
    }
    const int row = layout_.first_rows[block] + static_cast<int>(index) - 1;
    return row >= 0 && row < rowCount() ? row : -1;
}

QString& RegisterTableModel::Cell(int row, int column) {
    return texts_[static_cast<std::size_t>(row * columns_ + column)];
}

QString RegisterTableModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_) return {};
    return texts_[static_cast<std::size_t>(row * columns_ + column)];
}

QVariant RegisterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return Text(index.row(), index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(index.column() == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                                           : Qt::AlignRight | Qt::AlignVCenter);
        case Qt::BackgroundRole: {
            const std::uint8_t mark = marks(index.row());
            if ((mark & kRowMarkGreen) != 0) return QColor::fromRgb(kGreenMark);
            if ((mark & kRowMarkYellow) != 0) return QColor::fromRgb(kYellowMark);
            if (index.row() == hovered_) return QApplication::palette().color(QPalette::Midlight);
            return {};
        }
        default:
            return {};
    }
}

QVariant RegisterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columns_) {
        return {};
    }
    return QString::fromUtf8(layout_.headers[static_cast<std::size_t>(section)]);
}

void RegisterTableModel::Refresh(std::span<const std::uint16_t> values, std::size_t block,
                                 std::size_t first, std::size_t count, int column, char separator) {
    if (block >= layout_.blocks.size() || values.empty() || column <= 0 || column >= columns_) {
        return;
    }
    const std::size_t end = std::min<std::size_t>(
        {first + count, std::size_t{layout_.blocks[block].count}, values.size()});
    if (first >= end) return;
    for (std::size_t i = first; i < end; ++i) {
        const RegisterDescriptor* descriptor = layout_.descriptor(block, i);
        const int row = RowOf(block, i);
        if (row < 0) continue;
        Cell(row, column) =
            descriptor != nullptr
                ? QString::fromStdString(FormatRegister(*descriptor, values, i, separator))
                : QString();
    }
    emit dataChanged(index(RowOf(block, first), column), index(RowOf(block, end - 1), column),
                     {Qt::DisplayRole});
}

std::uint8_t RegisterTableModel::marks(int row) const {
    return row >= 0 && row < rowCount() ? marks_[static_cast<std::size_t>(row)] : 0;
}

void RegisterTableModel::ToggleMark(int row, std::uint8_t mark) {
    if (row < 0 || row >= rowCount()) return;
    marks_[static_cast<std::size_t>(row)] ^= mark;
    RepaintRow(row);
}

void RegisterTableModel::ClearMarks() {
    std::fill(marks_.begin(), marks_.end(), std::uint8_t{0});
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columns_ - 1), {Qt::BackgroundRole});
    }
}

void RegisterTableModel::SetHoveredRow(int row) {
    if (row < 0 || row >= rowCount()) row = -1;
    if (row == hovered_) return;
    const int previous = hovered_;
    hovered_ = row;
    RepaintRow(previous);
    RepaintRow(row);
}

void RegisterTableModel::RepaintRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    emit dataChanged(index(row, 0), index(row, columns_ - 1), {Qt::BackgroundRole});
}

RegisterTableView::RegisterTableView(RegisterTableModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setObjectName(QStringLiteral("sgTable"));
    setModel(&model);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
}

void RegisterTableView::mousePressEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (row < 0) return;
    if (event->button() == Qt::LeftButton) model_.ToggleMark(row, kRowMarkYellow);
    if (event->button() == Qt::RightButton) model_.ToggleMark(row, kRowMarkGreen);
}

void RegisterTableView::mouseDoubleClickEvent(QMouseEvent*) {
    model_.ClearMarks();
}

void RegisterTableView::mouseMoveEvent(QMouseEvent* event) {
    model_.SetHoveredRow(indexAt(event->position().toPoint()).row());
}

void RegisterTableView::enterEvent(QEnterEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QTableView::enterEvent(event);
}

void RegisterTableView::leaveEvent(QEvent* event) {
    model_.SetHoveredRow(-1);
    if (parentWidget() != nullptr) parentWidget()->setFocus(Qt::MouseFocusReason);
    QTableView::leaveEvent(event);
}

void RegisterTableView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    int notches = delta / QWheelEvent::DefaultDeltasPerStep;
    if (notches == 0 && delta != 0) notches = delta > 0 ? 1 : -1;
    verticalScrollBar()->setValue(verticalScrollBar()->value() - notches);
    event->accept();
}

int ValueColumnWidth(int page_width) {
    return std::clamp((page_width - 440) / 2, 0, kMaxValueColumn);
}

RegisterTablePage::RegisterTablePage(const RegisterTableLayout& layout, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("pnlTable"));
    setFocusPolicy(Qt::ClickFocus);
    model_ = new RegisterTableModel(layout, this);
    grid_ = new RegisterTableView(*model_, this);
}

void RegisterTablePage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int width = this->width();
    grid_->setGeometry(8, 8, std::max(0, width - 16), std::max(0, height() - 32));
    const int column = ValueColumnWidth(width);
    grid_->setColumnWidth(0, std::max(0, width - 2 * column - 40));
    grid_->setColumnWidth(1, column);
    grid_->setColumnWidth(2, column);
}

}  // namespace veltrona
