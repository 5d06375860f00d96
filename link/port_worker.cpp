#include "link/port_worker.h"

#include <algorithm>
#include <cstring>

#include "link/frames.h"
#include "link/monotonic_clock.h"

namespace veltrona {
namespace {

// Worker flags, one bit per pending step of the running pass.
constexpr std::uint32_t kWatchEvents = 0x0001;
constexpr std::uint32_t kLineFree = 0x0002;
constexpr std::uint32_t kShowEvent = 0x0010;
constexpr std::uint32_t kBytesArrived = 0x0020;
constexpr std::uint32_t kReceiving = 0x0040;
constexpr std::uint32_t kFrameComplete = 0x0080;
constexpr std::uint32_t kRequestOut = 0x0200;
constexpr std::uint32_t kTransactionEnded = 0x0800;
constexpr std::uint32_t kResting = 0x1000;

constexpr std::int64_t kTickMicros = 1000;
constexpr std::int64_t kIdleWaitMicros = 20000;
constexpr std::size_t kReadCapacity = 4096;

}  // namespace

void TThreadSyncComPort::Timer::Start() {
    start = MonotonicMicros();
    running = true;
}

bool TThreadSyncComPort::Timer::Exceeded(std::int64_t micros) const {
    return running && MonotonicMicros() - start > micros;
}

TThreadSyncComPort::TThreadSyncComPort(DeviceList& devices, WorkerHost& host, LinkClient& client,
                                       std::unique_ptr<SerialLine> line)
    : devices_(devices),
      host_(host),
      client_(client),
      line_(std::move(line)),
      cycle_(devices, queue_) {}

TThreadSyncComPort::~TThreadSyncComPort() {
    StopPort();
    if (thread_.joinable()) thread_.join();
}

bool TThreadSyncComPort::StartPort(const PortSettings& settings, const std::string& path) {
    if (port_open_ || IsWorkerActive()) return false;
    Reap();
    settings_ = settings;
    path_ = path;
    state_.store(kWorkerOpen, std::memory_order_release);
    active_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        active_.store(false, std::memory_order_release);
        state_.store(kWorkerEnded, std::memory_order_release);
        return false;
    }
    return true;
}

void TThreadSyncComPort::Reap() {
    if (thread_.joinable() && !IsWorkerActive()) thread_.join();
}

void TThreadSyncComPort::StartCycle() {
    if (port_open_ && !cycle_.busy()) cycle_.StartCycle();
}

std::size_t TThreadSyncComPort::DeviceIndex(const DeviceModel* model) const {
    for (std::size_t i = 0; i < devices_.models.size(); ++i) {
        if (devices_.models[i].get() == model) return i;
    }
    return devices_.current;
}

void TThreadSyncComPort::ReportStatus(std::uint16_t code) {
    const auto when = WallClock::now();
    host_.RunBlocking([&] { client_.OnStatusLine(code, when); });
}

void TThreadSyncComPort::Run() {
    for (;;) {
        switch (state_.load(std::memory_order_acquire)) {
            case kWorkerOpen:
            case kWorkerReopen: {
                const bool announce = state_.load() == kWorkerOpen;
                state_.store(OpenLine(announce) ? kWorkerRunning : kWorkerOpenFailed);
                break;
            }
            case kWorkerRunning:
                RunningPass();
                break;
            case kWorkerClose:
                line_->Close();
                state_.store(kWorkerReopen);
                break;
            case kWorkerOpenFailed:
                line_->Close();
                ReportStatus(kStatusOpenFailed);
                state_.store(kWorkerEnded);
                break;
            case kWorkerClosing:
                line_->Close();
                ReportStatus(kStatusClosed);
                host_.RunBlocking([this] {
                    port_open_ = false;
                    client_.OnClosed();
                });
                state_.store(kWorkerEnded);
                break;
            default:
                active_.store(false, std::memory_order_release);
                return;
        }
    }
}

bool TThreadSyncComPort::OpenLine(bool announce) {
    std::string error;
    if (!line_->Open(settings_, path_, error)) {
        host_.RunBlocking([&] { client_.ShowMessage(error, "Предупреждение"); });
        return false;
    }
    InitialiseAfterOpen();
    if (announce) {
        ReportStatus(kStatusOpened);
        host_.RunBlocking([this] {
            port_open_ = true;
            client_.OnOpened();
            StartCycle();
        });
    }
    return true;
}

void TThreadSyncComPort::InitialiseAfterOpen() {
    run_.store(true, std::memory_order_release);
    pending_events_.store(0);
    queue_.Clear();
    for (FrameSlot& slot : ring_)
        ReleaseSlot(slot);
    ring_read_ = 0;
    ring_write_ = 0;
    transmit_.length = 0;
    current_ = nullptr;
    last_wait_error_ = 0;
    silence_.Stop();
    reply_.Stop();
    rest_.Stop();
    tick_.Start();
    flags_ = kWatchEvents | kLineFree;
    host_.RunBlocking([this] { wants_ticks_ = client_.WantsTicks(); });
}

void TThreadSyncComPort::ReleaseSlot(FrameSlot& slot) {
    slot.length = 0;
    slot.ready = false;
}

void TThreadSyncComPort::RunningPass() {
    if (!run_.load(std::memory_order_acquire)) state_.store(kWorkerClosing);

    std::uint32_t status = 0;
    std::uint16_t mask = 0;
    int error = 0;
    if (line_->WaitEvent(status, mask, error, WaitBudget())) {
        flags_ |= kShowEvent;
        if (mask & kEvRxChar) flags_ |= kBytesArrived;
        pending_events_.fetch_or(mask);
    } else if (error != 0 && error != last_wait_error_) {
        last_wait_error_ = error;
        const auto when = WallClock::now();
        host_.RunBlocking([&] { client_.OnWaitError(error, when); });
    }

    if (flags_ & kBytesArrived) ReadBytes();
    if ((flags_ & kReceiving) && silence_.Exceeded(kFrameSilenceMicros)) {
        silence_.Stop();
        FrameSlot& slot = ring_[ring_write_];
        slot.stamp = WallClock::now();
        slot.ready = true;
        ring_write_ = static_cast<std::uint16_t>((ring_write_ + 1) % ring_.size());
        flags_ = (flags_ & ~kReceiving) | kFrameComplete;
    }
    if (flags_ & kShowEvent) {
        flags_ &= ~kShowEvent;
        NotifyLineEvents();
    }
    if (flags_ & kFrameComplete) CompleteFrame();
    if ((flags_ & kRequestOut) && reply_.Exceeded(settings_.TimeWait)) {
        reply_.Stop();
        answered_ = false;
        flags_ = (flags_ & ~kRequestOut) | kTransactionEnded;
    }
    if (flags_ & kTransactionEnded) EndTransaction();
    if ((flags_ & kResting) && rest_.Exceeded(settings_.TimeRest)) {
        rest_.Stop();
        flags_ = (flags_ & ~kResting) | kLineFree;
    }
    // A frame still arriving belongs to the last request: nothing goes out over it.
    if ((flags_ & kLineFree) && !(flags_ & kReceiving)) SendNext();
    if (wants_ticks_ && tick_.Exceeded(kTickMicros)) {
        NotifyTick();
        tick_.Start();
    }
}

// The event wait lasts until the nearest timer is due, so the loop keeps each timer to
// within its wait without waking every millisecond for nothing; the cap bounds how late a
// close or a newly queued request is seen.
std::int64_t TThreadSyncComPort::WaitBudget() const {
    const std::int64_t now = MonotonicMicros();
    std::int64_t budget = kIdleWaitMicros;
    const auto until = [&](const Timer& timer, std::int64_t limit) {
        if (timer.running) budget = std::min(budget, timer.start + limit + 1 - now);
    };
    if (flags_ & kReceiving) until(silence_, kFrameSilenceMicros);
    if (flags_ & kRequestOut) until(reply_, settings_.TimeWait);
    if (flags_ & kResting) until(rest_, settings_.TimeRest);
    if (wants_ticks_) until(tick_, kTickMicros);
    return std::clamp<std::int64_t>(budget, 0, kIdleWaitMicros);
}

void TThreadSyncComPort::ReadBytes() {
    flags_ &= ~kBytesArrived;
    const std::size_t queued = line_->BytesQueued();
    std::size_t received = 0;
    if (queued == 0 || !line_->Read(read_buffer_.data(), queued, received, kReadCapacity) ||
        received == 0) {
        return;  // no byte, no frame
    }
    FrameSlot& slot = ring_[ring_write_];
    const std::size_t room = slot.capacity - slot.length;
    const std::size_t kept = std::min(received, room);
    std::memcpy(slot.data + slot.length, read_buffer_.data(), kept);
    slot.length = static_cast<std::uint16_t>(slot.length + kept);
    silence_.Start();
    flags_ |= kReceiving;
}

void TThreadSyncComPort::CompleteFrame() {
    flags_ &= ~kFrameComplete;
    if (flags_ & kRequestOut) {
        reply_.Stop();
        answered_ = true;
        flags_ = (flags_ & ~kRequestOut) | kTransactionEnded;
        return;
    }
    // A late reply or a frame nobody asked for.
    const std::size_t device = DeviceIndex(current_);
    if (device < traffic_.size()) traffic_[device].discarded.fetch_add(1);
    ReleaseSlot(ring_[ring_read_]);
    ring_read_ = static_cast<std::uint16_t>((ring_read_ + 1) % ring_.size());
}

void TThreadSyncComPort::EndTransaction() {
    flags_ &= ~kTransactionEnded;
    DeviceModel* model = current_;
    const std::size_t device = DeviceIndex(model);
    if (answered_) {
        FrameSlot& slot = ring_[ring_read_];
        if (device < traffic_.size()) traffic_[device].answered.fetch_add(1);
        host_.RunBlocking([&] {
            if (model != nullptr) {
                model->failures = 0;
                model->transaction.state &= static_cast<std::uint8_t>(~kStateUnreachable);
                ParseReply(*model, slot);
                client_.OnReceived(slot);
                client_.OnTransaction(device, *model, true);
            }
            cycle_.AfterReply();
        });
        ReleaseSlot(slot);
        ring_read_ = static_cast<std::uint16_t>((ring_read_ + 1) % ring_.size());
    } else {
        if (device < traffic_.size()) traffic_[device].timed_out.fetch_add(1);
        host_.RunBlocking([&] {
            if (model != nullptr) {
                if (model->failures >= 4) {
                    model->transaction.state |= kStateUnreachable;
                } else {
                    ++model->failures;
                }
                client_.OnTransaction(device, *model, false);
            }
            cycle_.AfterTimeout();
        });
    }
    queue_.Finish();
    rest_.Start();
    flags_ |= kResting;
}

void TThreadSyncComPort::SendNext() {
    DeviceModel* model = queue_.Take();
    if (model == nullptr) return;
    const std::size_t device = DeviceIndex(model);
    host_.RunBlocking([&] { BuildRequest(*model, transmit_); });
    if (transmit_.length == 0) {
        // Nothing sound to send: skip the request without waiting for a reply.
        queue_.Finish();
        host_.RunBlocking([&] { cycle_.AfterReply(); });
        return;
    }
    if (!line_->Write(transmit_.data, transmit_.length)) return;  // retried next pass
    transmit_.stamp = WallClock::now();
    current_ = model;
    if (device < traffic_.size()) traffic_[device].requests.fetch_add(1);
    host_.RunBlocking([&] { client_.OnSent(device, *model, transmit_); });
    reply_.Start();
    flags_ = (flags_ & ~kLineFree) | kRequestOut;
}

void TThreadSyncComPort::NotifyLineEvents() {
    if (events_posted_.exchange(true)) return;  // the one in flight takes these bits too
    host_.Post([this] {
        events_posted_.store(false);
        const std::uint16_t mask = pending_events_.exchange(0);
        if (mask != 0) client_.OnLineEvents(mask);
    });
}

void TThreadSyncComPort::NotifyTick() {
    if (tick_pending_.exchange(true)) return;
    host_.Post([this] {
        tick_pending_.store(false);
        client_.OnTick();
    });
}

}  // namespace veltrona
