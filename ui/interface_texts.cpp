#include "ui/interface_texts.h"

#include <array>

namespace veltrona {

namespace {

constexpr std::array<std::string_view, kInterfaceTextCount> kInterfaceTexts{
    // units
    "В", "А", "Вт", "С", "Гц", "А*ч", "Вт*ч", "°C", "°K", "°F", "%", "м", "мин", "с", "сек", "мс",
    "ч", "час", "день", "мВ/°C", "мВ/°K", "мВ/°F",
    // charger live-table captions
    "Стадия заряда", "Напряжение АБ", "Ток АБ", "Темп. АБ", "Темп. прибора", "Время стадии",
    "Время заряда",
    // charger statistics-table captions
    "", "Напряжение", "Ток", "Темп. АБ мин.", "Темп. АБ макс.", "Время стадии", "Время заряда",
    // charger counter-table captions
    "Сеанс", "Сумма", "Пользователь",
    // device status, each as the pair set / clear
    "Устройство подключено", "Устройство не подключено", "Устройство доступно",
    "Устройство не доступно", "Устройство активно", "Устройство не активно",
    "Ошибка статуса управления", "Нет ошибки"};

struct StatusLine {
    std::uint16_t mask;
    std::size_t when_set;
    std::size_t when_clear;
};

constexpr std::array<StatusLine, 4> kStatusLines{{
    {0x80, 39, 40},
    {0x40, 41, 42},
    {0x30, 43, 44},
    {0x0E, 45, 46},
}};

}  // namespace

std::string_view InterfaceText(std::size_t index) {
    return index < kInterfaceTexts.size() ? kInterfaceTexts[index] : std::string_view{};
}

std::string DeviceStatusHint(std::uint16_t flags) {
    std::string hint;
    for (const StatusLine& line : kStatusLines) {
        if (!hint.empty()) hint += "\n\r";
        hint += InterfaceText((flags & line.mask) != 0 ? line.when_set : line.when_clear);
    }
    return hint;
}

}  // namespace veltrona
