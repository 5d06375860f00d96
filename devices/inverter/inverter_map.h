#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "devices/inverter/inverter_blocks.h"
#include "files/device_settings_file.h"
#include "link/device_model.h"

namespace veltrona {

inline constexpr std::size_t kInverterBlockCount = 8;
inline constexpr std::size_t kInverterRegisterCount = 13 + 26 + 55 + 55 + 55 + 3 + 18 + 32;
inline constexpr std::size_t kInverterSettingsCount = 55;

// Registers the program interprets (addresses; 32-bit values by their upper register).
inline constexpr std::uint16_t kInvDeviceStatus = 0x0007;
inline constexpr std::uint16_t kInvClock = 0x0009;
inline constexpr std::uint16_t kInvCommand = 0x000A;
inline constexpr std::uint16_t kInvCommandParameter = 0x000C;
inline constexpr std::uint16_t kInvInputVoltage = 0x0700;
inline constexpr std::uint16_t kInvOutputVoltage = 0x0708;
inline constexpr std::uint16_t kInvOutputPower = 0x070B;
inline constexpr std::uint16_t kInvBatteryVoltage = 0x070E;
inline constexpr std::uint16_t kInvChargeState = 0x0711;
inline constexpr std::uint16_t kInvOperatingState = 0x0712;
inline constexpr std::uint16_t kInvSafetyWord1 = 0x0713;
inline constexpr std::uint16_t kInvSafetyWord2 = 0x0714;
inline constexpr std::uint16_t kInvRelayState = 0x0715;
inline constexpr std::uint16_t kInvInverterState = 0x0718;
inline constexpr std::uint16_t kInvChargeStateAlert = 0x071A;
inline constexpr std::uint16_t kInvOperatingStateAlert = 0x071B;
inline constexpr std::uint16_t kInvSwitching = 0x071C;
inline constexpr std::uint16_t kInvSafetyWord1Alert = 0x0721;
inline constexpr std::uint16_t kInvSafetyWord2Alert = 0x0722;
inline constexpr std::uint16_t kInvSyncFlags = 0x0723;
inline constexpr std::uint16_t kInvDoutStatus = 0x0724;
inline constexpr std::uint16_t kInvDinStatus = 0x0725;
inline constexpr std::uint16_t kInvChargeManageAlert = 0x0726;
inline constexpr std::uint16_t kInvChargeManageStatus = 0x0727;
inline constexpr std::uint16_t kInvWorkingFlags = 0x0728;
inline constexpr std::uint16_t kInvAlarmState = 0x0729;
inline constexpr std::uint16_t kInvControlMode = 0x3600;
inline constexpr std::uint16_t kInvAutorestartMode = 0x3601;
inline constexpr std::uint16_t kInvSafetyWord1Shutdown = 0x3602;
inline constexpr std::uint16_t kInvSafetyWord2Shutdown = 0x3603;
inline constexpr std::uint16_t kInvSafetyWord1Log = 0x3604;
inline constexpr std::uint16_t kInvSafetyWord2Log = 0x3605;
inline constexpr std::uint16_t kInvMultiMode = 0x3606;
inline constexpr std::uint16_t kInvChargingCurrent = 0x3617;
inline constexpr std::uint16_t kInvBatteryType = 0x3619;
inline constexpr std::uint16_t kInvChargeSet = 0x361A;
inline constexpr std::uint16_t kInvAbsorptionVoltage = 0x361C;
inline constexpr std::uint16_t kInvBuzzerMode = 0x3636;
inline constexpr std::uint16_t kInvLinkAddress = 0x2000;
inline constexpr std::uint16_t kInvLinkBaud = 0x2001;
inline constexpr std::uint16_t kInvLinkFormat = 0x2002;

struct InverterRegisterRef {
    std::uint16_t block = 0;
    std::uint16_t index = 0;
};

// Block and index of an inverter register address; nullopt outside the eight blocks.
std::optional<InverterRegisterRef> InverterLocate(std::uint16_t address);

// The descriptor table of a block, indexed by register index (empty for an unknown block).
// Blocks 3 and 4 repeat block 2's codes at their own addresses.
std::span<const RegisterDescriptor> InverterDescriptors(std::size_t block);
// Null outside the blocks.
const RegisterDescriptor* InverterDescriptor(std::size_t block, std::size_t index);
const RegisterDescriptor* InverterDescriptorAt(std::uint16_t address);

// The 11 registers of the loader's information buffer 1.
std::span<const RegisterDescriptor> InverterBootInfoDescriptors();

// Caption name without its prefix (for blocks 6 and 7 the register's own name); empty for a
// pair's lower half and outside the blocks. Blocks 3 and 4 carry block 2's names.
std::string_view InverterRegisterName(std::size_t block, std::size_t index);
std::string_view InverterRegisterName(std::uint16_t address);

// Row caption of the register table: "0x" + four upper-case hex digits + " " + name, but
// "0x07 " + name for the inner values block and "0x " + name for the hidden settings block;
// empty outside the blocks.
std::string InverterRowLabel(std::size_t block, std::size_t index);

// One key per settings-block register, in register order (element i is index i), with the
// file comment. The texts live for the whole program.
std::span<const DeviceSettingsKey, kInverterSettingsCount> InverterSettingsKeys();

// Builds the inverter model (kind 3, eight blocks, disabled) at device list index 1, growing
// the list when it is shorter. False, and no model there, when building fails.
bool CreateInverterModel(DeviceList& list, std::uint8_t address);
void DestroyInverterModel(DeviceList& list);

}  // namespace veltrona
