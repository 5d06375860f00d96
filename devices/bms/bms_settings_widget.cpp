#include "devices/bms/bms_settings_widget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "devices/bms/bms_general_widget.h"
#include "devices/bms/bms_settings_tabs_widget.h"
#include "ui/images.h"
#include "ui/indicators.h"
#include "ui/numeric_field.h"
#include "ui/scrolled.h"

namespace veltrona {
namespace {

struct ButtonDef {
    const char* name;
    const char* caption;
};

constexpr struct {
    ButtonDef button;
    const char* glyph;
} kSettingsButtons[] = {
    {{"btnSettingsOpen", "Открыть"}, "16_16_OPEN_1"},
    {{"btnSettingsSave", "Сохранить"}, "16_16_SAVE_1"},
    {{"btnSettingsCompare", "Сравнить"}, "16_16_FIND_1"},
    {{"btnSettingsReceive", "Прочитать"}, "16_16_REDO_1"},
    {{"btnSettingsSend", "Передать"}, "16_16_RIGHT_1"},
    {{"btnSettingsUndo", "Отменить"}, "16_16_CANCEL"},
};

// A BatteryMode option: a caption and its two choices.
struct ModeDef {
    const char* caption;
    ButtonDef choices[2];
};

constexpr ModeDef kModes[] = {
    {"Единица ёмкости", {{"rbtnSetCapacityWh", "Вт*ч"}, {"rbtnSetCapacityAh", "А*ч"}}},
    {"Режим работы", {{"rbtnSetModeCyclic", "Циклический"}, {"rbtnSetModeFloat", "Буферный"}}},
    {"Нумерация элементов",
     {{"rbtnSetCellsFromPlus", "От плюса"}, {"rbtnSetCellsFromMinus", "От минуса"}}},
    {"Балансировка", {{"rbtnSetBalanceDiff", "По разности"}, {"rbtnSetBalanceLevel", "По уровню"}}},
};

struct NumericDef {
    const char* name;
    const char* arrows;
    const char* caption;
    unsigned decimals;
    FieldLimits limits;
};

// The encodings of the rate and the format word are the device's, so they are plain numbers.
constexpr NumericDef kLinkFields[] = {
    {"eSetAddrDevice", "udSetAddrDevice", "Адрес", 0, {1, 247, 1}},
    {"eSetBaudrate", "udSetBaudrate", "Скорость", 0, {0, 0xFFFF, 1}},
    {"eSetParity", "udSetParity", "Чётность", 0, {0, 0xFF, 1}},
    {"eSetStopBits", "udSetStopBits", "Число стоп-бит", 0, {0, 0xFF, 1}},
};

enum class CommandField { kNone, kNumeric, kShown, kPassword };

struct CommandDef {
    const char* title;
    CommandField kind;
    NumericDef field;
    ButtonDef buttons[2];
};

constexpr FieldLimits kCurrentLimits{std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max(), 1};

constexpr CommandDef kCommands[] = {
    {"Калибровка датчика тока",
     CommandField::kNumeric,
     {"eCmdCalibrationCurrent", "udCmdCalibrationCurrent", "Ток, А", 3, kCurrentLimits},
     {{"btnCmdCalibrationZero", "Ноль"}, {"btnCmdCalibration", "Калибровать"}}},
    {"Дата/время",
     CommandField::kShown,
     {"eCmdDateTime", nullptr, "Время устройства", 0, {}},
     {{"btnCmdDateTime", "Установить время ПК"}, {}}},
    {"Журнал аварий",
     CommandField::kNone,
     {},
     {{"btnCmdJournalRead", "Прочитать"}, {"btnCmdJournalClear", "Очистить"}}},
    {"Пароль",
     CommandField::kPassword,
     {"eCmdPassword", nullptr, "Пароль", 0, {}},
     {{"btnCmdPassword", "Ввести"}, {}}},
    {"Уровень заряда",
     CommandField::kNumeric,
     {"eCmdStateCharge", "udCmdStateCharge", "Уровень заряда, %", 0, {0, 100, 1}},
     {{"btnCmdStateCharge", "Установить"}, {}}},
    {"Количество циклов заряда",
     CommandField::kNumeric,
     {"eCmdCycleCount", "udCmdCycleCount", "Количество циклов", 0, {0, 0xFFFF, 1}},
     {{"btnCmdCycleCount", "Установить"}, {}}},
};

constexpr int kAlarmColumns = 2;

TNumericField* AddNumeric(QGridLayout& grid, int row, const NumericDef& def) {
    QWidget* parent = grid.parentWidget();
    auto* field = new TNumericField(def.name, def.arrows, parent);
    field->SetDecimals(def.decimals);
    field->SetLimits(def.limits);
    field->edit()->setMaximumWidth(100);
    auto* label = new QLabel(QString::fromUtf8(def.caption), parent);
    label->setBuddy(field->edit());
    grid.addWidget(label, row, 0);
    grid.addWidget(field, row, 1);
    return field;
}

QPushButton* InertButton(const ButtonDef& def, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(def.caption), parent);
    button->setObjectName(QString::fromLatin1(def.name));
    return button;
}

QWidget* CommandGroup(const CommandDef& def, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(def.title), parent);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 8, 4);
    grid->setVerticalSpacing(2);
    if (def.kind == CommandField::kNumeric) {
        AddNumeric(*grid, 0, def.field);
    } else if (def.kind != CommandField::kNone) {
        QLineEdit* field = ValueField(def.field.name, group);
        if (def.kind == CommandField::kPassword) {
            field->setReadOnly(false);
            field->setFocusPolicy(Qt::StrongFocus);
            field->setEchoMode(QLineEdit::Password);
        }
        auto* label = new QLabel(QString::fromUtf8(def.field.caption), group);
        label->setBuddy(field);
        grid->addWidget(label, 0, 0);
        grid->addWidget(field, 0, 1);
    }
    auto* buttons = new QHBoxLayout;
    for (const ButtonDef& button : def.buttons) {
        if (button.name != nullptr) buttons->addWidget(InertButton(button, group));
    }
    buttons->addStretch(1);
    grid->addLayout(buttons, def.kind == CommandField::kNone ? 0 : 1, 0, 1, 2);
    return group;
}

}  // namespace

BmsSettingsPage::BmsSettingsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlSettings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);

    auto* buttons = new QHBoxLayout;
    for (const auto& def : kSettingsButtons)
        buttons->addWidget(AddButton(def.button.name, def.button.caption, def.glyph));
    buttons->addStretch(1);
    column->addLayout(buttons);
    QLineEdit* file = ValueField("eFileSettingsName", this);
    file->setAlignment(Qt::AlignLeft);
    column->addWidget(file);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("pcDeviceSettings"));
    tabs->setUsesScrollButtons(true);
    const std::pair<QWidget*, const char*> pages[] = {
        {BuildBmsOperatingTab(tabs), "Рабочие"},
        {BuildBmsVoltageProtectionTab(tabs), "Защиты U"},
        {BuildBmsTemperatureProtectionTab(tabs), "Защиты T"},
        {BuildBmsCurrentProtectionTab(tabs), "Защиты I"},
        {BuildModesTab(), "Режимы и аварии"},
        {BuildLinkTab(), "Связь"},
        {BuildCommandsTab(), "Команды"},
    };
    for (const auto& [page, caption] : pages)
        tabs->addTab(Scrolled(page, tabs), QString::fromUtf8(caption));
    column->addWidget(tabs, 1);
}

QPushButton* BmsSettingsPage::AddButton(const char* name, const char* caption, const char* glyph) {
    QPushButton* button = InertButton({name, caption}, this);
    if (QPixmap picture; LoadPicture(QString::fromLatin1(glyph), picture)) {
        button->setIcon(QIcon(picture));
    }
    return button;
}

QWidget* BmsSettingsPage::BuildModesTab() {
    auto* tab = new QWidget(this);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(4, 4, 4, 4);

    auto* modes = new QGroupBox(QStringLiteral("Режим работы АБ"), tab);
    auto* grid = new QGridLayout(modes);
    grid->setContentsMargins(8, 2, 8, 4);
    for (std::size_t i = 0; i < std::size(kModes); ++i) {
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(QString::fromUtf8(kModes[i].caption), modes), row, 0);
        // Each option is a pair of its own, apart from the other options' pairs.
        auto* pair = new QButtonGroup(modes);
        for (int c = 0; c < 2; ++c) {
            const ButtonDef& choice = kModes[i].choices[c];
            auto* button = new QRadioButton(QString::fromUtf8(choice.caption), modes);
            button->setObjectName(QString::fromLatin1(choice.name));
            pair->addButton(button);
            grid->addWidget(button, row, 1 + c);
        }
    }
    auto* buzzer = new QCheckBox(QStringLiteral("Зуммер"), modes);
    buzzer->setObjectName(QStringLiteral("cbSetBuzzer"));
    grid->addWidget(buzzer, static_cast<int>(std::size(kModes)), 0);
    grid->setColumnStretch(3, 1);
    column->addWidget(modes);

    auto* alarms = new QGroupBox(QStringLiteral("Аварии"), tab);
    auto* alarmGrid = new QGridLayout(alarms);
    alarmGrid->setContentsMargins(8, 2, 8, 4);
    alarmGrid->setVerticalSpacing(2);
    constexpr int kRows =
        (static_cast<int>(std::size(kBmsSafetyFlags)) + kAlarmColumns - 1) / kAlarmColumns;
    for (std::size_t i = 0; i < std::size(kBmsSafetyFlags); ++i) {
        const std::string_view caption = kBmsSafetyFlags[i];
        auto* box = new QCheckBox(
            QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), alarms);
        box->setObjectName(QStringLiteral("cbSetAlarm%1").arg(i));
        const int at = static_cast<int>(i);
        alarmGrid->addWidget(box, at % kRows, at / kRows);
    }
    column->addWidget(alarms);
    column->addStretch(1);
    return tab;
}

QWidget* BmsSettingsPage::BuildLinkTab() {
    auto* tab = new QWidget(this);
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(4, 4, 4, 4);
    auto* group = new QGroupBox(QStringLiteral("Настройки связи"), tab);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 2, 8, 4);
    for (std::size_t i = 0; i < std::size(kLinkFields); ++i)
        AddNumeric(*grid, static_cast<int>(i), kLinkFields[i]);
    grid->setColumnStretch(2, 1);
    column->addWidget(group);
    column->addStretch(1);
    return tab;
}

QWidget* BmsSettingsPage::BuildCommandsTab() {
    auto* tab = new QWidget(this);
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    const int rows = static_cast<int>(std::size(kCommands) + 1) / 2;
    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
        const int at = static_cast<int>(i);
        grid->addWidget(CommandGroup(kCommands[i], tab), at % rows, at / rows);
    }
    grid->setRowStretch(rows, 1);
    return tab;
}

}  // namespace veltrona
