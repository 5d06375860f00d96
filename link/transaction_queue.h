#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "link/device_model.h"

namespace veltrona {

// The 64-slot hand-over between the cycle (adds) and the worker (takes and finishes).
// A slot's model is written before its state is published, so the worker sees it whole.
class TransactionQueue {
  public:
    static constexpr std::uint16_t kSize = 64;
    static constexpr std::uint16_t kFree = 0;
    static constexpr std::uint16_t kQueued = 1;
    static constexpr std::uint16_t kTaken = 2;

    // Interface thread, with the worker stopped.
    void Clear();
    // Interface thread. False when the slot at the write index is still in use: a queued
    // request is never overwritten.
    bool Add(DeviceModel* model);
    // Worker: the model of the slot at the read index when it is queued or already taken,
    // marking it taken; null when there is nothing to send.
    DeviceModel* Take();
    // Worker: frees the slot at the read index and moves on.
    void Finish();

    std::uint32_t pushes() const { return pushes_.load(std::memory_order_relaxed); }

  private:
    struct Slot {
        std::atomic<DeviceModel*> model{nullptr};
        std::atomic<std::uint16_t> state{kFree};
    };
    std::array<Slot, kSize> slots_;
    std::uint16_t write_ = 0;  // interface thread only
    std::uint16_t read_ = 0;   // worker only
    std::atomic<std::uint32_t> pushes_{0};
};

}  // namespace veltrona
