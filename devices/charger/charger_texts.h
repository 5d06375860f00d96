#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace veltrona {

// Command codes of 0x000A (and of the answered command 0x060E).
inline constexpr std::uint16_t kChrgCmdNone = 0;
inline constexpr std::uint16_t kChrgCmdChargeOn = 1;
inline constexpr std::uint16_t kChrgCmdChargeOff = 2;
inline constexpr std::uint16_t kChrgCmdClearTotal = 3;
inline constexpr std::uint16_t kChrgCmdClearUser = 4;
inline constexpr std::uint16_t kChrgCmdClearErrors = 5;
inline constexpr std::uint16_t kChrgCmdResetSettings = 16;
inline constexpr std::uint16_t kChrgClearErrorsParameter = 0x2000;

// Texts of the tables; codes outside a table give its fallback text.
std::string_view CommandText(std::uint32_t code);
std::string_view CommandResultText(std::uint32_t code);
std::string_view ErrorTextA(std::uint32_t code);  // ErrBig 0x061B, ErrCloseChrg 0x061D
std::string_view ErrorTextB(std::uint32_t code);  // ErrSmall 0x061C
std::string_view ErrorTextC(std::uint32_t code);  // Err 0x061E

// Error kinds, in the order error changes are detected.
inline constexpr std::size_t kErrorKindStart = 0;  // 0x061E
inline constexpr std::size_t kErrorKindClose = 1;  // 0x061D
inline constexpr std::size_t kErrorKindBig = 2;    // 0x061B
inline constexpr std::size_t kErrorKindSmall = 3;  // 0x061C
// "ErrorNotDefined" for any other kind.
std::string_view ErrorKindLabel(std::size_t kind);

inline constexpr std::string_view kChrgErrorUnknown = "Код ошибки не известен";
inline constexpr std::string_view kChrgTextUnlimited = "Не ограничено";
inline constexpr std::string_view kChrgTextCommand = "Команда";

// Stage names, 13 entries (stage 0 to 12), chosen by the battery type code.
inline constexpr std::size_t kChargerStageNames = 13;
std::span<const std::string_view, kChargerStageNames> StageNames(std::uint32_t battery_type);
// A stage number of 13 or more names entry 0.
std::string_view StageName(std::uint32_t battery_type, std::uint32_t stage);

// Device state 0x0600.
inline constexpr std::uint16_t kChrgStateConnected = 0x0080;
inline constexpr std::uint16_t kChrgStateAvailable = 0x0040;
inline constexpr std::uint16_t kChrgStateActive = 0x0020;
inline constexpr std::uint16_t kChrgStateActiveBlink = 0x0010;
inline constexpr std::uint16_t kChrgStateErrorClearable = 0x0004;
inline constexpr std::uint16_t kChrgStateError = 0x0002;
inline constexpr std::uint16_t kChrgStateErrorBlink = 0x0001;
inline constexpr std::uint16_t kChrgStateAnyError = 0x000F;

// Inputs and outputs 0x0615.
inline constexpr std::uint16_t kChrgInput1 = 0x0001;
inline constexpr std::uint16_t kChrgInput2 = 0x0002;
inline constexpr std::uint16_t kChrgInput3 = 0x0004;
inline constexpr std::uint16_t kChrgInputSwitch = 0x0040;
inline constexpr std::uint16_t kChrgOutput1 = 0x0100;
inline constexpr std::uint16_t kChrgOutput2 = 0x0200;

// Calibration: 0x0620 bit 15 enabled on the device; request values of 0x2908.
inline constexpr std::uint16_t kChrgCalibrationEnabled = 0x8000;
inline constexpr std::uint16_t kChrgCalibrationStore = 0x4000;

// Stage descriptor flags (offset 0).
inline constexpr std::uint16_t kStageSwitchLocked = 0x8000;
inline constexpr std::uint16_t kStageValuesLocked = 0x4000;
inline constexpr std::uint16_t kStageOff = 0x2000;

// Battery-power relay (0x2818) on.
inline constexpr std::uint16_t kChrgRelayLockOn = 0x0080;
// Extra functions 0x3019.
inline constexpr std::uint16_t kChrgExtraRelayLock = 0x0001;
inline constexpr std::uint16_t kChrgExtraRelayOutputs = 0x0006;

// Charge command modes (0x2805); validation lowers a larger value to the last.
inline constexpr std::array<std::string_view, 5> kChargeCommandModes{
    "Аппаратно (выключатель)", "Аппаратно с программным отключением",
    "Программно (внешняя команда)", "Программно с аппаратным отключением",
    "Комбинированное управление"};

// Restart enable bits (0x2806) with their check box captions; bits 7 to 10 pass through.
struct ChargerBitCaption {
    std::uint16_t bit;
    std::string_view caption;
};
inline constexpr std::array<ChargerBitCaption, 12> kRestartEnableBits{{
    {15, "Пропадание напряжения входной сети"},
    {14, "Напряжение входной сети не в норме"},
    {13, "Напряжение цепи постоянного тока ниже нормы"},
    {12, "АБ отключена"},
    {11, "Напряжение цепи предзаряда АБ ниже нормы"},
    {6, "Напряжение АБ не соответствует уставке"},
    {5, "Неисправность датчика температуры АБ"},
    {4, "Температура АБ ниже минимально разрешённой"},
    {3, "Температура АБ выше максимально разрешённой"},
    {2, "Неисправность датчика внутренней температуры"},
    {1, "Неисправность датчика внутренней температуры 1"},
    {0, "Внутренний перегрев"},
}};

// Output control cases (0x281A, 0x281D); a case above 7 is shown as 7, which has no selector.
inline constexpr std::uint16_t kOutputCaseLast = 7;
inline constexpr std::array<std::string_view, 7> kOutputCaseCaptions{
    "Не управляется",  "Вход 1",        "Вход 2",      "Вход 3",
    "Напряжение сети", "Напряжение АБ", "Время заряда"};
// Criterion labels of cases 0 to 6; case 7 leaves the label as it was.
inline constexpr std::array<std::string_view, 7> kOutputCaseCriterionLabels{
    "Нет значения",    "Нет значения",  "Нет значения", "Нет значения",
    "Напряжение сети", "Напряжение АБ", "Время заряда"};
// Mains criterion of case 4; a larger value shows the last entry.
inline constexpr std::array<std::string_view, 4> kMainsCriterionTexts{"Не определено", "Ниже нормы",
                                                                      "Выше нормы", "Норма"};

// Battery type codes (0x280C, 0x0611).
enum class BatteryFamily : std::uint8_t { Acid, UserAcid, Traction, Lithium };
struct ChargerBatteryType {
    std::uint16_t code;
    std::string_view caption;  // empty: no selector
    BatteryFamily family;
    std::uint16_t capability_bit;  // of 0x3002
};
inline constexpr std::array<ChargerBatteryType, 8> kBatteryTypes{{
    {0, "GEL", BatteryFamily::Acid, 0},
    {1, "AGM", BatteryFamily::Acid, 1},
    {2, "FLOODED", BatteryFamily::Acid, 2},
    {4, "", BatteryFamily::Traction, 3},
    {8, "", BatteryFamily::Lithium, 4},
    {32, "User ACID", BatteryFamily::UserAcid, 5},
    {36, "User TRAC", BatteryFamily::Traction, 6},
    {40, "User LI", BatteryFamily::Lithium, 7},
}};
// Null for a code that is no valid battery type.
const ChargerBatteryType* FindBatteryType(std::uint32_t code);
inline constexpr std::string_view kBatteryTypeUndefined = "Тип АБ не определён или не установлен";

// Battery voltage codes (0x2809) by voltage index 0..3.
struct ChargerVoltageCode {
    std::uint16_t code;
    std::string_view caption;
    std::uint16_t capability_bit;  // of 0x3000-0x3001, also the voltage type
};
inline constexpr std::array<ChargerVoltageCode, 4> kBatteryVoltageCodes{{
    {120, "12В", 7},
    {240, "24В", 8},
    {360, "36В", 10},
    {480, "48В", 11},
}};
// Voltage index of a code; any other code counts as index 0.
std::size_t BatteryVoltageIndex(std::uint32_t code);

// Voltage types: bit i of 0x3000-0x3001 and register 0x3004 + i, by battery voltage code.
inline constexpr std::array<std::uint16_t, 21> kVoltageTypeCodes{
    0,   12,  24,  36,  48,   60,   96,   120,  240,  270, 360,
    480, 600, 720, 960, 1100, 1250, 2200, 2500, 4400, 6000};
// -1 for a code outside the table.
int VoltageType(std::uint32_t code);

}  // namespace veltrona
