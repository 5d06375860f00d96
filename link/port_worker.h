#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "link/device_model.h"
#include "link/frame_slot.h"
#include "link/link_client.h"
#include "link/port_settings.h"
#include "link/serial_line.h"
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

// Counters of one device as the worker saw its transactions.
struct DeviceTraffic {
    std::atomic<std::uint32_t> requests{0};
    std::atomic<std::uint32_t> answered{0};
    std::atomic<std::uint32_t> timed_out{0};
    std::atomic<std::uint32_t> discarded{0};
};

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

    // Interface thread. Starts the worker on the given device path; false while a previous
    // worker still runs (the port-open flag is set or the thread has not ended).
    bool StartPort(const PortSettings& settings, const std::string& path);
    // Interface thread: the worker closes the port on its next pass and ends.
    void StopPort() { run_.store(false, std::memory_order_release); }
    // Interface thread: begins the cycle when the port is open and the cycle is idle.
    void StartCycle();

    bool IsPortOpen() const { return port_open_; }
    // True from StartPort until the thread has run its last instruction.
    bool IsWorkerActive() const { return active_.load(std::memory_order_acquire); }
    // Interface thread: joins an ended worker so a new one can start; never blocks on a
    // running one.
    void Reap();
    bool IsCycleBusy() const { return cycle_.busy(); }

    std::uint8_t state() const { return state_.load(std::memory_order_acquire); }
    const DeviceTraffic& traffic(std::size_t device) const { return traffic_[device % 4]; }

  private:
    struct Timer {
        std::int64_t start = 0;
        bool running = false;
        void Start();
        void Stop() { running = false; }
        bool Exceeded(std::int64_t micros) const;
    };

    void Run();
    bool OpenLine(bool announce);
    void InitialiseAfterOpen();
    void RunningPass();
    std::int64_t WaitBudget() const;
    void ReadBytes();
    void CompleteFrame();
    void EndTransaction();
    void SendNext();
    void NotifyLineEvents();
    void NotifyTick();
    void ReportStatus(std::uint16_t code);
    std::size_t DeviceIndex(const DeviceModel* model) const;
    void ReleaseSlot(FrameSlot& slot);

    DeviceList& devices_;
    WorkerHost& host_;
    LinkClient& client_;
    std::unique_ptr<SerialLine> line_;
    TransactionQueue queue_;
    TransactionCycle cycle_;

    // Interface thread only.
    bool port_open_ = false;
    std::thread thread_;

    // Shared between the threads.
    std::atomic<std::uint8_t> state_{kWorkerEnded};
    std::atomic<bool> run_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> tick_pending_{false};
    std::atomic<bool> events_posted_{false};
    std::atomic<std::uint16_t> pending_events_{0};
    std::array<DeviceTraffic, 4> traffic_;

    // Worker thread only (the settings and path are written before the thread starts).
    PortSettings settings_;
    std::string path_;
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
};

}  // namespace veltrona
