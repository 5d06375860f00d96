#include "devices/charger/charger_output_widget.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "devices/charger/charger_texts.h"
#include "devices/charger/charger_view.h"

namespace veltrona {
namespace {

constexpr std::size_t kOutputBases[] = {kSetReleOut1ControlCase, kSetReleOut2ControlCase};
constexpr std::uint16_t kListCase = 4;
constexpr std::uint16_t kVoltageCase = 5;
constexpr std::uint16_t kTimeCase = 6;
constexpr std::uint16_t kFirstLogicCase = 1;
constexpr std::uint16_t kFirstCriterionCase = 4;
constexpr unsigned kVoltageDecimals = 2;

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ChargerOutputPanel::ChargerOutputPanel(const ChargerLink& link, ChargerPageState& state,
                                       QWidget* parent)
    : QWidget(parent), link_(link), state_(state) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tcSettingsReleOut"));
    tabs_->setExpanding(false);
    tabs_->addTab(QStringLiteral("Выход 1"));
    tabs_->addTab(QStringLiteral("Выход 2"));
    column->addWidget(tabs_);

    auto* caseBox = new QGroupBox(QStringLiteral("Управление"), this);
    caseBox->setObjectName(QStringLiteral("rgSettingsReleOutCase"));
    auto* caseGrid = new QGridLayout(caseBox);
    cases_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < kOutputCaseCaptions.size(); ++i) {
        auto* button = new QRadioButton(Utf8(kOutputCaseCaptions[i]), caseBox);
        button->setObjectName(QStringLiteral("rbtnSettingsReleOutCase%1").arg(i));
        cases_->addButton(button, static_cast<int>(i));
        caseGrid->addWidget(button, static_cast<int>(i % 4), static_cast<int>(i / 4));
    }
    column->addWidget(caseBox);

    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    direct_ = new QRadioButton(QStringLiteral("Прямое"), body);
    direct_->setObjectName(QStringLiteral("rbtnSettingsReleOutLogNoInv"));
    inverse_ = new QRadioButton(QStringLiteral("Инверсное"), body);
    inverse_->setObjectName(QStringLiteral("rbtnSettingsReleOutLogInv"));
    grid->addWidget(direct_, 0, 0);
    grid->addWidget(inverse_, 0, 1);
    criterion_ = AddField(*grid, 1, "eSettingsReleOutCriterion", "udSettingsReleOutCriterion",
                          "Нет значения", 0);
    criterion_.label->setObjectName(QStringLiteral("labSettingsReleOutCriterion"));
    column->addWidget(body);

    connect(tabs_, &QTabBar::currentChanged, this, [this] {
        if (!showing_) Show();
    });
    connect(cases_, &QButtonGroup::idClicked, this, &ChargerOutputPanel::CaseClicked);
    connect(direct_, &QRadioButton::clicked, this, [this] { Edited()[Base() + 1] = 1; });
    connect(inverse_, &QRadioButton::clicked, this, [this] { Edited()[Base() + 1] = 0; });
    connect(criterion_.field, &TNumericField::valueEdited, this, [this](std::int32_t value) {
        Edited()[Base() + 2] = static_cast<std::uint16_t>(value);
    });
}

std::size_t ChargerOutputPanel::output() const {
    return tabs_->currentIndex() == 1 ? 1 : 0;
}

std::size_t ChargerOutputPanel::Base() const {
    return kOutputBases[output()];
}

void ChargerOutputPanel::Show() {
    showing_ = true;
    const std::uint16_t shown = std::min(Edited()[Base()], kOutputCaseLast);
    // Case 7 has no selector: none is checked then.
    cases_->setExclusive(false);
    for (QAbstractButton* button : cases_->buttons())
        button->setChecked(cases_->id(button) == shown);
    cases_->setExclusive(true);
    const bool direct = Edited()[Base() + 1] != 0;
    direct_->setChecked(direct);
    inverse_->setChecked(!direct);
    direct_->setEnabled(shown >= kFirstLogicCase);
    inverse_->setEnabled(shown >= kFirstLogicCase);
    // The arrows follow the shown output's own case, not the one shown before.
    ShowCriterion(shown);
    showing_ = false;
}

void ChargerOutputPanel::ShowCriterion(std::uint16_t output_case) {
    if (output_case < kOutputCaseCriterionLabels.size()) {
        criterion_.label->setText(Utf8(kOutputCaseCriterionLabels[output_case]));
    }
    TNumericField& field = *criterion_.field;
    switch (output_case) {
        case kListCase:
            field.SetFormatter([](std::int32_t value) {
                return Utf8(kMainsCriterionTexts[static_cast<std::size_t>(
                    std::clamp<std::int32_t>(value, 0, kMainsCriterionTexts.size() - 1))]);
            });
            field.SetDecimals(0);
            break;
        case kVoltageCase:
            field.SetFormatter(nullptr);
            field.SetDecimals(kVoltageDecimals);
            break;
        case kTimeCase:
            field.SetFormatter(DaysHoursMinutes());
            field.SetDecimals(0);
            break;
        default:
            field.SetFormatter(nullptr);
            field.SetDecimals(0);
            break;
    }
    const OutputCriterion criterion = OutputCriterionFor(output_case, state_.voltage_code);
    field.SetLimits({criterion.range.min, criterion.range.max, criterion.step});
    std::int32_t value = Edited()[Base() + 2];
    if (output_case == kListCase) value = std::min<std::int32_t>(value, criterion.range.max);
    field.SetValue(value);
    criterion_.SetEnabled(output_case >= kFirstCriterionCase);
}

void ChargerOutputPanel::CaseClicked(int output_case) {
    const auto chosen = static_cast<std::uint16_t>(output_case);
    Edited()[Base()] = chosen;
    Edited()[Base() + 1] = 1;
    Edited()[Base() + 2] = OutputCriterionFor(chosen, state_.voltage_code).default_value;
    Show();
}

}  // namespace veltrona
