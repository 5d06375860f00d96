#pragma once

// A scripted serial line for worker tests: replies come from a responder function after a
// chosen delay, optionally in two parts, so the tests can place bytes exactly in time.

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/frames.h"
#include "link/monotonic_clock.h"
#include "link/serial_line.h"

namespace veltrona::testing {

using Bytes = std::vector<std::uint8_t>;

struct Reply {
    Bytes bytes;
    std::int64_t delay_us = 1000;
    // When non-zero the reply arrives in two halves this far apart.
    std::int64_t split_gap_us = 0;
};

using Responder = std::function<std::optional<Reply>(const Bytes& request)>;

struct WrittenFrame {
    std::int64_t at_us;
    Bytes bytes;
    bool failed = false;  // the write was refused
};

inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// Answers 0x03 with value = register address and 0x10 with the echo of start and count.
inline std::optional<Reply> EchoSlave(const Bytes& request, std::int64_t delay_us = 1000) {
    if (request.size() < 8) return std::nullopt;
    const std::uint16_t count = static_cast<std::uint16_t>(request[4] << 8 | request[5]);
    const std::uint16_t start = static_cast<std::uint16_t>(request[2] << 8 | request[3]);
    Bytes reply{request[0], request[1]};
    if (request[1] == 0x03) {
        reply.push_back(static_cast<std::uint8_t>(2 * count));
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint16_t value = static_cast<std::uint16_t>(start + i);
            reply.push_back(static_cast<std::uint8_t>(value >> 8));
            reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
        }
    } else if (request[1] == 0x10) {
        reply.insert(reply.end(), request.begin() + 2, request.begin() + 6);
    } else {
        return std::nullopt;
    }
    return Reply{WithCrc(reply), delay_us, 0};
}

class FakeLine final : public SerialLine {
  public:
    struct Script {
        Responder responder;
        bool open_ok = true;
        std::string open_error = "No such file or directory";
        // Error codes WaitEvent reports, one per wait, the last one for good.
        std::vector<int> hangup_errors;
        // The adapter is gone: waits fail with EIO, writes and opens fail.
        bool unplugged = false;
        int opens = 0;
        // Open waits while this is set.
        bool hold_open = false;
        // This many writes fail (they are still recorded, as failed).
        int failing_writes = 0;
        // Every wait reports a received-character event that brings no byte.
        bool bare_rxchar = false;
        // The nice value of the thread that opened the line.
        std::optional<int> open_nice;
    };

    explicit FakeLine(Script* script, std::mutex* mutex, std::vector<WrittenFrame>* written,
                      std::int64_t* last_byte_at)
        : script_(script), mutex_(mutex), written_(written), last_byte_at_(last_byte_at) {}

    bool Open(const PortSettings&, const std::string&, std::string& error) override {
        for (;;) {
            {
                std::lock_guard lock(*mutex_);
                if (!script_->hold_open) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::lock_guard lock(*mutex_);
        errno = 0;
        script_->open_nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        ++script_->opens;
        const bool ok = script_->open_ok && !script_->unplugged;
        if (!ok) error = script_->open_error;
        return ok;
    }
    void Close() override {}

    bool WaitEvent(std::uint32_t& status, std::uint16_t& mask, int& error_code,
                   std::int64_t wait_us) override {
        status = 0;
        mask = 0;
        error_code = 0;
        {
            std::lock_guard lock(*mutex_);
            if (!script_->hangup_errors.empty()) {
                const std::size_t n = script_->hangup_errors.size();
                error_code = script_->hangup_errors[std::min(hangup_calls_++, n - 1)];
            }
            if (script_->unplugged) error_code = EIO;
        }
        if (error_code != 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(wait_us));
            return false;
        }
        bool bare = false;
        {
            std::lock_guard lock(*mutex_);
            bare = script_->bare_rxchar;
        }
        const std::int64_t until = MonotonicMicros() + wait_us;
        for (;;) {
            mask = Deliver();
            if (bare) mask |= kEvRxChar;
            if (mask != 0 || MonotonicMicros() >= until) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        status = mask != 0 ? 1 : 3;
        return mask != 0;
    }

    std::size_t BytesQueued() override { return rx_.size(); }

    bool Read(std::uint8_t* buffer, std::size_t count, std::size_t& received,
              std::size_t capacity) override {
        if (count > capacity) count = capacity - 1;
        received = std::min(count, rx_.size());
        for (std::size_t i = 0; i < received; ++i) {
            buffer[i] = rx_.front();
            rx_.pop_front();
        }
        return true;
    }

    bool Write(const std::uint8_t* data, std::size_t count) override {
        Bytes frame(data, data + count);
        const std::int64_t now = MonotonicMicros();
        std::optional<Reply> reply;
        {
            std::lock_guard lock(*mutex_);
            if (script_->unplugged) return false;
            if (script_->failing_writes > 0) {
                --script_->failing_writes;
                written_->push_back({now, frame, true});
                return false;
            }
            written_->push_back({now, frame});
            if (script_->responder) reply = script_->responder(frame);
        }
        tx_empty_ = true;
        if (reply) {
            const std::size_t half = reply->split_gap_us != 0 ? reply->bytes.size() / 2 : 0;
            const std::int64_t first_at = now + reply->delay_us;
            if (half != 0) {
                pending_.push_back(
                    {first_at, Bytes(reply->bytes.begin(), reply->bytes.begin() + half)});
            }
            pending_.push_back({first_at + (half != 0 ? reply->split_gap_us : 0),
                                Bytes(reply->bytes.begin() + half, reply->bytes.end())});
        }
        return true;
    }

  private:
    struct Chunk {
        std::int64_t due;
        Bytes bytes;
    };

    std::uint16_t Deliver() {
        std::uint16_t mask = 0;
        if (tx_empty_) {
            tx_empty_ = false;
            mask |= kEvTxEmpty;
        }
        const std::int64_t now = MonotonicMicros();
        while (!pending_.empty() && pending_.front().due <= now) {
            rx_.insert(rx_.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
            pending_.pop_front();
            mask |= kEvRxChar;
            std::lock_guard lock(*mutex_);
            *last_byte_at_ = now;
        }
        return mask;
    }

    Script* script_;
    std::mutex* mutex_;
    std::vector<WrittenFrame>* written_;
    std::int64_t* last_byte_at_;
    std::deque<Chunk> pending_;
    std::deque<std::uint8_t> rx_;
    bool tx_empty_ = false;
    std::size_t hangup_calls_ = 0;
};

}  // namespace veltrona::testing
