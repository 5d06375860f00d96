#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/device_model.h"

namespace veltrona {

// target |= source over the bytes both maps have.
void MergeMap(std::span<std::uint8_t> target, std::span<const std::uint8_t> source);
void ClearMap(std::span<std::uint8_t> map);
void RequestWriteOnce(RegisterBlock& block);
// Registers [first, first + count) of the block into its write-request map, as a command or a
// short write marks them; the caller then fills the values and requests the write.
void RequestRegistersWrite(RegisterBlock& block, std::size_t first, std::size_t count);
// Every register of the block into the edit and write-request maps, the write-done map
// cleared, and one write requested: how a whole settings block is sent.
void RequestWholeBlockWrite(RegisterBlock& block);
// Drops the block's pending write: no request of it goes out again.
void CancelWrite(RegisterBlock& block);
// A view's availability after a transaction: not available while the unreachable mark is set,
// and a miss short of the mark is no news, so an absent device does not look available between
// the port opening and its fifth miss. `changed` tells whether the flag moved. True when
// reachable.
bool FollowReachability(const DeviceModel& model, bool& not_available, std::uint8_t& changed);

// Index within `block` of the current transaction's first register; 0 outside the blocks.
std::size_t TransactionFirst(const DeviceModel& model, std::size_t block);
void CopyWords(const std::uint16_t* source, std::uint16_t* target, std::size_t count);

}  // namespace veltrona
