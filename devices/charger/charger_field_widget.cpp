#include "devices/charger/charger_field_widget.h"

#include <QGridLayout>
#include <QLabel>

#include "devices/charger/charger_blocks.h"
#include "devices/charger/charger_map.h"
#include "link/catalogue.h"

namespace veltrona {
namespace {

constexpr std::uint16_t kDisplaySigned16 = 2;

const RegisterDescriptor* SettingsDescriptor(std::size_t index) {
    return ChargerDescriptor(kChargerBlockSettings, index);
}

}  // namespace

bool IsSignedSetting(std::size_t index) {
    const RegisterDescriptor* descriptor = SettingsDescriptor(index);
    return descriptor != nullptr && descriptor->display == kDisplaySigned16;
}

unsigned SettingsDecimals(std::size_t index) {
    const RegisterDescriptor* descriptor = SettingsDescriptor(index);
    return descriptor != nullptr ? descriptor->decimals : 0;
}

std::int32_t SettingsFieldValue(const ChargerSettingsValues& settings, std::size_t index) {
    const std::uint16_t raw = index < settings.size() ? settings[index] : 0;
    return IsSignedSetting(index) ? std::int32_t{static_cast<std::int16_t>(raw)}
                                  : std::int32_t{raw};
}

void LabelledField::SetEnabled(bool enabled) const {
    label->setEnabled(enabled);
    field->setEnabled(enabled);
}

LabelledField AddField(QGridLayout& grid, int row, const char* edit_name, const char* arrows_name,
                       const char* label, unsigned decimals) {
    QWidget* parent = grid.parentWidget();
    LabelledField added{new QLabel(QString::fromUtf8(label), parent),
                        new TNumericField(edit_name, arrows_name, parent)};
    added.field->SetDecimals(decimals);
    grid.addWidget(added.label, row, 0);
    grid.addWidget(added.field, row, 1);
    return added;
}

TNumericField::Formatter UnlimitedWhenZero(TNumericField::Formatter formatter) {
    return [formatter = std::move(formatter)](std::int32_t value) {
        return value == 0 ? QStringLiteral("Не ограничено") : formatter(value);
    };
}

TNumericField::Formatter DaysHoursMinutes() {
    return [](std::int32_t minutes) {
        return QString::fromStdString(FormatDurationDays(std::int64_t{minutes} * 60));
    };
}

TNumericField::Formatter MinutesSeconds() {
    return
        [](std::int32_t seconds) { return QString::fromStdString(FormatDurationMinutes(seconds)); };
}

}  // namespace veltrona
