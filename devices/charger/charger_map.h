#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "devices/charger/charger_blocks.h"
#include "files/device_settings_file.h"
#include "link/device_model.h"

namespace veltrona {

inline constexpr std::size_t kChargerBlockCount = 6;
inline constexpr std::size_t kChargerRegisterCount = 16 + 64 + 256 + 32 + 3 + 32;

// Stage descriptors of the settings block: stage n (1..12) starts at register index
// kChargerStageFirstIndex + kChargerStageRegisters * (n - 1).
inline constexpr std::size_t kChargerStageCount = 12;
inline constexpr std::size_t kChargerStageRegisters = 16;
inline constexpr std::size_t kChargerStageFirstIndex = 0x38;

// Stage descriptor offsets.
inline constexpr std::size_t kStageDescript = 0;
inline constexpr std::size_t kStageCurrent1 = 1;
inline constexpr std::size_t kStageCurrent2 = 2;
inline constexpr std::size_t kStageVoltage1 = 3;
inline constexpr std::size_t kStageVoltage2 = 4;
inline constexpr std::size_t kStageFTemp = 5;
inline constexpr std::size_t kStageTimePulse = 6;
inline constexpr std::size_t kStageTimePause = 7;
inline constexpr std::size_t kStageTimeStage = 8;
inline constexpr std::size_t kStageDurationPass = 9;

// Registers the program interprets (addresses; 32-bit values by their upper register).
inline constexpr std::uint16_t kChrgCommand = 0x000A;
inline constexpr std::uint16_t kChrgCommandParameter = 0x000B;
inline constexpr std::uint16_t kChrgState = 0x0600;
inline constexpr std::uint16_t kChrgVersion0 = 0x0602;
inline constexpr std::uint16_t kChrgVersion1 = 0x0603;
inline constexpr std::uint16_t kChrgVersion2 = 0x0604;
inline constexpr std::uint16_t kChrgVersion3 = 0x0605;
inline constexpr std::uint16_t kChrgAnswer = 0x060E;
inline constexpr std::uint16_t kChrgAnswerResult = 0x060F;
inline constexpr std::uint16_t kChrgBatteryTypeFound = 0x0611;
inline constexpr std::uint16_t kChrgMainsVoltage = 0x0613;
inline constexpr std::uint16_t kChrgMainsCurrent = 0x0614;
inline constexpr std::uint16_t kChrgInputs = 0x0615;
inline constexpr std::uint16_t kChrgChargeState = 0x0616;
inline constexpr std::uint16_t kChrgStage = 0x0618;
inline constexpr std::uint16_t kChrgErrBig = 0x061B;
inline constexpr std::uint16_t kChrgErrSmall = 0x061C;
inline constexpr std::uint16_t kChrgErrCloseChrg = 0x061D;
inline constexpr std::uint16_t kChrgErr = 0x061E;
inline constexpr std::uint16_t kChrgCalibrationState = 0x0620;
inline constexpr std::uint16_t kChrgChargeCurrent = 0x0629;
inline constexpr std::uint16_t kChrgBatteryVoltage = 0x062F;
inline constexpr std::uint16_t kChrgBatteryTemp = 0x0634;
inline constexpr std::uint16_t kChrgDeviceTemp1 = 0x0635;
inline constexpr std::uint16_t kChrgDeviceTemp2 = 0x0636;
inline constexpr std::uint16_t kChrgStageMinutes = 0x0638;
inline constexpr std::uint16_t kChrgChargeMinutes = 0x0639;
inline constexpr std::uint16_t kChrgCapacitySession = 0x063B;
inline constexpr std::uint16_t kChrgCapacityTotal = 0x063D;
inline constexpr std::uint16_t kChrgCapacityUser = 0x063F;
inline constexpr std::uint16_t kChrgBatteryVoltageCode = 0x2809;
inline constexpr std::uint16_t kChrgBatteryType = 0x280C;
inline constexpr std::uint16_t kChrgChargeTimeMax = 0x280F;
inline constexpr std::uint16_t kChrgTempMax = 0x2814;
inline constexpr std::uint16_t kChrgTempMin = 0x2816;
inline constexpr std::uint16_t kChrgCalibrationRequest = 0x2908;
inline constexpr std::uint16_t kChrgCoefVoltageMeasure = 0x290A;
inline constexpr std::uint16_t kChrgCoefVoltageSet = 0x290B;
inline constexpr std::uint16_t kChrgCoefCurrentMeasure = 0x290C;
inline constexpr std::uint16_t kChrgCoefCurrentSet = 0x290D;
inline constexpr std::uint16_t kChrgRunningStage = 0x2910;
inline constexpr std::uint16_t kChrgRunningCurrent = 0x2911;
inline constexpr std::uint16_t kChrgRunningVoltage = 0x2913;
inline constexpr std::uint16_t kChrgRunningTimeStage = 0x2918;
inline constexpr std::uint16_t kChrgLinkAddress = 0x2000;
inline constexpr std::uint16_t kChrgLinkBaud = 0x2001;
inline constexpr std::uint16_t kChrgLinkFormat = 0x2002;
inline constexpr std::uint16_t kChrgVoltageTypes = 0x3001;
inline constexpr std::uint16_t kChrgBatteryTypes = 0x3002;
inline constexpr std::uint16_t kChrgMaxVoltage = 0x3003;
inline constexpr std::uint16_t kChrgMaxCurrentType0 = 0x3004;
inline constexpr std::uint16_t kChrgExtraFunctions = 0x3019;

struct ChargerRegisterRef {
    std::uint16_t block = 0;
    std::uint16_t index = 0;
};

// Block and index of a charger register address; nullopt outside the six blocks.
std::optional<ChargerRegisterRef> ChargerLocate(std::uint16_t address);

// The descriptor table of a block, indexed by register index (empty for an unknown block).
std::span<const RegisterDescriptor> ChargerDescriptors(std::size_t block);
// Null outside the blocks.
const RegisterDescriptor* ChargerDescriptor(std::size_t block, std::size_t index);
const RegisterDescriptor* ChargerDescriptorAt(std::uint16_t address);

// Register name without the address prefix; empty for a register without a name or an
// address outside the blocks.
std::string_view ChargerRegisterName(std::size_t block, std::size_t index);
std::string_view ChargerRegisterName(std::uint16_t address);

// Row label of the register table: "0x" + four upper-case hex digits + " " + name; empty
// outside the blocks.
std::string ChargerRowLabel(std::size_t block, std::size_t index);

// One key per settings-block register, in register order (element i is index i), ready for
// the device settings file. The texts live for the whole program.
std::span<const DeviceSettingsKey> ChargerSettingsKeys();

}  // namespace veltrona
