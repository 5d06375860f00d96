#include "link/block_helpers.h"

#include <algorithm>
#include <vector>

namespace veltrona {

void MergeMap(std::span<std::uint8_t> target, std::span<const std::uint8_t> source) {
    const std::size_t n = std::min(target.size(), source.size());
    for (std::size_t i = 0; i < n; ++i)
        target[i] |= source[i];
}

void ClearMap(std::span<std::uint8_t> map) {
    std::fill(map.begin(), map.end(), 0);
}

void RequestWriteOnce(RegisterBlock& block) {
    block.poll_mode |= kPollWriteOnce;
}

void RequestRegistersWrite(RegisterBlock& block, std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i)
        SetBit(block.edit_map, i);
    MergeMap(block.write_request_map, block.edit_map);
    ClearMap(block.edit_map);
}

void RequestWholeBlockWrite(RegisterBlock& block) {
    std::vector<std::uint8_t> all(block.map_bytes, 0);
    for (std::size_t i = 0; i < block.count; ++i)
        SetBit(all, i);
    MergeMap(block.edit_map, all);
    MergeMap(block.write_request_map, all);
    ClearMap(block.write_done_map);
    RequestWriteOnce(block);
}

void CancelWrite(RegisterBlock& block) {
    ClearMap(block.write_request_map);
    block.poll_mode &= static_cast<std::uint8_t>(~kPollWriteOnce);
}

void CopyWords(const std::uint16_t* source, std::uint16_t* target, std::size_t count) {
    if (count != 0) std::copy_n(source, count, target);
}

std::size_t TransactionFirst(const DeviceModel& model, std::size_t block) {
    if (block >= model.blocks.size()) return 0;
    const std::uint32_t base = model.blocks[block].base;
    return model.transaction.start >= base ? model.transaction.start - base : 0;
}

bool FollowReachability(const DeviceModel& model, bool& not_available, std::uint8_t& changed) {
    const bool unreachable = IsUnreachable(model);
    const bool now = unreachable || (not_available && model.failures != 0);
    changed = not_available != now ? 1 : 0;
    not_available = now;
    return !unreachable;
}

}  // namespace veltrona
