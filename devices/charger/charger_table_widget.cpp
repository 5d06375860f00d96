#include "devices/charger/charger_table_widget.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_view.h"
#include "link/value_format.h"
#include "ui/indicators.h"

namespace veltrona {
namespace {

// Grid row of each block's first register; one empty row separates the blocks.
constexpr int kFirstGridRow[kChargerBlockCount] = {1, 18, 83, 340, 373, 377};

constexpr const char* kHeaders[kChargerTableColumns] = {
    "Наименование",        "Мастер",
    "Устройство 0 (0x40)", "Устройство 1 (0x41)",
    "Устройство 2 (0x42)", "Устройство 3 (0x43)",
};

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

const RegisterTableLayout kLayout{kChargerTableRows, kHeaders,        kFirstGridRow,
                                  kChargerBlocks,    ChargerRowLabel, ChargerDescriptor};

}  // namespace

ChargerTableModel::ChargerTableModel(QObject* parent) : RegisterTableModel(kLayout, parent) {}

void ChargerTableModel::RefreshReceived(const ChargerView& view, std::size_t block,
                                        std::size_t first, std::size_t count, char separator) {
    Refresh(ChargerReceivedSet(view, block), block, first, count, 2, separator);
}

void ChargerTableModel::RefreshWritten(const ChargerView& view, std::size_t block,
                                       std::size_t first, std::size_t count, char separator) {
    Refresh(ChargerWrittenSet(view, block), block, first, count, 1, separator);
}

ChargerTablePage::ChargerTablePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlTable"));
    setFocusPolicy(Qt::ClickFocus);
    model_ = new ChargerTableModel(this);
    grid_ = new RegisterTableView(*model_, this);

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
            deviceEdits_[row][device] = ValueField(name.constData(), this);
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
