#include "devices/charger/charger_table_widget.h"

#include <QApplication>
#include <QColor>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "devices/charger/charger_general_widget.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_view.h"
#include "link/value_format.h"

namespace veltrona {
namespace {

// Grid row of each block's first register; one empty row separates the blocks.
constexpr int kFirstGridRow[kChargerBlockCount] = {1, 18, 83, 340, 373, 377};

constexpr const char* kHeaders[kChargerTableColumns] = {
    "Наименование",        "Мастер",
    "Устройство 0 (0x40)", "Устройство 1 (0x41)",
    "Устройство 2 (0x42)", "Устройство 3 (0x43)",
};

constexpr QRgb kGreenMark = 0x00FF00;
constexpr QRgb kYellowMark = 0xFFFF00;
constexpr int kRowHeight = 16;

constexpr const char* kErrorLabels[] = {"labErr_00", "labErr_01", "labErr_10", "labErr_11"};

struct CaptionDef {
    const char* name;
    const char* text;
};
constexpr CaptionDef kCaptions[] = {
    {"labAction", "Неизвестно"},        {"labChrgNet", "Тарволен"},
    {"labStatus", "Статус устройства"}, {"labVersion", "Версия ПО"},
    {"labSerialNum", "Серийный номер"},
};
constexpr const char* kDeviceEditRows[] = {"eStatusDev", "eVersionDev", "eSNDev"};

constexpr int GridRow(int model_row) {
    return model_row + 1;
}

}  // namespace

ChargerTableModel::ChargerTableModel(QObject* parent)
    : QAbstractTableModel(parent), texts_(kChargerTableRows - 1) {
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        for (std::size_t i = 0; i < kChargerBlocks[block].count; ++i) {
            texts_[static_cast<std::size_t>(RowOf(block, i))][kName] =
                QString::fromStdString(ChargerRowLabel(block, i));
        }
    }
}

int ChargerTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(texts_.size());
}

int ChargerTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kChargerTableColumns;
}

int ChargerTableModel::RowOf(std::size_t block, std::size_t index) {
    if (block >= kChargerBlockCount || index >= kChargerBlocks[block].count) return -1;
    return kFirstGridRow[block] + static_cast<int>(index) - 1;
}

QVariant ChargerTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return index.column() < static_cast<int>(texts_[row].size())
                       ? texts_[row][static_cast<std::size_t>(index.column())]
                       : QString();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(index.column() == kName ? Qt::AlignLeft | Qt::AlignVCenter
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

QVariant ChargerTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kChargerTableColumns) {
        return {};
    }
    return QString::fromUtf8(kHeaders[section]);
}

void ChargerTableModel::RefreshReceived(const ChargerView& view, std::size_t block,
                                        std::size_t first, std::size_t count, char separator) {
    Refresh(ChargerReceivedSet(view, block), block, first, count, kDevice, separator);
}

void ChargerTableModel::RefreshWritten(const ChargerView& view, std::size_t block,
                                       std::size_t first, std::size_t count, char separator) {
    Refresh(ChargerWrittenSet(view, block), block, first, count, kMaster, separator);
}

void ChargerTableModel::Refresh(std::span<const std::uint16_t> values, std::size_t block,
                                std::size_t first, std::size_t count, Column column,
                                char separator) {
    if (block >= kChargerBlockCount || values.empty()) return;
    const std::size_t end = std::min<std::size_t>(first + count, kChargerBlocks[block].count);
    if (first >= end) return;
    for (std::size_t i = first; i < end; ++i) {
        const RegisterDescriptor* descriptor = ChargerDescriptor(block, i);
        const auto row = static_cast<std::size_t>(RowOf(block, i));
        texts_[row][column] =
            descriptor != nullptr
                ? QString::fromStdString(FormatRegister(*descriptor, values, i, separator))
                : QString();
    }
    emit dataChanged(index(RowOf(block, first), column), index(RowOf(block, end - 1), column),
                     {Qt::DisplayRole});
}

std::uint8_t ChargerTableModel::marks(int row) const {
    const int grid = GridRow(row);
    return grid > 0 && grid < kChargerTableRows ? marks_[static_cast<std::size_t>(grid)] : 0;
}

void ChargerTableModel::ToggleMark(int row, std::uint8_t mark) {
    const int grid = GridRow(row);
    if (grid <= 0 || grid >= kChargerTableRows) return;
    marks_[static_cast<std::size_t>(grid)] ^= mark;
    RepaintRow(row);
}

void ChargerTableModel::ClearMarks() {
    marks_.fill(0);
    emit dataChanged(index(0, 0), index(rowCount() - 1, kChargerTableColumns - 1),
                     {Qt::BackgroundRole});
}

void ChargerTableModel::SetHoveredRow(int row) {
    if (row == hovered_) return;
    const int previous = hovered_;
    hovered_ = row;
    RepaintRow(previous);
    RepaintRow(row);
}

void ChargerTableModel::RepaintRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    emit dataChanged(index(row, 0), index(row, kChargerTableColumns - 1), {Qt::BackgroundRole});
}

ChargerTableView::ChargerTableView(ChargerTableModel& model, QWidget* parent)
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

void ChargerTableView::mousePressEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (row < 0) return;
    if (event->button() == Qt::LeftButton) model_.ToggleMark(row, kRowMarkYellow);
    if (event->button() == Qt::RightButton) model_.ToggleMark(row, kRowMarkGreen);
}

void ChargerTableView::mouseDoubleClickEvent(QMouseEvent*) {
    model_.ClearMarks();
}

void ChargerTableView::mouseMoveEvent(QMouseEvent* event) {
    model_.SetHoveredRow(indexAt(event->position().toPoint()).row());
}

void ChargerTableView::enterEvent(QEnterEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QTableView::enterEvent(event);
}

void ChargerTableView::leaveEvent(QEvent* event) {
    model_.SetHoveredRow(-1);
    if (parentWidget() != nullptr) parentWidget()->setFocus(Qt::MouseFocusReason);
    QTableView::leaveEvent(event);
}

void ChargerTableView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    int notches = delta / QWheelEvent::DefaultDeltasPerStep;
    if (notches == 0 && delta != 0) notches = delta > 0 ? 1 : -1;
    verticalScrollBar()->setValue(verticalScrollBar()->value() - notches);
    event->accept();
}

ChargerTablePage::ChargerTablePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlTable"));
    setFocusPolicy(Qt::ClickFocus);
    model_ = new ChargerTableModel(this);
    grid_ = new ChargerTableView(*model_, this);

    for (std::size_t i = 0; i < std::size(kErrorLabels); ++i) {
        errorLabels_[i] = new QLabel(QStringLiteral("Нет ошибки"), this);
        errorLabels_[i]->setObjectName(QString::fromLatin1(kErrorLabels[i]));
    }
    for (std::size_t i = 0; i < std::size(kCaptions); ++i) {
        captions_[i] = new QLabel(QString::fromUtf8(kCaptions[i].text), this);
        captions_[i]->setObjectName(QString::fromLatin1(kCaptions[i].name));
    }
    for (std::size_t row = 0; row < deviceEdits_.size(); ++row) {
        for (std::size_t device = 0; device < deviceEdits_[row].size(); ++device) {
            const QByteArray name =
                QByteArray(kDeviceEditRows[row]) + QByteArray::number(static_cast<int>(device));
            deviceEdits_[row][device] = ChargerValueField(name.constData(), this);
        }
    }
}

void ChargerTablePage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int width = this->width();
    grid_->setGeometry(8, 8, width - 16, std::max(0, height() - 188));
    const int column = std::max(0, std::min(250, (width - 293) / 5));
    grid_->setColumnWidth(0, std::max(0, width - 5 * column - 43));
    for (int i = 1; i < kChargerTableColumns; ++i)
        grid_->setColumnWidth(i, column);

    constexpr int kLineStep = 22;
    const int top = grid_->geometry().bottom() + 1 + 5;
    for (std::size_t i = 0; i < errorLabels_.size(); ++i) {
        errorLabels_[i]->setGeometry(8, top + kLineStep * static_cast<int>(i), 160, 20);
    }
    // The summary rows sit under the four device columns, their captions to the left.
    const int left = width - 4 * column - 33;
    const int captionLeft = std::max(176, left - 136);
    captions_[0]->setGeometry(captionLeft, top, 130, 20);
    captions_[1]->setGeometry(left, top, column, 20);
    for (std::size_t row = 0; row < deviceEdits_.size(); ++row) {
        const int y = top + kLineStep * static_cast<int>(row + 1);
        captions_[row + 2]->setGeometry(captionLeft, y, 130, 20);
        for (std::size_t device = 0; device < deviceEdits_[row].size(); ++device) {
            deviceEdits_[row][device]->setGeometry(left + static_cast<int>(device) * (column + 1),
                                                   y, column, 20);
        }
    }
}

}  // namespace veltrona
