#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace veltrona {

// Command codes of 0x000A; the parameter goes to 0x000B..0x000C.
inline constexpr std::uint16_t kInvCmdSaveSettings = 1;  // settings block to EEPROM
inline constexpr std::uint16_t kInvCmdSaveLink = 2;      // link settings block to EEPROM
inline constexpr std::uint16_t kInvCmdSetClock = 3;      // parameter: seconds since 2000
inline constexpr std::uint16_t kInvCmdEraseAlarms = 4;
inline constexpr std::uint16_t kInvCmdChargingCurrent = 9;   // parameter: 0.01 А
inline constexpr std::uint16_t kInvCmdChargingVoltage = 10;  // parameter: 0.01 В
inline constexpr std::uint16_t kInvCmdOn = 11;
inline constexpr std::uint16_t kInvCmdOff = 12;
inline constexpr std::uint16_t kInvCmdNewCycle = 13;

// Device status word 0x0007: the inverter is switched on.
inline constexpr std::uint16_t kInvStatusRunning = 0x0008;

// State registers shown as texts. Every table ends with its catch-all "Не понял", which any
// larger code also shows.
enum class InverterEnumeration : std::uint8_t {
    kChargeState,     // 0x0711, 0x071A
    kOperatingState,  // 0x0712, 0x071B
    kInverterState,   // 0x0718
    kSwitching,       // 0x071C
    kAlarmState,      // 0x0729
};
inline constexpr std::string_view kInvTextNotUnderstood = "Не понял";

std::span<const std::string_view> InverterEnumerationTexts(InverterEnumeration enumeration);
// The catch-all's code: the last entry of the table.
std::uint16_t InverterCatchAllCode(InverterEnumeration enumeration);
// The text of a code, a code above the catch-all lowered to it.
std::string_view InverterEnumerationText(InverterEnumeration enumeration, std::uint32_t code);

// Battery_Type 0x3619 by code (0 user settings) and Buzzer_Mode 0x3636 by code.
inline constexpr std::array<std::string_view, 4> kInverterBatteryTypes{"User", "FLOODED", "GEL",
                                                                       "AGM"};
inline constexpr std::array<std::string_view, 3> kInverterBuzzerModes{"Выключен", "Все сигналы",
                                                                      "Только полный разряд"};

// Safety words: bit i of the word is entry i. Word 1 lies in 0x0713, 0x0721, 0x3602 and
// 0x3604; word 2 in 0x0714, 0x0722, 0x3603 and 0x3605, whose bits 8 to 15 are not used.
struct InverterAlarmBit {
    std::string_view flag;  // inner page caption
    std::string_view text;  // indicator and check box caption
};
inline constexpr std::array<InverterAlarmBit, 16> kInverterSafetyWord1Bits{{
    {"ACIN_OV", "Высокое входное напряжение"},
    {"ACIN_UV", "Низкое входное напряжение"},
    {"ACIN_FREQ_LOW", "Низкая входная частота"},
    {"ACIN_FREQ_HIGH", "Высокая входная частота"},
    {"ACIN_LOSS", "Пропажа входного напряжения"},
    {"ACIN_ABS_OV", "Аварийное входное напряжение"},
    {"ACOUT_SHORT", "КЗ на выходе"},
    {"ACOUT_SHORT_ATTEMPTS_ENDED", "КЗ исчерпаны попытки"},
    {"BATTERY_BAD", "Неисправность АБ"},
    {"BATTERY_BAD_CONNECTION", "Плохой контакт АБ"},
    {"BATTERY_UV", "Низкое напряжение АБ"},
    {"BATTERY_OV", "Высокое напряжение АБ"},
    {"BATTERY_UTC", "Низкая температура заряда"},
    {"BATTERY_UTD", "Низкая температура разряда"},
    {"BATTERY_OT", "Перегрев АБ"},
    {"INVERTER_OT", "Перегрев инвертора"},
}};
inline constexpr std::array<InverterAlarmBit, 8> kInverterSafetyWord2Bits{{
    {"TRANSFORMER_OT", "Перегрев трансформатора"},
    {"FAN_FAILURE", "Отказ вентилятора"},
    {"ACIN_CURRENT_LIMIT", "Превышен входной ток"},
    {"INVERTER_INHIBITED", "Авария инвертора"},
    {"STANDBY", "Спящий режим"},
    {"MAXLOAD", "Превышена мощность нагрузки"},
    {"CHARGE_CURRENT_REDUCED", "Заряд пониженным током"},
    {"ACOUT_LOSS", "Пропажа выходного напряжения"},
}};

// Relay state 0x0715; bits 8 to 15 are not used.
inline constexpr std::uint16_t kInvRelayTransfer = 0x0001;
inline constexpr std::uint16_t kInvRelayNeutral = 0x0002;
inline constexpr std::uint16_t kInvRelayGround = 0x0004;
inline constexpr std::uint16_t kInvRelayInverter = 0x0008;
inline constexpr std::uint16_t kInvRelayOutput0 = 0x0010;
inline constexpr std::uint16_t kInvRelayOutput1 = 0x0020;
inline constexpr std::uint16_t kInvRelayInput0 = 0x0040;
inline constexpr std::uint16_t kInvRelayInput1 = 0x0080;

// Bit names of the inner values block, bit 0 first.
inline constexpr std::array<std::string_view, 4> kInverterSyncFlagBits{"SYNCOK", "SYNCFREQ",
                                                                       "SYNCPHASE", "READY"};
inline constexpr std::array<std::string_view, 16> kInverterDoutBits{
    "OUT1",   "OUT2",   "POWER_SYNC", "POWER_RC", "INVERTER", "MODE_GND", "MODE_N", "MODE_TX",
    "SD_12V", "SD_PWM", "BUZZER",     "RES2",     "RES3",     "RES4",     "RES5",   "RES6"};
inline constexpr std::array<std::string_view, 8> kInverterDinBits{"DIP1", "DIP2", "DIP3", "DIP4",
                                                                  "DIP5", "DIP6", "IN1",  "IN2"};
// Charge_Manage_Alert 0x0726 and Charge_Manage_Status 0x0727.
inline constexpr std::array<std::string_view, 7> kInverterChargeManageBits{
    "NEW_CYCLE",           "BULK_VOLTAGE_END",         "ABSORPTION_CURRENT_END",
    "ABSORPTION_DURATION", "EQUALIZATION_CURRENT_END", "EQUALIZATION_DURATION",
    "EQUALIZATION_PERIOD"};
inline constexpr std::array<std::string_view, 3> kInverterWorkingFlagBits{
    "SOFTSTART", "INVERTER_STOP", "SOFTSTOP"};

// Check box captions of the settings bit fields, bit 0 first.
inline constexpr std::array<std::string_view, 10> kInverterControlModeBits{
    "Заряд разрешён",
    "Инвертор разрешён",
    "Проходное реле разрешено",
    "Заземляющее реле разрешено",
    "Сквозная нейтраль разрешена",
    "Спящий режим разрешён",
    "Ограничение входного тока разрешено",
    "Выключать проходное реле",
    "Приоритет АБ",
    "Ведущий режим"};
inline constexpr std::array<std::string_view, 5> kInverterAutorestartBits{
    "Полный разряд и восстановление сети", "Снижение напряжения АБ", "Повышенное напряжение АБ",
    "Повышение нагрузки или КЗ", "Перегрев"};
inline constexpr std::array<std::string_view, 3> kInverterMultiModeBits{
    "Включить параллельный режим", "Интегральный", "Спящий режим ведомые"};
// The charge stages in use (Charge_Set 0x361A).
inline constexpr std::array<std::string_view, 3> kInverterChargeSetBits{"Абсорбция", "Буфер",
                                                                        "Выравнивание"};

// Unit of a register of the live, settings (also its minimum and maximum) and hidden blocks;
// empty for a register without one and for every other block.
std::string_view InverterRegisterUnit(std::size_t block, std::size_t index);

}  // namespace veltrona
