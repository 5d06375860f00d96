#include "shell/form_monitor_port.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QValidator>
#include <QWindow>

#include "link/traffic_line.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

constexpr QRgb kReceivedColour = 0x808080;
constexpr QRgb kSentColour = 0x000000;
constexpr QRgb kDisplayOffColour = 0xC0C0C0;
constexpr QRgb kDisplayOnColour = 0x00FF00;
constexpr int kHexFieldLength = 2;

// Hexadecimal digits only, turned into capitals as they are typed.
class HexByteValidator final : public QValidator {
  public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        for (QChar c : input) {
            const bool hex =
                (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
            if (!hex) return Invalid;
        }
        input = input.toUpper();
        return Acceptable;
    }
};

QFont MonitorFont() {
    QFont font(QStringLiteral("Lucida Console"), 8);
    if (!QFontDatabase::hasFamily(font.family())) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(8);
    }
    return font;
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLineEdit* HexField(const char* name, QWidget* parent) {
    auto* field = new QLineEdit(QStringLiteral("00"), parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaxLength(kHexFieldLength);
    field->setValidator(new HexByteValidator(field));
    field->setFixedWidth(32);
    return field;
}

bool Matches(const std::uint8_t* frame, std::size_t length, std::size_t at, std::uint8_t mask,
             std::uint8_t filter) {
    if (mask == 0) return true;
    return frame != nullptr && at < length && (frame[at] & mask) == (filter & mask);
}

}  // namespace

TFormMonitorPort::TFormMonitorPort(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Монитор"));
    resize(800, 600);
    setMinimumSize(600, 500);

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("reMonitorPort"));
    log_->setReadOnly(true);
    log_->setFont(MonitorFont());
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setMaximumBlockCount(kMaxLines);

    auto* group = new QGroupBox(QStringLiteral("Приём RS485"), this);
    group->setObjectName(QStringLiteral("gbMonitorReceiverPort"));
    indicator_ = new QFrame(group);
    indicator_->setObjectName(QStringLiteral("shpActionReceiverPort"));
    indicator_->setFrameShape(QFrame::Box);
    indicator_->setFixedSize(16, 16);
    indicator_->setAutoFillBackground(true);
    QPushButton* enable = Button(QStringLiteral("Разрешить"), "btnEnableReceiverPort", group);
    QPushButton* disable = Button(QStringLiteral("Запретить"), "btnDisableReceiverPort", group);

    address_ = {HexField("leMaskAddrReceiverPort", group),
                HexField("leFilterAddrReceiverPort", group)};
    command_ = {HexField("leMaskCmdReceiverPort", group),
                HexField("leFilterCmdReceiverPort", group)};
    QPushButton* setAddress = Button(QStringLiteral("Применить"), "btnSetAddrReceiverPort", group);
    QPushButton* clearAddress =
        Button(QStringLiteral("Сбросить"), "btnClearAddrReceiverPort", group);
    QPushButton* setCommand = Button(QStringLiteral("Применить"), "btnSetCmdReceiverPort", group);
    QPushButton* clearCommand =
        Button(QStringLiteral("Сбросить"), "btnClearCmdReceiverPort", group);

    auto* grid = new QGridLayout(group);
    grid->addWidget(indicator_, 0, 0);
    grid->addWidget(enable, 0, 1);
    grid->addWidget(disable, 0, 2);
    const auto addFieldRow = [grid, group](int row, const QString& label, QLineEdit* field) {
        grid->addWidget(new QLabel(label, group), row, 0, 1, 2);
        grid->addWidget(field, row, 2);
    };
    addFieldRow(1, QStringLiteral("Маска адреса (HEX)"), address_.mask);
    addFieldRow(2, QStringLiteral("Фильтр адреса (HEX)"), address_.filter);
    grid->addWidget(setAddress, 3, 1);
    grid->addWidget(clearAddress, 3, 2);
    addFieldRow(4, QStringLiteral("Маска команды (HEX)"), command_.mask);
    addFieldRow(5, QStringLiteral("Фильтр команды (HEX)"), command_.filter);
    grid->addWidget(setCommand, 6, 1);
    grid->addWidget(clearCommand, 6, 2);

    QPushButton* clear = Button(QStringLiteral("Очистить"), "btnClearMonitorPort", this);

    auto* column = new QVBoxLayout;
    column->addWidget(group);
    column->addStretch();
    column->addWidget(clear, 0, Qt::AlignRight);
    auto* content = new QHBoxLayout;
    content->setContentsMargins(0, 0, 8, 16);
    content->setSpacing(14);
    content->addWidget(log_, 1);
    content->addLayout(column);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbMonitorPort"));
    bar->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < traffic_.size(); ++i) {
        traffic_[i] = new QLabel(bar);
        traffic_[i]->setObjectName(QStringLiteral("labTraffic%1").arg(i));
        traffic_[i]->setFrameShape(QFrame::StyledPanel);
        bar->addWidget(traffic_[i], 1);
    }
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addLayout(content, 1);
    page->addWidget(bar);

    trafficTimer_.setInterval(kTrafficRefreshMillis);
    connect(&trafficTimer_, &QTimer::timeout, this, &TFormMonitorPort::RefreshTraffic);

    connect(enable, &QPushButton::clicked, this, [this] { SetDisplay(true); });
    connect(disable, &QPushButton::clicked, this, [this] { SetDisplay(false); });
    connect(setAddress, &QPushButton::clicked, this,
            [this] { ApplyMask(address_, received_.addressMask, received_.addressFilter); });
    connect(clearAddress, &QPushButton::clicked, this,
            [this] { ClearMask(address_, received_.addressMask, received_.addressFilter); });
    connect(setCommand, &QPushButton::clicked, this,
            [this] { ApplyMask(command_, received_.commandMask, received_.commandFilter); });
    connect(clearCommand, &QPushButton::clicked, this,
            [this] { ClearMask(command_, received_.commandMask, received_.commandFilter); });
    connect(clear, &QPushButton::clicked, log_, &QPlainTextEdit::clear);

    SetDisplay(false);
}

void TFormMonitorPort::AddReceivedLine(const std::uint8_t* frame, std::size_t length,
                                       const QDateTime& stamp) {
    if (showsReceived() && acceptsReceived(frame, length)) AppendLine(true, frame, length, stamp);
}

void TFormMonitorPort::AddSentLine(const std::uint8_t* frame, std::size_t length,
                                   const QDateTime& stamp) {
    if (showsSent()) AppendLine(false, frame, length, stamp);
}

bool TFormMonitorPort::acceptsReceived(const std::uint8_t* frame, std::size_t length) const {
    return Matches(frame, length, 0, received_.addressMask, received_.addressFilter) &&
           Matches(frame, length, 1, received_.commandMask, received_.commandFilter);
}

void TFormMonitorPort::SetTrafficSource(TrafficSource source) {
    trafficSource_ = std::move(source);
    RefreshTraffic();
}

void TFormMonitorPort::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RefreshTraffic();
    trafficTimer_.start();
}

void TFormMonitorPort::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    trafficTimer_.stop();
}

void TFormMonitorPort::RefreshTraffic() {
    for (std::size_t i = 0; i < traffic_.size(); ++i) {
        traffic_[i]->setText(trafficSource_ ? QString::fromStdString(FormatTrafficFigures(
                                                  DeviceKindName(i), trafficSource_(i)))
                                            : QString());
    }
}

void TFormMonitorPort::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr &&
        windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TFormMonitorPort::SetDisplay(bool on) {
    if (on) {
        received_.flags |= kShowBit;
        sent_.flags |= kShowBit;
    } else {
        received_.flags &= static_cast<std::uint8_t>(~kShowBit);
        sent_.flags &= static_cast<std::uint8_t>(~kShowBit);
    }
    QPalette palette = indicator_->palette();
    palette.setColor(QPalette::Window, QColor(on ? kDisplayOnColour : kDisplayOffColour));
    indicator_->setPalette(palette);
}

void TFormMonitorPort::AppendLine(bool received, const std::uint8_t* frame, std::size_t length,
                                  const QDateTime& stamp) {
    const QTime time = stamp.time();
    const std::string line = FormatTrafficLine(received, frame, length, time.hour(), time.minute(),
                                               time.second(), time.msec());
    QTextCharFormat format;
    format.setForeground(QColor(received ? kReceivedColour : kSentColour));
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    if (!log_->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(QString::fromStdString(line), format);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void TFormMonitorPort::ApplyMask(const MaskFields& fields, std::uint8_t& mask,
                                 std::uint8_t& filter) {
    if (fields.mask->text().isEmpty()) {
        ShowMessage(QStringLiteral("Маска не определена"), QStringLiteral("Сообщение"),
                    MessageButtons::kOk, this);
        return;
    }
    if (fields.filter->text().isEmpty()) {
        ShowMessage(QStringLiteral("Фильтр не определён"), QStringLiteral("Сообщение"),
                    MessageButtons::kOk, this);
        return;
    }
    mask = static_cast<std::uint8_t>(fields.mask->text().toUInt(nullptr, 16));
    filter = static_cast<std::uint8_t>(fields.filter->text().toUInt(nullptr, 16));
}

void TFormMonitorPort::ClearMask(const MaskFields& fields, std::uint8_t& mask,
                                 std::uint8_t& filter) {
    fields.mask->setText(QStringLiteral("00"));
    fields.filter->setText(QStringLiteral("00"));
    mask = 0;
    filter = 0;
}

}  // namespace veltrona
