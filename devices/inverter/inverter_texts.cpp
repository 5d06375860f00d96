#include "devices/inverter/inverter_texts.h"

#include <algorithm>

#include "devices/inverter/inverter_blocks.h"

namespace veltrona {

namespace {

constexpr std::array<std::string_view, 7> kChargeStateTexts{
    "Заряд отключен", "Постоянный ток", "Абсорбция",          "Выравнивающий заряд",
    "Буфер",          "Ведомый режим",  kInvTextNotUnderstood};
constexpr std::array<std::string_view, 4> kOperatingStateTexts{
    "Отключен", "Трансляция сети", "Работа от АБ", kInvTextNotUnderstood};
constexpr std::array<std::string_view, 5> kInverterStateTexts{
    "Инвертор отключен", "Спящий режим", "Отключение по аварии", "Автономный инвертор",
    kInvTextNotUnderstood};
constexpr std::array<std::string_view, 5> kSwitchingTexts{"Нет переключений", "Переход на инвертор",
                                                          "Переход на сеть", "Выключение",
                                                          kInvTextNotUnderstood};
constexpr std::array<std::string_view, 11> kAlarmStateTexts{"Выключен",
                                                            "Работа от сети",
                                                            "Перегрузка",
                                                            "Перегрев",
                                                            "Работа от АБ",
                                                            "Низкий заряд АБ",
                                                            "АБ отключена",
                                                            "Внутренняя неисправность",
                                                            "Выключение по разряду",
                                                            "Выключение по перегреву",
                                                            kInvTextNotUnderstood};

constexpr std::array<std::string_view, 26> kLiveUnits{
    "В",  "А", "Гц", "Вт", "В", "А", "Гц", "Вт", "В", "А", "Гц", "Вт", "°C",
    "°C", "В", "А",  "%",  "",  "",  "",   "",   "",  "А", "В",  "",   ""};
constexpr std::array<std::string_view, 55> kSettingsUnits{
    "",  "",  "",  "",   "",   "",   "",   "В",  "Гц",    "",  "%", "с", "мс", "А",
    "В", "В", "В", "В",  "мс", "с",  "Гц", "Гц", "с",     "А", "А", "",  "",   "В",
    "В", "А", "ч", "В",  "А",  "А",  "ч",  "д",  "мВ/°C", "В", "В", "В", "с",  "В",
    "В", "В", "с", "°C", "°C", "°C", "°C", "°C", "°C",    "с", "В", "с", ""};
constexpr std::array<std::string_view, 32> kHiddenUnits{
    "В", "В", "мс", "В",  "В",  "мс", "",  "", "с",   "",    "", "",  "А", "А", "мс", "с",
    "с", "с", "мс", "Вт", "Вт", "Вт", "с", "", "мкс", "мкс", "", "%", "%", "",  "",   "с"};

template <std::size_t N>
std::string_view UnitIn(const std::array<std::string_view, N>& units, std::size_t index) {
    return index < N ? units[index] : std::string_view{};
}

}  // namespace

std::span<const std::string_view> InverterEnumerationTexts(InverterEnumeration enumeration) {
    switch (enumeration) {
        case InverterEnumeration::kChargeState:
            return kChargeStateTexts;
        case InverterEnumeration::kOperatingState:
            return kOperatingStateTexts;
        case InverterEnumeration::kInverterState:
            return kInverterStateTexts;
        case InverterEnumeration::kSwitching:
            return kSwitchingTexts;
        case InverterEnumeration::kAlarmState:
            return kAlarmStateTexts;
    }
    return {};
}

std::uint16_t InverterCatchAllCode(InverterEnumeration enumeration) {
    return static_cast<std::uint16_t>(InverterEnumerationTexts(enumeration).size() - 1);
}

std::string_view InverterEnumerationText(InverterEnumeration enumeration, std::uint32_t code) {
    const std::uint32_t lowered = std::min<std::uint32_t>(code, InverterCatchAllCode(enumeration));
    return InverterEnumerationTexts(enumeration)[lowered];
}

std::string_view InverterRegisterUnit(std::size_t block, std::size_t index) {
    switch (block) {
        case kInverterBlockLive:
            return UnitIn(kLiveUnits, index);
        case kInverterBlockSettings:
        case kInverterBlockSettingsMin:
        case kInverterBlockSettingsMax:
            return UnitIn(kSettingsUnits, index);
        case kInverterBlockHidden:
            return UnitIn(kHiddenUnits, index);
        default:
            return {};
    }
}

}  // namespace veltrona
