#include "link/transaction_queue.h"

namespace veltrona {

void TransactionQueue::Clear() {
    for (Slot& slot : slots_) {
        slot.model.store(nullptr, std::memory_order_relaxed);
        slot.state.store(kFree, std::memory_order_release);
    }
    write_ = 0;
    read_ = 0;
    pushes_.store(0, std::memory_order_relaxed);
}

bool TransactionQueue::Add(DeviceModel* model) {
    Slot& slot = slots_[write_];
    if (slot.state.load(std::memory_order_acquire) != kFree) return false;
    slot.model.store(model, std::memory_order_relaxed);
    slot.state.store(kQueued, std::memory_order_release);
    write_ = static_cast<std::uint16_t>((write_ + 1) % kSize);
    pushes_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

DeviceModel* TransactionQueue::Take() {
    Slot& slot = slots_[read_];
    const std::uint16_t state = slot.state.load(std::memory_order_acquire);
    const std::uint16_t low = state & 3;
    if (low != kQueued && low != kTaken) return nullptr;
    slot.state.store(kTaken, std::memory_order_relaxed);
    return slot.model.load(std::memory_order_relaxed);
}

void TransactionQueue::Finish() {
    slots_[read_].state.store(kFree, std::memory_order_release);
    read_ = static_cast<std::uint16_t>((read_ + 1) % kSize);
}

}  // namespace veltrona
