#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltrona {

// One device's figures as the worker saw its transactions since the port last opened.
struct TrafficFigures {
    std::uint32_t requests = 0;    // requests written to the line
    std::uint32_t replies = 0;     // replies taken into the device's registers (exceptions too)
    std::uint32_t timed_out = 0;   // transactions that ended without a frame
    std::uint32_t dropped = 0;     // frames refused: bad CRC, wrong address, too short, unasked
    std::uint32_t exceptions = 0;  // replies taken that carried an exception code
};

// Written by the worker, read by any thread (a window's timer, the poller's summary).
class DeviceTraffic {
  public:
    void CountRequest() { requests_.fetch_add(1, std::memory_order_relaxed); }
    void CountReply(bool exception) {
        replies_.fetch_add(1, std::memory_order_relaxed);
        if (exception) exceptions_.fetch_add(1, std::memory_order_relaxed);
    }
    void CountTimeout() { timed_out_.fetch_add(1, std::memory_order_relaxed); }
    void CountDropped() { dropped_.fetch_add(1, std::memory_order_relaxed); }
    void Reset();
    TrafficFigures Figures() const;

  private:
    std::atomic<std::uint32_t> requests_{0};
    std::atomic<std::uint32_t> replies_{0};
    std::atomic<std::uint32_t> timed_out_{0};
    std::atomic<std::uint32_t> dropped_{0};
    std::atomic<std::uint32_t> exceptions_{0};
};

// "Тарволен 1520/1518 t2 c0 e0": requests/replies, time-outs, dropped frames, exceptions.
std::string FormatTrafficFigures(std::string_view name, const TrafficFigures& figures);

}  // namespace veltrona
