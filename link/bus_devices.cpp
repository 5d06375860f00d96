#include "link/bus_devices.h"

#include "devices/bms/bms_blocks.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_blocks.h"

namespace veltrona {

DeviceList BuildBusDevices(const BusDeviceSettings& settings) {
    static constexpr const DeviceSpec* kSpecs[kBusDeviceCount] = {&kChargerSpec, &kInverterSpec,
                                                                  &kBmsSpec};
    DeviceList list = CreateDeviceList(kBusDeviceCount);
    for (std::size_t i = 0; i < kBusDeviceCount; ++i) {
        list.models[i] = BuildDeviceModel(*kSpecs[i], settings.address[i], settings.enabled[i]);
    }
    return list;
}

}  // namespace veltrona
