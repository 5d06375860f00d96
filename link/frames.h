#pragma once

#include <cstddef>
#include <cstdint>

#include "link/device_model.h"
#include "link/frame_slot.h"

namespace veltrona {

// Modbus RTU requests and replies. Both BuildRequest and ParseReply run on the interface
// thread (inside the worker's blocking calls), since windows change the blocks they read.
//
// A request is sound when (A the model's address, S start, N count of the transaction record):
//   3, 12  the current block exists (model.CurrentBlock() is not null) and S..S+N-1 are 16-bit
//          register addresses within its registers;
//   26     the buffer selector is 0 or 1 and S..S+N-1 map into that information buffer
//          (11 or 18 words, index S - the buffer's start register);
//   33     S >= B (program base), image[S-B .. S-B+N-1] exists and the flash bytes from
//          B + 2(S-B) on have 32-bit addresses;
//   32, 34, 35  the model has a bootloader record (for 26 and 33 too);
// and, for 3, 12, 26 and 33, 1 <= N <= 125 (reads: the 5 + 2N byte reply must fit a slot) or
// 123 (12 and 33: the 9 + 2N byte request must fit). Any other operation code is not sound.

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final XOR), table-driven. 0xFFFF for
// length 0.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t length);

// True when the last two bytes, low byte first, are the CRC of the bytes before them. A frame
// shorter than 3 bytes (or null) fails.
bool CheckCrc(const std::uint8_t* frame, std::size_t length);

// Builds the request of the model's transaction record into the slot and sets the awaiting-
// reply bit (state bit 3). A request that is not sound (above), or whose frame would not fit
// min(slot.capacity, 256) bytes, sends nothing: slot length 0 and the awaiting-reply bit
// cleared (so no reply can be taken for it). Code 12 clears the write-done bit of each
// register it puts into the frame.
void BuildRequest(DeviceModel& model, FrameSlot& slot);

// Checks a received frame against the model's outstanding request and applies it; true when
// the reply was taken (the awaiting-reply bit is then cleared). In order:
//   1. the slot did not overflow, slot.length is 1 to min(slot.capacity, 256) and byte 0 is
//      the model's address;
//   2. the CRC checks over slot.length bytes;
//   -  the frame has at least 5 bytes (the shortest reply, an exception reply); a shorter
//      frame holds no exception byte and is refused with nothing changed;
//   -  the function byte without bit 7 is the function the operation sends (3 and 26: 0x03,
//      12: 0x10, 32: 0x20, 33: 0x21, 34: 0x30, 35: 0x31); another frame is refused with
//      nothing changed;
//   3. the exception code E (byte 2 when bit 7 of byte 1 is set, else 0) is stored in the
//      transaction record, whatever the remaining checks decide;
//   4. the awaiting-reply bit is set, the request is sound (above) and the frame has the
//      reply's length: E != 0 exactly 5 bytes; E == 0 exactly 5 + 2N for codes 3 and 26, at
//      least 8 for 12, 6 for 32 and 35, 5 for 34 and 33 (0x21 replies carry "any data": at
//      least one byte, so that byte 2 read in step 3 is never a CRC byte). The byte count of
//      a read reply is not examined; its N values are read from byte 3 on.
//   5. the reply is applied to the block or bootloader record and the awaiting bit cleared.
// A refused reply changes nothing but the exception code of step 3.
bool ParseReply(DeviceModel& model, const FrameSlot& slot);

// The length of the whole reply to a request, judged from the first bytes received (the
// function byte tells an exception reply): read 5 + 2N, write 8, exception 5, 0x20 6, 0x30 5,
// 0x31 6. 0 while it cannot be known: fewer than two bytes yet, a request too short to name
// its count, or a 0x21 reply, whose data length the loader chooses.
std::size_t ExpectedReplyLength(const std::uint8_t* request, std::size_t request_length,
                                const std::uint8_t* reply, std::size_t received);

}  // namespace veltrona
