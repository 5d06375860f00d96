#include "devices/bms/bms_general_widget.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <span>

#include "ui/indicators.h"
#include "ui/scrolled.h"

namespace veltrona {
namespace {

// A value of the status block: the field is "e" + the register name.
struct ValueDef {
    const char* name;
    const char* caption;
    const char* unit;
};

constexpr ValueDef kPackValues[] = {
    {"DesignCapacity", "Номинальная ёмкость", "А*ч"},
    {"DesignCellNumber", "Количество элементов", ""},
    {"FrwVersion", "Версия ПО", ""},
    {"PackVoltage", "Напряжение АБ", "В"},
    {"PackCurrent", "Ток АБ", "А"},
    {"PackCurrentAverage", "Средний ток АБ", "А"},
    {"PackCurrentLeakage", "Ток утечки", "А"},
    {"ChargingVoltage", "Напряжение заряда", "В"},
    {"ChargingCurrent", "Ток заряда", "А"},
    {"TempAmbient", "Температура среды", "°С"},
};
constexpr ValueDef kCellVoltages[] = {
    {"CellVoltageAverage", "Среднее", "В"},
    {"CellVoltageMax", "Максимальное", "В"},
    {"CellVoltageMin", "Минимальное", "В"},
};
constexpr ValueDef kCellTemperatures[] = {
    {"CellTempAverage", "Средняя", "°С"},
    {"CellTempMax", "Максимальная", "°С"},
    {"CellTempMin", "Минимальная", "°С"},
};
constexpr ValueDef kChargeValues[] = {
    {"RelativeStateCharge", "Уровень заряда", "%"},
    {"AbsoluteStateCharge", "Абсолютный уровень заряда", ""},
    {"RemainingPackCapacity", "Остаточная ёмкость", "А*ч"},
    {"FullChargeCapacity", "Ёмкость полного заряда", "А*ч"},
    {"RunTimeEmpty", "Время до полного разряда", ""},
    {"AverageTimeEmpty", "Среднее время до разряда", ""},
    {"AverageTimeFull", "Время до полного заряда", ""},
    {"CycleCount", "Количество циклов заряда", ""},
};

constexpr int kCellGauges = 8;
// Cell voltage in register units (millivolts): the gauges span 0 to 5 V.
constexpr int kGaugeMaximum = 5000;

constexpr std::string_view kInputs[] = {"Вход 1", "Вход 2", "Вход 3", "Вход 4"};
constexpr std::string_view kOutputs[] = {"Выход 1", "Выход 2", "Выход 3", "Выход 4"};

constexpr std::string_view kBatteryStatusFlags[] = {
    "FULLY DISCHARGED (АБ разряжена)",
    "FULLY CHARGED",
    "DISCHARGING",
    "REMAINING CAPACITY ALARM",
    "TERMINATE DISCHARGE ALARM",
    "OVER TEMP ALARM",
    "REDUCED CHARGE",
    "TERMINATE CHARGE ALARM",
    "OVER CHARGED ALARM (перезаряд АБ)",
};
constexpr std::string_view kChargeStatusFlags[] = {
    "CC (АБ заряжена)", "DC", "CF", "DS", "RCA", "MCA", "PCH", "BAL (режим балансировки)",
};

QString Caption(const ValueDef& value) {
    QString caption = QString::fromUtf8(value.caption);
    if (*value.unit != '\0') caption += QStringLiteral(", ") + QString::fromUtf8(value.unit);
    return caption;
}

QGroupBox* ValueGroup(const char* title, std::span<const ValueDef> values, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(2);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const QByteArray name = QByteArray("e") + values[i].name;
        QLineEdit* field = ValueField(name.constData(), group);
        field->setMaximumWidth(110);
        auto* label = new QLabel(Caption(values[i]), group);
        label->setBuddy(field);
        grid->addWidget(label, static_cast<int>(i), 0);
        grid->addWidget(field, static_cast<int>(i), 1);
    }
    grid->setRowStretch(static_cast<int>(values.size()), 1);
    return group;
}

QWidget* CellGauges(QWidget* parent) {
    auto* group = new QGroupBox(QStringLiteral("Элементы"), parent);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 8, 4);
    for (int i = 0; i < kCellGauges; ++i) {
        auto* gauge = new QProgressBar(group);
        gauge->setObjectName(QStringLiteral("pbCell_%1").arg(i));
        gauge->setOrientation(Qt::Vertical);
        gauge->setRange(0, kGaugeMaximum);
        gauge->setValue(0);
        gauge->setTextVisible(false);
        gauge->setMinimumHeight(80);
        grid->addWidget(gauge, 0, i, Qt::AlignHCenter);
        grid->addWidget(new QLabel(QString::number(i + 1), group), 1, i, Qt::AlignHCenter);
    }
    return group;
}

TFlagLamps* FlagGroup(const char* name, const char* title, const char* prefix,
                      std::span<const std::string_view> captions, int columns, QWidget* parent) {
    const std::vector<FlagLamp> lamps = FlagLampsFromBits(captions);
    return new TFlagLamps(name, QString::fromUtf8(title), prefix, lamps, columns, parent);
}

}  // namespace

BmsGeneralPage::BmsGeneralPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlGeneral"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("pcGeneral"));
    tabs->addTab(Scrolled(BuildPackTab(), tabs), QStringLiteral("Состояние АБ"));
    tabs->addTab(Scrolled(BuildFlagsTab(), tabs), QStringLiteral("Флаги состояния"));
    column->addWidget(tabs);
}

QWidget* BmsGeneralPage::BuildPackTab() {
    auto* tab = new QWidget(this);
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    grid->addWidget(ValueGroup("Параметры АБ", kPackValues, tab), 0, 0);
    grid->addWidget(ValueGroup("Состояние заряда", kChargeValues, tab), 0, 1);
    grid->addWidget(ValueGroup("Напряжение элементов", kCellVoltages, tab), 1, 0);
    grid->addWidget(ValueGroup("Температура элементов", kCellTemperatures, tab), 1, 1);
    grid->addWidget(CellGauges(tab), 2, 0, 1, 2);

    auto* sensors = new QGroupBox(QStringLiteral("Состояние датчиков"), tab);
    auto* row = new QHBoxLayout(sensors);
    row->setContentsMargins(8, 2, 8, 4);
    row->addWidget(FlagGroup("gbDinStatus", "Входы", "shDin_", kInputs, 2, sensors));
    row->addWidget(FlagGroup("gbDoutStatus", "Выходы", "shDout_", kOutputs, 2, sensors));
    grid->addWidget(sensors, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    return tab;
}

QWidget* BmsGeneralPage::BuildFlagsTab() {
    auto* tab = new QWidget(this);
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    grid->addWidget(
        FlagGroup("gbSafetyStatus", "SafetyStatus", "shSafetyStatus", kBmsSafetyFlags, 2, tab), 0,
        0, 1, 2);
    grid->addWidget(FlagGroup("gbBatteryStatus", "BatteryStatus", "shBatteryStatus",
                              kBatteryStatusFlags, 1, tab),
                    1, 0);
    grid->addWidget(
        FlagGroup("gbChargeStatus", "ChargeStatus", "shChargeStatus", kChargeStatusFlags, 1, tab),
        1, 1);
    grid->setRowStretch(2, 1);
    return tab;
}

}  // namespace veltrona
