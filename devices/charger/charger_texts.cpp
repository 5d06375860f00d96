#include "devices/charger/charger_texts.h"

#include <algorithm>

namespace veltrona {

namespace {

constexpr std::array<std::string_view, 17> kCommandTexts{"Нет команды",
                                                         "Включение заряда",
                                                         "Выключение заряда",
                                                         "Очистить уровень заряда сумма",
                                                         "Очистить уровень заряда пользователь",
                                                         "Очистить ошибки",
                                                         "Reserve 1",
                                                         "Reserve 2",
                                                         "Reserve 3",
                                                         "Reserve 4",
                                                         "Reserve 5",
                                                         "Reserve 6",
                                                         "Reserve 7",
                                                         "Reserve 8",
                                                         "Reserve 9",
                                                         "Reserve 10",
                                                         "Очистить все настройки"};
constexpr std::string_view kCommandUnknown = "Не определена";

constexpr std::array<std::string_view, 4> kCommandResultTexts{"Нет подтверждения", "Выполнена",
                                                              "Не поддерживается", "Ошибка"};
constexpr std::string_view kCommandResultUnknown = "Не определено";

struct ErrorText {
    std::uint16_t code;
    std::string_view text;
};

constexpr std::array<ErrorText, 25> kErrorTextsA{{
    {0, "Нет ошибки"},
    {1, "Напряжение АБ не соответствует выбранной уставке"},
    {2, "Температура АБ ниже минимально допустимой"},
    {3, "Температура АБ выше максимально допустимой"},
    {4, "Напряжение СП выше максимально допустимого"},
    {5, "Напряжение СП ниже минимально допустимого"},
    {8, "Внутренний перегрев прибора"},
    {9, "Обратное включение АБ (переполюсовка)"},
    {10, "АБ отключена"},
    {13, "АБ неисправна"},
    {16, "Неисправность датчика температуры АБ"},
    {17, "Неисправность внутреннего датчика температуры"},
    {32, "Напряжение входной (питающей) сети ниже минимально допустимого значения"},
    {33, "Напряжение входной (питающей) сети выше максимально допустимого значения"},
    {34, "Напряжение входной (питающей) сети не определено"},
    {35, "Напряжение цепи постоянного тока ниже нормы"},
    {36, "Неисправность реле предзарядного входного"},
    {40, "Напряжение цепи предзаряда ниже нормы"},
    {41, "Неисправность реле предзарядного выходного"},
    {58, "Превышение тока по индукционному датчику"},
    {59, "Превышение тока заряда"},
    {60, "Короткое замыкание в нагрузке"},
    {61, "Превышение времени стадии"},
    {62, "Превышение времени заряда"},
    {63, "Внутренняя неисправность (внутренний ALARM)"},
}};

constexpr std::array<ErrorText, 4> kErrorTextsB{{
    {0, "Нет ошибки"},
    {1, "Датчик температуры АБ отключен"},
    {8, "Внутренний перегрев прибора (снижение токовой уставки)"},
    {16, "АБ неисправна"},
}};

constexpr std::array<ErrorText, 2> kErrorTextsC{{
    {0, "Нет ошибки"},
    {1, "Неисправность цепи или датчика измерения тока заряда АБ"},
}};

std::string_view FindErrorText(std::span<const ErrorText> table, std::uint32_t code) {
    const auto found = std::find_if(table.begin(), table.end(),
                                    [code](const ErrorText& entry) { return entry.code == code; });
    return found != table.end() ? found->text : kChrgErrorUnknown;
}

constexpr std::array<std::string_view, 4> kErrorKindLabels{"ErrorStart", "ErrorClose", "ErrorBig",
                                                           "ErrorSmall"};
constexpr std::string_view kErrorKindUnknown = "ErrorNotDefined";

using StageNameTable = std::array<std::string_view, kChargerStageNames>;

constexpr StageNameTable kStagesAcid{"Отключен",
                                     "Десульфатация",
                                     "Плавный старт",
                                     "Постоянный ток",
                                     "Абсорбция",
                                     "Анализ",
                                     "Восстановление",
                                     "Буфер",
                                     "Профилактика",
                                     "Выравн. заряд",
                                     "Пон.под.заряд",
                                     "",
                                     ""};
constexpr StageNameTable kStagesTraction{
    "Отключен", "", "", "Основной заряд", "Основной заряд", "", "Финал", "Буфер", "", "",
    "",         "", ""};
constexpr StageNameTable kStagesLithium{"Отключен",
                                        "",
                                        "",
                                        "Основной заряд",
                                        "Основной заряд",
                                        "Пониженный ток",
                                        "Пониженный ток",
                                        "Буфер",
                                        "",
                                        "",
                                        "",
                                        "",
                                        ""};
constexpr StageNameTable kStagesOther{"Отключен",  "Стадия 1",  "Стадия 2", "Стадия 3", "Стадия 4",
                                      "Стадия 5",  "Стадия 6",  "Стадия 7", "Стадия 8", "Стадия 9",
                                      "Стадия 10", "Стадия 11", "Стадия 12"};

}  // namespace

std::string_view CommandText(std::uint32_t code) {
    return code < kCommandTexts.size() ? kCommandTexts[code] : kCommandUnknown;
}

std::string_view CommandResultText(std::uint32_t code) {
    return code < kCommandResultTexts.size() ? kCommandResultTexts[code] : kCommandResultUnknown;
}

std::string_view ErrorTextA(std::uint32_t code) {
    return FindErrorText(kErrorTextsA, code);
}
std::string_view ErrorTextB(std::uint32_t code) {
    return FindErrorText(kErrorTextsB, code);
}
std::string_view ErrorTextC(std::uint32_t code) {
    return FindErrorText(kErrorTextsC, code);
}

std::string_view ErrorKindLabel(std::size_t kind) {
    return kind < kErrorKindLabels.size() ? kErrorKindLabels[kind] : kErrorKindUnknown;
}

std::span<const std::string_view, kChargerStageNames> StageNames(std::uint32_t battery_type) {
    const ChargerBatteryType* type = FindBatteryType(battery_type);
    if (type == nullptr) return kStagesOther;
    switch (type->family) {
        case BatteryFamily::Acid:
        case BatteryFamily::UserAcid:
            return kStagesAcid;
        case BatteryFamily::Traction:
            return kStagesTraction;
        case BatteryFamily::Lithium:
            return kStagesLithium;
    }
    return kStagesOther;
}

std::string_view StageName(std::uint32_t battery_type, std::uint32_t stage) {
    const auto names = StageNames(battery_type);
    return names[stage < names.size() ? stage : 0];
}

const ChargerBatteryType* FindBatteryType(std::uint32_t code) {
    const auto found =
        std::find_if(kBatteryTypes.begin(), kBatteryTypes.end(),
                     [code](const ChargerBatteryType& type) { return type.code == code; });
    return found != kBatteryTypes.end() ? &*found : nullptr;
}

std::size_t BatteryVoltageIndex(std::uint32_t code) {
    for (std::size_t i = 0; i < kBatteryVoltageCodes.size(); ++i)
        if (kBatteryVoltageCodes[i].code == code) return i;
    return 0;
}

int VoltageType(std::uint32_t code) {
    const auto found = std::find(kVoltageTypeCodes.begin(), kVoltageTypeCodes.end(), code);
    return found != kVoltageTypeCodes.end() ? static_cast<int>(found - kVoltageTypeCodes.begin())
                                            : -1;
}

}  // namespace veltrona
