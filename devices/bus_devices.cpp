#include "devices/bus_devices.h"

#include "devices/bms/bms_map.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_map.h"

namespace veltrona {

DeviceList BuildBusDevices(const BusDeviceSettings& settings) {
    DeviceList list = CreateDeviceList(kBusDeviceCount);
    list.models[kChargerIndex] = BuildDeviceModel(kChargerLayout, settings.address[kChargerIndex],
                                                  settings.enabled[kChargerIndex]);
    if (CreateInverterModel(list, settings.address[kInverterIndex])) {
        SetEnabled(*list.models[kInverterIndex], settings.enabled[kInverterIndex]);
    }
    if (CreateBmsModel(list, settings.address[kBmsIndex])) {
        SetEnabled(*list.models[kBmsIndex], settings.enabled[kBmsIndex]);
    }
    return list;
}

}  // namespace veltrona
