#include "devices/bus_devices.h"

#include "devices/bms/bms_blocks.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_blocks.h"

namespace veltrona {

DeviceList BuildBusDevices(const BusDeviceSettings& settings) {
    static constexpr const DeviceLayout* kLayouts[kBusDeviceCount] = {
        &kChargerLayout, &kInverterLayout, &kBmsLayout};
    DeviceList list = CreateDeviceList(kBusDeviceCount);
    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        list.models[i] = BuildDeviceModel(*kLayouts[i], settings.address[i], settings.enabled[i]);
    }
    return list;
}

}  // namespace veltrona
