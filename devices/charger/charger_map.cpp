#include "devices/charger/charger_map.h"

#include <array>
#include <cstdio>

namespace veltrona {

namespace {

enum class Type : std::uint8_t { U16, I16, U32, I32 };

template <std::size_t N>
constexpr std::array<RegisterDescriptor, N> PlainBlock(std::uint16_t base) {
    std::array<RegisterDescriptor, N> table{};
    for (std::size_t i = 0; i < N; ++i)
        table[i] = {static_cast<std::uint16_t>(base + i), static_cast<std::uint16_t>(i), 4, 1, 0};
    return table;
}

// A pair is named by its lower index; the upper register carries the value's codes.
template <std::size_t N>
constexpr void SetType(std::array<RegisterDescriptor, N>& table, std::size_t index, Type type,
                       std::uint16_t decimals) {
    switch (type) {
        case Type::U16:
            table[index].storage = 4;
            table[index].display = 1;
            table[index].decimals = decimals;
            break;
        case Type::I16:
            table[index].storage = 6;
            table[index].display = 2;
            table[index].decimals = decimals;
            break;
        case Type::U32:
        case Type::I32:
            table[index].storage = 3;
            table[index].display = 0;
            table[index + 1].storage = type == Type::U32 ? 9 : 13;
            table[index + 1].display = type == Type::U32 ? 3 : 4;
            table[index + 1].decimals = decimals;
            break;
    }
}

// Offsets 1 to 9 of a stage descriptor; 0 and 10 to 15 are plain.
template <std::size_t N>
constexpr void SetStageTypes(std::array<RegisterDescriptor, N>& table, std::size_t first) {
    for (std::size_t offset = kStageCurrent1; offset <= kStageVoltage2; ++offset)
        SetType(table, first + offset, Type::U16, 2);
    SetType(table, first + kStageFTemp, Type::I16, 0);
}

constexpr auto kIdentDescriptors = [] {
    auto table = PlainBlock<16>(0x0000);
    SetType(table, 0x03, Type::U32, 0);
    SetType(table, 0x05, Type::U32, 0);
    SetType(table, 0x08, Type::U32, 0);
    SetType(table, 0x0B, Type::U32, 0);
    return table;
}();

constexpr auto kLiveDescriptors = [] {
    auto table = PlainBlock<64>(0x0600);
    SetType(table, 0x13, Type::U16, 2);
    SetType(table, 0x14, Type::U16, 2);
    SetType(table, 0x28, Type::I32, 2);
    SetType(table, 0x2A, Type::I32, 2);
    SetType(table, 0x2C, Type::I32, 2);
    SetType(table, 0x2E, Type::I32, 3);
    SetType(table, 0x30, Type::I32, 3);
    SetType(table, 0x32, Type::I32, 3);
    SetType(table, 0x34, Type::I16, 1);
    SetType(table, 0x35, Type::I16, 1);
    SetType(table, 0x36, Type::I16, 1);
    SetType(table, 0x3A, Type::U32, 3);
    SetType(table, 0x3C, Type::U32, 3);
    SetType(table, 0x3E, Type::U32, 3);
    return table;
}();

constexpr auto kSettingsDescriptors = [] {
    auto table = PlainBlock<256>(0x2800);
    SetType(table, 0x0A, Type::U16, 2);
    SetType(table, 0x0E, Type::U16, 2);
    SetType(table, 0x10, Type::U16, 2);
    SetType(table, 0x12, Type::U16, 2);
    SetType(table, 0x14, Type::I16, 1);
    SetType(table, 0x16, Type::I16, 1);
    // A reserve register the device treats as signed, shown unsigned.
    table[0x2D].storage = 6;
    for (std::size_t stage = 0; stage < kChargerStageCount; ++stage)
        SetStageTypes(table, kChargerStageFirstIndex + kChargerStageRegisters * stage);
    return table;
}();

constexpr auto kControlDescriptors = [] {
    auto table = PlainBlock<32>(0x2900);
    for (std::size_t i = 0x0A; i <= 0x0D; ++i)
        SetType(table, i, Type::U16, 4);
    SetStageTypes(table, 0x10);
    return table;
}();

constexpr auto kLinkDescriptors = PlainBlock<3>(0x2000);

constexpr auto kCapabilityDescriptors = [] {
    auto table = PlainBlock<32>(0x3000);
    SetType(table, 0x00, Type::U32, 0);
    for (std::size_t i = 0x03; i <= 0x18; ++i)
        SetType(table, i, Type::U16, 2);
    return table;
}();

constexpr std::array<std::span<const RegisterDescriptor>, kChargerBlockCount> kDescriptorTables{
    kIdentDescriptors,   kLiveDescriptors, kSettingsDescriptors,
    kControlDescriptors, kLinkDescriptors, kCapabilityDescriptors};

// Names of stage offsets 1 to 9 (offset 0 carries the stage number; 10 to 15 have none).
constexpr std::array<std::string_view, 10> kStageOffsetNames{
    "",
    "Ток 1, (в пульсе), А",
    "Ток 2, (в паузе), А",
    "Напряжение 1, (в пульсе), В",
    "Напряжение 2, (в паузе), В",
    "Коэффициент температурной компенсации, мВ/градус",
    "Время пульса, сек",
    "Время паузы, сек",
    "Время стадии, мин",
    "Длительность условия перехода на другую стадию, сек"};

constexpr std::array<std::string_view, 10> kStageKeySuffixes{
    "Descript", "Current_1", "Current_2", "Voltage_1", "Voltage_2",
    "FTemp",    "TimePulse", "TimePause", "TimeStage", "DurationPass"};

constexpr std::array<std::string_view, 10> kStageDescriptionTails{
    "описатель",    "ток 1",
    "ток 2",        "напряжение 1",
    "напряжение 2", "коэффициент термокомпенсации",
    "время пульса", "время паузы",
    "время стадии", "длительность перехода на следующую стадию"};

inline constexpr std::size_t kStageReserveKeys = 6;

// A pair is named on its upper register, which carries the value; the lower one has no name.
constexpr auto kIdentNames = [] {
    std::array<std::string_view, 16> names{};
    names[0x00] = "Тип устройства";
    names[0x01] = "Номер устройства";
    names[0x02] = "Версия ПО";
    names[0x04] = "Версия компиляции ПО";
    names[0x06] = "Серийный номер";
    names[0x07] = "Статус устройства";
    names[0x09] = "RTC";
    names[0x0A] = "Команда";
    names[0x0C] = "Параметр команды";
    return names;
}();

constexpr auto kLiveNames = [] {
    std::array<std::string_view, 64> names{};
    names[0x00] = "Статус устройства (мой)";
    names[0x02] = "Версия ПО";
    names[0x03] = "Версия ПО1";
    names[0x04] = "Версия ПО2";
    names[0x05] = "Версия ПО3";
    names[0x06] = "Версия протокола обмена и набора данных";
    names[0x0C] = "Команда управления внутренняя";
    names[0x0D] = "Код подтверждения команды управления";
    names[0x0E] = "Команда управления, ответ";
    names[0x0F] = "Код подтверждения команды управления";
    names[0x10] = "Тип АБ по напряжению (определён ЗУ)";
    names[0x11] = "Тип АБ по электролиту (определён ЗУ)";
    names[0x12] = "Резерв (условный номер батареи для ведения статистики)";
    names[0x13] = "Напряжение входной питающей сети";
    names[0x14] = "Ток потребления от входной сети";
    names[0x15] = "Состояние входов управления зарядом";
    names[0x16] = "Статус заряда";
    names[0x17] = "Режим заряда";
    names[0x18] = "Стадия заряда";
    names[0x19] = "Функция заряда";
    names[0x1A] = "Ошибки восстановления заряда";
    names[0x1B] = "Ошибка 1 (ErrBig)";
    names[0x1C] = "Ошибка 2 (ErrSmall)";
    names[0x1D] = "Ошибка 3 (ErrCloseChrg)";
    names[0x1E] = "Ошибка 4 (Err)";
    names[0x1F] = "Флаги подтверждения сброса ошибок";
    names[0x20] = "Статус калибровки";
    names[0x21] = "Условие калибровки";
    names[0x29] = "Ток заряда текущий, А";
    names[0x2B] = "Ток заряда текущий, индукционный, А";
    names[0x2D] = "Ток разряда, А";
    names[0x2F] = "Напряжение АБ, В";
    names[0x31] = "Напряжение предзаряда, В";
    names[0x33] = "Мощность АБ, Вт";
    names[0x34] = "Температура АБ";
    names[0x35] = "Температура прибора 1";
    names[0x36] = "Температура прибора 2";
    names[0x38] = "Время текущей стадии, мин";
    names[0x39] = "Время заряда, мин";
    names[0x3B] = "Заряженная ёмкость, сеанс";
    names[0x3D] = "Заряженная ёмкость, сумма";
    names[0x3F] = "Заряженная ёмкость, пользователь";
    return names;
}();

// Settings registers 0x2800..0x281F: key, name, and the file comment where it differs from
// the name.
struct SettingsText {
    std::string_view key;
    std::string_view name;
    std::string_view description;
};

constexpr std::array<SettingsText, 32> kSettingsHead{{
    {"WaySaveSettings", "Способ сохранения настроек в памяти", ""},
    {"DeviceIdentity", "Тип устройства", ""},
    {"ControlMode", "Режим управления", ""},
    {"StageCount", "Количество доступных стадий", ""},
    {"StageSetShift", "Относительный адрес текущей стадии",
     "Относительный адрес описателя первой стадии"},
    {"ManagementMode", "Режим управления 2", ""},
    {"ErrorRechargeEnable", "Ошибки разрешения перезапуска заряда", ""},
    {"Reserve_13", "", "Резерв"},
    {"ChargeScript", "Сценарий заряда", ""},
    {"TypeBattVoltage", "Тип АБ по напряжению", ""},
    {"VoltageCell", "Номинальное напряжение ячейки", "Номинальное напряжение ячейки, х100В"},
    {"CountCell", "Количество ячеек", ""},
    {"TypeBatt", "Тип АБ по электролиту", ""},
    {"CapacityBatt", "Ёмкость АБ, А*ч", ""},
    {"ChargeCurrentMax", "Ток заряда максимальный, А", "Ток заряда максимальный, х100А"},
    {"ChargeTimeMax", "Время заряда максимальное, мин", ""},
    {"ChargeCurrentOff", "Ток отключения заряда, А", "Ток отключения заряда, х100А"},
    {"ChargeCurrentOffDuration", "Длительность Ток меньше тока отключения, сек",
     "Длительность существования условия ток меньше тока отключения, сек"},
    {"ChargeVoltageRecom", "Напряжение возобновления заряда, В",
     "Напряжение возобновления заряда, х100В"},
    {"ChargeVoltageRecomDuration", "Длительность Напряжение меньше напряжения возобновления, сек",
     "Длительность существования условия напряжение меньше напряжения возобновления, сек"},
    {"ChargeTempMax", "Температура АБ макс.", "Максимальная рабочая температура АБ, х10"},
    {"ChargeTempMaxDuration", "Длительность Температура больше максимальной, сек", ""},
    {"ChargeTempMin", "Температура АБ мин.", "Минимальная рабочая температура АБ, х10"},
    {"ChargeTempMinDuration", "Длительность Температура меньше минимальной, сек", ""},
    {"ReleLockControlEnable", "Управление реле питания от АБ, разрешение", ""},
    {"ReleLockControlTime", "Управление реле питания от АБ, время, сек", ""},
    {"ReleOut1ControlCase", "Управление выходом 1, код ситуации", ""},
    {"ReleOut1ControlLogic", "Управление выходом 1, логика", "Управление выходом 1, логика работы"},
    {"ReleOut1ControlCriterion", "Управление выходом 1, условие", ""},
    {"ReleOut2ControlCase", "Управление выходом 2, код ситуации", ""},
    {"ReleOut2ControlLogic", "Управление выходом 2, логика", "Управление выходом 2, логика работы"},
    {"ReleOut2ControlCriterion", "Управление выходом 2, условие", ""},
}};

// The device's own numbering of its reserve registers 0x2820..0x2837 and 0x28F8..0x28FF.
constexpr std::array<std::string_view, 24> kReserveKeysMiddle{
    "Reserve_30", "Reserve_31", "Reserve_32", "Reserve_33", "Reserve_34", "Reserve_35",
    "Reserve_2",  "Reserve_3",  "Reserve_14", "Reserve_15", "Reserve_16", "Reserve_17",
    "Reserve_18", "Reserve_19", "Reserve_20", "Reserve_21", "Reserve_22", "Reserve_23",
    "Reserve_24", "Reserve_25", "Reserve_26", "Reserve_27", "Reserve_28", "Reserve_29"};
constexpr std::array<std::string_view, 8> kReserveKeysTail{"Reserve_4",  "Reserve_5", "Reserve_6",
                                                           "Reserve_7",  "Reserve_8", "Reserve_9",
                                                           "Reserve_10", "Reserve_11"};
constexpr std::size_t kReserveMiddleFirst = 0x20;
constexpr std::size_t kReserveTailFirst = 0xF8;
constexpr std::string_view kReserveDescription = "Резерв";

constexpr auto kControlNames = [] {
    std::array<std::string_view, 32> names{};
    names[0x00] = "Режим заряда в ручном режиме управления";
    names[0x01] = "Резерв (стадия заряда в ручном режиме управления)";
    names[0x02] = "Флаги сброса ошибок";
    names[0x08] = "Требование калибровки";
    names[0x09] = "Условие калибровки";
    names[0x0A] = "Коэффициент измерения напряжения";
    names[0x0B] = "Коэффициент уставки напряжения";
    names[0x0C] = "Коэффициент измерения тока";
    names[0x0D] = "Коэффициент уставки тока";
    names[0x10] = "Описатель текущей стадии";
    for (std::size_t offset = 1; offset < kStageOffsetNames.size(); ++offset)
        names[0x10 + offset] = kStageOffsetNames[offset];
    return names;
}();

constexpr std::array<std::string_view, 3> kLinkNames{"Сетевой адрес", "Скорость обмена",
                                                     "Формат обмена"};

inline constexpr std::size_t kMaxCurrentNames = 21;
inline constexpr std::size_t kMaxCurrentFirst = 0x04;

// Texts built from a number once, at first use.
struct GeneratedTexts {
    std::array<std::string, kChargerStageCount> stage_names;
    std::array<std::string, kMaxCurrentNames> max_current_names;
    std::array<std::string, kChargerStageCount * kChargerStageRegisters> stage_keys;
    std::array<std::string, kChargerStageCount * kStageOffsetNames.size()> stage_descriptions;
    std::array<DeviceSettingsKey, 256> keys;
};

const GeneratedTexts& Generated() {
    static const GeneratedTexts texts = [] {
        GeneratedTexts t;
        for (std::size_t i = 0; i < kMaxCurrentNames; ++i)
            t.max_current_names[i] =
                "Максимальное значение тока для напряжения " + std::to_string(i);
        for (std::size_t i = 0; i < kSettingsHead.size(); ++i) {
            const SettingsText& head = kSettingsHead[i];
            t.keys[i] = {head.key, i, head.description.empty() ? head.name : head.description};
        }
        for (std::size_t i = 0; i < kReserveKeysMiddle.size(); ++i)
            t.keys[kReserveMiddleFirst + i] = {kReserveKeysMiddle[i], kReserveMiddleFirst + i,
                                               kReserveDescription};
        for (std::size_t i = 0; i < kReserveKeysTail.size(); ++i)
            t.keys[kReserveTailFirst + i] = {kReserveKeysTail[i], kReserveTailFirst + i,
                                             kReserveDescription};
        for (std::size_t stage = 0; stage < kChargerStageCount; ++stage) {
            const std::string number = std::to_string(stage + 1);
            t.stage_names[stage] = "Описатель стадии " + number;
            const std::string key_prefix = "ChargeStage_" + number + "_";
            for (std::size_t offset = 0; offset < kChargerStageRegisters; ++offset) {
                const std::size_t index =
                    kChargerStageFirstIndex + kChargerStageRegisters * stage + offset;
                std::string& key = t.stage_keys[kChargerStageRegisters * stage + offset];
                std::string_view description = kReserveDescription;
                if (offset < kStageKeySuffixes.size()) {
                    key = key_prefix + std::string(kStageKeySuffixes[offset]);
                    std::string& text =
                        t.stage_descriptions[kStageOffsetNames.size() * stage + offset];
                    text = "Стадия " + number + ", " + std::string(kStageDescriptionTails[offset]);
                    description = text;
                } else {
                    key =
                        key_prefix + "Reserve_" + std::to_string(offset - kStageKeySuffixes.size());
                }
                t.keys[index] = {key, index, description};
            }
        }
        return t;
    }();
    return texts;
}

std::string_view SettingsName(std::size_t index) {
    if (index < kSettingsHead.size()) return kSettingsHead[index].name;
    if (index < kChargerStageFirstIndex) return {};
    const std::size_t relative = index - kChargerStageFirstIndex;
    const std::size_t stage = relative / kChargerStageRegisters;
    const std::size_t offset = relative % kChargerStageRegisters;
    if (stage >= kChargerStageCount || offset >= kStageOffsetNames.size()) return {};
    if (offset == kStageDescript) return Generated().stage_names[stage];
    return kStageOffsetNames[offset];
}

std::string_view CapabilityName(std::size_t index) {
    switch (index) {
        case 0x01:
            return "Типы поддерживаемых АБ по напряжению";
        case 0x02:
            return "Типы поддерживаемых АБ";
        case 0x03:
            return "Максимальное значения напряжения";
        case 0x19:
            return "Дополнительные функции";
        default:
            if (index >= kMaxCurrentFirst && index < kMaxCurrentFirst + kMaxCurrentNames)
                return Generated().max_current_names[index - kMaxCurrentFirst];
            return {};
    }
}

}  // namespace

std::optional<ChargerRegisterRef> ChargerLocate(std::uint16_t address) {
    for (std::size_t block = 0; block < kChargerBlockCount; ++block) {
        const BlockLayout& entry = kChargerBlocks[block];
        if (address >= entry.base && address - entry.base < entry.count)
            return ChargerRegisterRef{static_cast<std::uint16_t>(block),
                                      static_cast<std::uint16_t>(address - entry.base)};
    }
    return std::nullopt;
}

std::span<const RegisterDescriptor> ChargerDescriptors(std::size_t block) {
    return block < kDescriptorTables.size() ? kDescriptorTables[block]
                                            : std::span<const RegisterDescriptor>{};
}

const RegisterDescriptor* ChargerDescriptor(std::size_t block, std::size_t index) {
    const std::span<const RegisterDescriptor> table = ChargerDescriptors(block);
    return index < table.size() ? &table[index] : nullptr;
}

const RegisterDescriptor* ChargerDescriptorAt(std::uint16_t address) {
    const std::optional<ChargerRegisterRef> where = ChargerLocate(address);
    return where ? ChargerDescriptor(where->block, where->index) : nullptr;
}

std::string_view ChargerRegisterName(std::size_t block, std::size_t index) {
    switch (block) {
        case kChargerBlockIdent:
            return index < kIdentNames.size() ? kIdentNames[index] : std::string_view{};
        case kChargerBlockLive:
            return index < kLiveNames.size() ? kLiveNames[index] : std::string_view{};
        case kChargerBlockSettings:
            return SettingsName(index);
        case kChargerBlockControl:
            return index < kControlNames.size() ? kControlNames[index] : std::string_view{};
        case kChargerBlockLink:
            return index < kLinkNames.size() ? kLinkNames[index] : std::string_view{};
        case kChargerBlockCapability:
            return CapabilityName(index);
        default:
            return {};
    }
}

std::string_view ChargerRegisterName(std::uint16_t address) {
    const std::optional<ChargerRegisterRef> where = ChargerLocate(address);
    return where ? ChargerRegisterName(where->block, where->index) : std::string_view{};
}

std::string ChargerRowLabel(std::size_t block, std::size_t index) {
    const RegisterDescriptor* descriptor = ChargerDescriptor(block, index);
    if (descriptor == nullptr) return {};
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "0x%04X ", descriptor->address);
    return prefix + std::string(ChargerRegisterName(block, index));
}

std::span<const DeviceSettingsKey> ChargerSettingsKeys() {
    return Generated().keys;
}

}  // namespace veltrona
