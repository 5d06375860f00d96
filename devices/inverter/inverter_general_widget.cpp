#include "devices/inverter/inverter_general_widget.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <vector>

#include "devices/inverter/inverter_map.h"
#include "devices/inverter/inverter_texts.h"
#include "devices/inverter/inverter_view.h"
#include "link/catalogue.h"
#include "link/value_format.h"
#include "ui/indicators.h"

namespace veltrona {
namespace {

// Unit-text indices.
constexpr std::size_t kVolt = 0;
constexpr std::size_t kAmp = 1;
constexpr std::size_t kWatt = 2;
constexpr std::size_t kHertz = 4;
constexpr std::size_t kCelsius = 5;

struct ValueDef {
    const char* name;
    const char* caption;
    std::uint16_t address;
    bool is_signed;
    std::size_t unit;
};

struct GroupDef {
    const char* title;
    std::size_t first;
    std::size_t count;
};

constexpr ValueDef kValues[] = {
    {"eDeviceInputACVoltage", "Напряжение", 0x0700, false, kVolt},
    {"eDeviceInputACCurrent", "Ток", 0x0701, true, kAmp},
    {"eDeviceInputACPowerApparent", "Мощность", 0x0703, false, kWatt},
    {"eDeviceInputACFrequency", "Частота", 0x0702, false, kHertz},
    {"eDeviceOutputACVoltage", "Напряжение", 0x0708, false, kVolt},
    {"eDeviceOutputACCurrent", "Ток", 0x0709, true, kAmp},
    {"eDeviceOutputACPowerApparent", "Мощность", 0x070B, false, kWatt},
    {"eDeviceOutputACFrequency", "Частота", 0x070A, false, kHertz},
    {"eDeviceInverterACVoltage", "Напряжение", 0x0704, false, kVolt},
    {"eDeviceInverterACCurrent", "Ток", 0x0705, true, kAmp},
    {"eDeviceInverterACPowerApparent", "Мощность", 0x0707, false, kWatt},
    {"eDeviceInverterTemperature", "Температура", 0x070C, true, kCelsius},
    {"eDeviceBatteryVoltage", "Напряжение", 0x070E, false, kVolt},
    {"eDeviceBatteryCurrent", "Ток", 0x070F, true, kAmp},
    {"eDeviceBatteryTemperature", "Температура", 0x070D, true, kCelsius},
};
constexpr GroupDef kValueGroups[] = {
    {"Вход", 0, 4}, {"Выход", 4, 4}, {"Инвертор", 8, 4}, {"АБ", 12, 3}};

struct StateDef {
    const char* name;
    const char* caption;
    std::uint16_t address;
};
constexpr StateDef kStates[] = {
    {"eDeviceOperatingState", "Режим работы", kInvOperatingState},
    {"eDeviceChargeState", "Состояние заряда", kInvChargeState},
    {"eDeviceInverterState", "Состояние инвертора", kInvInverterState},
};

// Picture index of a relay: `open` with its bit clear, `open + 1` with it set.
struct RelayDef {
    const char* name;
    const char* caption;
    std::uint16_t mask;
    int open;
};
constexpr RelayDef kRelays[] = {
    {"imgDeviceWorkReleTx", "Tx", kInvRelayTransfer, 2},
    {"imgDeviceWorkReleN", "N", kInvRelayNeutral, 4},
    {"imgDeviceWorkReleGnd", "GND", kInvRelayGround, 0},
    {"imgDeviceWorkReleInv", "INV", kInvRelayInverter, 6},
    {"imgDeviceWorkReleOutput_0", "Выход 1", kInvRelayOutput0, 10},
    {"imgDeviceWorkReleOutput_1", "Выход 2", kInvRelayOutput1, 12},
};
struct InputDef {
    const char* name;
    const char* caption;
    std::uint16_t mask;
};
constexpr InputDef kInputs[] = {
    {"shDeviceWorkReleInput_0", "Вход 1", kInvRelayInput0},
    {"shDeviceWorkReleInput_1", "Вход 2", kInvRelayInput1},
};

constexpr int kRelayPictureSize = 32;
constexpr const char* kRelayLetters[] = {"GND", "Tx", "N", "INV", "", "OUT1", "OUT2"};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Picture `index` of the relay list: even indices an open contact, odd ones a closed one.
QPixmap RelayPicture(int index) {
    QPixmap picture(kRelayPictureSize, kRelayPictureSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool closed = (index & 1) != 0;
    const QColor ink = closed ? QColor(0, 128, 0) : QColor(96, 96, 96);
    painter.setPen(QPen(ink, 2));
    painter.setBrush(ink);
    const QPointF left(6, 24);
    const QPointF right(26, 24);
    painter.drawEllipse(left, 2, 2);
    painter.drawEllipse(right, 2, 2);
    painter.drawLine(left, closed ? right : QPointF(23, 15));
    painter.setFont(QFont(painter.font().family(), 6));
    painter.drawText(QRect(0, 0, kRelayPictureSize, 12), Qt::AlignCenter,
                     QString::fromLatin1(kRelayLetters[index / 2]));
    return picture;
}

QGridLayout* Compact(QGridLayout* grid) {
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(2);
    return grid;
}

void SetRelayPicture(QLabel& label, int index) {
    label.setProperty("picture", index);
    label.setPixmap(RelayPicture(index));
}

unsigned Decimals(std::uint16_t address) {
    const RegisterDescriptor* descriptor = InverterDescriptorAt(address);
    return descriptor != nullptr ? descriptor->decimals : 0;
}

QString ValueText(const InverterView& view, const ValueDef& value, char separator) {
    const std::uint16_t raw = InverterReceivedWord(view, value.address);
    const unsigned decimals = Decimals(value.address);
    const std::string number =
        value.is_signed ? FormatSigned(static_cast<std::int16_t>(raw), decimals, separator)
                        : FormatUnsigned(raw, decimals, separator);
    return QString::fromStdString(number) + QStringLiteral(" ") + Utf8(UnitText(value.unit));
}

std::vector<FlagLamp> AlarmLamps() {
    std::vector<FlagLamp> lamps;
    for (std::size_t i = 0; i < kInverterSafetyWord1Bits.size(); ++i)
        lamps.push_back({static_cast<std::uint8_t>(i), kInverterSafetyWord1Bits[i].text});
    for (std::size_t i = 0; i < kInverterSafetyWord2Bits.size(); ++i)
        lamps.push_back({static_cast<std::uint8_t>(16 + i), kInverterSafetyWord2Bits[i].text});
    return lamps;
}

}  // namespace

InverterGeneralPage::InverterGeneralPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlGeneral"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(4);

    auto* states = new QGroupBox(QStringLiteral("Состояние"), this);
    auto* stateGrid = Compact(new QGridLayout(states));
    imgDevicePgModbus_ = new QLabel(states);
    imgDevicePgModbus_->setObjectName(QStringLiteral("imgDevicePgModbus"));
    imgDevicePgModbus_->setFixedSize(24, 24);
    ShowNamedPicture(*imgDevicePgModbus_, "24_24_MODBUS_GREY");
    stateGrid->addWidget(imgDevicePgModbus_, 0, 2, Qt::AlignRight | Qt::AlignTop);
    for (std::size_t i = 0; i < states_.size(); ++i) {
        const int row = static_cast<int>(i);
        stateGrid->addWidget(new QLabel(QString::fromUtf8(kStates[i].caption), states), row, 0);
        states_[i] = ValueField(kStates[i].name, states);
        states_[i]->setAlignment(Qt::AlignLeft);
        stateGrid->addWidget(states_[i], row, 1);
    }
    grid->addWidget(states, 0, 0, 1, 2);

    for (std::size_t g = 0; g < std::size(kValueGroups); ++g) {
        const GroupDef& def = kValueGroups[g];
        auto* group = new QGroupBox(QString::fromUtf8(def.title), this);
        auto* fields = Compact(new QGridLayout(group));
        for (std::size_t i = def.first; i < def.first + def.count; ++i) {
            const int row = static_cast<int>(i - def.first);
            fields->addWidget(new QLabel(QString::fromUtf8(kValues[i].caption), group), row, 0);
            values_[i] = ValueField(kValues[i].name, group);
            fields->addWidget(values_[i], row, 1);
        }
        fields->setRowStretch(static_cast<int>(def.count), 1);
        grid->addWidget(group, 1 + static_cast<int>(g) / 2, static_cast<int>(g) % 2);
    }

    auto* relays = new QGroupBox(QStringLiteral("Реле"), this);
    auto* relayRow = Compact(new QGridLayout(relays));
    for (std::size_t i = 0; i < relays_.size(); ++i) {
        relays_[i] = new QLabel(relays);
        relays_[i]->setObjectName(QString::fromLatin1(kRelays[i].name));
        relays_[i]->setFixedSize(kRelayPictureSize, kRelayPictureSize);
        SetRelayPicture(*relays_[i], kRelays[i].open);
        const int column = static_cast<int>(i);
        relayRow->addWidget(relays_[i], 0, column, Qt::AlignHCenter);
        relayRow->addWidget(new QLabel(QString::fromUtf8(kRelays[i].caption), relays), 1, column,
                            Qt::AlignHCenter);
    }
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        inputs_[i] = new TLampShape(kInputs[i].name, relays);
        const int column = static_cast<int>(relays_.size() + i);
        relayRow->addWidget(inputs_[i], 0, column, Qt::AlignCenter);
        relayRow->addWidget(new QLabel(QString::fromUtf8(kInputs[i].caption), relays), 1, column,
                            Qt::AlignHCenter);
    }
    grid->addWidget(relays, 3, 0, 1, 2);

    const std::vector<FlagLamp> lamps = AlarmLamps();
    alarms_ = new TFlagLamps("gbDeviceAlarm", QString(), "shDeviceSafetyStatus", lamps, 2, this);
    grid->addWidget(alarms_, 4, 0, 1, 2);
    grid->setRowStretch(5, 1);
}

void InverterGeneralPage::ShowAvailability(bool not_available) {
    if (not_available) alarms_->ShowSilver();
    for (QLineEdit* field : states_)
        veltrona::ShowAvailability(*field, not_available);
    for (QLineEdit* field : values_)
        veltrona::ShowAvailability(*field, not_available);
}

void InverterGeneralPage::ShowLiveValues(const InverterView& view, char separator) {
    for (std::size_t i = 0; i < values_.size(); ++i)
        values_[i]->setText(ValueText(view, kValues[i], separator));
    alarms_->ShowWord(InverterReceivedWord(view, kInvSafetyWord1) |
                      std::uint32_t{InverterReceivedWord(view, kInvSafetyWord2)} << 16);
    for (std::size_t i = 0; i < states_.size(); ++i)
        states_[i]->setText(Utf8(InverterStateText(view, kStates[i].address)));
}

void InverterGeneralPage::ShowRelays(const InverterView& view) {
    const std::uint16_t word = InverterReceivedWord(view, kInvRelayState);
    for (std::size_t i = 0; i < relays_.size(); ++i) {
        SetRelayPicture(*relays_[i], kRelays[i].open + ((word & kRelays[i].mask) != 0 ? 1 : 0));
    }
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        const QColor colour =
            QColor::fromRgb((word & kInputs[i].mask) != 0 ? kLampLime : kLampDark);
        inputs_[i]->SetColours(colour, colour);
    }
}

}  // namespace veltrona
