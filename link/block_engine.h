#pragma once

#include "link/device_model.h"

namespace veltrona {

// Each returns true when it has set up a request in the model's transaction record.

// Device choice; both set list.current. A null model counts as not enabled.
bool FirstEnabledDevice(DeviceList& list);
bool NextEnabledDevice(DeviceList& list);

bool FirstReadBlock(DeviceModel& model);
bool NextReadBlock(DeviceModel& model);
bool FirstReadRequest(DeviceModel& model);
bool NextReadRequest(DeviceModel& model);

bool FirstWriteBlock(DeviceModel& model);
// Keeps the write-once bit of a block that still has write-request bits (a chunk whose
// reply was dropped), so the chunk goes out again at the device's next turn.
bool NextWriteBlock(DeviceModel& model);
bool FirstWriteRequest(DeviceModel& model);
bool NextWriteRequest(DeviceModel& model);

bool FirstBootOperation(DeviceModel& model);
// Information reads are limited to 125 registers like every other read.
bool BootOperationRequest(DeviceModel& model);
bool NextBootRequest(DeviceModel& model);

}  // namespace veltrona
