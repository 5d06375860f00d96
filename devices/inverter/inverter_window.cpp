#include "devices/inverter/inverter_window.h"

#include <QAction>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "devices/inverter/inverter_general_widget.h"
#include "devices/inverter/inverter_inner_widget.h"
#include "devices/inverter/inverter_map.h"
#include "devices/inverter/inverter_view.h"
#include "link/block_helpers.h"
#include "link/value_format.h"
#include "stats/device_chart.h"
#include "stats/device_chart_page.h"
#include "ui/indicators.h"
#include "ui/numeric_field.h"
#include "ui/page_tool_bar.h"
#include "ui/register_table.h"

namespace veltrona {
namespace {

// In toolbar order; the pages of the two alarm buttons are not built.
constexpr PageButton kPageButtons[] = {
    {"tbtnTable", "Таблица"},
    {"tbtnDeviceGeneral", "Главная"},
    {"tbtnInner", "Внутренние"},
    {"tbtnDeviceSettings", "Настройки"},
    {"tbtnDeviceErrorList", "Журнал аварий"},
    {"tbtnDeviceErrorStatus", "Аварии"},
    {"tbtnDeviceStat", "Статистика"},
};
constexpr std::size_t kGeneralButton = 1;
// Shown in extended mode only.
constexpr std::size_t kServiceButtons[] = {0, 2, 4, 5};

constexpr const char* kHeaders[] = {"Наименование", "Мастер", "Устройство"};
// Grid row of each block's first register; one empty row separates the blocks.
constexpr int kFirstGridRow[kInverterBlockCount] = {1, 15, 42, 98, 154, 210, 214, 233};
constexpr int kGridRows = 265;
const RegisterTableLayout kTableLayout{kGridRows,       kHeaders,         kFirstGridRow,
                                       kInverterBlocks, InverterRowLabel, InverterDescriptor};
constexpr int kReceivedColumn = 2;
constexpr int kWrittenColumn = 1;

struct SeriesDef {
    const char* title;
    std::uint16_t address;
    bool is_signed;
};
constexpr SeriesDef kSeries[] = {
    {"Входное напряжение", 0x0700, false}, {"Входной ток", 0x0701, true},
    {"Входная мощность", 0x0703, false},   {"Выходное напряжение", 0x0708, false},
    {"Выходной ток", 0x0709, true},        {"Выходная мощность", 0x070B, false},
    {"Напряжение АБ", 0x070E, false},      {"Ток АБ", 0x070F, true},
};

}  // namespace

TFormDcacBox::TFormDcacBox()
    : TDraggedWindow("FormDcacBox", QStringLiteral("ТЛ-7150"), {670, 746}, {600, 500}) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    stack_ = new QStackedWidget(this);
    table_ = new RegisterTablePage(kTableLayout, stack_);
    general_ = new InverterGeneralPage(stack_);
    inner_ = new InverterInnerPage(stack_);
    auto* settings = new QWidget(stack_);
    settings->setObjectName(QStringLiteral("pnlSettings"));
    QStringList titles;
    for (const SeriesDef& series : kSeries)
        titles << QString::fromUtf8(series.title);
    QWidget* stat = NewChartPage(titles, "DcacBox", stack_, chart_);
    const std::array<QWidget*, std::size(kPageButtons)> pages = {
        table_, general_, inner_, settings, nullptr, nullptr, stat};
    QToolBar* toolBar = NewPageToolBar("tbDcacBoxDevice", kPageButtons, pages, *stack_, this);
    const QList<QAction*> buttons = PageButtons(*toolBar);
    for (const std::size_t i : kServiceButtons) {
        serviceButtons_ << buttons[static_cast<qsizetype>(i)];
        buttons[static_cast<qsizetype>(i)]->setVisible(false);
    }
    buttons[kGeneralButton]->setChecked(true);
    stack_->setCurrentWidget(general_);

    column->addWidget(toolBar);
    column->addWidget(stack_, 1);
    column->addWidget(BuildControlPanel());
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbDcacBox"));
    bar->setSizeGripEnabled(false);
    column->addWidget(bar);
}

TFormDcacBox::~TFormDcacBox() = default;

QWidget* TFormDcacBox::BuildControlPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlControlDevice"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(8);
    row->addStretch(1);
    onOff_ = new QPushButton(QStringLiteral("Включить"), panel);
    onOff_->setObjectName(QStringLiteral("btnDeviceOnOff"));
    auto* newCycle = new QPushButton(QStringLiteral("Новый цикл"), panel);
    newCycle->setObjectName(QStringLiteral("btnDeviceNewCycle"));
    row->addWidget(onOff_);
    row->addWidget(newCycle);
    connect(onOff_, &QPushButton::clicked, this, [this] { AskInverterOnOff(link_, this); });
    connect(newCycle, &QPushButton::clicked, this, [this] { GiveInverterNewCycle(link_, this); });
    return panel;
}

void TFormDcacBox::ShowServiceItems() {
    extended_ = true;
    for (QAction* button : serviceButtons_)
        button->setVisible(true);
}

void TFormDcacBox::MarkPortOpened() {
    if (link_.view != nullptr) MarkInverterPortOpened(*link_.view);
    ShowNamedPicture(*general_->linkPicture(), "24_24_MODBUS_RED");
}

void TFormDcacBox::RefreshAfterRead(std::uint16_t block) {
    InverterView* view = link_.view;
    const DeviceModel* model = link_.model();
    if (view == nullptr || model == nullptr) return;
    if (view->availability_changed != 0) {
        ShowNamedPicture(*general_->linkPicture(),
                         view->not_available ? "24_24_MODBUS_RED" : "24_24_MODBUS_GREEN");
    }
    if (block >= kInverterBlockCount) return;
    general_->ShowAvailability(view->not_available);
    inner_->ShowAvailability(view->not_available);
    // An unreachable inverter delivered nothing: stale words must not recolour the lamps nor
    // add chart points.
    if (view->not_available) return;

    const char separator = UserDecimalSeparator();
    table_->model().Refresh(InverterReceivedSet(*view, block), block,
                            TransactionFirst(*model, block), model->transaction.count,
                            kReceivedColumn, separator);
    if (block == kInverterBlockIdent) {
        onOff_->setText(InverterRunning(*view) ? QStringLiteral("Выключить")
                                               : QStringLiteral("Включить"));
    } else if (block == kInverterBlockLive) {
        general_->ShowLiveValues(*view, separator);
        AddChartPoints();
        if (TakeRelayChange(*view)) general_->ShowRelays(*view);
    } else if (block == kInverterBlockInner) {
        inner_->ShowValues(*view, separator);
    }
}

void TFormDcacBox::RefreshAfterWrite(std::uint16_t block) {
    const InverterView* view = link_.view;
    const DeviceModel* model = link_.model();
    if (view == nullptr || model == nullptr) return;
    table_->model().Refresh(InverterWrittenSet(*view, block), block,
                            TransactionFirst(*model, block), model->transaction.count,
                            kWrittenColumn, UserDecimalSeparator());
}

void TFormDcacBox::AddChartPoints() {
    const InverterView& view = *link_.view;
    QList<double> values;
    for (const SeriesDef& series : kSeries) {
        const RegisterDescriptor* descriptor = InverterDescriptorAt(series.address);
        const unsigned decimals = descriptor != nullptr ? descriptor->decimals : 0;
        const std::uint16_t raw = InverterReceivedWord(view, series.address);
        values << (series.is_signed ? ScaleSigned(static_cast<std::int16_t>(raw), decimals)
                                    : ScaleUnsigned(raw, decimals));
    }
    chart_->addPoints(QDateTime::currentDateTime(), values);
}

}  // namespace veltrona
