#pragma once

#include <chrono>
#include <functional>

namespace veltrona {

// The interface thread as the port worker sees it. The shell implements it with blocking
// queued calls into the Qt event loop; the poller and the tests use EventLoop.
class WorkerHost {
  public:
    virtual ~WorkerHost() = default;
    // Runs fn on the interface thread and returns once it has finished.
    virtual void RunBlocking(std::function<void()> fn) = 0;
    // Runs fn on the interface thread later; the caller does not wait.
    virtual void Post(std::function<void()> fn) = 0;
    // Runs what is pending for up to max_wait on the calling thread: lets the worker's owner
    // wait for it to end without blocking a call the worker is waiting for.
    virtual void Pump(std::chrono::milliseconds max_wait) = 0;
};

}  // namespace veltrona
