#pragma once

#include <cstddef>
#include <cstdint>

#include "link/device_model.h"
#include "link/frame_slot.h"

namespace veltrona {

// CRC-16/MODBUS, table-driven.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t length);

// True when the last two bytes, low byte first, are the CRC of the bytes before them.
bool CheckCrc(const std::uint8_t* frame, std::size_t length);

// Builds the request of the model's transaction record into the slot. Leaves length 0 (and
// the awaiting-reply bit untouched) when there is nothing sound to send.
void BuildRequest(DeviceModel& model, FrameSlot& slot);

// Checks a received frame against the model's outstanding request and applies it.
bool ParseReply(DeviceModel& model, const FrameSlot& slot);

}  // namespace veltrona
