#include "devices/charger/charger_service_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"
#include "link/value_format.h"
#include "ui/indicators.h"
#include "ui/message_box.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

constexpr QRgb kLampSent = 0xC0DCC0;
constexpr QRgb kLampWritten = 0x00FF00;
constexpr unsigned kCoefficientDecimals = 4;

struct CapabilityBox {
    const char* name;
    const char* caption;
    std::uint16_t address;
    std::uint16_t bit;
};
// 0x3000..0x3001 is one pair: bits 7, 8, 10 and 11 of it lie in its low register.
constexpr CapabilityBox kVoltageBoxes[] = {
    {"chbSettings2BattVolt12", "12В", 0x3000, 7},
    {"chbSettings2BattVolt24", "24В", 0x3000, 8},
    {"chbSettings2BattVolt36", "36В", 0x3000, 10},
    {"chbSettings2BattVolt48", "48В", 0x3000, 11},
};
constexpr CapabilityBox kTypeBoxes[] = {
    {"chbSettings2BattTypeGel", "GEL", kChrgBatteryTypes, 0},
    {"chbSettings2BattTypeAgm", "AGM", kChrgBatteryTypes, 1},
    {"chbSettings2BattTypeFlooded", "FLOODED", kChrgBatteryTypes, 2},
    {"chbSettings2BattTypeUAcid", "User ACID", kChrgBatteryTypes, 5},
    {"chbSettings2BattTypeUTrac", "User TRAC", kChrgBatteryTypes, 6},
    {"chbSettings2BattTypeULi", "User LI", kChrgBatteryTypes, 7},
};

struct CoefficientRow {
    const char* caption;
    const char* edit;
    const char* arrows;
    const char* lamp;
};
constexpr CoefficientRow kCoefficientRows[kCalibrationCoefficients] = {
    {"Коэф. измерения напряжения", "eSettings2CalibrVoltBattFM", "udSettings2CalibrVoltBattFM",
     "shSettings2CalibrVoltBattFM"},
    {"Коэф. уставки напряжения", "eSettings2CalibrVoltBattFS", "udSettings2CalibrVoltBattFS",
     "shSettings2CalibrVoltBattFS"},
    {"Коэф. измерения тока", "eSettings2CalibrCurrBattFM", "udSettings2CalibrCurrBattFM",
     "shSettings2CalibrCurrBattFM"},
    {"Коэф. уставки тока", "eSettings2CalibrCurrBattFS", "udSettings2CalibrCurrBattFS",
     "shSettings2CalibrCurrBattFS"},
};

constexpr const char* kWarning =
    "ВНИМАНИЕ!!!\r\nВыполнение команды Очистить ВСЕ настройки возможно только при выключенном "
    "заряде.\r\nПосле выполнения команды необходимо отключить питание изделия, подождать "
    "примерно 5 сек и заново включить питание изделия.\r\nПри этом будут восстановлены "
    "настройки по умолчанию.";

const QString kNotAvailable = QStringLiteral("Устройство не доступно");
const QString kQuestion = QStringLiteral("Вы уверены, что хотите выполнить\r\n");

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A check box that only shows: clicks and keys pass it by.
QCheckBox* CapabilityCheck(const CapabilityBox& box, QWidget* parent) {
    auto* check = new QCheckBox(QString::fromUtf8(box.caption), parent);
    check->setObjectName(QString::fromLatin1(box.name));
    check->setAttribute(Qt::WA_TransparentForMouseEvents);
    check->setFocusPolicy(Qt::NoFocus);
    return check;
}

QGroupBox* Group(const char* name, const char* title, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

QString ReceivedText(const ChargerView& view, std::uint16_t address, char separator) {
    const std::optional<ChargerRegisterRef> at = ChargerLocate(address);
    const RegisterDescriptor* descriptor = ChargerDescriptorAt(address);
    if (!at || descriptor == nullptr) return {};
    return QString::fromStdString(
        FormatRegister(*descriptor, ChargerReceivedSet(view, at->block), at->index, separator));
}

}  // namespace

ChargerServicePage::ChargerServicePage(const ChargerLink& link, QWidget* parent)
    : QWidget(parent), link_(link) {
    setObjectName(QStringLiteral("tsSettings2"));
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildBattery());
    left->addWidget(BuildCounters());
    left->addWidget(BuildCommands());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildCalibration());
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
}

QWidget* ChargerServicePage::BuildBattery() {
    QGroupBox* battery = Group("gbSettings2Battery", "Батарея", this);
    auto* row = new QHBoxLayout(battery);
    QGroupBox* voltage = Group("gbSettings2BattVolt", "Напряжение АБ", battery);
    auto* voltageColumn = new QVBoxLayout(voltage);
    for (std::size_t i = 0; i < voltages_.size(); ++i) {
        voltages_[i] = CapabilityCheck(kVoltageBoxes[i], voltage);
        voltageColumn->addWidget(voltages_[i]);
    }
    QGroupBox* type = Group("gbSettings2BattType", "Тип АБ", battery);
    auto* typeColumn = new QVBoxLayout(type);
    for (std::size_t i = 0; i < types_.size(); ++i) {
        types_[i] = CapabilityCheck(kTypeBoxes[i], type);
        typeColumn->addWidget(types_[i]);
    }
    row->addWidget(voltage);
    row->addWidget(type);
    return battery;
}

QWidget* ChargerServicePage::BuildCalibration() {
    QGroupBox* group = Group("gbSettings2Calibr", "Калибровка", this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    const auto caption = [&](const char* text) {
        grid->addWidget(new QLabel(QString::fromUtf8(text), group), row, 0);
    };
    caption("Номинальное напряжение АБ, В");
    auto* nominal = new QLabel(group);
    nominal->setObjectName(QStringLiteral("labSettings2CalibrVoltBatt"));
    grid->addWidget(nominal, row++, 1);

    const auto coefficient = [&](std::size_t i) {
        const CoefficientRow& r = kCoefficientRows[i];
        caption(r.caption);
        coefficients_[i] = ValueField(r.edit, group);
        arrows_[i] = new TUpDown(QString::fromLatin1(r.arrows), group);
        lamps_[i] = new TLampShape(r.lamp, group);
        grid->addWidget(coefficients_[i], row, 1);
        grid->addWidget(arrows_[i], row, 2);
        grid->addWidget(lamps_[i], row++, 3);
        // The arrow's own position may stand at a bound; the step acts on the calibration set.
        connect(arrows_[i]->upButton(), &QToolButton::clicked, this, [this, i] { Step(i, 1); });
        connect(arrows_[i]->downButton(), &QToolButton::clicked, this, [this, i] { Step(i, -1); });
    };
    caption("Напряжение АБ, В");
    eSettings2CalibrVoltBatt_ = ValueField("eSettings2CalibrVoltBatt", group);
    grid->addWidget(eSettings2CalibrVoltBatt_, row++, 1);
    coefficient(0);
    coefficient(1);
    caption("Ток заряда, А");
    eSettings2CalibrCurrBatt_ = ValueField("eSettings2CalibrCurrBatt", group);
    grid->addWidget(eSettings2CalibrCurrBatt_, row++, 1);
    coefficient(2);
    coefficient(3);

    btnSettings2CalibrEnable_ =
        AddButton(group, "btnSettings2CalibrEnable", "Разрешить калибровку");
    calibrating_ = {AddButton(group, "btnSettings2CalibrDefault", "Установить по умолчанию"),
                    AddButton(group, "btnSettings2CalibrWrite", "Записать коэффициенты калибровки"),
                    AddButton(group, "btnSettings2CalibrDisable", "Запретить калибровку")};
    for (QPushButton* button :
         {btnSettings2CalibrEnable_, calibrating_[0], calibrating_[1], calibrating_[2]}) {
        grid->addWidget(button, row++, 0, 1, 4);
    }
    connect(btnSettings2CalibrEnable_, &QPushButton::clicked, this, &ChargerServicePage::Enable);
    connect(calibrating_[0], &QPushButton::clicked, this, &ChargerServicePage::SetDefault);
    connect(calibrating_[1], &QPushButton::clicked, this, &ChargerServicePage::Store);
    connect(calibrating_[2], &QPushButton::clicked, this, &ChargerServicePage::Disable);
    ShowButtons(false);
    return group;
}

QWidget* ChargerServicePage::BuildCounters() {
    QGroupBox* group = Group("gbSettings2Clear", "Сброс наработок", this);
    auto* column = new QVBoxLayout(group);
    QPushButton* errors = AddButton(group, "btnSettings2ClearErrList", "Журнал ошибок");
    QPushButton* total =
        AddButton(group, "btnSettings2ClearChrgaLevelSum", "Уровень заряда (сумма)");
    QPushButton* user =
        AddButton(group, "btnSettings2ClearChargeLevelUsr", "Уровень заряда (user)");
    for (QPushButton* button : {errors, total, user})
        column->addWidget(button);
    // What the error log clearing should send is not known; it only checks availability.
    connect(errors, &QPushButton::clicked, this, [this] { Available(); });
    connect(total, &QPushButton::clicked, this,
            [this] { AskCommand(QStringLiteral("сброс уровня заряда"), kChrgCmdClearTotal); });
    connect(user, &QPushButton::clicked, this,
            [this] { AskCommand(QStringLiteral("сброс уровня заряда"), kChrgCmdClearUser); });
    return group;
}

QWidget* ChargerServicePage::BuildCommands() {
    QGroupBox* group = Group("gbSettings2Commands", "Команды", this);
    auto* column = new QVBoxLayout(group);
    QPushButton* reset = AddButton(group, "btnSettings2ClearSettingsAll", "Очистить ВСЕ настройки");
    auto* warning = new QPlainTextEdit(group);
    warning->setObjectName(QStringLiteral("memoClearSettingsAllWarning"));
    warning->setReadOnly(true);
    warning->setPlainText(QString::fromUtf8(kWarning).replace(QStringLiteral("\r\n"), "\n"));
    column->addWidget(reset);
    column->addWidget(warning);
    connect(reset, &QPushButton::clicked, this,
            [this] { AskCommand(QStringLiteral("сброс ВСЕХ настроек"), kChrgCmdResetSettings); });
    return group;
}

QPushButton* ChargerServicePage::AddButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void ChargerServicePage::Tell(CalibrationRefusal refusal) {
    ShowMessage(Utf8(CalibrationRefusalText(refusal)), Utf8(kCaptionMessage), MessageButtons::kOk,
                this);
}

bool ChargerServicePage::Available() {
    if (link_.view != nullptr && link_.model() != nullptr && !link_.view->not_available) {
        return true;
    }
    Tell(CalibrationRefusal::kNotAvailable);
    return false;
}

bool ChargerServicePage::Confirmed(const QString& question) {
    return ShowMessage(question, Utf8(kCaptionMessage), MessageButtons::kYesNo, this) ==
           MessageAnswer::kYes;
}

void ChargerServicePage::Show(const CalibrationOutcome& outcome) {
    if (outcome.refusal != CalibrationRefusal::kNone) {
        Tell(outcome.refusal);
        return;
    }
    if (outcome.shown) ShowCoefficients(*outcome.shown);
    ColourLamps(outcome.lamps_sent, kLampSent);
    if (link_.startCycle) link_.startCycle();
}

void ChargerServicePage::ShowCoefficients(const CalibrationCoefficients& coefficients) {
    const char separator = UserDecimalSeparator();
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
        coefficients_[i]->setText(QString::fromStdString(
            FormatUnsigned(coefficients[i], kCoefficientDecimals, separator)));
    }
}

void ChargerServicePage::ColourLamps(std::uint8_t lamps, QRgb colour) {
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        if ((lamps & (1u << i)) != 0) {
            lamps_[i]->SetColours(QColor::fromRgb(colour), lamps_[i]->outline());
        }
    }
}

void ChargerServicePage::ShowButtons(bool enabled) {
    btnSettings2CalibrEnable_->setEnabled(!enabled);
    for (QPushButton* button : calibrating_)
        button->setEnabled(enabled);
}

void ChargerServicePage::Enable() {
    if (link_.view == nullptr) return;
    Show(EnableCalibration(link_.model(), *link_.view));
}

void ChargerServicePage::SetDefault() {
    if (link_.view == nullptr) return;
    const CalibrationRefusal refusal = CalibrationStepRefusal(link_.model(), *link_.view);
    if (refusal != CalibrationRefusal::kNone) {
        Tell(refusal);
        return;
    }
    if (!Confirmed(
            QStringLiteral("Вы уверены, что хотите установить\r\nкоэффициенты по умолчанию")))
        return;
    Show(SetDefaultCoefficients(link_.model(), *link_.view));
}

void ChargerServicePage::Store() {
    if (link_.view == nullptr) return;
    Show(StoreCoefficients(link_.model(), *link_.view));
}

void ChargerServicePage::Disable() {
    if (link_.view == nullptr) return;
    Show(DisableCalibration(link_.model(), *link_.view));
}

void ChargerServicePage::Step(std::size_t coefficient, int direction) {
    if (link_.view == nullptr) return;
    Show(StepCoefficient(link_.model(), *link_.view, coefficient,
                         direction * arrows_[coefficient]->limits().increment));
}

void ChargerServicePage::AskCommand(const QString& action, std::uint16_t code) {
    if (!Available() || !Confirmed(kQuestion + action)) return;
    if (QueueChargerCommand(*link_.model(), *link_.view, code) && link_.startCycle) {
        link_.startCycle();
    }
}

void ChargerServicePage::MarkPortOpened() {
    // The buttons follow the device found on this port from its first live-block read.
    if (link_.view != nullptr) link_.view->last_calibration_state = 0;
    ShowButtons(false);
}

void ChargerServicePage::CalibrationStateWatch() {
    if (link_.view == nullptr) return;
    const std::optional<CalibrationStateChange> change = WatchCalibrationState(*link_.view);
    if (!change) return;
    ShowButtons(change->enabled);
    if (!change->enabled) return;
    for (std::size_t i = 0; i < arrows_.size(); ++i) {
        arrows_[i]->SetLimits({kCoefficientMinimum, kCoefficientMaximum, 1});
        arrows_[i]->SetPosition(change->positions[i]);
    }
}

void ChargerServicePage::ShowCalibrationValues() {
    if (link_.view == nullptr) return;
    const char separator = UserDecimalSeparator();
    eSettings2CalibrVoltBatt_->setText(ReceivedText(*link_.view, kChrgBatteryVoltage, separator));
    eSettings2CalibrCurrBatt_->setText(ReceivedText(*link_.view, kChrgChargeCurrent, separator));
    const CalibrationReadBack back = TakeCalibrationValues(*link_.view);
    if (back.shown) ShowCoefficients(*back.shown);
    ColourLamps(back.lamps_rest, kLampDark);
}

void ChargerServicePage::MarkCalibrationWritten() {
    const DeviceModel* model = link_.model();
    if (link_.view == nullptr || model == nullptr) return;
    ColourLamps(CalibrationWrittenLamps(*model, *link_.view), kLampWritten);
}

void ChargerServicePage::ShowCapabilities() {
    if (link_.view == nullptr) return;
    const auto tick = [this](QCheckBox* check, const CapabilityBox& box) {
        check->setChecked((ChargerReceivedWord(*link_.view, box.address) & (1u << box.bit)) != 0);
    };
    for (std::size_t i = 0; i < voltages_.size(); ++i)
        tick(voltages_[i], kVoltageBoxes[i]);
    for (std::size_t i = 0; i < types_.size(); ++i)
        tick(types_[i], kTypeBoxes[i]);
}

}  // namespace veltrona
