#include "devices/charger/charger_extra_settings_widget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_view.h"
#include "link/catalogue.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

// A field of the link set: `mask` bits of word `word` from bit `shift`; `text` names a code,
// none shows the plain number.
struct LinkFieldDef {
    const char* edit;
    const char* arrows;
    const char* label;
    std::size_t word;
    unsigned shift;
    std::uint16_t mask;
    FieldLimits limits;
    std::string_view (*text)(unsigned code);
};

constexpr LinkFieldDef kLinkFields[] = {
    {"eSettingsRs485Addr", "udSettingsRs485Addr", "Адрес", 0, 0, 0xFFFF, {1, 247, 1}, nullptr},
    {"eSettingsRs485Baudrate",
     "udSettingsRs485Baudrate",
     "Скорость",
     1,
     0,
     0xFFFF,
     {0, 5, 1},
     BaudText},
    {"eSettingsRs485Parity",
     "udSettingsRs485Parity",
     "Чётность",
     2,
     8,
     0xFF,
     {0, 2, 1},
     ParityText},
    {"eSettingsRs485StopBits",
     "udSettingsRs485StopBits",
     "Число стоп-бит",
     2,
     0,
     0xFF,
     {0, 2, 1},
     StopBitsText},
};

struct RestartBitDef {
    const char* name;
    unsigned bit;
    const char* caption;
};

// Bits 7..10 have no box and pass through.
constexpr RestartBitDef kRestartBits[] = {
    {"cbSettingsErrorReChargeEnableVoltNetFall", 15, "Пропадание напряжения входной сети"},
    {"cbSettingsErrorReChargeEnableVoltNetNorm", 14, "Напряжение входной сети не в норме"},
    {"cbSettingsErrorReChargeEnableVoltDc", 13, "Напряжение цепи постоянного тока ниже нормы"},
    {"cbSettingsErrorReChargeEnableBattOff", 12, "АБ отключена"},
    {"cbSettingsErrorReChargeEnableVoltBattDc", 11, "Напряжение цепи предзаряда АБ ниже нормы"},
    {"cbSettingsErrorReChargeEnableVoltBattSet", 6, "Напряжение АБ не соответствует уставке"},
    {"cbSettingsErrorReChargeEnableTermoBattFault", 5, "Неисправность датчика температуры АБ"},
    {"cbSettingsErrorReChargeEnableTermoBattDn", 4, "Температура АБ ниже минимально разрешённой"},
    {"cbSettingsErrorReChargeEnableTermoBattUp", 3, "Температура АБ выше максимально разрешённой"},
    {"cbSettingsErrorReChargeEnableTermoFault", 2, "Неисправность датчика внутренней температуры"},
    {"cbSettingsErrorReChargeEnableTermoFault1", 1,
     "Неисправность датчика внутренней температуры 1"},
    {"cbSettingsErrorReChargeEnableTermoOverheat", 0, "Внутренний перегрев"},
};

struct ModeDef {
    const char* name;
    const char* caption;
};

// Button i is mode i.
constexpr ModeDef kModes[] = {
    {"rbtnSettingsChargeCommandModeHard", "Аппаратно (выключатель)"},
    {"rbtnSettingsChargeCommandModeHardSoftOff", "Аппаратно с программным отключением"},
    {"rbtnSettingsChargeCommandModeSoft", "Программно (внешняя команда)"},
    {"rbtnSettingsChargeCommandModeSoftHardOff", "Программно с аппаратным отключением"},
    {"rbtnSettingsChargeCommandModeCombined", "Комбинированное управление"},
};
constexpr int kLastMode = static_cast<int>(std::size(kModes)) - 1;

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::int32_t LinkCode(const ChargerLinkValues& set, const LinkFieldDef& def) {
    return (set[def.word] >> def.shift) & def.mask;
}

}  // namespace

ChargerExtraSettingsTab::ChargerExtraSettingsTab(const ChargerLink& link, QWidget* parent)
    : QWidget(parent), link_(link) {
    auto* column = new QVBoxLayout(this);
    column->addWidget(BuildLinkGroup());
    column->addWidget(BuildRestartGroup());
    column->addWidget(BuildModeGroup());
    column->addStretch(1);
}

QWidget* ChargerExtraSettingsTab::BuildLinkGroup() {
    auto* group = new QGroupBox(QStringLiteral("Настройки связи"), this);
    auto* grid = new QGridLayout(group);
    for (std::size_t i = 0; i < std::size(kLinkFields); ++i) {
        const LinkFieldDef& def = kLinkFields[i];
        auto* field = new TNumericField(def.edit, def.arrows, group);
        if (def.text != nullptr) {
            field->SetFormatter([text = def.text](std::int32_t code) {
                return Utf8(text(static_cast<unsigned>(code)));
            });
            // A typed rate such as 115200 would be taken as the highest code.
            field->SetTypingAllowed(false);
        }
        field->SetLimits(def.limits);
        connect(field, &TNumericField::valueEdited, this,
                [this, i](std::int32_t value) { StoreLinkField(i, value); });
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(QString::fromUtf8(def.label), group), row, 0);
        grid->addWidget(field, row, 1);
        linkFields_[i] = field;
    }
    return group;
}

QWidget* ChargerExtraSettingsTab::BuildRestartGroup() {
    auto* group = new QGroupBox(QStringLiteral("Ошибки перезапуска заряда"), this);
    auto* column = new QVBoxLayout(group);
    for (std::size_t i = 0; i < std::size(kRestartBits); ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kRestartBits[i].caption), group);
        box->setObjectName(QString::fromLatin1(kRestartBits[i].name));
        connect(box, &QCheckBox::clicked, this,
                [this, i](bool checked) { StoreRestartBit(i, checked); });
        column->addWidget(box);
        restartBoxes_[i] = box;
    }
    return group;
}

QWidget* ChargerExtraSettingsTab::BuildModeGroup() {
    auto* group = new QGroupBox(QStringLiteral("Команда управления зарядом"), this);
    auto* column = new QVBoxLayout(group);
    modes_ = new QButtonGroup(group);
    for (int mode = 0; mode <= kLastMode; ++mode) {
        auto* button = new QRadioButton(QString::fromUtf8(kModes[mode].caption), group);
        button->setObjectName(QString::fromLatin1(kModes[mode].name));
        modes_->addButton(button, mode);
        column->addWidget(button);
    }
    connect(modes_, &QButtonGroup::idClicked, this, &ChargerExtraSettingsTab::StoreMode);
    return group;
}

void ChargerExtraSettingsTab::Refresh() {
    if (link_.view == nullptr) return;
    const ChargerView& view = *link_.view;
    for (std::size_t i = 0; i < std::size(kLinkFields); ++i)
        linkFields_[i]->SetValue(LinkCode(view.link, kLinkFields[i]));
    const std::uint16_t enables = view.edited[kSetErrorRechargeEnable];
    for (std::size_t i = 0; i < std::size(kRestartBits); ++i)
        restartBoxes_[i]->setChecked((enables >> kRestartBits[i].bit) & 1U);
    // Validation sends a larger mode as the last one, so that one is shown.
    const int mode = std::min<int>(view.edited[kSetManagementMode], kLastMode);
    modes_->button(mode)->setChecked(true);
}

void ChargerExtraSettingsTab::StoreLinkField(std::size_t index, std::int32_t value) {
    if (link_.view == nullptr) return;
    const LinkFieldDef& def = kLinkFields[index];
    std::uint16_t& word = link_.view->link[def.word];
    const auto mask = static_cast<std::uint16_t>(def.mask << def.shift);
    word = static_cast<std::uint16_t>((word & ~mask) | ((value << def.shift) & mask));
    linkFields_[index]->SetValue(LinkCode(link_.view->link, def));
}

void ChargerExtraSettingsTab::StoreRestartBit(std::size_t index, bool checked) {
    if (link_.view == nullptr) return;
    std::uint16_t& enables = link_.view->edited[kSetErrorRechargeEnable];
    const auto bit = static_cast<std::uint16_t>(1U << kRestartBits[index].bit);
    enables = static_cast<std::uint16_t>(checked ? enables | bit : enables & ~bit);
}

void ChargerExtraSettingsTab::StoreMode(int mode) {
    if (link_.view == nullptr) return;
    link_.view->edited[kSetManagementMode] = static_cast<std::uint16_t>(mode);
}

}  // namespace veltrona
