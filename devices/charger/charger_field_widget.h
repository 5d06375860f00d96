#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

#include "devices/charger/charger_view.h"
#include "ui/numeric_field.h"

class QGridLayout;
class QLabel;

namespace veltrona {

// A settings register as its field holds it: signed registers as their signed value.
std::int32_t SettingsFieldValue(const ChargerSettingsValues& settings, std::size_t index);
bool IsSignedSetting(std::size_t index);
// Decimals of a settings register's descriptor.
unsigned SettingsDecimals(std::size_t index);

// A labelled numeric field in one row of the grid: label in column 0, the field in column 1.
struct LabelledField {
    QLabel* label = nullptr;
    TNumericField* field = nullptr;
    void SetEnabled(bool enabled) const;
};
LabelledField AddField(QGridLayout& grid, int row, const char* edit_name, const char* arrows_name,
                       const char* label, unsigned decimals);

// "Не ограничено" for 0, else the formatted value.
TNumericField::Formatter UnlimitedWhenZero(TNumericField::Formatter formatter);
// Minutes as days.hours:minutes; seconds as minutes.seconds.
TNumericField::Formatter DaysHoursMinutes();
TNumericField::Formatter MinutesSeconds();

}  // namespace veltrona
