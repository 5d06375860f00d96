#include "devices/charger/charger_stage_widget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QVBoxLayout>

#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"

namespace veltrona {
namespace {

struct FieldRow {
    StageField field;
    std::size_t offset;
    std::uint16_t mask;
    std::int32_t step;  // 0: the stage time step table
    const char* edit;
    const char* arrows;
    const char* label;
};

constexpr FieldRow kFieldRows[] = {
    {kFieldCurrent1, kStageCurrent1, kMaskCurrent, 100, "eSettingsStageCurr", "udSettingsStageCurr",
     "Ток, А"},
    {kFieldVoltage1, kStageVoltage1, kMaskVoltage, 10, "eSettingsStageVolt", "udSettingsStageVolt",
     "Напряжение, В"},
    {kFieldFTemp, kStageFTemp, kMaskFTemp, 1, "eSettingsStageFTemp", "udSettingsStageFTemp",
     "КТ, мВ/градус"},
    {kFieldTimePulse, kStageTimePulse, kMaskTimePulse, 1, "eSettingsStageTPulse",
     "udSettingsStageTPulse", "Время импульса, ММ.СС"},
    {kFieldTimePause, kStageTimePause, kMaskTimePause, 1, "eSettingsStageTPause",
     "udSettingsStageTPause", "Время паузы, ММ.СС"},
    {kFieldTimeStage, kStageTimeStage, kMaskTimeStage, 0, "eSettingsStageTime",
     "udSettingsStageTime", "Время, ДД.ЧЧ:ММ"},
};

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ChargerStagePanel::ChargerStagePanel(const ChargerLink& link, ChargerPageState& state,
                                     QWidget* parent)
    : QWidget(parent), link_(link), state_(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tcSettingsStage"));
    tabs_->setExpanding(false);
    column->addWidget(tabs_);

    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    enable_ = new QCheckBox(QStringLiteral("Разрешение"), body);
    enable_->setObjectName(QStringLiteral("chbSettingsStageEnable"));
    grid->addWidget(enable_, 0, 0, 1, 2);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldRow& row = kFieldRows[i];
        const std::size_t index = StageIndex(1, row.offset);
        fields_[i] = Field{row.field, row.offset, row.mask,
                           AddField(*grid, static_cast<int>(i) + 1, row.edit, row.arrows, row.label,
                                    SettingsDecimals(index))};
        TNumericField* field = fields_[i].widgets.field;
        if (row.field == kFieldTimePulse || row.field == kFieldTimePause) {
            field->SetFormatter(MinutesSeconds());
        } else if (row.field == kFieldTimeStage) {
            field->SetFormatter(UnlimitedWhenZero(DaysHoursMinutes()));
        }
        Field* target = &fields_[i];
        connect(field, &TNumericField::valueEdited, this,
                [this, target](std::int32_t value) { FieldEdited(*target, value); });
    }
    column->addWidget(body);
    column->addStretch(1);

    connect(tabs_, &QTabBar::currentChanged, this, [this] {
        if (!showing_) ShowStage();
    });
    connect(enable_, &QCheckBox::clicked, this, &ChargerStagePanel::EnableClicked);
}

std::size_t ChargerStagePanel::stage() const {
    const int tab = tabs_->currentIndex();
    if (tab < 0 || static_cast<std::size_t>(tab) >= state_.script.stages.size()) return 0;
    return state_.script.stages[static_cast<std::size_t>(tab)].stage;
}

void ChargerStagePanel::Rebuild() {
    showing_ = true;
    while (tabs_->count() > 0)
        tabs_->removeTab(0);
    for (const ChargeScriptStage& offered : state_.script.stages)
        tabs_->addTab(Utf8(StageName(state_.type_code, offered.stage)));
    tabs_->setCurrentIndex(0);
    showing_ = false;
    ShowStage();
}

void ChargerStagePanel::Clear() {
    showing_ = true;
    while (tabs_->count() > 0)
        tabs_->removeTab(0);
    showing_ = false;
    ShowStage();
}

void ChargerStagePanel::ShowStage() {
    const std::size_t n = stage();
    const int tab = tabs_->currentIndex();
    const std::uint16_t mask =
        n != 0 ? state_.script.stages[static_cast<std::size_t>(tab)].mask : std::uint16_t{0};
    const std::uint16_t flags = n != 0 ? Edited()[StageIndex(n, kStageDescript)] : 0;

    enable_->setEnabled(n != 0 && (flags & kStageSwitchLocked) == 0);
    enable_->setChecked(n != 0 && (flags & kStageOff) == 0);
    for (Field& f : fields_) {
        const bool editable = n != 0 && (flags & kStageValuesLocked) == 0 && (f.mask & mask) != 0;
        f.widgets.SetEnabled(editable);
        TNumericField& field = *f.widgets.field;
        if (n == 0) {
            field.SetLimits({});
            field.SetValue(0);
            field.edit()->clear();
            continue;
        }
        FieldLimits limits{};
        if (state_.limits) {
            const ValueRange range = state_.limits->ranges[f.field][n - 1];
            const std::size_t row = static_cast<std::size_t>(&f - fields_.data());
            const std::int32_t step = kFieldRows[row].step != 0
                                          ? kFieldRows[row].step
                                          : std::int32_t{state_.limits->time_step[n - 1]};
            limits = {range.min, range.max, step};
        }
        field.SetLimits(limits);
        field.SetValue(SettingsFieldValue(Edited(), StageIndex(n, f.offset)));
    }
}

void ChargerStagePanel::FieldEdited(Field& field, std::int32_t value) {
    const std::size_t n = stage();
    if (n == 0 || !state_.limits) return;
    Edited()[StageIndex(n, field.offset)] = static_cast<std::uint16_t>(value);
    const ValueRange before = state_.end_current;
    const std::uint16_t end_before = Edited()[kSetChargeCurrentOff];
    ApplyCouplingRules(Edited(), state_.voltage_code, state_.type_code, n, field.field,
                       *state_.limits, state_.end_current);
    ShowStage();
    if (!(before == state_.end_current) || end_before != Edited()[kSetChargeCurrentOff]) {
        emit endCurrentChanged();
    }
}

void ChargerStagePanel::EnableClicked(bool ticked) {
    const std::size_t n = stage();
    if (n == 0) return;
    std::uint16_t& flags = Edited()[StageIndex(n, kStageDescript)];
    flags = ticked ? static_cast<std::uint16_t>(flags & ~kStageOff)
                   : static_cast<std::uint16_t>(flags | kStageOff);
}

}  // namespace veltrona
