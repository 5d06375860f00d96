#include "devices/inverter/inverter_map.h"

#include <array>
#include <cstdio>

#include "devices/bus_devices.h"

namespace veltrona {

namespace {

enum Kind : std::uint8_t { kU16, kS16, kLow, kU32, kShownSigned };

// A register's caption name, kind and decimals; a pair's lower half has no name.
struct Row {
    std::string_view name;
    Kind kind;
    std::uint16_t decimals;
};

struct SettingsRow {
    std::string_view key;
    std::string_view name;
    std::string_view comment;
    Kind kind;
    std::uint16_t decimals;
};

constexpr RegisterDescriptor Describe(std::size_t address, std::size_t index, Kind kind,
                                      std::uint16_t decimals) {
    const auto a = static_cast<std::uint16_t>(address);
    const auto i = static_cast<std::uint16_t>(index);
    switch (kind) {
        case kS16:
            return {a, i, 6, 2, decimals};
        case kLow:
            return {a, i, 3, 0, 0};
        case kU32:
            return {a, i, 9, 3, decimals};
        case kShownSigned:
            return {a, i, 4, 2, decimals};
        case kU16:
            break;
    }
    return {a, i, 4, 1, decimals};
}

template <typename R, std::size_t N>
constexpr std::array<RegisterDescriptor, N> DescribeRows(std::uint16_t base,
                                                         const std::array<R, N>& rows) {
    std::array<RegisterDescriptor, N> table{};
    for (std::size_t i = 0; i < N; ++i)
        table[i] = Describe(base + i, i, rows[i].kind, rows[i].decimals);
    return table;
}

constexpr std::uint16_t BaseOf(std::uint16_t block) {
    return kInverterBlocks[block].base;
}

constexpr std::array<Row, 13> kIdentRows{{
    {"Тип устройства", kU16, 0},
    {"Номер устройства", kU16, 0},
    {"Версия ПО", kU16, 0},
    {"", kLow, 0},
    {"Версия компиляции ПО", kU32, 0},
    {"", kLow, 0},
    {"Серийный номер", kU32, 0},
    {"Статус устройства", kU16, 0},
    {"", kLow, 0},
    {"RTC", kU32, 0},
    {"Команда", kU16, 0},
    {"", kLow, 0},
    {"Параметр команды", kU32, 0},
}};

constexpr std::array<Row, 26> kLiveRows{{
    {"Входное напряжение", kU16, 2},
    {"Входной ток", kS16, 2},
    {"Входная частота", kU16, 2},
    {"Входная мощность", kU16, 0},
    {"Напряжение инвертора", kU16, 2},
    {"Ток инвертора", kS16, 2},
    {"Частота инвертора", kU16, 2},
    {"Мощность инвертора", kU16, 0},
    {"Выходное напряжение", kU16, 2},
    {"Выходной ток", kS16, 2},
    {"Выходная частота", kU16, 2},
    {"Выходная мощность", kU16, 0},
    {"Температура радиатора", kS16, 1},
    {"Температура АБ", kS16, 1},
    {"Напряжение АБ", kU16, 2},
    {"Ток АБ", kS16, 2},
    {"Уровень мощности нагрузки, %", kU16, 0},
    {"Состояние заряда", kU16, 0},
    {"Рабочее состояние ИБП", kU16, 0},
    {"Флаги аварий", kU16, 0},
    {"Флаги аварий", kU16, 0},
    {"Состояние реле", kU16, 0},
    {"Заданный ток заряда", kU16, 2},
    {"Заданное напряжение заряда", kU16, 2},
    {"Состояние инвертора", kU16, 0},
    {"Регистр параллельной работы", kU16, 0},
}};

// Charge_Manage_Status is stored unsigned and shown signed.
constexpr std::array<Row, 18> kInnerRows{{
    {"Charge_State_Alert", kU16, 0},
    {"Operating_State_Alert", kU16, 0},
    {"Operating_State_Switching", kU16, 0},
    {"Battery_Voltage_Inner", kU16, 2},
    {"Battery_Voltage_Sense", kU16, 2},
    {"Battery_UV_Counter", kU16, 0},
    {"Output_Short_Counter", kU16, 0},
    {"Safety_Status1_Alert", kU16, 0},
    {"Safety_Status2_Alert", kU16, 0},
    {"SyncFlags", kU16, 0},
    {"Dout_Status", kU16, 0},
    {"Din_Status", kU16, 0},
    {"Charge_Manage_Alert", kU16, 0},
    {"Charge_Manage_Status", kShownSigned, 0},
    {"Working_Flags", kU16, 0},
    {"Alarm_State", kU16, 0},
    {"Transformer_Temperature", kS16, 1},
    {"Charge_Current_Set", kU16, 0},
}};

constexpr std::array<SettingsRow, kInverterSettingsCount> kSettingsRows{{
    {"Control_Mode", "Настройки ИБП", "Настройки ИБП", kU16, 0},
    {"Autorestart_Mode", "Настройки перезапуска ИБП", "Настройки перезапуска ИБП", kU16, 0},
    {"Safety_Status0_Shutdown", "Выбор аварий для выключения ИБП",
     "Выбор аварий для выключения ИБП", kU16, 0},
    {"Safety_Status1_Shutdown", "Выбор аварий для выключения ИБП",
     "Выбор аварий для выключения ИБП", kU16, 0},
    {"Safety_Status0_Log", "Выбор аварий для записи в журнал аварий",
     "Выбор аварий для записи в журнал аварий", kU16, 0},
    {"Safety_Status1_Log", "Выбор аварий для записи в журнал аварий",
     "Выбор аварий для записи в журнал аварий", kU16, 0},
    {"Multi_Mode", "Настройки параллельной работы ИБП", "Настройки параллельной работы ИБП", kU16,
     0},
    {"Inverter_Voltage", "Напряжение на выходе инвертора", "Напряжение на выходе инвертора", kU16,
     2},
    {"Inverter_Frequency", "Частота на выходе инвертора", "Частота напряжения на выходе инвертора",
     kU16, 2},
    {"Inverter_Short_Attempts_Number", "Количество перезапусков КЗ на выходе",
     "Количество перезапусков по КЗ на выходе", kU16, 0},
    {"Standby_Level", "Мощность нагрузки для перехода в спящий режим",
     "Мощность нагрузки для перехода в спящий режим, 1%", kU16, 0},
    {"Standby_Period", "Время между перезапусками", "Время между перезапусками", kU16, 0},
    {"Softstart_Duration", "Продолжительность мягкого старта",
     "Продолжительность мягкого старта, 1мс", kU16, 0},
    {"Input_AC_Current_Limit", "Максимальный входной ток", "Максимальный входной ток, 0,01А", kU16,
     2},
    {"Input_AC_UV_Threshold", "Нижний порог входного напряжения для перехода на АБ",
     "Нижний порог входного напряжения для перехода на АБ, 0,01В", kU16, 2},
    {"Input_AC_UV_Recovery", "Нижний порог входного напряжения для перехода на сеть",
     "Нижний порог входного напряжения для перехода на сеть, 0,01В", kU16, 2},
    {"Input_AC_OV_Threshold", "Верхний порог входного напряжения для перехода на АБ",
     "Верхний порог входного напряжения для перехода на АБ, 0,01В", kU16, 2},
    {"Input_AC_OV_Recovery", "Верхний порог входного напряжения для перехода на сеть",
     "Верхний порог входного напряжения для перехода на сеть, 0,01В", kU16, 2},
    {"Input_AC_Threshold_Time", "Время переключения на АБ", "Время переключения на АБ, 1мс", kU16,
     0},
    {"Input_AC_Recovery_Time", "Время переключения на сеть", "Время переключения на сеть, 1с", kU16,
     0},
    {"Input_AC_Frequency_Low", "Минимальная входная частота", "Минимальная входная частота, 0,01Гц",
     kU16, 2},
    {"Input_AC_Frequency_High", "Максимальная входная частота",
     "Максимальная входная частота, 0,01Гц", kU16, 2},
    {"Input_AC_Frequency_Time", "Время аварии по частоте",
     "Время установки аварии несоответствия входной частоты, 1с", kU16, 0},
    {"Charging_Current", "Ток заряда", "Ток заряда, 0,01А", kU16, 2},
    {"Charging_Current_Reduced", "Ток заряда пониженный", "Ток при заряде малым током, 0,01А", kU16,
     2},
    {"Battery_Type", "Тип АБ", "Выбор типа батареи (активация встроенных настроек)", kU16, 0},
    {"Charge_Set", "Настройки заряда", "Настройки заряда", kU16, 0},
    {"Floating_Voltage", "Напряжение буфера", "Буферное напряжение, 0,01В", kU16, 2},
    {"Absorption_Voltage", "Напряжение абсорбции", "Напряжение абсорбции, 0,01В", kU16, 2},
    {"Absorption_Current_End", "Ток окончания абсорбции",
     "Ток окончания стадии абсорбции, 0.01А (если ноль, то окончание по времени)", kU16, 2},
    {"Absorption_Duration", "Длительность стадии абсорбции", "Длительность стадии абсорбции, 0.1ч",
     kU16, 1},
    {"Equalization_Voltage", "Напряжение стадии выравнивания",
     "Напряжение стадии выравнивания, 0.01В", kU16, 2},
    {"Equalization_Current", "Ток стадии выравнивания", "Ток стадии выравнивания, 0.01А", kU16, 2},
    {"Equalization_Current_End", "Ток окончания стадии выравнивания",
     "Ток окончания стадии выравнивания, 0.01А (если ноль, то окончание по времени)", kU16, 2},
    {"Equalization_Duration", "Длительность стадии выравнивания",
     "Длительность стадии выравнивания, 0.1ч", kU16, 1},
    {"Equalization_Period_Days", "Период между стадиями выравнивания",
     "Период между стадиями выравнивания, 1д", kU16, 0},
    {"Battery_Temperature_Compensation", "Температурная компенсация",
     "Температурная компенсация, мВ/С", kS16, 0},
    {"Battery_UV_Threshold_wo_Load", "Напряжение аварии по низкому напряжению АБ без нагрузки",
     "Напряжение активации аварии по низкому напряжению АБ без нагрузки, 0,01В", kU16, 2},
    {"Battery_UV_Threshold_at_Full_Load",
     "Напряжение аварии по низкому напряжению АБ при полной нагрузке",
     "Напряжение активации аварии по низкому напряжению АБ при полной нагрузке, 0,01В", kU16, 2},
    {"Battery_UV_Recovery", "Напряжение сброса аварии по низкому напряжению АБ",
     "Напряжение сброса аварии по низкому напряжению АБ, 0,01В", kU16, 2},
    {"Battery_UV_Time", "Время установления аварии по низкому напряжению АБ",
     "Время установления аварии по низкому напряжению АБ, 1с", kU16, 0},
    {"Battery_UV_Adaptive_Increment",
     "Напряжение инкремента при каждом отключении по низкому напряжению АБ",
     "Напряжение инкремента при каждом отключении по низкому напряжению АБ, 0,01В (если ноль, то "
     "опция выключена)",
     kU16, 2},
    {"Battery_OV_Threshold", "Напряжение аварии по высокому напряжению АБ",
     "Напряжение активации предупреждения аварии по высокому напряжению АБ, 0,01В", kU16, 2},
    {"Battery_OV_Recovery", "Напряжение сброса аварии по высокому напряжению АБ",
     "Напряжение сброса аварии по высокому напряжению АБ, 0,01В", kU16, 2},
    {"Battery_OV_Time", "Время установления аварии по высокому напряжению АБ",
     "Время установления аварии по высокому напряжению АБ, 1с", kU16, 0},
    {"Battery_UTC_Threshold", "Порог аварии заряда по низкой температуре АБ",
     "Порог активации предупреждения заряда по низкой температуре АБ, 1С", kS16, 0},
    {"Battery_UTC_Recovery", "Порог сброса аварии заряда по низкой температуре АБ",
     "Порог сброса аварии заряда по низкой температуре АБ, 1С", kS16, 0},
    {"Battery_UTD_Threshold", "Порог аварии разряда по низкой температуре АБ",
     "Порог активации предупреждения разряда по низкой температуре АБ, 1С", kS16, 0},
    {"Battery_UTD_Recovery", "Порог сброса аварии разряда по низкой температуре АБ",
     "Порог сброса аварии разряда по низкой температуре АБ, 1С", kS16, 0},
    {"Battery_OT_Threshold", "Порог аварии по высокой температуре АБ",
     "Порог активации предупреждения по высокой температуре АБ, 1С", kS16, 0},
    {"Battery_OT_Recovery", "Порог сброса аварии по высокой температуре АБ",
     "Порог сброса аварии по высокой температуре АБ, 1С", kS16, 0},
    {"Battery_UT_OT_Time", "Время установления аварии по температуре АБ",
     "Время установления аварии по температуре АБ, 1с", kU16, 0},
    {"New_Cycle_Threshold", "Напряжение начала нового цикла заряда",
     "Напряжение начала нового цикла заряда, 0,01В", kU16, 2},
    {"New_Cycle_Time", "Время начала нового цикла заряда",
     "Время, в течении которого напряжение АБ должно быть ниже New_Cycle_Threshold, 1с", kU16, 0},
    {"Buzzer_Mode", "Режим работы зуммера", "Режим работы зуммера", kU16, 0},
}};

constexpr std::array<Row, 32> kHiddenRows{{
    {"Input_AC_Abs_OV_Threshold", kU16, 2},
    {"Input_AC_Abs_OV_Recovery", kU16, 2},
    {"Input_AC_Abs_OV_Time", kU16, 0},
    {"Input_AC_Loss_Threshold", kU16, 2},
    {"Input_AC_Loss_Recovery", kU16, 2},
    {"Input_AC_Loss_Time", kU16, 0},
    {"Inverter_OT_Threshold", kS16, 0},
    {"Inverter_OT_Recovery", kS16, 0},
    {"Inverter_OT_Time", kU16, 0},
    {"Temperature_Fan_Min_Threshold", kS16, 0},
    {"Temperature_Fan_Max_Threshold", kS16, 0},
    {"Temperature_Fan_Recovery", kU16, 0},
    {"Output_AC_OC_Threshold", kU16, 2},
    {"Output_AC_OC_Recovery", kU16, 2},
    {"Output_AC_OC_Time", kU16, 0},
    {"Output_AC_OC_Period", kU16, 0},
    {"Standby_On_Time", kU16, 0},
    {"Standby_Transition_Time", kU16, 0},
    {"Standby_Softstart_Duration", kU16, 0},
    {"Output_AC_Power_Nominal", kU16, 0},
    {"Output_MaxLoad_Threshold", kU16, 0},
    {"Output_MaxLoad_Recovery", kU16, 0},
    {"Output_MaxLoad_Time", kU16, 0},
    {"Transition_to_Charge_Current", kS16, 3},
    {"Relay_On_Time_us", kU16, 0},
    {"Relay_Off_Time_us", kU16, 0},
    {"Charger_Current_Voltage_End_Time", kU16, 0},
    {"Charger_Efficiency", kU16, 2},
    {"Inverter_Efficiency", kU16, 2},
    {"Transformer_OT_Threshold", kS16, 0},
    {"Transformer_OT_Recovery", kS16, 0},
    {"Transformer_OT_Time", kU16, 0},
}};

constexpr std::array<Row, 3> kLinkRows{{
    {"Сетевой адрес", kU16, 0},
    {"Скорость обмена", kU16, 0},
    {"Формат обмена", kU16, 0},
}};

constexpr std::array<Row, kInfo1Size> kBootInfoRows{{
    {"", kU16, 0},
    {"", kU16, 0},
    {"", kLow, 0},
    {"", kU32, 0},
    {"", kLow, 0},
    {"", kU32, 0},
    {"", kU16, 0},
    {"", kU16, 0},
    {"", kU16, 0},
    {"", kU16, 0},
    {"", kU16, 0},
}};

constexpr auto kIdentDescriptors = DescribeRows(BaseOf(kInverterBlockIdent), kIdentRows);
constexpr auto kLiveDescriptors = DescribeRows(BaseOf(kInverterBlockLive), kLiveRows);
constexpr auto kSettingsDescriptors = DescribeRows(BaseOf(kInverterBlockSettings), kSettingsRows);
constexpr auto kMinimumDescriptors = DescribeRows(BaseOf(kInverterBlockSettingsMin), kSettingsRows);
constexpr auto kMaximumDescriptors = DescribeRows(BaseOf(kInverterBlockSettingsMax), kSettingsRows);
constexpr auto kLinkDescriptors = DescribeRows(BaseOf(kInverterBlockLink), kLinkRows);
constexpr auto kInnerDescriptors = DescribeRows(BaseOf(kInverterBlockInner), kInnerRows);
constexpr auto kHiddenDescriptors = DescribeRows(BaseOf(kInverterBlockHidden), kHiddenRows);
constexpr auto kBootInfoDescriptors = DescribeRows(0, kBootInfoRows);

constexpr std::array<std::span<const RegisterDescriptor>, kInverterBlockCount> kDescriptorTables{
    kIdentDescriptors,   kLiveDescriptors, kSettingsDescriptors, kMinimumDescriptors,
    kMaximumDescriptors, kLinkDescriptors, kInnerDescriptors,    kHiddenDescriptors};

constexpr auto kSettingsKeys = [] {
    std::array<DeviceSettingsKey, kInverterSettingsCount> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = {kSettingsRows[i].key, i, kSettingsRows[i].comment};
    return keys;
}();

template <typename R, std::size_t N>
std::string_view NameIn(const std::array<R, N>& rows, std::size_t index) {
    return index < N ? rows[index].name : std::string_view{};
}

}  // namespace

std::optional<InverterRegisterRef> InverterLocate(std::uint16_t address) {
    for (std::size_t block = 0; block < kInverterBlockCount; ++block) {
        const BlockLayout& entry = kInverterBlocks[block];
        if (address >= entry.base && address - entry.base < entry.count)
            return InverterRegisterRef{static_cast<std::uint16_t>(block),
                                       static_cast<std::uint16_t>(address - entry.base)};
    }
    return std::nullopt;
}

std::span<const RegisterDescriptor> InverterDescriptors(std::size_t block) {
    return block < kDescriptorTables.size() ? kDescriptorTables[block]
                                            : std::span<const RegisterDescriptor>{};
}

const RegisterDescriptor* InverterDescriptor(std::size_t block, std::size_t index) {
    const std::span<const RegisterDescriptor> table = InverterDescriptors(block);
    return index < table.size() ? &table[index] : nullptr;
}

const RegisterDescriptor* InverterDescriptorAt(std::uint16_t address) {
    const std::optional<InverterRegisterRef> where = InverterLocate(address);
    return where ? InverterDescriptor(where->block, where->index) : nullptr;
}

std::span<const RegisterDescriptor> InverterBootInfoDescriptors() {
    return kBootInfoDescriptors;
}

std::string_view InverterRegisterName(std::size_t block, std::size_t index) {
    switch (block) {
        case kInverterBlockIdent:
            return NameIn(kIdentRows, index);
        case kInverterBlockLive:
            return NameIn(kLiveRows, index);
        case kInverterBlockSettings:
        case kInverterBlockSettingsMin:
        case kInverterBlockSettingsMax:
            return NameIn(kSettingsRows, index);
        case kInverterBlockLink:
            return NameIn(kLinkRows, index);
        case kInverterBlockInner:
            return NameIn(kInnerRows, index);
        case kInverterBlockHidden:
            return NameIn(kHiddenRows, index);
        default:
            return {};
    }
}

std::string_view InverterRegisterName(std::uint16_t address) {
    const std::optional<InverterRegisterRef> where = InverterLocate(address);
    return where ? InverterRegisterName(where->block, where->index) : std::string_view{};
}

std::string InverterRowLabel(std::size_t block, std::size_t index) {
    const RegisterDescriptor* descriptor = InverterDescriptor(block, index);
    if (descriptor == nullptr) return {};
    char prefix[8] = "0x07 ";
    if (block == kInverterBlockHidden)
        std::snprintf(prefix, sizeof prefix, "0x ");
    else if (block != kInverterBlockInner)
        std::snprintf(prefix, sizeof prefix, "0x%04X ", descriptor->address);
    return prefix + std::string(InverterRegisterName(block, index));
}

std::span<const DeviceSettingsKey, kInverterSettingsCount> InverterSettingsKeys() {
    return kSettingsKeys;
}

bool CreateInverterModel(DeviceList& list, std::uint8_t address) {
    if (list.models.size() <= kInverterIndex) list.models.resize(kInverterIndex + 1);
    list.models[kInverterIndex] = BuildDeviceModel(kInverterLayout, address, false);
    return list.models[kInverterIndex] != nullptr;
}

void DestroyInverterModel(DeviceList& list) {
    if (list.models.size() > kInverterIndex) list.models[kInverterIndex].reset();
}

}  // namespace veltrona
