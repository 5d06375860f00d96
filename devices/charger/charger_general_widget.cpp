#include "devices/charger/charger_general_widget.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"
#include "link/catalogue.h"
#include "link/value_format.h"
#include "ui/images.h"
#include "ui/interface_texts.h"

namespace veltrona {
namespace {

constexpr QRgb kInputLit = 0x00FF00;
constexpr QRgb kInputLitOutline = 0x008000;
constexpr std::uint16_t kTimeLeftAsIs = 0xFFFF;

// Interface-text indices of the units.
constexpr int kNoUnit = -1;
constexpr int kUnitVolt = 0;
constexpr int kUnitAmp = 1;
constexpr int kUnitAmpHour = 5;
constexpr int kUnitCelsius = 7;

struct FieldLayout {
    const char* name;
    std::size_t text;
    int unit;
};

constexpr FieldLayout kValueFields[] = {
    {"eValueCharge", 22, kNoUnit},          {"eValueVoltageBatt", 23, kUnitVolt},
    {"eValueCurrentBatt", 24, kUnitAmp},    {"eValueTempBatt", 25, kUnitCelsius},
    {"eValueTempDevice", 26, kUnitCelsius}, {"eValueTimeStage", 27, kNoUnit},
    {"eValueTimeStageAll", 28, kNoUnit},
};
constexpr FieldLayout kCapacityFields[] = {
    {"eChargeLevelSes", 36, kUnitAmpHour},
    {"eChargeLevelSum", 37, kUnitAmpHour},
    {"eChargeLevelUsr", 38, kUnitAmpHour},
};
constexpr FieldLayout kStageFields[] = {
    {"eStageVoltage", 30, kUnitVolt},        {"eStageCurrent", 31, kUnitAmp},
    {"eStageTempBattMin", 32, kUnitCelsius}, {"eStageTempBattMax", 33, kUnitCelsius},
    {"eStageTimeStage", 34, kNoUnit},        {"eStageTimeStageAll", 35, kNoUnit},
};

struct LampDef {
    const char* name;
    std::uint16_t mask;
};

constexpr LampDef kInputLamps[] = {
    {"shInputState1", kChrgInput1},   {"shInputState2", kChrgInput2},
    {"shInputState3", kChrgInput3},   {"shInputStateSwitch", kChrgInputSwitch},
    {"shOutputState1", kChrgOutput1}, {"shOutputState2", kChrgOutput2},
};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Caption(const FieldLayout& entry) {
    QString caption = Utf8(InterfaceText(entry.text));
    if (entry.unit != kNoUnit) {
        caption += QStringLiteral(", ") + Utf8(InterfaceText(static_cast<std::size_t>(entry.unit)));
    }
    return caption;
}

unsigned Decimals(std::uint16_t address) {
    const RegisterDescriptor* descriptor = ChargerDescriptorAt(address);
    return descriptor != nullptr ? descriptor->decimals : 0;
}

QString SignedPair(const ChargerView& view, std::uint16_t upper, char separator) {
    const auto value = static_cast<std::int32_t>(ChargerReceivedPair(view, upper));
    return QString::fromStdString(FormatSigned(value, Decimals(upper), separator));
}

QString UnsignedPair(const ChargerView& view, std::uint16_t upper, char separator) {
    return QString::fromStdString(
        FormatUnsigned(ChargerReceivedPair(view, upper), Decimals(upper), separator));
}

std::int16_t SignedWord(const ChargerView& view, std::uint16_t address) {
    return static_cast<std::int16_t>(ChargerReceivedWord(view, address));
}

QString SignedWordText(const ChargerView& view, std::uint16_t address, char separator) {
    return QString::fromStdString(
        FormatSigned(SignedWord(view, address), Decimals(address), separator));
}

QString UnsignedWordText(const ChargerView& view, std::uint16_t address, char separator) {
    return QString::fromStdString(
        FormatUnsigned(ChargerReceivedWord(view, address), Decimals(address), separator));
}

QString Minutes(std::uint16_t minutes) {
    return QString::fromStdString(FormatDurationDays(std::int64_t{minutes} * 60));
}

// A stage time of 0 means the stage runs without a limit.
QString LimitMinutes(std::uint16_t minutes) {
    return minutes == 0 ? Utf8(kChrgTextUnlimited) : Minutes(minutes);
}

void AddRows(QGridLayout& grid, std::span<const FieldLayout> entries, std::span<QLineEdit*> fields,
             QWidget* parent) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int row = grid.rowCount();
        grid.addWidget(new QLabel(Caption(entries[i]), parent), row, 0);
        fields[i] = ValueField(entries[i].name, parent);
        grid.addWidget(fields[i], row, 1);
    }
}

}  // namespace

ChargerGeneralPage::ChargerGeneralPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlGeneral"));

    QGroupBox* strip = Group("gbDevicesPg", QString(), {8, 4, 634, 36});
    auto* stripRow = new QHBoxLayout(strip);
    stripRow->setContentsMargins(8, 4, 8, 4);
    imgDevicePgModbus_ = new QLabel(strip);
    imgDevicePgModbus_->setObjectName(QStringLiteral("imgDevicePgModbus"));
    imgDevicePgModbus_->setFixedSize(24, 24);
    ShowNamedPicture(*imgDevicePgModbus_, "24_24_MODBUS_GREY");
    stripRow->addWidget(imgDevicePgModbus_);
    stripRow->addStretch(1);

    QGroupBox* device =
        Group("gbDeviceDescription", QStringLiteral("Устройство"), {8, 44, 312, 94});
    auto* deviceGrid = new QGridLayout(device);
    deviceGrid->addWidget(new QLabel(QStringLiteral("Адрес"), device), 0, 0);
    deviceGrid->addWidget(ValueField("eDeviceAddr", device), 0, 1);
    deviceGrid->addWidget(new QLabel(QStringLiteral("Статус"), device), 1, 0);
    eDeviceStatus_ = ValueField("eDeviceStatus", device);
    deviceGrid->addWidget(eDeviceStatus_, 1, 1);
    deviceGrid->addWidget(new QLabel(QStringLiteral("Версия ПО"), device), 2, 0);
    eDeviceFrwVersion_ = ValueField("eDeviceFrwVersion", device);
    deviceGrid->addWidget(eDeviceFrwVersion_, 2, 1);

    QGroupBox* values = Group("gbValues", QStringLiteral("Параметры батареи"), {8, 142, 312, 303});
    auto* valuesGrid = new QGridLayout(values);
    AddRows(*valuesGrid, kValueFields, values_, values);

    QGroupBox* capacity =
        Group("gbChargeLevel", QStringLiteral("Заряженная ёмкость"), {8, 449, 312, 145});
    auto* capacityGrid = new QGridLayout(capacity);
    AddRows(*capacityGrid, kCapacityFields, capacity_, capacity);
    btnChargeLevelUsrClear_ = new QPushButton(QStringLiteral("Сброс"), capacity);
    btnChargeLevelUsrClear_->setObjectName(QStringLiteral("btnChargeLevelUsrClear"));
    capacityGrid->addWidget(btnChargeLevelUsrClear_, capacityGrid->rowCount(), 1);

    QGroupBox* inputs =
        Group("gbInputState", QStringLiteral("Состояние датчиков"), {330, 44, 312, 94});
    auto* inputGrid = new QGridLayout(inputs);
    inputGrid->addWidget(new QLabel(QStringLiteral("Входы"), inputs), 0, 0);
    inputGrid->addWidget(new QLabel(QStringLiteral("Выходы"), inputs), 1, 0);
    for (std::size_t i = 0; i < std::size(kInputLamps); ++i) {
        inputs_[i] = new TLampShape(kInputLamps[i].name, inputs);
        const bool output = (kInputLamps[i].mask & (kChrgOutput1 | kChrgOutput2)) != 0;
        inputGrid->addWidget(inputs_[i], output ? 1 : 0,
                             output ? static_cast<int>(i) - 3 : static_cast<int>(i) + 1);
    }
    inputGrid->setColumnStretch(5, 1);

    QGroupBox* stage = Group("gbStage", QStringLiteral("Настройки стадии"), {330, 142, 312, 303});
    auto* stageGrid = new QGridLayout(stage);
    AddRows(*stageGrid, kStageFields, stage_, stage);
    label7_ = new QLabel(stage);
    label7_->setObjectName(QStringLiteral("Label7"));
    edit10_ = ValueField("Edit10", stage);
    const int serviceRow = stageGrid->rowCount();
    stageGrid->addWidget(label7_, serviceRow, 0);
    stageGrid->addWidget(edit10_, serviceRow, 1);
    label7_->hide();
    edit10_->hide();

    panel1_ = new QWidget(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setGeometry(330, 449, 312, 145);
    auto* picture = new QLabel(panel1_);
    picture->setGeometry(0, 0, 312, 145);
    picture->setAlignment(Qt::AlignCenter);
    ShowNamedPicture(*picture, "tb_chrgnet");
    panel1_->hide();
}

QGroupBox* ChargerGeneralPage::Group(const char* name, const QString& title, QRect where) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(where);
    return group;
}

void ChargerGeneralPage::ShowServiceItems() {
    label7_->show();
    edit10_->show();
    panel1_->show();
}

void ChargerGeneralPage::ShowLiveValues(const ChargerView& view, char separator) {
    values_[0]->setText(Utf8(StageName(ChargerReceivedWord(view, kChrgBatteryTypeFound),
                                       ChargerReceivedWord(view, kChrgStage))));
    values_[1]->setText(SignedPair(view, kChrgBatteryVoltage, separator));
    values_[2]->setText(SignedPair(view, kChrgChargeCurrent, separator));
    values_[3]->setText(SignedWordText(view, kChrgBatteryTemp, separator));
    const std::int16_t hottest =
        std::max(SignedWord(view, kChrgDeviceTemp1), SignedWord(view, kChrgDeviceTemp2));
    values_[4]->setText(
        QString::fromStdString(FormatSigned(hottest, Decimals(kChrgDeviceTemp1), separator)));
    values_[5]->setText(Minutes(ChargerReceivedWord(view, kChrgStageMinutes)));
    values_[6]->setText(Minutes(ChargerReceivedWord(view, kChrgChargeMinutes)));

    capacity_[0]->setText(UnsignedPair(view, kChrgCapacitySession, separator));
    capacity_[1]->setText(UnsignedPair(view, kChrgCapacityTotal, separator));
    capacity_[2]->setText(UnsignedPair(view, kChrgCapacityUser, separator));
}

void ChargerGeneralPage::ShowCommonValues(const ChargerView& view, char separator) {
    stage_[0]->setText(UnsignedWordText(view, kChrgRunningVoltage, separator));
    stage_[1]->setText(UnsignedWordText(view, kChrgRunningCurrent, separator));
    stage_[2]->setText(SignedWordText(view, kChrgTempMin, separator));
    stage_[3]->setText(SignedWordText(view, kChrgTempMax, separator));
    stage_[4]->setText(LimitMinutes(ChargerReceivedWord(view, kChrgRunningTimeStage)));
    const std::uint16_t chargeLimit = ChargerReceivedWord(view, kChrgChargeTimeMax);
    if (chargeLimit != kTimeLeftAsIs) stage_[5]->setText(LimitMinutes(chargeLimit));
    edit10_->clear();

    const std::uint16_t lamps = ChargerReceivedWord(view, kChrgInputs);
    for (std::size_t i = 0; i < std::size(kInputLamps); ++i) {
        const bool lit = (lamps & kInputLamps[i].mask) != 0;
        inputs_[i]->SetColours(QColor::fromRgb(lit ? kInputLit : kLampDark),
                               QColor::fromRgb(lit ? kInputLitOutline : kLampDark));
    }

    const std::uint16_t state = ChargerReceivedWord(view, kChrgState);
    eDeviceStatus_->setText(QString::fromStdString(FormatHexByte(state)));
    eDeviceStatus_->setToolTip(QString::fromStdString(DeviceStatusHint(state)));
    eDeviceFrwVersion_->setText(QString::fromStdString(FormatVersion(
        ChargerReceivedWord(view, kChrgVersion0), ChargerReceivedWord(view, kChrgVersion1),
        ChargerReceivedWord(view, kChrgVersion2), ChargerReceivedWord(view, kChrgVersion3))));
}

void ChargerGeneralPage::ShowAvailabilityColours(bool not_available) {
    for (const std::span<QLineEdit*> fields :
         {std::span<QLineEdit*>(values_), std::span<QLineEdit*>(capacity_),
          std::span<QLineEdit*>(stage_)}) {
        for (QLineEdit* field : fields)
            ShowAvailability(*field, not_available);
    }
}

}  // namespace veltrona
