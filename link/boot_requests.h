#pragma once

#include <cstdint>

#include "link/device_model.h"

namespace veltrona {

// Each returns false when the model has no bootloader record.

// Replaces the firmware image. The new image is allocated before the old one goes, so a
// refusal (no memory, chunk 0 or above the write limit, more than 65535 requests) leaves
// the record as it was.
bool SetFirmware(DeviceModel& model, std::uint32_t base, std::uint32_t length_words,
                 std::uint16_t chunk);

bool RequestDeviceOpen(DeviceModel& model);
bool RequestInfo1(DeviceModel& model);
bool RequestFlashErase(DeviceModel& model);
bool RequestFlashProgram(DeviceModel& model);
bool RequestDeviceClose(DeviceModel& model);
bool SetRetries(DeviceModel& model, std::uint8_t retries);
bool CancelBootOperations(DeviceModel& model);
bool SetAutoProgramming(DeviceModel& model);
bool IsAutoProgramming(const DeviceModel& model);

}  // namespace veltrona
