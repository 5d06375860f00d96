#pragma once

#include <array>
#include <cstdint>

#include "link/device_model.h"

namespace veltrona {

inline constexpr std::size_t kChargerIndex = 0;
inline constexpr std::size_t kInverterIndex = 1;
inline constexpr std::size_t kBmsIndex = 2;
inline constexpr std::size_t kBusDeviceCount = 3;

struct BusDeviceSettings {
    std::array<bool, kBusDeviceCount> enabled{true, true, true};
    std::array<std::uint8_t, kBusDeviceCount> address{1, 3, 3};
};

// The device list of the bus: charger, inverter and BMS models built from their block tables.
// A model that cannot be built stays null and the program works without it.
DeviceList BuildBusDevices(const BusDeviceSettings& settings);

}  // namespace veltrona
