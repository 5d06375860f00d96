#include "shell/inverter_summary.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "devices/bus_devices.h"
#include "devices/inverter/inverter_blocks.h"
#include "devices/inverter/inverter_map.h"
#include "devices/inverter/inverter_texts.h"
#include "devices/inverter/inverter_window_commands.h"
#include "link/value_format.h"
#include "ui/indicators.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

struct SummaryValue {
    const char* name;
    const char* label;
    std::uint16_t address;
    const char* unit;
};
constexpr SummaryValue kValues[] = {
    {"eDcacBoxInputAcVoltage", "Вх. напряжение", kInvInputVoltage, "В"},
    {"eDcacBoxOutputAcVoltage", "Вых. напряжение", kInvOutputVoltage, "В"},
    {"eDcacBoxOutputAcPowerApparent", "Вых. мощность", kInvOutputPower, "Вт"},
    {"eDcacBoxBatteryVoltage", "Напряжение АБ", kInvBatteryVoltage, "В"},
};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

InverterSummary::InverterSummary(const InverterLink& link, QWidget* parent)
    : QGroupBox(Utf8(DeviceKindName(kInverterIndex)), parent), link_(link) {
    setObjectName(QStringLiteral("gbDcacBox"));
    auto* grid = new QGridLayout(this);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("imgDcacBoxPgModbus"));
    picture_->setFixedSize(24, 24);
    ShowNamedPicture(*picture_, "24_24_MODBUS_GREY");
    grid->addWidget(picture_, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("Состояние ИБП"), this), 0, 1);
    state_ = ValueField("eDcacBoxOperatingState", this);
    grid->addWidget(state_, 0, 2, 1, 3);
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const int row = 1 + static_cast<int>(i) / 2;
        const int column = 1 + 2 * (static_cast<int>(i) % 2);
        grid->addWidget(new QLabel(QString::fromUtf8(kValues[i].label), this), row, column);
        values_[i] = ValueField(kValues[i].name, this);
        grid->addWidget(values_[i], row, column + 1);
    }
    onOff_ = new QPushButton(QStringLiteral("Включить"), this);
    onOff_->setObjectName(QStringLiteral("btnDcacBoxOnOff"));
    auto* newCycle = new QPushButton(QStringLiteral("Новый цикл"), this);
    newCycle->setObjectName(QStringLiteral("btnDcacBoxNewCycle"));
    grid->addWidget(onOff_, 3, 3);
    grid->addWidget(newCycle, 3, 4);
    connect(onOff_, &QPushButton::clicked, this, &InverterSummary::AskOnOff);
    connect(newCycle, &QPushButton::clicked, this, &InverterSummary::GiveNewCycle);
}

void InverterSummary::MarkPortOpened() {
    MarkInverterPortOpened(*link_.view);
    ShowNamedPicture(*picture_, "24_24_MODBUS_RED");
}

void InverterSummary::RefreshAfterRead(std::uint16_t block) {
    if (link_.view->availability_changed != 0) {
        ShowNamedPicture(*picture_,
                         link_.view->not_available ? "24_24_MODBUS_RED" : "24_24_MODBUS_GREEN");
    }
    ShowAvailability(*state_, link_.view->not_available);
    for (QLineEdit* field : values_)
        ShowAvailability(*field, link_.view->not_available);
    // An unreachable inverter delivered nothing new.
    if (link_.view->not_available) return;
    if (block == kInverterBlockIdent) {
        onOff_->setText(InverterRunning(*link_.view) ? QStringLiteral("Выключить")
                                                     : QStringLiteral("Включить"));
    } else if (block == kInverterBlockLive) {
        state_->setText(Utf8(InverterStateText(*link_.view, kInvOperatingState)));
        const char separator = UserDecimalSeparator();
        for (std::size_t i = 0; i < values_.size(); ++i) {
            const RegisterDescriptor* descriptor = InverterDescriptorAt(kValues[i].address);
            const unsigned decimals = descriptor != nullptr ? descriptor->decimals : 0;
            values_[i]->setText(
                QString::fromStdString(FormatUnsigned(
                    InverterReceivedWord(*link_.view, kValues[i].address), decimals, separator)) +
                QStringLiteral(" ") + QString::fromUtf8(kValues[i].unit));
        }
    }
}

void InverterSummary::AskOnOff() {
    AskInverterOnOff(link_, this);
}

void InverterSummary::GiveNewCycle() {
    GiveInverterNewCycle(link_, this);
}

}  // namespace veltrona
