#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/device_model.h"
#include "link/frame_slot.h"
#include "link/link_client.h"
#include "link/port_settings.h"
#include "link/serial_line.h"
#include "link/traffic_counters.h"
#include "link/transaction_cycle.h"
#include "link/transaction_queue.h"
#include "link/worker_host.h"

namespace veltrona {

// Worker state byte.
inline constexpr std::uint8_t kWorkerOpen = 0;
inline constexpr std::uint8_t kWorkerReopen = 1;
inline constexpr std::uint8_t kWorkerRunning = 2;
inline constexpr std::uint8_t kWorkerClose = 3;
inline constexpr std::uint8_t kWorkerOpenFailed = 4;
inline constexpr std::uint8_t kWorkerClosing = 5;
inline constexpr std::uint8_t kWorkerEnded = 6;

// Status codes of the status log.
inline constexpr std::uint16_t kStatusOpened = 0;
inline constexpr std::uint16_t kStatusOpenFailed = 1;
inline constexpr std::uint16_t kStatusClosed = 2;

// Silence that ends a received frame.
inline constexpr std::int64_t kFrameSilenceMicros = 32000;

// How the end of a reply is found. The silence rule is what devices are known to work with;
// by length, a reply ends as soon as its bytes form the whole reply to the request and its
// CRC checks (where the length cannot be known, or the CRC fails, silence still decides).
enum class FrameEnd : std::uint8_t { kSilence, kLength };

// Starts the worker's thread; the default makes a std::thread. Tests replace it to see a
// failure.
using ThreadLauncher = std::function<std::thread(std::function<void()>)>;

// The port worker thread: owns the line while the port is open, frames replies by silence,
// times out requests and keeps the line quiet between transactions. Everything that reads
// or writes device models (building and parsing frames included) runs on the interface
// thread inside blocking calls, so windows may change blocks in their event handlers.
class TThreadSyncComPort {
  public:
    TThreadSyncComPort(DeviceList& devices, WorkerHost& host, LinkClient& client,
                       std::unique_ptr<SerialLine> line);
    ~TThreadSyncComPort();
    TThreadSyncComPort(const TThreadSyncComPort&) = delete;
    TThreadSyncComPort& operator=(const TThreadSyncComPort&) = delete;

    // Interface thread. Starts the worker on the given device path. While a worker that was
    // told to stop is still closing, the start waits for it and runs once it has closed.
    // False while a worker runs and was not told to stop, or when the thread cannot be
    // started ("Ошибка создания потока" is shown then).
    bool StartPort(const PortSettings& settings, const std::string& path,
                   FrameEnd frame_end = FrameEnd::kSilence);
    // Interface thread: the worker closes the port on its next pass and ends; also when the
    // open is still under way.
    void StopPort() { run_.store(false, std::memory_order_release); }
    // Interface thread: begins the cycle when the port is open and the cycle is idle.
    void StartCycle();
    void SetThreadLauncher(ThreadLauncher launcher) { launcher_ = std::move(launcher); }

    bool IsPortOpen() const { return port_open_; }
    // True from StartPort until the thread has run its last instruction.
    bool IsWorkerActive() const { return active_.load(std::memory_order_acquire); }
    // Interface thread: joins an ended worker so a new one can start; never blocks on a
    // running one.
    void Reap();
    bool IsCycleBusy() const { return cycle_.busy(); }

    std::uint8_t state() const { return state_.load(std::memory_order_acquire); }
    // Reset when the port opens; readable from any thread.
    const DeviceTraffic& traffic(std::size_t device) const {
        return traffic_[std::min(device, traffic_.size() - 1)];
    }

  private:
    struct Timer {
        std::int64_t start = 0;
        bool running = false;
        void Start();
        void Stop() { running = false; }
        bool Exceeded(std::int64_t micros) const;
    };

    // What the worker posts may run after the worker is gone; it checks this first.
    struct Posted {
        std::atomic<bool> alive{true};
        std::atomic<bool> tick_pending{false};
        std::atomic<bool> events_posted{false};
        std::atomic<std::uint16_t> pending_events{0};
    };

    void Run();
    bool TakeRestart();
    void Arm(const PortSettings& settings, const std::string& path, FrameEnd frame_end);
    void Blocking(const std::function<void()>& fn);
    bool OpenLine(bool announce);
    void InitialiseAfterOpen();
    void RunningPass();
    std::int64_t WaitBudget() const;
    void ReadBytes();
    void CloseFrame();
    void CompleteFrame();
    void EndTransaction();
    void SendNext();
    void NotifyLineEvents();
    void NotifyTick();
    void ReportStatus(std::uint16_t code);
    std::size_t DeviceIndex(const DeviceModel* model) const;
    void ReleaseSlot(FrameSlot& slot);
    void LoseLine();
    void Reconnect();
    DeviceTraffic* TrafficOf(std::size_t device);

    DeviceList& devices_;
    WorkerHost& host_;
    LinkClient& client_;
    std::unique_ptr<SerialLine> line_;
    TransactionQueue queue_;
    TransactionCycle cycle_;

    // Interface thread only.
    bool port_open_ = false;
    std::thread thread_;
    ThreadLauncher launcher_;

    // Shared between the threads.
    std::atomic<std::uint8_t> state_{kWorkerEnded};
    std::atomic<bool> run_{false};
    std::atomic<bool> active_{false};
    // Set while the owner is being destroyed: blocking calls then run nothing.
    std::atomic<bool> detached_{false};
    std::shared_ptr<Posted> posted_ = std::make_shared<Posted>();
    std::array<DeviceTraffic, 4> traffic_;
    // A start asked while the worker was closing: 0 none, 1 asked, 2 being taken. The next
    // settings are written before it becomes 1 and read after the worker has taken it.
    std::atomic<std::uint8_t> restart_{0};
    PortSettings next_settings_;
    std::string next_path_;
    FrameEnd next_frame_end_ = FrameEnd::kSilence;

    // Worker thread only (the settings and path are written before the thread starts).
    PortSettings settings_;
    std::string path_;
    FrameEnd frame_end_ = FrameEnd::kSilence;
    std::uint32_t flags_ = 0;
    bool answered_ = false;
    bool wants_ticks_ = true;
    int last_wait_error_ = 0;
    DeviceModel* current_ = nullptr;
    std::array<FrameSlot, 256> ring_;
    std::uint16_t ring_read_ = 0;
    std::uint16_t ring_write_ = 0;
    FrameSlot transmit_;
    std::array<std::uint8_t, 4096> read_buffer_{};
    Timer silence_;
    Timer reply_;
    Timer rest_;
    Timer tick_;
    // After a time-out: since then no byte for a frame gap, before the next request.
    Timer quiet_;
    bool quiet_needed_ = false;
    // The adapter is gone while the port is open for the user: reopened once a second.
    bool line_lost_ = false;
    Timer reconnect_;
};

}  // namespace veltrona
