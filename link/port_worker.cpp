#include "link/port_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

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
// How long the owner's destructor lets the worker's pending calls run per pass.
constexpr std::chrono::milliseconds kPumpSlice{10};
// Above normal, as the line's timing needs, without starving the rest of the system.
constexpr int kWorkerNice = -10;

constexpr std::uint8_t kNoRestart = 0;
constexpr std::uint8_t kRestartAsked = 1;
constexpr std::uint8_t kRestartTaken = 2;

std::thread LaunchThread(std::function<void()> body) {
    return std::thread(std::move(body));
}

// Looked for again once a second while the line is lost.
constexpr std::int64_t kReconnectMicros = 1'000'000;

// What the event wait reports when the adapter is gone (unplugged, or the line hung up).
bool IsLineLost(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

// Best effort: an unprivileged user may not raise it, and the link still works.
void RaiseThreadPriority() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
}

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
      cycle_(devices, queue_),
      launcher_(LaunchThread) {}

// The worker may be waiting for a call into the interface thread, which is this one: its
// calls are run here (as no-ops) until it has ended, so the join never waits on itself.
TThreadSyncComPort::~TThreadSyncComPort() {
    detached_.store(true);
    restart_.store(kNoRestart);
    while (IsWorkerActive()) {
        StopPort();  // again each pass: a restart taken meanwhile sets the run flag
        host_.Pump(kPumpSlice);
    }
    if (thread_.joinable()) thread_.join();
    posted_->alive.store(false);
}

bool TThreadSyncComPort::StartPort(const PortSettings& settings, const std::string& path,
                                   FrameEnd frame_end) {
    if (IsWorkerActive()) {
        // Only a worker told to stop takes a new start, once it has closed.
        if (run_.load() || restart_.load() != kNoRestart) return false;
        next_settings_ = settings;
        next_path_ = path;
        next_frame_end_ = frame_end;
        restart_.store(kRestartAsked);
        if (IsWorkerActive()) return true;
        // It ended meanwhile; whoever of the two takes the request back starts the worker.
        std::uint8_t asked = kRestartAsked;
        if (!restart_.compare_exchange_strong(asked, kNoRestart)) return true;
    }
    if (port_open_) return false;
    Reap();
    Arm(settings, path, frame_end);
    active_.store(true);
    try {
        thread_ = launcher_([this] { Run(); });
    } catch (const std::system_error&) {
        active_.store(false);
        run_.store(false);
        state_.store(kWorkerEnded);
        client_.ShowMessage("Ошибка создания потока", "Предупреждение");
        return false;
    }
    return true;
}

// The worker, at its end: a start asked while it was closing becomes its next run.
bool TThreadSyncComPort::TakeRestart() {
    std::uint8_t asked = kRestartAsked;
    if (detached_.load() || !restart_.compare_exchange_strong(asked, kRestartTaken)) return false;
    Arm(next_settings_, next_path_, next_frame_end_);
    restart_.store(kNoRestart);
    return true;
}

// Set before the worker's next run begins: only one thread touches them at that point.
void TThreadSyncComPort::Arm(const PortSettings& settings, const std::string& path,
                             FrameEnd frame_end) {
    settings_ = settings;
    path_ = path;
    frame_end_ = frame_end;
    state_.store(kWorkerOpen);
    run_.store(true);
}

void TThreadSyncComPort::Blocking(const std::function<void()>& fn) {
    if (detached_.load()) return;
    host_.RunBlocking([&] {
        if (!detached_.load()) fn();
    });
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
    Blocking([&] { client_.OnStatusLine(code, when); });
}

DeviceTraffic* TThreadSyncComPort::TrafficOf(std::size_t device) {
    return device < traffic_.size() ? &traffic_[device] : nullptr;
}

void TThreadSyncComPort::Run() {
    RaiseThreadPriority();
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
                Blocking([this] {
                    port_open_ = false;
                    client_.OnClosed();
                });
                state_.store(kWorkerEnded);
                break;
            default:
                if (TakeRestart()) break;
                active_.store(false);
                // A start asked between the check and the store is seen here or by StartPort.
                if (TakeRestart()) {
                    active_.store(true);
                    break;
                }
                return;
        }
    }
}

bool TThreadSyncComPort::OpenLine(bool announce) {
    line_lost_ = false;
    std::string error;
    if (!line_->Open(settings_, path_, error)) {
        Blocking([&] { client_.ShowMessage(error, "Предупреждение"); });
        return false;
    }
    InitialiseAfterOpen();
    if (announce) {
        for (DeviceTraffic& traffic : traffic_)
            traffic.Reset();
        ReportStatus(kStatusOpened);
        Blocking([this] {
            port_open_ = true;
            client_.OnOpened();
            // Whatever the busy bit says: it may still be set from before the last close.
            cycle_.StartCycle();
        });
    }
    return true;
}

// The run flag is not set here: it was set by StartPort, and a stop asked while the port
// was opening must not be lost.
void TThreadSyncComPort::InitialiseAfterOpen() {
    posted_->pending_events.store(0);
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
    quiet_.Stop();
    quiet_needed_ = false;
    tick_.Start();
    flags_ = kWatchEvents | kLineFree;
    Blocking([this] { wants_ticks_ = client_.WantsTicks(); });
}

// The port stays open for the user; the device path is looked for again once a second, and
// meanwhile every request ends unanswered after TimeWait, so the devices turn unreachable.
void TThreadSyncComPort::LoseLine() {
    line_->Close();
    line_lost_ = true;
    reconnect_.Start();
    const auto when = WallClock::now();
    Blocking([&] { client_.OnLineLost(when); });
}

void TThreadSyncComPort::Reconnect() {
    std::string error;
    if (!line_->Open(settings_, path_, error)) {
        line_->Close();
        reconnect_.Start();
        return;
    }
    line_lost_ = false;
    const int reported = last_wait_error_;
    InitialiseAfterOpen();
    last_wait_error_ = reported;  // the same failure again is no news
    ReportStatus(kStatusOpened);
    Blocking([this] {
        client_.OnOpened();
        cycle_.StartCycle();
    });
}

void TThreadSyncComPort::ReleaseSlot(FrameSlot& slot) {
    slot.length = 0;
    slot.ready = false;
    slot.overflowed = false;
}

void TThreadSyncComPort::RunningPass() {
    if (!run_.load(std::memory_order_acquire)) state_.store(kWorkerClosing);

    std::uint32_t status = 0;
    std::uint16_t mask = 0;
    int error = 0;
    if (line_lost_) {
        // Nothing to wait on: the timers alone run, and the device is looked for again.
        std::this_thread::sleep_for(std::chrono::microseconds(WaitBudget()));
        if (reconnect_.Exceeded(kReconnectMicros)) Reconnect();
    } else if (line_->WaitEvent(status, mask, error, WaitBudget())) {
        flags_ |= kShowEvent;
        if (mask & kEvRxChar) flags_ |= kBytesArrived;
        posted_->pending_events.fetch_or(mask);
    } else if (error != 0) {
        if (error != last_wait_error_) {
            last_wait_error_ = error;
            const auto when = WallClock::now();
            Blocking([&] { client_.OnWaitError(error, when); });
        }
        if (IsLineLost(error)) LoseLine();
    }

    if (flags_ & kBytesArrived) ReadBytes();
    if ((flags_ & kReceiving) && silence_.Exceeded(kFrameSilenceMicros)) CloseFrame();
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
    if (quiet_needed_ && quiet_.Exceeded(kFrameSilenceMicros)) {
        quiet_needed_ = false;
        quiet_.Stop();
    }
    if ((flags_ & kLineFree) && !(flags_ & kReceiving) && !quiet_needed_) SendNext();
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
    if (quiet_needed_) until(quiet_, kFrameSilenceMicros);
    if (wants_ticks_) until(tick_, kTickMicros);
    if (line_lost_) until(reconnect_, kReconnectMicros);
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
    if (kept < received) slot.overflowed = true;
    std::memcpy(slot.data + slot.length, read_buffer_.data(), kept);
    slot.length = static_cast<std::uint16_t>(slot.length + kept);
    silence_.Start();
    if (quiet_needed_) quiet_.Start();
    flags_ |= kReceiving;
    if (frame_end_ == FrameEnd::kLength && (flags_ & kRequestOut)) {
        const std::size_t whole =
            ExpectedReplyLength(transmit_.data, transmit_.length, slot.data, slot.length);
        if (whole != 0 && slot.length == whole && CheckCrc(slot.data, slot.length)) CloseFrame();
    }
}

void TThreadSyncComPort::CloseFrame() {
    silence_.Stop();
    FrameSlot& slot = ring_[ring_write_];
    slot.stamp = WallClock::now();
    slot.ready = true;
    ring_write_ = static_cast<std::uint16_t>((ring_write_ + 1) % ring_.size());
    flags_ = (flags_ & ~kReceiving) | kFrameComplete;
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
    if (DeviceTraffic* traffic = TrafficOf(DeviceIndex(current_))) traffic->CountDropped();
    ReleaseSlot(ring_[ring_read_]);
    ring_read_ = static_cast<std::uint16_t>((ring_read_ + 1) % ring_.size());
}

void TThreadSyncComPort::EndTransaction() {
    flags_ &= ~kTransactionEnded;
    DeviceModel* model = current_;
    const std::size_t device = DeviceIndex(model);
    DeviceTraffic* traffic = TrafficOf(device);
    if (answered_) {
        FrameSlot& slot = ring_[ring_read_];
        Blocking([&] {
            if (model != nullptr) {
                model->failures = 0;
                model->transaction.state &= static_cast<std::uint8_t>(~kStateUnreachable);
                const bool taken = ParseReply(*model, slot);
                if (traffic != nullptr && taken)
                    traffic->CountReply(model->transaction.exception != 0);
                if (traffic != nullptr && !taken) traffic->CountDropped();
                client_.OnReceived(slot);
                client_.OnTransaction(device, *model, true);
            }
            cycle_.AfterReply();
        });
        ReleaseSlot(slot);
        ring_read_ = static_cast<std::uint16_t>((ring_read_ + 1) % ring_.size());
    } else {
        if (traffic != nullptr) traffic->CountTimeout();
        // A late reply may still come: the line must be quiet for a frame gap first.
        quiet_needed_ = true;
        quiet_.Start();
        Blocking([&] {
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
    Blocking([&] { BuildRequest(*model, transmit_); });
    if (transmit_.length == 0) {
        // Nothing sound to send: skip the request without waiting for a reply.
        queue_.Finish();
        Blocking([&] { cycle_.AfterReply(); });
        return;
    }
    current_ = model;
    // A request that could not be written (the port dropped what part of it it held) ends
    // unanswered after TimeWait like one the device ignores, so a dead line turns the devices
    // unreachable instead of retrying for ever; the quiet gap after the time-out keeps the
    // next frame apart from whatever part went out.
    if (line_lost_ || !line_->Write(transmit_.data, transmit_.length)) {
        reply_.Start();
        flags_ = (flags_ & ~kLineFree) | kRequestOut;
        return;
    }
    transmit_.stamp = WallClock::now();
    if (DeviceTraffic* traffic = TrafficOf(device)) traffic->CountRequest();
    Blocking([&] { client_.OnSent(device, *model, transmit_); });
    reply_.Start();
    flags_ = (flags_ & ~kLineFree) | kRequestOut;
}

void TThreadSyncComPort::NotifyLineEvents() {
    if (posted_->events_posted.exchange(true)) return;  // the one in flight takes these too
    host_.Post([this, posted = posted_] {
        if (!posted->alive.load() || detached_.load()) return;
        posted->events_posted.store(false);
        const std::uint16_t mask = posted->pending_events.exchange(0);
        if (mask != 0) client_.OnLineEvents(mask);
    });
}

void TThreadSyncComPort::NotifyTick() {
    if (posted_->tick_pending.exchange(true)) return;
    host_.Post([this, posted = posted_] {
        if (!posted->alive.load() || detached_.load()) return;
        posted->tick_pending.store(false);
        client_.OnTick();
    });
}

}  // namespace veltrona
