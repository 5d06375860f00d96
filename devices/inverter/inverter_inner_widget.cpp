#include "devices/inverter/inverter_inner_widget.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "devices/inverter/inverter_map.h"
#include "devices/inverter/inverter_texts.h"
#include "devices/inverter/inverter_view.h"
#include "link/value_format.h"
#include "ui/indicators.h"

namespace veltrona {
namespace {

// A state field shows its text, a number field its value without a unit.
struct InnerField {
    const char* caption;
    std::uint16_t address;
    bool state;
};
constexpr InnerField kFields[] = {
    {"Charge_State_Alert", kInvChargeStateAlert, true},
    {"Operating_State_Alert", kInvOperatingStateAlert, true},
    {"Operating_State_Switching", kInvSwitching, true},
    {"Battery_Voltage_Inner", 0x071D, false},
    {"Battery_Voltage_Sense", 0x071E, false},
    {"Battery_UV_Counter", 0x071F, false},
    {"Output_Short_Couner", 0x0720, false},
    {"Alarm_State", kInvAlarmState, true},
    {"Transformer_Temperature", 0x072A, false},
    {"Charge_Current_Set", 0x072B, false},
};

struct GroupDef {
    const char* title;
    std::uint16_t address;
    int tab;
    int columns;
};
// The group of safety words takes both alert words, word 2 from bit 16.
constexpr GroupDef kGroups[] = {
    {"Saety_Status_Alert", kInvSafetyWord1Alert, 0, 2},
    {"Dout_Status", kInvDoutStatus, 0, 4},
    {"Din_Status", kInvDinStatus, 1, 2},
    {"Sync_Flags", kInvSyncFlags, 1, 1},
    {"Working_Flags", kInvWorkingFlags, 1, 1},
    {"Charge_Manage_Alert", kInvChargeManageAlert, 1, 1},
    {"Charge_Manage_Status", kInvChargeManageStatus, 1, 1},
};

std::vector<FlagLamp> LampsOf(std::uint16_t address) {
    switch (address) {
        case kInvSafetyWord1Alert: {
            std::vector<FlagLamp> lamps;
            for (std::size_t i = 0; i < kInverterSafetyWord1Bits.size(); ++i)
                lamps.push_back({static_cast<std::uint8_t>(i), kInverterSafetyWord1Bits[i].flag});
            for (std::size_t i = 0; i < kInverterSafetyWord2Bits.size(); ++i) {
                lamps.push_back(
                    {static_cast<std::uint8_t>(16 + i), kInverterSafetyWord2Bits[i].flag});
            }
            return lamps;
        }
        case kInvDoutStatus:
            return FlagLampsFromBits(kInverterDoutBits);
        case kInvDinStatus:
            return FlagLampsFromBits(kInverterDinBits);
        case kInvSyncFlags:
            return FlagLampsFromBits(kInverterSyncFlagBits);
        case kInvWorkingFlags:
            return FlagLampsFromBits(kInverterWorkingFlagBits);
        default:
            return FlagLampsFromBits(kInverterChargeManageBits);
    }
}

std::uint32_t WordOf(const InverterView& view, std::uint16_t address) {
    std::uint32_t word = InverterReceivedWord(view, address);
    if (address == kInvSafetyWord1Alert) {
        word |= std::uint32_t{InverterReceivedWord(view, kInvSafetyWord2Alert)} << 16;
    }
    return word;
}

QString FieldText(const InverterView& view, const InnerField& field, char separator) {
    if (field.state) {
        const std::string_view text = InverterStateText(view, field.address);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    const std::optional<InverterRegisterRef> at = InverterLocate(field.address);
    const RegisterDescriptor* descriptor = InverterDescriptorAt(field.address);
    if (!at.has_value() || descriptor == nullptr) return {};
    return QString::fromStdString(
        FormatRegister(*descriptor, InverterReceivedSet(view, at->block), at->index, separator));
}

}  // namespace

InverterInnerPage::InverterInnerPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlInner"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("pcInner"));
    column->addWidget(tabs);
    std::array<QWidget*, 2> pages{};
    std::array<QGridLayout*, 2> grids{};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        pages[i] = new QWidget(tabs);
        grids[i] = new QGridLayout(pages[i]);
        tabs->addTab(pages[i], QStringLiteral("Ups_Info_Inner_%1").arg(i));
    }

    auto* values = new QWidget(pages[0]);
    auto* valueGrid = new QGridLayout(values);
    valueGrid->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const int row = static_cast<int>(i) / 2;
        const int column = 2 * (static_cast<int>(i) % 2);
        valueGrid->addWidget(new QLabel(QString::fromLatin1(kFields[i].caption), values), row,
                             column);
        const QByteArray name = QByteArray("e") + kFields[i].caption;
        fields_[i] = ValueField(name.constData(), values);
        valueGrid->addWidget(fields_[i], row, column + 1);
    }
    grids[0]->addWidget(values, 0, 0, 1, 2);

    std::array<int, 2> placed{1, 0};
    for (const GroupDef& def : kGroups) {
        const std::vector<FlagLamp> lamps = LampsOf(def.address);
        const QByteArray prefix = QByteArray("sh") + QByteArray(def.title).replace('_', "") + "_";
        auto* group = new TFlagLamps(def.title, QString::fromLatin1(def.title), prefix.constData(),
                                     lamps, def.columns, pages[static_cast<std::size_t>(def.tab)]);
        QGridLayout* grid = grids[static_cast<std::size_t>(def.tab)];
        // Tab 0 stacks its groups; tab 1 puts them two abreast.
        const int at = placed[static_cast<std::size_t>(def.tab)]++;
        if (def.tab == 0) {
            grid->addWidget(group, at, 0, 1, 2);
        } else {
            grid->addWidget(group, at / 2, at % 2);
        }
        groups_.push_back(group);
    }
    for (QGridLayout* grid : grids)
        grid->setRowStretch(grid->rowCount(), 1);
}

void InverterInnerPage::ShowAvailability(bool not_available) {
    if (!not_available) return;
    for (TFlagLamps* group : groups_)
        group->ShowSilver();
}

void InverterInnerPage::ShowValues(const InverterView& view, char separator) {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        fields_[i]->setText(FieldText(view, kFields[i], separator));
    for (std::size_t i = 0; i < groups_.size(); ++i)
        groups_[i]->ShowWord(WordOf(view, kGroups[i].address));
}

}  // namespace veltrona
