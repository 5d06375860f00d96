#include "link/block_engine.h"

#include <algorithm>
#include <cstddef>

namespace veltrona {
namespace {

bool ModelEnabled(const DeviceList& list, std::size_t index) {
    const DeviceModel* model = list.At(index);
    return model != nullptr && IsEnabled(*model);
}

bool IsReadBlock(const RegisterBlock& b) {
    return (b.access == kAccessRead || b.access == kAccessReadWrite) &&
           (b.poll_mode & (kPollReadOnce | kPollReadEvery)) != 0;
}

bool IsWriteBlock(const RegisterBlock& b) {
    return (b.access == kAccessWrite || b.access == kAccessReadWrite) &&
           (b.poll_mode & (kPollWriteOnce | kPollWriteEvery)) != 0;
}

// Index of the first block at or after `from` that passes `test`, or the block count.
template <typename Test>
std::size_t FindBlock(const DeviceModel& model, std::size_t from, Test test) {
    for (std::size_t i = from; i < model.blocks.size(); ++i) {
        if (test(model.blocks[i])) return i;
    }
    return model.blocks.size();
}

void ClearRequest(DeviceModel& model) {
    model.transaction.start = 0;
    model.transaction.count = 0;
}

// Registers [first, first + n) of request `index` for the given chunk; false when the
// request starts past the block (a hand-made block whose stored count is too large).
bool RequestRange(const RegisterBlock& b, std::uint32_t chunk, std::uint32_t index,
                  std::uint32_t& first, std::uint32_t& n) {
    if (chunk == 0) return false;
    const std::uint64_t offset = std::uint64_t{chunk} * index;
    if (offset >= b.count) return false;
    first = static_cast<std::uint32_t>(offset);
    n = std::min<std::uint32_t>(chunk, b.count - first);
    return true;
}

bool SetReadRequest(DeviceModel& model, RegisterBlock& b, std::uint16_t index) {
    std::uint32_t first = 0;
    std::uint32_t n = 0;
    if (index >= b.read_requests || !RequestRange(b, b.read_chunk, index, first, n)) {
        return false;
    }
    model.transaction.start = b.base + first;
    model.transaction.count = static_cast<std::uint16_t>(n);
    b.current_request = index;
    return true;
}

bool HasWriteRequestBit(const RegisterBlock& b, std::uint32_t first, std::uint32_t n) {
    for (std::uint32_t i = first; i < first + n; ++i) {
        if (TestBit(b.write_request_map, i)) return true;
    }
    return false;
}

// The first write request from index `from` on that carries a write-request bit.
bool FindWriteRequest(DeviceModel& model, std::uint32_t from) {
    RegisterBlock* b = model.CurrentBlock();
    if (b != nullptr) {
        std::uint32_t first = 0;
        std::uint32_t n = 0;
        for (std::uint32_t i = from;
             i < b->write_requests && RequestRange(*b, b->write_chunk, i, first, n); ++i) {
            if (HasWriteRequestBit(*b, first, n)) {
                model.transaction.start = b->base + first;
                model.transaction.count = static_cast<std::uint16_t>(n);
                b->current_request = static_cast<std::uint16_t>(i);
                return true;
            }
        }
        b->current_request = 0;
    }
    ClearRequest(model);
    return false;
}

// Operation code of each bootloader operation, by its pending bit.
constexpr std::uint8_t kBootOperationCodes[] = {
    kOpDeviceOpen, kOpBootRead, kOpBootRead, kOpFlashErase, kOpFlashProgram, kOpDeviceClose,
};

bool EndBootRequests(DeviceModel& model) {
    ClearRequest(model);
    if (model.boot) model.boot->current_request = 0;
    return false;
}

bool InfoRequest(DeviceModel& model, std::uint16_t start, std::uint16_t count,
                 std::uint16_t requests, std::uint16_t selector) {
    BootRecord& r = *model.boot;
    if (requests == 0) return EndBootRequests(model);
    model.transaction.start = start;
    model.transaction.count = std::min({r.info_chunk, kMaxReadChunk, count});
    r.current_request = 0;
    r.buffer_selector = selector;
    return true;
}

}  // namespace

bool FirstEnabledDevice(DeviceList& list) {
    for (std::size_t i = 0; i < list.models.size(); ++i) {
        if (ModelEnabled(list, i)) {
            list.current = static_cast<std::uint16_t>(i);
            return true;
        }
    }
    list.current = 0;
    return false;
}

bool NextEnabledDevice(DeviceList& list) {
    const std::size_t count = list.models.size();
    for (std::size_t k = 1; k < count; ++k) {
        const std::size_t index = (list.current + k) % count;
        if (ModelEnabled(list, index)) {
            list.current = static_cast<std::uint16_t>(index);
            return true;
        }
    }
    return ModelEnabled(list, list.current);
}

bool FirstReadBlock(DeviceModel& model) {
    const std::size_t i = FindBlock(model, 0, IsReadBlock);
    if (i == model.blocks.size()) {
        model.current_block = 0;
        return false;
    }
    model.transaction.operation = kOpRead;
    model.current_block = static_cast<std::uint16_t>(i);
    return true;
}

bool NextReadBlock(DeviceModel& model) {
    if (RegisterBlock* b = model.CurrentBlock()) {
        b->poll_mode &= static_cast<std::uint8_t>(~kPollReadOnce);
    }
    const std::size_t i = FindBlock(model, std::size_t{model.current_block} + 1, IsReadBlock);
    if (i >= model.blocks.size()) {
        model.current_block = 0;
        return false;
    }
    model.transaction.operation = kOpRead;
    model.current_block = static_cast<std::uint16_t>(i);
    return true;
}

bool FirstReadRequest(DeviceModel& model) {
    RegisterBlock* b = model.CurrentBlock();
    if (b != nullptr && SetReadRequest(model, *b, 0)) return true;
    ClearRequest(model);
    return false;
}

bool NextReadRequest(DeviceModel& model) {
    RegisterBlock* b = model.CurrentBlock();
    if (b == nullptr) {
        ClearRequest(model);
        return false;
    }
    if (b->current_request < 0xFFFF &&
        SetReadRequest(model, *b, static_cast<std::uint16_t>(b->current_request + 1))) {
        return true;
    }
    ClearRequest(model);
    b->current_request = 0;
    return false;
}

bool FirstWriteBlock(DeviceModel& model) {
    const std::size_t i = FindBlock(model, 0, IsWriteBlock);
    if (i == model.blocks.size()) {
        model.current_block = 0;
        return false;
    }
    model.transaction.operation = kOpWrite;
    model.current_block = static_cast<std::uint16_t>(i);
    return true;
}

bool NextWriteBlock(DeviceModel& model) {
    // A chunk whose reply was dropped keeps its write-request bits; keeping the write-once
    // bit as well sends it again at the device's next turn instead of losing it.
    if (RegisterBlock* b = model.CurrentBlock();
        b != nullptr && !HasWriteRequestBit(*b, 0, b->count)) {
        b->poll_mode &= static_cast<std::uint8_t>(~kPollWriteOnce);
    }
    const std::size_t i = FindBlock(model, std::size_t{model.current_block} + 1, IsWriteBlock);
    if (i >= model.blocks.size()) {
        model.current_block = 0;
        return false;
    }
    model.transaction.operation = kOpWrite;
    model.current_block = static_cast<std::uint16_t>(i);
    return true;
}

bool FirstWriteRequest(DeviceModel& model) {
    return FindWriteRequest(model, 0);
}

bool NextWriteRequest(DeviceModel& model) {
    const RegisterBlock* b = model.CurrentBlock();
    return FindWriteRequest(model, b != nullptr ? b->current_request + 1u : 0u);
}

bool FirstBootOperation(DeviceModel& model) {
    if (!model.boot || model.boot->pending_operations == 0) return false;
    BootRecord& r = *model.boot;
    for (std::uint8_t n = 0; n < std::size(kBootOperationCodes); ++n) {
        const auto bit = static_cast<std::uint8_t>(1u << n);
        if ((r.pending_operations & bit) != 0) {
            r.pending_operations &= static_cast<std::uint8_t>(~bit);
            r.current_operation = n;
            r.buffer_selector = 0;
            model.transaction.operation = kBootOperationCodes[n];
            model.current_block = kBootBlock;
            return true;
        }
    }
    // Only the automatic-programming flag is left; it is not an operation.
    model.current_block = 0;
    ClearRequest(model);
    return false;
}

bool BootOperationRequest(DeviceModel& model) {
    if (!model.boot) return false;
    BootRecord& r = *model.boot;
    switch (r.current_operation) {
        case kBootDeviceOpen:
        case kBootFlashErase:
        case kBootDeviceClose:
            return true;
        case kBootInfo1:
            return InfoRequest(model, r.info1_start, r.info1_count, r.info1_requests, 0);
        case kBootInfo2:
            return InfoRequest(model, r.info2_start, r.info2_count, r.info2_requests, 1);
        case kBootFlashProgram:
            if (r.program_requests == 0 || r.program_chunk == 0) return EndBootRequests(model);
            model.transaction.start = r.program_base;
            model.transaction.count = static_cast<std::uint16_t>(
                std::min<std::uint32_t>(r.program_chunk, r.program_length));
            r.current_request = 0;
            return true;
        default:
            return EndBootRequests(model);
    }
}

bool NextBootRequest(DeviceModel& model) {
    if (!model.boot) return false;
    BootRecord& r = *model.boot;
    if (r.current_operation != kBootFlashProgram) return EndBootRequests(model);
    const std::uint32_t i = r.current_request + 1u;
    const std::uint64_t offset = std::uint64_t{r.program_chunk} * i;
    if (i >= r.program_requests || offset >= r.program_length) return EndBootRequests(model);
    model.transaction.start = r.program_base + static_cast<std::uint32_t>(offset);
    model.transaction.count = static_cast<std::uint16_t>(
        std::min<std::uint64_t>(r.program_chunk, r.program_length - offset));
    r.current_request = static_cast<std::uint16_t>(i);
    return true;
}

}  // namespace veltrona
