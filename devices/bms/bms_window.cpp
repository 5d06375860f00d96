#include "devices/bms/bms_window.h"

#include <QAction>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <array>

#include "devices/bms/bms_general_widget.h"
#include "devices/bms/bms_map.h"
#include "devices/bms/bms_settings_widget.h"
#include "devices/bms/bms_view.h"
#include "devices/bus_devices.h"
#include "link/block_helpers.h"
#include "ui/numeric_field.h"
#include "ui/page_tool_bar.h"
#include "ui/register_table.h"

namespace veltrona {
namespace {

constexpr std::size_t kGeneralButton = 1;
constexpr int kDeviceColumn = 2;

std::array<int, kBmsBlockCount> FirstRows() {
    std::array<int, kBmsBlockCount> rows{};
    for (std::size_t block = 0; block < kBmsBlockCount; ++block)
        rows[block] = static_cast<int>(BmsTableRow(block, 0));
    return rows;
}

const std::array<int, kBmsBlockCount> kFirstRows = FirstRows();
const RegisterTableLayout kTableLayout{static_cast<int>(kBmsTableRows),
                                       kBmsTableHeaders,
                                       kFirstRows,
                                       kBmsBlocks,
                                       BmsRegisterName,
                                       BmsDescriptor};

}  // namespace

const DeviceModel* BmsLink::model() const {
    return devices != nullptr ? devices->At(kBmsIndex) : nullptr;
}

TFormSku::TFormSku() : TDraggedWindow("FormSku", QStringLiteral("СКУ"), {670, 746}, {0, 0}) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* stack = new QStackedWidget(this);
    table_ = new RegisterTablePage(kTableLayout, stack);
    auto* stat = new QWidget(stack);
    stat->setObjectName(QStringLiteral("pnlStat"));
    const std::array<QWidget*, std::size(kDevicePageButtons)> pages = {
        table_, new BmsGeneralPage(stack), new BmsSettingsPage(stack), nullptr, nullptr, stat};
    QToolBar* toolBar = NewPageToolBar("tbSkuDevice", kDevicePageButtons, pages, *stack, this);
    PageButtons(*toolBar)[kGeneralButton]->setChecked(true);
    stack->setCurrentWidget(pages[kGeneralButton]);

    column->addWidget(toolBar);
    column->addWidget(stack, 1);
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbBms"));
    bar->setSizeGripEnabled(false);
    column->addWidget(bar);
}

TFormSku::~TFormSku() = default;

void TFormSku::RefreshBlockRows(std::uint16_t block) {
    const DeviceModel* model = link_.model();
    if (link_.view == nullptr || model == nullptr) return;
    table_->model().Refresh(BmsReceivedSet(*link_.view, block), block,
                            TransactionFirst(*model, block), model->transaction.count,
                            kDeviceColumn, UserDecimalSeparator());
}

}  // namespace veltrona
