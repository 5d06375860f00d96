#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/device_model.h"
#include "link/frame_slot.h"

namespace veltrona {

using WallClock = std::chrono::system_clock;

// The interface-thread side of the link: the shell, the poller and the tests implement it.
// Every call runs on the interface thread.
class LinkClient {
  public:
    virtual ~LinkClient() = default;
    virtual void OnStatusLine(std::uint16_t /*code*/, WallClock::time_point /*when*/) {}
    virtual void OnWaitError(int /*code*/, WallClock::time_point /*when*/) {}
    // The adapter is gone while the port is open; the worker looks for it again and reports
    // the status line of an open port once it is back.
    virtual void OnLineLost(WallClock::time_point /*when*/) {}
    virtual void OnOpened() {}
    virtual void OnClosed() {}
    // Coalesced: a mask may gather several waits, and ticks may be dropped while one is
    // still pending.
    virtual void OnLineEvents(std::uint16_t /*mask*/) {}
    virtual void OnTick() {}
    // A client without use for ticks spares the interface thread a wake-up every millisecond.
    virtual bool WantsTicks() const { return true; }
    // A reply was taken off the line (before the dispatcher runs for it).
    virtual void OnReceived(const FrameSlot& /*frame*/) {}
    // A request went out.
    virtual void OnSent(std::size_t /*device*/, const DeviceModel& /*model*/,
                        const FrameSlot& /*frame*/) {}
    // The reply dispatcher: after every transaction, answered or not, before the cycle goes
    // on. The model's phase and current block still name what was asked.
    virtual void OnTransaction(std::size_t /*device*/, DeviceModel& /*model*/, bool /*answered*/) {}
    // A modal message raised by the worker (a failed open, for instance).
    virtual void ShowMessage(std::string_view /*text*/, std::string_view /*caption*/) {}
};

}  // namespace veltrona
