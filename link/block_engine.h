#pragma once

#include "link/device_model.h"

namespace veltrona {

// Each returns true when it has set up a request in the model's transaction record.

// Device choice; both set list.current.
bool FirstEnabledDevice(DeviceList& list);
bool NextEnabledDevice(DeviceList& list);

bool FirstReadBlock(DeviceModel& model);
bool NextReadBlock(DeviceModel& model);
bool FirstReadRequest(DeviceModel& model);
bool NextReadRequest(DeviceModel& model);

bool FirstWriteBlock(DeviceModel& model);
bool NextWriteBlock(DeviceModel& model);
bool FirstWriteRequest(DeviceModel& model);
bool NextWriteRequest(DeviceModel& model);

bool FirstBootOperation(DeviceModel& model);
bool BootOperationRequest(DeviceModel& model);
bool NextBootRequest(DeviceModel& model);

}  // namespace veltrona
