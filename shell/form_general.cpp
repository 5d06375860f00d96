#include "shell/form_general.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>
#include <limits>

#include "devices/bms/bms_view.h"
#include "devices/bms/bms_window.h"
#include "devices/bus_devices.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_settings_workflow.h"
#include "devices/charger/charger_view.h"
#include "devices/device_line_settings.h"
#include "devices/inverter/inverter_window.h"
#include "files/program_settings.h"
#include "link/block_helpers.h"
#include "link/catalogue.h"
#include "link/port_names.h"
#include "link/port_worker.h"
#include "link/serial_line.h"
#include "link/value_format.h"
#include "shell/empty_forms.h"
#include "shell/form_about.h"
#include "shell/form_monitor_port.h"
#include "shell/form_password.h"
#include "shell/form_process.h"
#include "shell/form_settings.h"
#include "shell/inverter_summary.h"
#include "shell/qt_worker_host.h"
#include "shell/settings_write_follow_up.h"
#include "ui/images.h"
#include "ui/indicators.h"
#include "ui/message_box.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

constexpr std::uint32_t kColourClosed = 0xC0C0C0;
constexpr std::uint32_t kColourOpen = 0xC0DCC0;
constexpr std::uint32_t kColourEvent = 0x00FF00;
constexpr qint64 kEventLitMillis = 512;
constexpr int kFadeIntervalMillis = 32;
constexpr int kPortPanelWidth = 206;
constexpr int kSummaryWidth = 414;
constexpr int kSummaryTop = 8;
constexpr int kSummaryGap = 12;
constexpr int kLogoMargin = 8;

const QString kWarning = QStringLiteral("Предупреждение");
const QString kNoPortChosen = QStringLiteral("Выберете порт");

struct EventIndicatorDef {
    const char* name;
    const char* label;
    std::uint16_t mask;
};

constexpr EventIndicatorDef kEventIndicators[] = {
    {"shpPortEvBreak", "EV_BREAK", kEvBreak},
    {"shpPortEvCts", "EV_CTS", kEvCts},
    {"shpPortEvDsr", "EV_DSR", kEvDsr},
    {"shpPortEvErr", "EV_ERR", kEvErr},
    {"shpPortEvRing", "EV_RING", kEvRing},
    {"shpPortEvRlsd", "EV_RLSD", kEvRlsd},
    {"shpPortEvRxchar", "EV_RXCHAR", kEvRxChar},
    {"shpPortEvRxflag", "EV_RXFLAG", kEvRxFlag},
    {"shpPortEvTxempty", "EV_TXEMPTY", kEvTxEmpty},
};

constexpr std::int32_t kBaudrates[] = {300,  600,   1200,  2400,  4800,
                                       9600, 19200, 38400, 57600, 115200};

struct ToolDef {
    const char* name;
    const char* caption;
    const char* tip;
    const char* picture;
};

// In toolbar order; the separator goes before tbtnStatusPort.
constexpr ToolDef kTools[] = {
    {"tbtnMonitor", "Монитор", "Монитор", "tb_monitor"},
    {"tbtnChrgSun", "Ливорант", "СКЗ", "tb_chrgsun"},
    {"tbtnChrgNet", "Тарволен", "Тарволен", "tb_chrgnet"},
    {"tbtnDcacBox", "ТЛ", "ТЛ-7150", "tb_dcacbox"},
    {"tbtnSku", "tbtnSku", "СКУ", "tb_sku"},
    {"tbtnStatusPort", "Статус порта", "Статус порта", "tb_statusport"},
    {"tbtnStat", "Статистика", "Статистика", "tb_stat"},
    {"tbtnBootLoader", "tbtnBootLoader", "Загрузчик", "tb_bootloader"},
};
constexpr std::size_t kStatusPortTool = 5;

// Tool tips stay until the pointer leaves.
constexpr int kToolTipForever = std::numeric_limits<int>::max();

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void Tell(QWidget* parent, const QString& text, const QString& caption) {
    ShowMessage(text, caption, MessageButtons::kOk, parent);
}

// The block of a device's RS-485 settings.
std::size_t LinkBlockOf(std::size_t device) {
    return device == kChargerIndex ? kChargerBlockLink : kInverterBlockLink;
}

bool Ask(QWidget* parent, const QString& text, const QString& caption) {
    return ShowMessage(text, caption, MessageButtons::kYesNo, parent) == MessageAnswer::kYes;
}

void Paint(QFrame& shape, std::uint32_t colour) {
    QPalette palette = shape.palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(colour));
    shape.setPalette(palette);
}

QLabel* LinkPicture(const char* name, QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setFixedSize(24, 24);
    ShowNamedPicture(*picture, "24_24_MODBUS_GREY");
    return picture;
}

}  // namespace

TFormGeneral::TFormGeneral(const std::filesystem::path& folder)
    : folder_(folder),
      settings_(std::make_unique<ProgramSettings>()),
      chargerView_(std::make_unique<ChargerView>()),
      inverterView_(std::make_unique<InverterView>()),
      bmsView_(std::make_unique<BmsView>()),
      bridge_(*this),
      host_(std::make_unique<QtWorkerHost>()) {
    setObjectName(QStringLiteral("FormGeneral"));

    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor::fromRgb(kColourEvent));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    BuildMenu();
    BuildToolBar();
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(BuildPortPanel());
    row->addWidget(BuildVoidPanel(), 1);
    row->addWidget(BuildStatusPanel(), 1);
    setCentralWidget(central);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbGeneral"));
    for (const int width : {180, 150, 150}) {
        auto* panel = new QLabel(bar);
        panel->setFixedWidth(width);
        panel->setFrameShape(QFrame::StyledPanel);
        bar->addWidget(panel);
    }
    setStatusBar(bar);

    LoadProgramSettings(folder_, *settings_, BoxMessages(this));
    preferences_ = LoadPreferences(folder_);

    BusDeviceSettings bus;
    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        bus.enabled[i] = settings_->devices[i].enabled;
        bus.address[i] = static_cast<std::uint8_t>(settings_->devices[i].address);
    }
    devices_ = BuildBusDevices(bus);
    worker_ =
        std::make_unique<TThreadSyncComPort>(devices_, *host_, bridge_, MakeSystemSerialLine());
    chargerLink_ = ChargerLink{chargerView_.get(), &devices_,
                               [this] {
                                   if (worker_ != nullptr) worker_->StartCycle();
                               },
                               folder_};
    inverterLink_ = InverterLink{inverterView_.get(), &devices_, chargerLink_.startCycle};
    followUp_ = std::make_unique<SettingsWriteFollowUp>(
        *this,
        SettingsWriteFollowUp::Actions{[this](std::size_t device) { AdoptLineSettings(device); },
                                       [this](std::size_t device) {
                                           if (DeviceModel* model = devices_.At(device)) {
                                               CancelWrite(model->blocks[LinkBlockOf(device)]);
                                           }
                                       }});

    pnlStatusPort_->hide();
    pnlVoid_->show();
    LayOutSummaries();

    clock_.start();
    fadeTimer_.setInterval(kFadeIntervalMillis);
    connect(&fadeTimer_, &QTimer::timeout, this, &TFormGeneral::FadeIndicators);

    setWindowTitle(QStringLiteral("Керимон"));
    setMinimumSize(636, 460);
    resize(636, 460);
}

TFormGeneral::~TFormGeneral() {
    if (!ended_) EndLink();
    // The monitor may outlive this window.
    if (peers_.monitor != nullptr) peers_.monitor->SetTrafficSource(nullptr);
}

void TFormGeneral::AttachPeers(const MainWindowPeers& peers) {
    peers_ = peers;
    if (peers_.chrgNet != nullptr) peers_.chrgNet->Attach(chargerLink_);
    if (peers_.dcacBox != nullptr) peers_.dcacBox->Attach(inverterLink_);
    if (peers_.sku != nullptr) peers_.sku->Attach(BmsLink{bmsView_.get(), &devices_});
    followUp_->SetProcess(peers_.process);
    if (peers_.monitor != nullptr) {
        peers_.monitor->SetTrafficSource([this](std::size_t device) {
            return worker_ != nullptr ? worker_->traffic(device).Figures() : TrafficFigures{};
        });
    }
}

const PortSettings& TFormGeneral::portSettings() const {
    return settings_->port;
}

void TFormGeneral::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuGeneral"));

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* exit = file->addAction(QStringLiteral("Выход"));
    exit->setObjectName(QStringLiteral("menuFileExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    menuEdit_ = bar->addMenu(QStringLiteral("Правка"));
    menuEdit_->setObjectName(QStringLiteral("menuEdit"));
    menuEdit_->menuAction()->setVisible(false);
    menuMode_ = bar->addMenu(QStringLiteral("Режим"));
    menuMode_->setObjectName(QStringLiteral("menuMode"));
    menuMode_->menuAction()->setVisible(false);

    QAction* settings = bar->addAction(QStringLiteral("Настройки"));
    settings->setObjectName(QStringLiteral("menuSettings"));
    connect(settings, &QAction::triggered, this, &TFormGeneral::ShowSettings);

    QMenu* help = bar->addMenu(QStringLiteral("Справка"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(QStringLiteral("О программе"));
    about->setObjectName(QStringLiteral("menuHelpAbout"));
    connect(about, &QAction::triggered, this, [this] {
        if (peers_.about != nullptr) peers_.about->exec();
    });
}

void TFormGeneral::BuildToolBar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tbGeneral"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(32, 32));
    QFont small = bar->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    bar->setFont(small);
    addToolBar(Qt::TopToolBarArea, bar);

    std::array<QAction*, std::size(kTools)> actions{};
    for (std::size_t i = 0; i < std::size(kTools); ++i) {
        if (i == kStatusPortTool) bar->addSeparator();
        QAction* action = bar->addAction(QString::fromUtf8(kTools[i].caption));
        action->setObjectName(QString::fromLatin1(kTools[i].name));
        action->setToolTip(QString::fromUtf8(kTools[i].tip));
        SetPicture(*action, QString::fromLatin1(kTools[i].picture));
        if (QWidget* button = bar->widgetForAction(action)) {
            button->setObjectName(action->objectName());
            button->setToolTipDuration(kToolTipForever);
        }
        actions[i] = action;
    }

    connect(actions[0], &QAction::triggered, this, [this] { ShowPeer(peers_.monitor); });
    connect(actions[1], &QAction::triggered, this, [this] { ShowPeer(peers_.chrgSun); });
    connect(actions[2], &QAction::triggered, this, [this] { ShowPeer(peers_.chrgNet); });
    connect(actions[3], &QAction::triggered, this, [this] { ShowPeer(peers_.dcacBox); });
    connect(actions[4], &QAction::triggered, this, [this] { ShowPeer(peers_.sku); });
    connect(actions[5], &QAction::triggered, this, &TFormGeneral::ToggleStatusPanel);
    connect(actions[6], &QAction::triggered, this, [this] { ShowPeer(peers_.stat); });
    connect(actions[7], &QAction::triggered, this, [this] { ShowPeer(peers_.bootLoader); });

    // tbtnDcacBox is always shown; the extended mode shows it again along with these.
    extendedActions_ = {actions[0], actions[1], actions[4], actions[6], actions[7]};
    for (QAction* action : extendedActions_)
        action->setVisible(false);
}

QWidget* TFormGeneral::BuildPortPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlPort"));
    panel->setFixedWidth(kPortPanelWidth);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 8, 8, 8);

    auto* label = new QLabel(QStringLiteral("Выберете порт и скорость порта"), panel);
    label->setObjectName(QStringLiteral("labNameBaudratePort"));
    label->setToolTip(label->text());
    label->setToolTipDuration(kToolTipForever);
    label->setWordWrap(true);
    column->addWidget(label);

    cbNamePort_ = new QComboBox(panel);
    cbNamePort_->setObjectName(QStringLiteral("cbNamePort"));
    FillPortList(QString());
    cbNamePort_->installEventFilter(this);
    connect(cbNamePort_, &QComboBox::activated, this, [this](int index) {
        if (index > 0) cbBaudratePort_->setCurrentIndex(static_cast<int>(std::size(kBaudrates)));
    });
    column->addWidget(cbNamePort_);

    cbBaudratePort_ = new QComboBox(panel);
    cbBaudratePort_->setObjectName(QStringLiteral("cbBaudratePort"));
    cbBaudratePort_->addItem(QStringLiteral("Выберете скорость порта"));
    for (const std::int32_t rate : kBaudrates)
        cbBaudratePort_->addItem(QString::number(rate));
    column->addWidget(cbBaudratePort_);

    btnActionPort_ = new QPushButton(QStringLiteral("Открыть порт"), panel);
    btnActionPort_->setObjectName(QStringLiteral("btnActionPort"));
    connect(btnActionPort_, &QPushButton::clicked, this, &TFormGeneral::ActionPort);
    column->addWidget(btnActionPort_);

    auto* events = new QGroupBox(QStringLiteral("Состояние порта"), panel);
    events->setObjectName(QStringLiteral("gbEventPort"));
    auto* grid = new QGridLayout(events);
    grid->setVerticalSpacing(3);
    for (std::size_t i = 0; i < std::size(kEventIndicators); ++i) {
        const EventIndicatorDef& entry = kEventIndicators[i];
        auto* shape = new QFrame(events);
        shape->setObjectName(QString::fromLatin1(entry.name));
        shape->setFixedSize(14, 14);
        shape->setFrameShape(QFrame::Box);
        shape->setAutoFillBackground(true);
        Paint(*shape, kColourClosed);
        indicators_[i] = Indicator{shape, entry.mask, false, 0};
        const int line = static_cast<int>(i);
        grid->addWidget(shape, line, 0);
        grid->addWidget(new QLabel(QString::fromLatin1(entry.label), events), line, 1);
    }
    grid->setColumnStretch(1, 1);
    column->addWidget(events);
    column->addStretch(1);
    return panel;
}

QWidget* TFormGeneral::BuildVoidPanel() {
    pnlVoid_ = new QWidget(this);
    pnlVoid_->setObjectName(QStringLiteral("pnlVoid"));
    gbChrgNet_ = BuildChargerSummary(pnlVoid_);
    gbDcacBox_ = new InverterSummary(inverterLink_, pnlVoid_);
    gbDcacBox_->setFixedSize(kSummaryWidth, gbDcacBox_->sizeHint().height());

    imgMyLogo_ = new QLabel(pnlVoid_);
    imgMyLogo_->setObjectName(QStringLiteral("imgMyLogo"));
    imgMyLogo_->setFixedSize(16, 16);
    SetPicture(*imgMyLogo_, QStringLiteral("16_16_LOGO"));
    imgMyLogo_->installEventFilter(this);
    pnlVoid_->installEventFilter(this);
    return pnlVoid_;
}

QGroupBox* TFormGeneral::BuildChargerSummary(QWidget* parent) {
    auto* box = new QGroupBox(Utf8(DeviceKindName(kChargerIndex)), parent);
    box->setObjectName(QStringLiteral("gbChrgNet"));
    auto* grid = new QGridLayout(box);
    imgChrgNetPgModbus_ = LinkPicture("imgChrgNetPgModbus", box);
    grid->addWidget(imgChrgNetPgModbus_, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Напряжение АБ"), box), 0, 1);
    eChrgNetValueVoltageBatt_ = ValueField("eChrgNetValueVoltageBatt", box);
    grid->addWidget(eChrgNetValueVoltageBatt_, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Ток АБ"), box), 1, 1);
    eChrgNetValueCurrentBatt_ = ValueField("eChrgNetValueCurrentBatt", box);
    grid->addWidget(eChrgNetValueCurrentBatt_, 1, 2);
    grid->setColumnStretch(3, 1);
    auto* on = new QPushButton(QStringLiteral("Включить"), box);
    on->setObjectName(QStringLiteral("btnChrgNetOn"));
    auto* off = new QPushButton(QStringLiteral("Отключить"), box);
    off->setObjectName(QStringLiteral("btnChrgNetOff"));
    grid->addWidget(on, 0, 4);
    grid->addWidget(off, 1, 4);
    connect(on, &QPushButton::clicked, this, [this] { AskChargeOn(chargerLink_, this); });
    connect(off, &QPushButton::clicked, this, [this] { GiveChargeOff(chargerLink_, this); });
    box->setFixedSize(kSummaryWidth, box->sizeHint().height());
    return box;
}

QWidget* TFormGeneral::BuildStatusPanel() {
    pnlStatusPort_ = new QWidget(this);
    pnlStatusPort_->setObjectName(QStringLiteral("pnlStatusPort"));
    auto* row = new QHBoxLayout(pnlStatusPort_);
    row->setContentsMargins(0, 8, 8, 8);
    row->setSpacing(24);

    reStatusPort_ = new QPlainTextEdit(pnlStatusPort_);
    reStatusPort_->setObjectName(QStringLiteral("reStatusPort"));
    reStatusPort_->setReadOnly(true);
    reStatusPort_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::TypeWriter);
    reStatusPort_->setFont(font);
    row->addWidget(reStatusPort_, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    auto* clear = new QPushButton(QStringLiteral("Очистить"), pnlStatusPort_);
    clear->setObjectName(QStringLiteral("btnStatusPortClear"));
    connect(clear, &QPushButton::clicked, reStatusPort_, &QPlainTextEdit::clear);
    auto* copy = new QPushButton(QStringLiteral("Копировать в буфер"), pnlStatusPort_);
    copy->setObjectName(QStringLiteral("btnStatusPortClipboard"));
    connect(copy, &QPushButton::clicked, this, &TFormGeneral::CopyStatusLog);
    buttons->addWidget(clear);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    row->addLayout(buttons);
    return pnlStatusPort_;
}

void TFormGeneral::FillPortList(const QString& keep) {
    cbNamePort_->clear();
    cbNamePort_->addItem(kNoPortChosen);
    for (const std::string& name : EnumeratePorts(folder_)) {
        cbNamePort_->addItem(QString::fromStdString(name));
    }
    int found = 0;
    if (!keep.isEmpty()) {
        for (int i = 1; i < cbNamePort_->count(); ++i) {
            if (cbNamePort_->itemText(i).compare(keep, Qt::CaseInsensitive) == 0) found = i;
        }
    }
    cbNamePort_->setCurrentIndex(found);
}

void TFormGeneral::ActionPort() {
    if (worker_ == nullptr || opening_) return;
    if (worker_->IsPortOpen()) {
        worker_->StopPort();
        return;
    }
    const int com = cbNamePort_->currentIndex() > 0
                        ? ComNumberFromName(cbNamePort_->currentText().toStdString())
                        : 0;
    const int speed = cbBaudratePort_->currentIndex();
    if (com < 1 || com > kMaxComNumber || speed < 1) {
        Tell(this,
             QStringLiteral("Порт не выбран или не установлена скорость работы.\r\n"
                            "Выберете порт и установите скорость работы"),
             kWarning);
        return;
    }
    PortSettings& port = settings_->port;
    port.Port = com;
    port.Baudrate = kBaudrates[speed - 1];
    // A worker that has just reported a failed open may still be finishing.
    WaitWhile([this] { return worker_->IsWorkerActive(); });
    const FrameEnd frameEnd =
        preferences_.frame_end_by_length ? FrameEnd::kLength : FrameEnd::kSilence;
    if (!worker_->StartPort(port, ResolveComPath(com, folder_), frameEnd)) {
        Tell(this, QStringLiteral("Ошибка при открытии порта"), kWarning);
        return;
    }
    opening_ = true;
    btnActionPort_->setEnabled(false);
}

void TFormGeneral::ReportStatus(std::uint16_t code, const QString& line) {
    AppendStatusLine(line);
    if (code == kStatusOpenFailed) {
        opening_ = false;
        btnActionPort_->setEnabled(true);
    }
}

void TFormGeneral::AppendStatusLine(const QString& line) {
    reStatusPort_->appendPlainText(line);
    reStatusPort_->moveCursor(QTextCursor::End);
    reStatusPort_->ensureCursorVisible();
}

void TFormGeneral::CopyStatusLog() {
    reStatusPort_->selectAll();
    reStatusPort_->copy();
    reStatusPort_->moveCursor(QTextCursor::End);
}

void TFormGeneral::PortOpened() {
    portState_ |= kPortOpenBit;
    opening_ = false;
    btnActionPort_->setText(QStringLiteral("Закрыть порт"));
    btnActionPort_->setEnabled(true);
    ColourIndicators(kColourOpen);
    ShowNamedPicture(*imgChrgNetPgModbus_, "24_24_MODBUS_RED");
    gbDcacBox_->MarkPortOpened();
    MarkChargerPortOpened(*chargerView_);
    if (peers_.chrgNet != nullptr) peers_.chrgNet->MarkPortOpened();
    if (peers_.dcacBox != nullptr) peers_.dcacBox->MarkPortOpened();
    MarkBmsPortOpened(*bmsView_);
}

void TFormGeneral::PortClosed() {
    portState_ &= static_cast<std::uint8_t>(~kPortOpenBit);
    btnActionPort_->setText(QStringLiteral("Открыть порт"));
    ColourIndicators(kColourClosed);
}

void TFormGeneral::ColourIndicators(std::uint32_t colour) {
    fadeTimer_.stop();
    for (Indicator& indicator : indicators_) {
        indicator.lit = false;
        Paint(*indicator.shape, colour);
    }
}

void TFormGeneral::LightLineEvents(std::uint16_t mask) {
    if ((portState_ & kPortOpenBit) == 0) return;
    const qint64 now = clock_.elapsed();
    for (Indicator& indicator : indicators_) {
        if ((mask & indicator.mask) == 0) continue;
        indicator.lit = true;
        indicator.litAt = now;
        Paint(*indicator.shape, kColourEvent);
    }
    if (!fadeTimer_.isActive()) fadeTimer_.start();
}

void TFormGeneral::FadeIndicators() {
    const qint64 now = clock_.elapsed();
    bool anyLit = false;
    for (Indicator& indicator : indicators_) {
        if (!indicator.lit) continue;
        if (now - indicator.litAt > kEventLitMillis) {
            indicator.lit = false;
            Paint(*indicator.shape, kColourOpen);
        } else {
            anyLit = true;
        }
    }
    if (!anyLit) fadeTimer_.stop();
}

void TFormGeneral::FrameReceived(const std::uint8_t* data, std::size_t length,
                                 const QDateTime& stamp) {
    TFormMonitorPort* monitor = peers_.monitor;
    if (!extended_ || monitor == nullptr || !monitor->showsReceived()) return;
    if (monitor->acceptsReceived(data, length)) monitor->AddReceivedLine(data, length, stamp);
}

void TFormGeneral::FrameSent(const std::uint8_t* data, std::size_t length, const QDateTime& stamp) {
    TFormMonitorPort* monitor = peers_.monitor;
    if (extended_ && monitor != nullptr && monitor->showsSent()) {
        monitor->AddSentLine(data, length, stamp);
    }
}

void TFormGeneral::ChargerTransaction(DeviceModel& model, bool answered) {
    if (model.phase == kPhaseRead) {
        // A single miss is no reply: only the unreachable mark after five counts as news.
        if (!answered && !IsUnreachable(model)) return;
        TakeReceivedValues(model, *chargerView_);
        RefreshChargerSummary(model.current_block);
        if (peers_.chrgNet != nullptr) peers_.chrgNet->RefreshAfterRead(model.current_block);
    } else if (model.phase == kPhaseWrite) {
        if (model.current_block < 8) {
            model.write_wait &= static_cast<std::uint8_t>(~(1u << model.current_block));
        }
        if (peers_.chrgNet != nullptr) peers_.chrgNet->RefreshAfterWrite(model.current_block);
        if (model.current_block == kChargerBlockSettings ||
            model.current_block == kChargerBlockLink) {
            followUp_->ShowProgress(kChargerIndex, model.current_block == kChargerBlockLink,
                                    ChargerSettingsWriteStep(model, model.current_block));
        }
    }
}

void TFormGeneral::InverterTransaction(DeviceModel& model, bool answered) {
    if (model.phase == kPhaseWrite) {
        if (model.current_block < 8) {
            model.write_wait &= static_cast<std::uint8_t>(~(1u << model.current_block));
        }
        if (answered) TakeWriteResult(model, *inverterView_);
        if (peers_.dcacBox != nullptr) peers_.dcacBox->RefreshAfterWrite(model.current_block);
        const std::uint16_t block = model.current_block;
        if (block == kInverterBlockSettings || block == kInverterBlockLink ||
            block == kInverterBlockHidden) {
            followUp_->ShowProgress(kInverterIndex, block == kInverterBlockLink,
                                    InverterSettingsWriteStep(model, *inverterView_, block));
        }
        return;
    }
    // A single miss is no reply: only the unreachable mark after five counts as news.
    if (!answered && !IsUnreachable(model)) return;
    TakeReceivedValues(model, *inverterView_);
    gbDcacBox_->RefreshAfterRead(model.current_block);
    if (peers_.dcacBox != nullptr) peers_.dcacBox->RefreshAfterRead(model.current_block);
}

void TFormGeneral::BmsTransaction(DeviceModel& model) {
    // Misses too: their rows show the values they had.
    if (model.phase != kPhaseRead) return;
    TakeReceivedValues(model, *bmsView_);
    if (peers_.sku != nullptr) peers_.sku->RefreshBlockRows(model.current_block);
}

void TFormGeneral::InverterWriteSent() {
    DeviceModel* model = devices_.At(kInverterIndex);
    if (model != nullptr && !InverterWrittenSet(*inverterView_, model->current_block).empty()) {
        TakeWrittenValues(*model, *inverterView_);
    }
    if (model != nullptr && model->current_block == kInverterBlockLink) {
        model->write_wait |= static_cast<std::uint8_t>(1u << kInverterBlockLink);
        followUp_->LinkWriteSent(kInverterIndex);
    }
}

void TFormGeneral::ChargerWriteSent() {
    DeviceModel* model = devices_.At(kChargerIndex);
    // Only blocks with a written set keep what was sent.
    if (model != nullptr && !ChargerWrittenSet(*chargerView_, model->current_block).empty()) {
        TakeWrittenValues(*model, *chargerView_);
    }
    if (model != nullptr && model->current_block == kChargerBlockLink) {
        model->write_wait |= static_cast<std::uint8_t>(1u << kChargerBlockLink);
        followUp_->LinkWriteSent(kChargerIndex);
    }
}

void TFormGeneral::AdoptLineSettings(std::size_t device) {
    DeviceModel* model = devices_.At(device);
    if (model == nullptr || (device != kChargerIndex && device != kInverterIndex)) return;
    DeviceLinkSettings& entry = settings_->devices[device];
    entry = AdoptedLineSettings(
        device == kChargerIndex ? chargerView_->written.link : inverterView_->written.link, entry);
    SetBusAddress(*model, static_cast<std::uint8_t>(entry.address));
    SaveProgramSettings(folder_, *settings_, BoxMessages(this));
}

void TFormGeneral::RefreshChargerSummary(std::uint16_t block) {
    const ChargerView& view = *chargerView_;
    if (view.availability_changed != 0) {
        ShowNamedPicture(*imgChrgNetPgModbus_,
                         view.not_available ? "24_24_MODBUS_RED" : "24_24_MODBUS_GREEN");
    }
    ShowAvailability(*eChrgNetValueVoltageBatt_, view.not_available);
    ShowAvailability(*eChrgNetValueCurrentBatt_, view.not_available);
    if (block != kChargerBlockLive || view.not_available) return;
    const char separator = UserDecimalSeparator();
    for (const auto& [field, upper] : {std::pair{eChrgNetValueVoltageBatt_, kChrgBatteryVoltage},
                                       std::pair{eChrgNetValueCurrentBatt_, kChrgChargeCurrent}}) {
        const RegisterDescriptor* descriptor = ChargerDescriptorAt(upper);
        const auto value = static_cast<std::int32_t>(ChargerReceivedPair(view, upper));
        field->setText(QString::fromStdString(
            FormatSigned(value, descriptor != nullptr ? descriptor->decimals : 0, separator)));
    }
}

void TFormGeneral::ToggleStatusPanel() {
    const bool showStatus = pnlStatusPort_->isHidden();
    pnlVoid_->setVisible(!showStatus);
    pnlStatusPort_->setVisible(showStatus);
}

void TFormGeneral::ShowPeer(QWidget* window) {
    if (window == nullptr) return;
    if (window->isMinimized()) window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void TFormGeneral::ShowSettings() {
    TFormSettings* dialog = peers_.settings;
    if (dialog == nullptr || worker_ == nullptr) return;
    std::array<std::uint8_t, kDeviceKindCount> addresses{};
    std::array<bool, kDeviceKindCount> enabled{};
    for (std::size_t i = 0; i < kDeviceKindCount; ++i) {
        addresses[i] = static_cast<std::uint8_t>(settings_->devices[i].address);
        enabled[i] = settings_->devices[i].enabled;
    }
    dialog->Load(settings_->port, preferences_.frame_end_by_length, addresses, enabled,
                 (portState_ & kPortOpenBit) != 0);
    const int result = dialog->exec();
    if (result != TFormSettings::Apply && result != TFormSettings::ApplySave) return;

    settings_->port = dialog->portSettings();
    const std::array<std::uint8_t, kDeviceKindCount> chosen = dialog->addresses();
    const std::array<bool, kDeviceKindCount> toggled = dialog->toggled();
    for (std::size_t i = 0; i < kDeviceKindCount; ++i) {
        DeviceLinkSettings& device = settings_->devices[i];
        if (toggled[i]) device.enabled = !device.enabled;
        device.address = chosen[i];
        if (DeviceModel* model = devices_.At(i)) {
            SetEnabled(*model, device.enabled);
            SetBusAddress(*model, chosen[i]);
        }
    }
    LayOutSummaries();
    worker_->StartCycle();
    if (result == TFormSettings::ApplySave) {
        SaveProgramSettings(folder_, *settings_, BoxMessages(this));
    }
    // Our own file: an apply keeps the choice too, as losing it at the next start surprises.
    if (dialog->frameEndByLength() != preferences_.frame_end_by_length) {
        preferences_.frame_end_by_length = dialog->frameEndByLength();
        if (!SavePreferences(folder_, preferences_)) {
            Tell(this, QStringLiteral("Ошибка записи файла veltrona.ini"), kWarning);
        }
    }
}

void TFormGeneral::LayOutSummaries() {
    const bool charger = extended_ || settings_->devices[kChargerIndex].enabled;
    const bool inverter = extended_ || settings_->devices[kInverterIndex].enabled;
    gbChrgNet_->move(kLogoMargin, kSummaryTop);
    gbChrgNet_->setVisible(charger);
    gbDcacBox_->move(kLogoMargin, charger ? gbChrgNet_->height() + kSummaryGap : kSummaryTop);
    gbDcacBox_->setVisible(inverter);
}

void TFormGeneral::AskAccessCode() {
    TFormPassword* dialog = peers_.password;
    if (dialog == nullptr || extended_) return;
    dialog->placeBottomRightAt(imgMyLogo_->mapToGlobal(QPoint(0, 0)));
    dialog->setLettersAllowed(true);
    if (dialog->exec() == QDialog::Accepted && IsServiceAccessCode(dialog->enteredText())) {
        EnterExtendedMode();
    }
}

void TFormGeneral::EnterExtendedMode() {
    extended_ = true;
    menuEdit_->menuAction()->setVisible(true);
    menuMode_->menuAction()->setVisible(true);
    for (QAction* action : extendedActions_)
        action->setVisible(true);
    LayOutSummaries();
    if (peers_.chrgNet != nullptr) peers_.chrgNet->ShowServiceItems();
    if (peers_.dcacBox != nullptr) peers_.dcacBox->ShowServiceItems();
    if (peers_.bootLoader != nullptr) peers_.bootLoader->EnterExtendedMode();
}

bool TFormGeneral::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgMyLogo_ && event->type() == QEvent::MouseButtonDblClick) {
        AskAccessCode();
        return true;
    }
    if (watched == pnlVoid_ && event->type() == QEvent::Resize) {
        imgMyLogo_->move(pnlVoid_->width() - imgMyLogo_->width() - kLogoMargin,
                         pnlVoid_->height() - imgMyLogo_->height() - kLogoMargin);
    }
    if (watched == cbNamePort_ && event->type() == QEvent::FocusIn) {
        // Only a user entering the list, not the return from its own popup or window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            FillPortList(cbNamePort_->currentIndex() > 0 ? cbNamePort_->currentText() : QString());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormGeneral::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QMainWindow::mousePressEvent(event);
}

void TFormGeneral::WaitWhile(const std::function<bool()>& busy) {
    if (!busy()) return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!busy()) loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool TFormGeneral::StopLinkForExit() {
    // An opening under way must settle first: the worker only takes a stop once it runs.
    WaitWhile([this] { return worker_->IsWorkerActive() && !worker_->IsPortOpen(); });
    if (worker_->IsPortOpen() &&
        !Ask(this, QStringLiteral("Порт не закрыт\r\nЖелаете закрыть порт и выйти из программы"),
             kWarning)) {
        return false;
    }
    EndLink();
    return true;
}

void TFormGeneral::EndLink() {
    if (worker_ != nullptr) {
        WaitWhile([this] {
            // Asked again on every pass: an opening that completes meanwhile re-arms the worker.
            worker_->StopPort();
            return worker_->IsWorkerActive();
        });
        worker_->Reap();
    }
    // The host goes first so that no posted call reaches the worker after it is gone.
    host_.reset();
    worker_.reset();
    DestroyDeviceList(devices_);
    ended_ = true;
}

void TFormGeneral::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    const bool stopped = StopLinkForExit();
    closing_ = false;
    if (!stopped) {
        event->ignore();
        return;
    }
    event->accept();
    emit ended();
}

ApplicationWindows::ApplicationWindows(const std::filesystem::path& folder)
    : general(std::make_unique<TFormGeneral>(folder)),
      monitor(std::make_unique<TFormMonitorPort>()),
      chrgSun(std::make_unique<TFormChrgSun>()),
      dcacBox(std::make_unique<TFormDcacBox>()),
      password(std::make_unique<TFormPassword>()),
      about(std::make_unique<TFormAbout>()),
      stat(std::make_unique<TFormStat>()),
      enableStat(std::make_unique<TFormEnableStat>()),
      settings(std::make_unique<TFormSettings>()),
      chrgNet(std::make_unique<TFormChrgNet>()),
      process(std::make_unique<TFormProcess>()),
      bootLoader(std::make_unique<TFormBootLoader>()),
      sku(std::make_unique<TFormSku>()) {
    general->AttachPeers(MainWindowPeers{
        monitor.get(), chrgSun.get(), dcacBox.get(), password.get(), about.get(), stat.get(),
        settings.get(), chrgNet.get(), process.get(), bootLoader.get(), sku.get()});
}

ApplicationWindows::~ApplicationWindows() {
    general.reset();
}

}  // namespace veltrona
