#pragma once

#include "link/device_model.h"
#include "link/transaction_queue.h"

namespace veltrona {

// Decides what to ask next, device after device; interface thread only. Each turn of a
// device reads its readable blocks chunk by chunk, then sends its pending writes, then runs
// one pending bootloader operation, and moves on round robin.
class TransactionCycle {
  public:
    TransactionCycle(DeviceList& devices, TransactionQueue& queue)
        : devices_(devices), queue_(queue) {}

    void StartCycle();
    // After a transaction of the current device ended with a reply.
    void AfterReply();
    // After it ended without one: the rest of this device's work waits for its next turn.
    void AfterTimeout() { NextDevice(); }

    bool busy() const { return (devices_.flags & kDeviceListBusy) != 0; }

  private:
    bool Queue(DeviceModel& model, std::uint8_t phase);
    bool TryWrites(DeviceModel& model);
    bool TryBoot(DeviceModel& model);
    bool TryTurn(DeviceModel& model);
    void NextDevice();
    void Stop() { devices_.flags &= static_cast<std::uint16_t>(~kDeviceListBusy); }

    DeviceList& devices_;
    TransactionQueue& queue_;
};

}  // namespace veltrona
