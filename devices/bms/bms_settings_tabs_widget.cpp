#include "devices/bms/bms_settings_tabs_widget.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "ui/numeric_field.h"

namespace veltrona {
namespace {

// Ranges of the register types, in register units.
constexpr FieldLimits kU16{0, 0xFFFF, 1};
constexpr FieldLimits kS16{-0x8000, 0x7FFF, 1};
// The field holds 32 signed bits: an unsigned pair is offered up to its largest signed value.
constexpr FieldLimits kU32{0, std::numeric_limits<std::int32_t>::max(), 1};
constexpr FieldLimits kS32{std::numeric_limits<std::int32_t>::min(),
                           std::numeric_limits<std::int32_t>::max(), 1};

struct SettingDef {
    const char* name;
    const char* caption;
    const char* unit;
    unsigned decimals;
    FieldLimits limits;
};

// The next `count` settings of the tab, `columns` fields a row.
struct GroupDef {
    const char* title;
    std::size_t count;
    int columns;
};

constexpr SettingDef kOperating[] = {
    {"CfVoltage", "Напряжение элемента", "В", 3, kU16},
    {"CfVoltageTolerance", "Допуск напряжения", "В", 3, kU16},
    {"OvcfTime", "OvcfTime", "с", 0, kU16},
    {"CfCurrent", "Ток", "А", 3, kS32},
    {"CurrentTolerance", "Допуск тока", "А", 3, kS32},
    {"OccfTime", "OccfTime", "с", 0, kU16},
    {"CfTime", "Время", "мин", 0, kU16},
    {"CurrentDelta", "CurrentDelta", "А", 3, kS32},
    {"PrechVoltageTrh", "Порог напряжения", "В", 3, kU16},
    {"PrechVoltageRecovery", "Возврат напряжения", "В", 3, kU16},
    {"PrechCurrent", "Ток", "А", 3, kU32},
    {"ChargeVoltage", "Напряжение заряда", "В", 3, kU16},
    {"ChargeCurrent", "Ток заряда", "А", 3, kU32},
    {"ChargeDisableCurrent", "Ток отключения заряда", "А", 3, kU32},
    {"ChargeCompletionTime", "Завершение заряда", "с", 0, kU16},
    {"DischargeCompletionTime", "Завершение разряда", "с", 0, kU16},
    {"BalanceDiffTrh", "Порог разности", "В", 3, kU16},
    {"BalanceDiffRecovery", "Возврат разности", "В", 3, kU16},
    {"BalanceDiffTime", "Время по разности", "с", 0, kU16},
    {"BalanceVoltageTrh", "Порог напряжения", "В", 3, kU16},
    {"BalanceVoltageRecovery", "Возврат напряжения", "В", 3, kU16},
    {"BalanceCurrent", "Ток", "А", 3, kU32},
    {"BalanceResistor", "Резистор", "Ом", 3, kU16},
    {"TransitionIdleCurrent", "Ток перехода в покой", "А", 3, kS16},
    {"TransitionIdleTime", "Время перехода в покой", "с", 0, kU16},
    {"TransitionDischargeCurrent", "Ток перехода в разряд", "А", 3, kS16},
    {"TransitionChargeCurrent", "Ток перехода в заряд", "А", 3, kS16},
    {"DesignCapacity1Ah", "Ёмкость", "А*ч", 3, kU32},
    {"DesignCapacity1Wh", "Ёмкость", "Вт*ч", 3, kU32},
    {"DesignCellNumber", "Количество элементов", "", 0, kS16},
    {"RemainingCapacityAlarmPercent", "RemainingCapacityAlarmPercent", "%", 0, kU16},
    {"MaxChargeCapacityAlarmPercent", "MaxChargeCapacityAlarmPercent", "%", 0, kU16},
    {"LeakageCurrent", "Ток утечки", "А", 3, kU16},
};
constexpr GroupDef kOperatingGroups[] = {
    {"Буферный режим", 8, 1}, {"Предзаряд", 3, 1}, {"Заряд и разряд", 5, 1},
    {"Балансировка", 7, 1},   {"Переходы", 4, 1},  {"Параметры АБ", 6, 1},
};

constexpr SettingDef kVoltageProtections[] = {
    {"CovTrh", "Порог", "В", 3, kU16},         {"CovRecovery", "Возврат", "В", 3, kU16},
    {"CovTime", "Задержка", "с", 0, kU16},     {"CuvTrh", "Порог", "В", 3, kU16},
    {"CuvRecovery", "Возврат", "В", 3, kU16},  {"CuvTime", "Задержка", "с", 0, kU16},
    {"CovaTrh", "Порог", "В", 3, kU16},        {"CovaRecovery", "Возврат", "В", 3, kU16},
    {"CovaTime", "Задержка", "с", 0, kU16},    {"CuvaTrh", "Порог", "В", 3, kU16},
    {"CuvaRecovery", "Возврат", "В", 3, kU16}, {"CuvaTime", "Задержка", "с", 0, kU16},
};
constexpr GroupDef kVoltageGroups[] = {
    {"Высокое напряжение элемента", 3, 3},
    {"Низкое напряжение элемента", 3, 3},
    {"Напряжение элемента выше среднего", 3, 3},
    {"Напряжение элемента ниже среднего", 3, 3},
};

constexpr SettingDef kTemperatureProtections[] = {
    {"CotTrh", "Порог", "°C", 0, kS16},          {"CotRecovery", "Возврат", "°C", 0, kS16},
    {"CotTime", "Задержка", "с", 0, kU16},       {"CutTrh", "Порог", "°C", 0, kS16},
    {"CutRecovery", "Возврат", "°C", 0, kS16},   {"CutTime", "Задержка", "с", 0, kU16},
    {"CotaTrh", "Порог", "°C", 0, kS16},         {"CotaRecovery", "Возврат", "°C", 0, kS16},
    {"CotaTime", "Задержка", "с", 0, kU16},      {"OtaaTrh", "Порог", "°C", 0, kS16},
    {"OtaaRecovery", "Возврат", "°C", 0, kS16},  {"OtaaTime", "Задержка", "с", 0, kU16},
    {"AotTrh", "Порог", "°C", 0, kS16},          {"AotRecovery", "Возврат", "°C", 0, kS16},
    {"AotTime", "Задержка", "с", 0, kU16},       {"OtambTrh", "Порог", "°C", 0, kS16},
    {"OtambRecovery", "Возврат", "°C", 0, kS16}, {"OtambTime", "Задержка", "", 0, kU16},
    {"UtcTrh", "Порог", "°C", 3, kS16},          {"UtcRecovery", "Возврат", "°C", 3, kS16},
    {"UtcTime", "Задержка", "с", 0, kU16},       {"UtdTrh", "Порог", "°C", 3, kS16},
    {"UtdRecovery", "Возврат", "°C", 3, kS16},   {"UtdTime", "Задержка", "с", 0, kU16},
};
constexpr GroupDef kTemperatureGroups[] = {
    {"Высокая температура элемента", 3, 3},      {"Низкая температура элемента", 3, 3},
    {"Температура элемента выше средней", 3, 3}, {"Средняя температура АБ выше окружающей", 3, 3},
    {"Высокая средняя температура АБ", 3, 3},    {"Высокая температура окружающей среды", 3, 3},
    {"Заряд при низкой температуре", 3, 3},      {"Разряд при низкой температуре", 3, 3},
};

constexpr SettingDef kCurrentProtections[] = {
    {"OccTrh", "Порог", "А", 3, kS32},
    {"OccRecovery", "Возврат", "А", 3, kS32},
    {"OccTime", "Задержка", "с", 0, kS16},
    {"OcdTrh", "Порог", "А", 3, kS32},
    {"OcdRecovery", "Возврат", "А", 3, kS32},
    {"OcdTime", "Задержка", "с", 0, kU16},
    {"DwdgTime", "Тайм-аут данных датчиков", "с", 0, kU16},
    {"OtdsTime", "Время в разряженном состоянии", "мин", 0, kU16},
    {"DinTime", "Время дискретного входа", "мс", 0, kU16},
};
constexpr GroupDef kCurrentGroups[] = {
    {"Перегрузка по току заряда", 3, 3},
    {"Перегрузка по току разряда", 3, 3},
    {"Прочие защиты", 3, 1},
};

constexpr std::size_t Covered(std::span<const GroupDef> groups) {
    std::size_t count = 0;
    for (const GroupDef& group : groups)
        count += group.count;
    return count;
}
static_assert(Covered(kOperatingGroups) == std::size(kOperating));
static_assert(Covered(kVoltageGroups) == std::size(kVoltageProtections));
static_assert(Covered(kTemperatureGroups) == std::size(kTemperatureProtections));
static_assert(Covered(kCurrentGroups) == std::size(kCurrentProtections));

QString Caption(const SettingDef& setting) {
    QString caption = QString::fromUtf8(setting.caption);
    if (*setting.unit != '\0') caption += QStringLiteral(", ") + QString::fromUtf8(setting.unit);
    return caption;
}

// The register name with a trailing "Trh" written out.
std::string FieldName(std::string_view name) {
    constexpr std::string_view kShort = "Trh";
    if (name.ends_with(kShort)) {
        return std::string(name.substr(0, name.size() - kShort.size())) + "Threshold";
    }
    return std::string(name);
}

void AddSetting(QGridLayout& grid, int row, int column, const SettingDef& setting) {
    QWidget* parent = grid.parentWidget();
    const std::string name = FieldName(setting.name);
    auto* field = new TNumericField(("eSet" + name).c_str(), ("udSet" + name).c_str(), parent);
    field->SetDecimals(setting.decimals);
    field->SetLimits(setting.limits);
    field->edit()->setMaximumWidth(100);
    auto* label = new QLabel(Caption(setting), parent);
    label->setBuddy(field->edit());
    grid.addWidget(label, row, 2 * column);
    grid.addWidget(field, row, 2 * column + 1);
}

// The groups in `group_columns` columns, filled top to bottom.
QWidget* SettingsTab(std::span<const SettingDef> settings, std::span<const GroupDef> groups,
                     int group_columns, QWidget* parent) {
    auto* tab = new QWidget(parent);
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    const int rows = (static_cast<int>(groups.size()) + group_columns - 1) / group_columns;
    std::size_t next = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        auto* box = new QGroupBox(QString::fromUtf8(groups[g].title), tab);
        auto* fields = new QGridLayout(box);
        fields->setContentsMargins(8, 2, 8, 4);
        fields->setVerticalSpacing(2);
        for (std::size_t i = 0; i < groups[g].count; ++i) {
            const int at = static_cast<int>(i);
            AddSetting(*fields, at / groups[g].columns, at % groups[g].columns, settings[next++]);
        }
        const int index = static_cast<int>(g);
        grid->addWidget(box, index % rows, index / rows);
    }
    grid->setRowStretch(rows, 1);
    return tab;
}

}  // namespace

QWidget* BuildBmsOperatingTab(QWidget* parent) {
    return SettingsTab(kOperating, kOperatingGroups, 2, parent);
}

QWidget* BuildBmsVoltageProtectionTab(QWidget* parent) {
    return SettingsTab(kVoltageProtections, kVoltageGroups, 1, parent);
}

QWidget* BuildBmsTemperatureProtectionTab(QWidget* parent) {
    return SettingsTab(kTemperatureProtections, kTemperatureGroups, 1, parent);
}

QWidget* BuildBmsCurrentProtectionTab(QWidget* parent) {
    return SettingsTab(kCurrentProtections, kCurrentGroups, 1, parent);
}

}  // namespace veltrona
