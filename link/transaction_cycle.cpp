#include "link/transaction_cycle.h"

#include "link/block_engine.h"

namespace veltrona {

bool TransactionCycle::Queue(DeviceModel& model, std::uint8_t phase) {
    if (!queue_.Add(&model)) return false;
    model.phase = phase;
    devices_.flags |= kDeviceListBusy;
    return true;
}

// A write-once block without pending registers would otherwise hold back every later
// block and the bootloader operations for good; it is passed over, which ends its bit.
bool TransactionCycle::TryWrites(DeviceModel& model) {
    if (!FirstWriteBlock(model)) return false;
    do {
        if (FirstWriteRequest(model)) return Queue(model, kPhaseWrite);
    } while (NextWriteBlock(model));
    return false;
}

bool TransactionCycle::TryBoot(DeviceModel& model) {
    return FirstBootOperation(model) && BootOperationRequest(model) && Queue(model, kPhaseBoot);
}

bool TransactionCycle::TryTurn(DeviceModel& model) {
    if (FirstReadBlock(model)) return FirstReadRequest(model) && Queue(model, kPhaseRead);
    return TryWrites(model) || TryBoot(model);
}

void TransactionCycle::StartCycle() {
    devices_.current = 0;
    Stop();
    if (!FirstEnabledDevice(devices_)) return;
    if (DeviceModel* model = devices_.At(devices_.current)) TryTurn(*model);
}

void TransactionCycle::AfterReply() {
    DeviceModel* model = devices_.At(devices_.current);
    if (model == nullptr) return NextDevice();
    bool queued = false;
    switch (model->phase) {
        case kPhaseRead:
            if (NextReadRequest(*model)) {
                queued = Queue(*model, kPhaseRead);
            } else if (NextReadBlock(*model)) {
                queued = FirstReadRequest(*model) && Queue(*model, kPhaseRead);
            } else {
                queued = TryWrites(*model) || TryBoot(*model);
            }
            break;
        case kPhaseWrite:
            if (NextWriteRequest(*model)) {
                queued = Queue(*model, kPhaseWrite);
            } else {
                while (!queued && NextWriteBlock(*model)) {
                    queued = FirstWriteRequest(*model) && Queue(*model, kPhaseWrite);
                }
                if (!queued) queued = TryBoot(*model);
            }
            break;
        case kPhaseBoot:
            queued = (NextBootRequest(*model) && Queue(*model, kPhaseBoot)) || TryBoot(*model);
            break;
        default:
            break;
    }
    if (!queued) NextDevice();
}

void TransactionCycle::NextDevice() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Stop();
        if (!NextEnabledDevice(devices_)) return;
        DeviceModel* model = devices_.At(devices_.current);
        if (model != nullptr && TryTurn(*model)) return;
    }
}

}  // namespace veltrona
