#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "link/worker_host.h"

namespace veltrona {

// A minimal interface thread for programs without a GUI (the poller) and for tests: runs
// the functions handed to it, in order, on the thread that calls Run or RunUntil.
class EventLoop final : public WorkerHost {
  public:
    void RunBlocking(std::function<void()> fn) override;
    void Post(std::function<void()> fn) override;
    void Pump(std::chrono::milliseconds max_wait) override;

    // Runs functions until Quit.
    void Run();
    // Runs functions until done() holds (checked after each function and at least every
    // check interval) or the deadline passes; the result is done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::steady_clock::duration limit,
                  std::chrono::milliseconds check = std::chrono::milliseconds(5));
    void Quit();

  private:
    bool RunOne(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point until);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::thread::id owner_{};
    bool quit_ = false;
};

}  // namespace veltrona
