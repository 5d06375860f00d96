#include "devices/charger/charger_main_settings_widget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_output_widget.h"
#include "devices/charger/charger_stage_widget.h"
#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"
#include "ui/message_box.h"

namespace veltrona {
namespace {

struct Selector {
    std::uint16_t code;
    const char* name;
    const char* caption;
    unsigned capability_bit;
};

constexpr Selector kVoltageSelectors[] = {
    {120, "rbtnSettingsBattVolt12", "12В", 7},
    {240, "rbtnSettingsBattVolt24", "24В", 8},
    {360, "rbtnSettingsBattVolt36", "36В", 10},
    {480, "rbtnSettingsBattVolt48", "48В", 11},
};
// Codes 4 and 8 have no selector of their own: they show User TRAC and User LI.
constexpr Selector kTypeSelectors[] = {
    {0, "rbtnSettingsBattTypeGel", "GEL", 0},
    {1, "rbtnSettingsBattTypeAgm", "AGM", 1},
    {2, "rbtnSettingsBattTypeFlooded", "FLOODED", 2},
    {32, "rbtnSettingsBattTypeUAcid", "User ACID", 5},
    {36, "rbtnSettingsBattTypeUTrac", "User TRAC", 6},
    {40, "rbtnSettingsBattTypeULi", "User LI", 7},
};
constexpr std::uint16_t kTractionAlias = 4;
constexpr std::uint16_t kLithiumAlias = 8;

constexpr std::uint16_t kReleLockOn = 0x0080;
constexpr std::uint16_t kRelayFunction = 0x0001;
constexpr std::uint16_t kOutputFunctions = 0x0006;
constexpr std::size_t kChargeStateIndex = kChrgChargeState - 0x0600;
constexpr std::int32_t kCapacityStep = 10;
constexpr std::int32_t kExtraStep = 10;

const QString kCaption = QStringLiteral("Сообщение");

std::uint16_t SelectedType(std::uint16_t code) {
    if (code == kTractionAlias) return 36;
    if (code == kLithiumAlias) return 40;
    return code;
}

// Checks the button of `code` (none when no button has it) without firing a handler.
void Select(QButtonGroup& group, int code) {
    group.setExclusive(false);
    for (QAbstractButton* button : group.buttons())
        button->setChecked(group.id(button) == code);
    group.setExclusive(true);
}

FieldLimits Limits(ValueRange range, std::int32_t step) {
    return {range.min, range.max, step};
}

}  // namespace

ChargerMainSettingsTab::ChargerMainSettingsTab(const ChargerLink& link, QWidget* parent)
    : QWidget(parent), link_(link) {
    auto* row = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildBattery());
    stages_ = new ChargerStagePanel(link_, state_, this);
    left->addWidget(stages_, 1);
    row->addLayout(left, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildExtra());
    outputs_ = new ChargerOutputPanel(link_, state_, this);
    right->addWidget(outputs_, 1);
    row->addLayout(right, 1);
    // Many groups share the tab: tight spacing keeps every field readable in the window.
    for (QLayout* layout : findChildren<QLayout*>()) {
        layout->setSpacing(2);
        layout->setContentsMargins(4, 2, 4, 2);
    }
    connect(stages_, &ChargerStagePanel::endCurrentChanged, this, [this] {
        currentOff_.field->SetLimits(Limits(state_.end_current, kExtraStep));
        currentOff_.field->SetValue(Edited()[kSetChargeCurrentOff]);
    });
}

QGroupBox* ChargerMainSettingsTab::BuildBattery() {
    auto* box = new QGroupBox(QStringLiteral("Батарея"), this);
    auto* column = new QVBoxLayout(box);
    auto* capacity = new QWidget(box);
    capacity_ = AddField(*new QGridLayout(capacity), 0, "eSettingsBattCapacity",
                         "udSettingsBattCapacity", "Ёмкость АБ, А*ч", 0);
    column->addWidget(capacity);
    connect(capacity_.field, &TNumericField::valueEdited, this,
            &ChargerMainSettingsTab::CapacityEdited);

    auto* voltage = new QGroupBox(QStringLiteral("Напряжение АБ"), box);
    auto* voltageGrid = new QGridLayout(voltage);
    voltages_ = new QButtonGroup(this);
    int column_index = 0;
    for (const Selector& s : kVoltageSelectors) {
        auto* button = new QRadioButton(QString::fromUtf8(s.caption), voltage);
        button->setObjectName(QString::fromLatin1(s.name));
        voltages_->addButton(button, s.code);
        voltageGrid->addWidget(button, 0, column_index++);
    }
    auto* user = new QRadioButton(QStringLiteral("User"), voltage);
    user->setObjectName(QStringLiteral("rbtnSettingsBattVoltUser"));
    user->setEnabled(false);
    voltageGrid->addWidget(user, 1, 0);
    auto* cells = new QWidget(voltage);
    auto* cellGrid = new QGridLayout(cells);
    AddField(*cellGrid, 0, "eSettingsBattCellVolt", "udSettingsBattCellVolt", "Напр. ячейки", 2)
        .SetEnabled(false);
    AddField(*cellGrid, 1, "eSettingsBattCellCount", "udSettingsBattCellCount", "Кол-во ячеек", 0)
        .SetEnabled(false);
    voltageGrid->addWidget(cells, 1, 1, 1, 3);
    column->addWidget(voltage);

    auto* type = new QGroupBox(QStringLiteral("Тип АБ"), box);
    auto* typeGrid = new QGridLayout(type);
    types_ = new QButtonGroup(this);
    int index = 0;
    for (const Selector& s : kTypeSelectors) {
        auto* button = new QRadioButton(QString::fromUtf8(s.caption), type);
        button->setObjectName(QString::fromLatin1(s.name));
        types_->addButton(button, s.code);
        typeGrid->addWidget(button, index / 3, index % 3);
        ++index;
    }
    column->addWidget(type);
    connect(voltages_, &QButtonGroup::idClicked, this, &ChargerMainSettingsTab::VoltageClicked);
    connect(types_, &QButtonGroup::idClicked, this, &ChargerMainSettingsTab::TypeClicked);
    return box;
}

QGroupBox* ChargerMainSettingsTab::BuildExtra() {
    auto* box = new QGroupBox(QStringLiteral("Дополнительно"), this);
    auto* column = new QVBoxLayout(box);
    const auto group = [&](const char* caption) {
        auto* inner = new QGroupBox(QString::fromUtf8(caption), box);
        column->addWidget(inner);
        return new QGridLayout(inner);
    };
    QGridLayout* temperature = group("Температура заряда");
    tempMax_ = AddField(*temperature, 0, "eSettingsAddTempMax", "udSettingsAddTempMax",
                        "Температура заряда макс, ºC", SettingsDecimals(kSetChargeTempMax));
    tempMin_ = AddField(*temperature, 1, "eSettingsAddTempMin", "udSettingsAddTempMin",
                        "Температура заряда мин, ºC", SettingsDecimals(kSetChargeTempMin));
    currentOff_ =
        AddField(*group("Ток отключения заряда"), 0, "eSettingsAddCurrOff", "udSettingsAddCurrOff",
                 "Ток отключения заряда, А", SettingsDecimals(kSetChargeCurrentOff));
    voltageRecom_ = AddField(*group("Напряжение возобновления заряда"), 0, "eSettingsAddVoltRecom",
                             "udSettingsAddVoltRecom", "Напр. возобновления заряда, В",
                             SettingsDecimals(kSetChargeVoltageRecom));

    relayGroup_ = new QGroupBox(QStringLiteral("Питание от АБ"), box);
    auto* relay = new QGridLayout(relayGroup_);
    relayEnable_ = new QCheckBox(QStringLiteral("Разрешение"), relayGroup_);
    relayEnable_->setObjectName(QStringLiteral("chbSettingsAddReleLockEnable"));
    relay->addWidget(relayEnable_, 0, 0, 1, 2);
    relayTime_ = AddField(*relay, 1, "eSettingsAddReleLockTime", "udSettingsAddReleLockTime",
                          "Время, сек", 0);
    relayTime_.field->SetFormatter(
        UnlimitedWhenZero([](std::int32_t value) { return QString::number(value); }));
    column->addWidget(relayGroup_);

    for (const auto& [field, index] :
         {std::pair{&tempMax_, kSetChargeTempMax}, std::pair{&tempMin_, kSetChargeTempMin},
          std::pair{&currentOff_, kSetChargeCurrentOff},
          std::pair{&voltageRecom_, kSetChargeVoltageRecom},
          std::pair{&relayTime_, kSetReleLockControlTime}}) {
        const std::size_t target = index;
        connect(field->field, &TNumericField::valueEdited, this, [this, target](std::int32_t v) {
            Edited()[target] = static_cast<std::uint16_t>(v);
        });
    }
    connect(relayEnable_, &QCheckBox::clicked, this, [this](bool ticked) {
        std::uint16_t& enable = Edited()[kSetReleLockControlEnable];
        enable = ticked ? static_cast<std::uint16_t>(enable | kReleLockOn)
                        : static_cast<std::uint16_t>(enable & ~kReleLockOn);
        relayTime_.SetEnabled(ticked);
    });
    return box;
}

void ChargerMainSettingsTab::Refresh() {
    state_ = PageStateFor(Edited());
    ShowSelectors();
    if (state_.script.stages.empty()) {
        // Editing a stale stage tab would write into whatever profile is chosen next.
        emit statusMessage(QString::fromUtf8(kBatteryTypeUndefined.data(),
                                             static_cast<qsizetype>(kBatteryTypeUndefined.size())));
        stages_->Clear();
    } else {
        stages_->Rebuild();
    }
    const std::optional<ValueRange> capacity = CapacityRange(state_.voltage_code, state_.type_code);
    capacity_.field->SetLimits(Limits(capacity.value_or(ValueRange{}), kCapacityStep));
    capacity_.field->SetValue(Edited()[kSetCapacityBatt]);
    capacity_.SetEnabled(state_.script.capacity_editable);
    ShowExtra();
    outputs_->Show();
}

void ChargerMainSettingsTab::ShowSelectors() {
    const ChargerView& view = *link_.view;
    const std::uint32_t voltages = ChargerReceivedPair(view, kChrgVoltageTypes);
    const std::uint16_t types = ChargerReceivedWord(view, kChrgBatteryTypes);
    for (const Selector& s : kVoltageSelectors)
        voltages_->button(s.code)->setEnabled((voltages >> s.capability_bit & 1) != 0);
    for (const Selector& s : kTypeSelectors)
        types_->button(s.code)->setEnabled((types >> s.capability_bit & 1) != 0);
    Select(*voltages_, state_.voltage_code);
    Select(*types_, SelectedType(state_.type_code));
    const std::uint16_t functions = ChargerReceivedWord(view, kChrgExtraFunctions);
    relayGroup_->setEnabled((functions & kRelayFunction) != 0);
    outputs_->setEnabled((functions & kOutputFunctions) != 0);
}

void ChargerMainSettingsTab::ShowExtra() {
    const ChargerSettingsValues& edited = Edited();
    tempMax_.field->SetLimits(Limits(kChargeTempMaxRange, kExtraStep));
    tempMax_.field->SetValue(SettingsFieldValue(edited, kSetChargeTempMax));
    tempMin_.field->SetLimits(Limits(kChargeTempMinRange, kExtraStep));
    tempMin_.field->SetValue(SettingsFieldValue(edited, kSetChargeTempMin));
    currentOff_.field->SetLimits(Limits(state_.end_current, kExtraStep));
    currentOff_.field->SetValue(edited[kSetChargeCurrentOff]);
    voltageRecom_.field->SetLimits(Limits(RestartVoltageRange(state_.voltage_code), kExtraStep));
    voltageRecom_.field->SetValue(edited[kSetChargeVoltageRecom]);
    ShowRelay();
}

void ChargerMainSettingsTab::ShowRelay() {
    const bool on = (Edited()[kSetReleLockControlEnable] & kReleLockOn) != 0;
    relayEnable_->setChecked(on);
    relayTime_.field->SetLimits(Limits(kReleLockControlTimeRange, kExtraStep));
    relayTime_.field->SetValue(Edited()[kSetReleLockControlTime]);
    relayTime_.SetEnabled(on);
}

bool ChargerMainSettingsTab::ChargeRunning(const char* refusal) {
    if (link_.view->received.live[kChargeStateIndex] == 0) return false;
    ShowMessage(QString::fromUtf8(refusal), kCaption, MessageButtons::kOk, this);
    Select(*voltages_, state_.voltage_code);
    Select(*types_, SelectedType(state_.type_code));
    return true;
}

void ChargerMainSettingsTab::VoltageClicked(int code) {
    if (ChargeRunning("Заряд включён.\r\nЗапрещено изменение напряжения АБ\r\nпри включенном "
                      "заряде")) {
        return;
    }
    // With no valid type yet the voltage is kept, so that choosing a type applies presets.
    if (!ApplyPresets(Edited(), static_cast<std::uint16_t>(code), state_.type_code)) {
        Edited()[kSetTypeBattVoltage] = static_cast<std::uint16_t>(code);
    }
    Refresh();
}

void ChargerMainSettingsTab::TypeClicked(int code) {
    if (ChargeRunning("Заряд включён.\r\nЗапрещено изменение типа АБ\r\nпри включенном заряде")) {
        return;
    }
    ApplyPresets(Edited(), state_.voltage_code, static_cast<std::uint16_t>(code));
    Refresh();
}

void ChargerMainSettingsTab::CapacityEdited(std::int32_t value) {
    ApplyCapacity(Edited(), static_cast<std::uint16_t>(value));
    Refresh();
}

}  // namespace veltrona
