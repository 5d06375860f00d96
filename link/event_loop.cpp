#include "link/event_loop.h"

#include <algorithm>
#include <future>

namespace veltrona {

void EventLoop::RunBlocking(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (owner_ == std::this_thread::get_id()) {
            // Already on the interface thread: run in place rather than wait for ourselves.
            fn();
            return;
        }
    }
    std::promise<void> finished;
    auto done = finished.get_future();
    Post([&] {
        fn();
        finished.set_value();
    });
    done.wait();
}

void EventLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    wake_.notify_one();
}

bool EventLoop::RunOne(std::unique_lock<std::mutex>& lock,
                       std::chrono::steady_clock::time_point until) {
    if (!wake_.wait_until(lock, until, [this] { return quit_ || !queue_.empty(); })) return false;
    if (queue_.empty()) return false;
    auto fn = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    fn();
    lock.lock();
    return true;
}

void EventLoop::Pump(std::chrono::milliseconds max_wait) {
    const auto until = std::chrono::steady_clock::now() + max_wait;
    std::unique_lock lock(mutex_);
    while (RunOne(lock, until)) {
    }
}

void EventLoop::Run() {
    std::unique_lock lock(mutex_);
    owner_ = std::this_thread::get_id();
    quit_ = false;
    while (!quit_) {
        RunOne(lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    }
    owner_ = {};
}

bool EventLoop::RunUntil(const std::function<bool()>& done,
                         std::chrono::steady_clock::duration limit,
                         std::chrono::milliseconds check) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    owner_ = std::this_thread::get_id();
    quit_ = false;
    bool result = false;
    for (;;) {
        lock.unlock();
        result = done();
        lock.lock();
        if (result || quit_ || std::chrono::steady_clock::now() >= deadline) break;
        // Posted work wakes the loop at once; the pause only bounds how late done() is seen.
        RunOne(lock, std::min(deadline, std::chrono::steady_clock::now() + check));
    }
    owner_ = {};
    return result;
}

void EventLoop::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
}

}  // namespace veltrona
