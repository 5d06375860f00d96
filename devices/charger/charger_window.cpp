#include "devices/charger/charger_window.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "devices/charger/charger_error_widget.h"
#include "devices/charger/charger_general_widget.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_service_widget.h"
#include "devices/charger/charger_settings_widget.h"
#include "devices/charger/charger_table_widget.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"
#include "link/block_helpers.h"
#include "link/value_format.h"
#include "stats/device_chart.h"
#include "stats/device_chart_page.h"
#include "ui/page_tool_bar.h"

namespace veltrona {
namespace {

// About 16 ms a tick: a slow blink of 32 ticks lit and 32 dark, a fast one of 16 and 16.
constexpr int kLampTickMillis = 16;
constexpr std::uint32_t kSlowPhase = 0x20;
constexpr std::uint32_t kFastPhase = 0x10;
constexpr int kStatusPanelWidth = 100;
constexpr int kCommandStatusPanel = 4;

struct LampColours {
    QRgb fill;
    QRgb outline;
};
constexpr LampColours kLampLit[] = {
    {0x00FF00, 0x008000},  // activity
    {0xFFFF00, 0x000000},  // stage
    {0xFF0000, 0x800000},  // error
};
constexpr const char* kLampNames[] = {"shDeviceActive", "shDeviceSleep", "shDeviceError"};
constexpr const char* kLampPictures[] = {"imgDeviceActive", "imgDeviceSleep", "imgDeviceError"};

constexpr std::size_t kGeneralButton = 1;

constexpr const char* kSeriesTitles[] = {"Ток заряда", "Напряжение АБ", "Температура АБ",
                                         "Температура прибора 1", "Температура прибора 2"};
constexpr std::uint16_t kSeriesRegisters[] = {kChrgChargeCurrent, kChrgBatteryVoltage,
                                              kChrgBatteryTemp, kChrgDeviceTemp1, kChrgDeviceTemp2};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The error summary's line: kind label padded to 12 characters, then the text.
QString SummaryLine(std::size_t kind, std::uint16_t code) {
    return Utf8(ErrorKindLabel(kind)).leftJustified(12) + Utf8(ChargerErrorText(kind, code));
}

DeviceDateTime LocalNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return DeviceDateTime{date.year(), date.month(),  date.day(),   date.dayOfWeek() - 1,
                          time.hour(), time.minute(), time.second()};
}

}  // namespace

TFormChrgNet::TFormChrgNet()
    : TDraggedWindow("FormChrgNet", QStringLiteral("Тарволен"), {700, 746}, {650, 720}) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    stack_ = new QStackedWidget(this);
    table_ = new ChargerTablePage(stack_);
    general_ = new ChargerGeneralPage(stack_);
    settings_ = new ChargerSettingsPage(link_, stack_);
    auto* errorList = new QWidget(stack_);
    errorList->setObjectName(QStringLiteral("pnlErrorList"));
    errors_ = new ChargerErrorPage(stack_);
    const std::array<QWidget*, std::size(kDevicePageButtons)> pages = {
        table_, general_, settings_, errorList, errors_, BuildStatPage()};
    QToolBar* toolBar = NewPageToolBar("tbChrgNetDevice", kDevicePageButtons, pages, *stack_, this);
    const QList<QAction*> buttons = PageButtons(*toolBar);
    tbtnTable_ = buttons[0];
    tbtnDeviceErrorList_ = buttons[3];
    tbtnTable_->setVisible(false);
    tbtnDeviceErrorList_->setVisible(false);
    column->addWidget(toolBar);
    connect(settings_, &ChargerSettingsPage::statusMessage, this,
            [this](const QString& text) { statusPanels_[kCommandStatusPanel]->setText(text); });
    column->addWidget(stack_, 1);
    column->addWidget(BuildControlPanel());

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbChrgNet"));
    bar->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < statusPanels_.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("sbChrgNetPanel%1").arg(i));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setMinimumWidth(kStatusPanelWidth);
        // The last panel carries the command status line and takes the rest of the bar.
        if (i + 1 < statusPanels_.size()) panel->setFixedWidth(kStatusPanelWidth);
        bar->addWidget(panel, i + 1 < statusPanels_.size() ? 0 : 1);
        statusPanels_[i] = panel;
    }
    column->addWidget(bar);

    buttons[kGeneralButton]->setChecked(true);
    stack_->setCurrentWidget(general_);

    connect(general_->clearCapacityButton(), &QPushButton::clicked, this,
            [this] { AskClearUserCapacity(link_, this); });

    tmrLight_.setObjectName(QStringLiteral("tmrLight"));
    tmrLight_.setParent(this);
    tmrLight_.setInterval(kLampTickMillis);
    connect(&tmrLight_, &QTimer::timeout, this, &TFormChrgNet::TickLamps);
    tmrLight_.start();
}

TFormChrgNet::~TFormChrgNet() = default;

QWidget* TFormChrgNet::BuildStatPage() {
    QStringList titles;
    for (const char* title : kSeriesTitles)
        titles << QString::fromUtf8(title);
    return NewChartPage(titles, "ChrgNet", stack_, chart_);
}

QWidget* TFormChrgNet::BuildControlPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlControlDevice"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i] = new TLampShape(kLampNames[i], panel);
        auto* picture = new QLabel(panel);
        picture->setObjectName(QString::fromLatin1(kLampPictures[i]));
        picture->setFixedSize(24, 24);
        row->addWidget(lamps_[i]);
        row->addWidget(picture);
        row->addSpacing(12);
        if (i == kLampError) imgDeviceError_ = picture;
    }
    imgDeviceError_->setToolTip(QStringLiteral("Не известно"));
    row->addStretch(1);

    btnDeviceClearError_ = new QPushButton(QStringLiteral("Сброс ошибок"), panel);
    btnDeviceClearError_->setObjectName(QStringLiteral("btnDeviceClearError"));
    btnDeviceClearError_->hide();
    auto* on = new QPushButton(QStringLiteral("Включить"), panel);
    on->setObjectName(QStringLiteral("btnDeviceOn"));
    auto* off = new QPushButton(QStringLiteral("Отключить"), panel);
    off->setObjectName(QStringLiteral("btnDeviceOff"));
    row->addWidget(btnDeviceClearError_);
    row->addWidget(on);
    row->addWidget(off);

    connect(on, &QPushButton::clicked, this, [this] { AskChargeOn(link_, this); });
    connect(off, &QPushButton::clicked, this, [this] { GiveChargeOff(link_, this); });
    connect(btnDeviceClearError_, &QPushButton::clicked, this,
            [this] { AskClearErrors(link_, this); });
    return panel;
}

void TFormChrgNet::ShowServiceItems() {
    extended_ = true;
    tbtnTable_->setVisible(true);
    tbtnDeviceErrorList_->setVisible(true);
    general_->ShowServiceItems();
    settings_->ShowServiceItems();
}

void TFormChrgNet::MarkPortOpened() {
    if (link_.view != nullptr) MarkChargerPortOpened(*link_.view);
    settings_->servicePage().MarkPortOpened();
    ShowNamedPicture(*general_->linkPicture(), "24_24_MODBUS_RED");
}

void TFormChrgNet::RefreshAfterRead(std::uint16_t block) {
    ChargerView* view = link_.view;
    DeviceModel* model = link_.model();
    if (view == nullptr || model == nullptr) return;
    if (view->availability_changed != 0) {
        ShowNamedPicture(*general_->linkPicture(),
                         view->not_available ? "24_24_MODBUS_RED" : "24_24_MODBUS_GREEN");
    }
    general_->ShowAvailabilityColours(view->not_available);
    // An unreachable charger delivered nothing: the values shown stay as they were.
    if (view->not_available) return;

    const char separator = UserDecimalSeparator();
    table_->model().RefreshReceived(*view, block, TransactionFirst(*model, block),
                                    model->transaction.count, separator);
    if (block == kChargerBlockLive) {
        if (const std::optional<std::string> status = TakeCommandAnswer(*model, *view)) {
            statusPanels_[kCommandStatusPanel]->setText(QString::fromStdString(*status));
        }
        settings_->servicePage().CalibrationStateWatch();
        settings_->servicePage().ShowCalibrationValues();
        ShowErrorSummary();
        general_->ShowLiveValues(*view, separator);
        AddChartPoints();
    }
    if (block == kChargerBlockControl) settings_->servicePage().ShowCalibrationValues();
    if (block == kChargerBlockCapability) settings_->servicePage().ShowCapabilities();
    general_->ShowCommonValues(*view, separator);
    TakeIndicatorStates();
    const std::vector<std::string> lines = TakeErrorLines(*view, LocalNow());
    errors_->AppendLines(lines);
}

void TFormChrgNet::RefreshAfterWrite(std::uint16_t block) {
    ChargerView* view = link_.view;
    DeviceModel* model = link_.model();
    if (view == nullptr || model == nullptr || ChargerWrittenSet(*view, block).empty()) return;
    table_->model().RefreshWritten(*view, block, TransactionFirst(*model, block),
                                   model->transaction.count, UserDecimalSeparator());
    if (block == kChargerBlockControl) settings_->servicePage().MarkCalibrationWritten();
}

void TFormChrgNet::TakeIndicatorStates() {
    const ChargerView& view = *link_.view;
    const std::uint16_t state = ChargerReceivedWord(view, kChrgState);
    const std::uint16_t stage = ChargerReceivedWord(view, kChrgStage);
    const bool active = (state & kChrgStateActive) != 0;

    indicators_[kLampActivity] = active                                 ? kLampSteady
                                 : (state & kChrgStateActiveBlink) != 0 ? kLampSlowBlink
                                                                        : kLampOff;
    std::uint8_t stageLamp = kLampOff;
    if (active && stage != 0) {
        stageLamp = stage <= 3 ? kLampSlowBlink : stage == 4 ? kLampFastBlink : kLampSteady;
    }
    indicators_[kLampStage] = stageLamp;
    indicators_[kLampError] = (state & (kChrgStateError | kChrgStateErrorClearable)) != 0
                                  ? kLampSteady
                              : (state & kChrgStateErrorBlink) != 0 ? kLampSlowBlink
                                                                    : kLampOff;
}

void TFormChrgNet::ShowErrorSummary() {
    const ChargerView& view = *link_.view;
    const std::uint16_t state = ChargerReceivedWord(view, kChrgState);
    if ((state & kChrgStateAnyError) != 0) {
        const QStringList lines = {
            SummaryLine(kErrorKindBig, ChargerReceivedWord(view, kChrgErrBig)),
            SummaryLine(kErrorKindSmall, ChargerReceivedWord(view, kChrgErrSmall)),
            SummaryLine(kErrorKindStart, ChargerReceivedWord(view, kChrgErr)),
            SummaryLine(kErrorKindClose, ChargerReceivedWord(view, kChrgErrCloseChrg)),
        };
        imgDeviceError_->setToolTip(lines.join(QStringLiteral("\r\n")));
    } else {
        imgDeviceError_->setToolTip(QStringLiteral("Нет ошибок"));
    }
    btnDeviceClearError_->setVisible((state & kChrgStateErrorClearable) != 0);
    btnDeviceClearError_->setEnabled(ChargerReceivedWord(view, kChrgChargeState) == 0);
}

void TFormChrgNet::AddChartPoints() {
    const ChargerView& view = *link_.view;
    QList<double> values;
    for (const std::uint16_t address : kSeriesRegisters) {
        const RegisterDescriptor* descriptor = ChargerDescriptorAt(address);
        const unsigned decimals = descriptor != nullptr ? descriptor->decimals : 0;
        // The pairs are signed 32-bit values, the temperatures signed 16-bit ones.
        const bool pair = address == kChrgChargeCurrent || address == kChrgBatteryVoltage;
        const std::int32_t raw =
            pair ? static_cast<std::int32_t>(ChargerReceivedPair(view, address))
                 : static_cast<std::int16_t>(ChargerReceivedWord(view, address));
        values << ScaleSigned(raw, decimals);
    }
    chart_->addPoints(QDateTime::currentDateTime(), values);
}

void TFormChrgNet::TickLamps() {
    ++ticks_;
    const bool slow = (ticks_ & kSlowPhase) != 0;
    const bool fast = (ticks_ & kFastPhase) != 0;
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        const std::uint8_t state = indicators_[i];
        const bool lit = state == kLampSteady || (state == kLampSlowBlink && slow) ||
                         (state == kLampFastBlink && fast);
        lamps_[i]->SetColours(QColor::fromRgb(lit ? kLampLit[i].fill : kLampDark),
                              QColor::fromRgb(lit ? kLampLit[i].outline : kLampDark));
    }
}

}  // namespace veltrona
