#include "link/port_worker.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <system_error>

#include "devices/bus_devices.h"
#include "devices/charger/charger_blocks.h"
#include "link/block_helpers.h"
#include "link/boot_requests.h"
#include "link/event_loop.h"
#include "tests/link/fake_line.h"

namespace veltrona {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::FakeLine;
using testing::Reply;

struct Recorder final : LinkClient {
    std::vector<std::uint16_t> statuses;
    std::vector<int> wait_errors;
    int lost = 0;
    std::vector<std::string> messages;
    std::vector<std::pair<std::size_t, bool>> transactions;
    std::vector<Bytes> received;
    int opened = 0;
    int closed = 0;
    int ticks = 0;

    void OnStatusLine(std::uint16_t code, WallClock::time_point) override {
        statuses.push_back(code);
    }
    void OnWaitError(int code, WallClock::time_point) override { wait_errors.push_back(code); }
    void OnLineLost(WallClock::time_point) override { ++lost; }
    void OnOpened() override { ++opened; }
    void OnClosed() override { ++closed; }
    void OnTick() override { ++ticks; }
    void OnReceived(const FrameSlot& frame) override {
        received.emplace_back(frame.data, frame.data + frame.length);
    }
    void OnTransaction(std::size_t device, DeviceModel&, bool answered) override {
        transactions.emplace_back(device, answered);
    }
    void ShowMessage(std::string_view text, std::string_view caption) override {
        messages.push_back(std::string(caption) + ": " + std::string(text));
    }
};

class PortWorkerTest : public ::testing::Test {
  protected:
    void Make(std::array<bool, 3> enabled) {
        BusDeviceSettings settings;
        settings.enabled = enabled;
        devices = BuildBusDevices(settings);
        auto line = std::make_unique<FakeLine>(&script, &mutex, &written, &last_byte_at);
        worker = std::make_unique<TThreadSyncComPort>(devices, loop, client, std::move(line));
    }

    void Start(std::array<bool, 3> enabled, PortSettings port = Fast(),
               FrameEnd frame_end = FrameEnd::kSilence) {
        Make(enabled);
        ASSERT_TRUE(worker->StartPort(port, "/dev/fake", frame_end));
    }

    // Frames written since the given count, failed writes left out.
    std::vector<testing::WrittenFrame> WrittenSince(std::size_t from) {
        std::lock_guard lock(mutex);
        std::vector<testing::WrittenFrame> frames;
        for (std::size_t i = from; i < written.size(); ++i) {
            if (!written[i].failed) frames.push_back(written[i]);
        }
        return frames;
    }

    void Locked(const std::function<void()>& fn) {
        std::lock_guard lock(mutex);
        fn();
    }

    static PortSettings Fast() {
        PortSettings port;
        port.TimeRest = 2000;
        port.TimeWait = 80000;
        return port;
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = 20s) {
        return loop.RunUntil(done, limit);
    }

    std::size_t Written() {
        std::lock_guard lock(mutex);
        return written.size();
    }

    bool Ended() {
        return RunUntil([&] { return !worker->IsWorkerActive(); });
    }

    bool Stop() {
        worker->StopPort();
        return Ended();
    }

    void TearDown() override {
        if (!worker) return;
        ASSERT_TRUE(Stop());
        worker.reset();
    }

    std::mutex mutex;
    FakeLine::Script script;
    // What the responders keep between requests: members, since the worker may still call a
    // responder after the test body has ended, until TearDown has stopped it.
    int calls = 0;
    bool mute = false;
    bool late_sent = false;
    bool bms_muted = false;
    std::vector<testing::WrittenFrame> written;
    std::int64_t last_byte_at = 0;
    EventLoop loop;
    Recorder client;
    DeviceList devices;
    std::unique_ptr<TThreadSyncComPort> worker;
};

std::uint16_t StartOf(const Bytes& frame) {
    return static_cast<std::uint16_t>(frame[2] << 8 | frame[3]);
}

TEST_F(PortWorkerTest, ChargerTurnReadsEveryChunkInOrderWithRestAfterEachReply) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return Written() >= 2 * 51; }));

    std::vector<std::uint16_t> expected;
    for (const BlockLayout& b : kChargerBlocks) {
        for (std::uint16_t i = 0; i < b.read_requests; ++i)
            expected.push_back(b.base + i * 8);
    }
    ASSERT_EQ(expected.size(), 51u);
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < 2 * 51; ++i) {
        const Bytes& frame = written[i].bytes;
        ASSERT_EQ(frame.size(), 8u);
        EXPECT_EQ(frame[0], 1);
        EXPECT_EQ(frame[1], 0x03);
        EXPECT_EQ(StartOf(frame), expected[i % 51]) << "request " << i;
        EXPECT_EQ(frame[5], expected[i % 51] == 0x2000 ? 3 : 8);
    }
    // Each reply (1 ms after its request) needs 32 ms of silence, then TimeRest passes.
    for (std::size_t i = 1; i < 2 * 51; ++i) {
        EXPECT_GE(written[i].at_us - written[i - 1].at_us, 1000 + kFrameSilenceMicros + 2000);
    }
    EXPECT_EQ(client.statuses.front(), kStatusOpened);
    EXPECT_EQ(client.opened, 1);
    EXPECT_EQ(devices.At(0)->blocks[kChargerBlockLive].values_read[5], 0x0605);
}

TEST_F(PortWorkerTest, FiveMissesMarkUnreachableAndOneAnswerClearsIt) {
    mute = true;
    script.responder = [&](const Bytes& r) { return mute ? std::nullopt : testing::EchoSlave(r); };
    PortSettings port = Fast();
    port.TimeWait = 40000;  // covers a 1 ms answer and the 32 ms that end its frame
    Start({true, false, false}, port);
    DeviceModel& charger = *devices.At(0);

    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 4; }));
    EXPECT_FALSE(IsUnreachable(charger));
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 5; }));
    EXPECT_TRUE(IsUnreachable(charger));
    // Still asked after being marked.
    ASSERT_TRUE(RunUntil([&] { return Written() >= 7; }));
    {
        std::lock_guard lock(mutex);
        mute = false;
    }
    ASSERT_TRUE(RunUntil(
        [&] { return !client.transactions.empty() && client.transactions.back().second; }));
    EXPECT_FALSE(IsUnreachable(charger));
    EXPECT_EQ(charger.failures, 0);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_FALSE(client.transactions[i].second);
}

TEST_F(PortWorkerTest, LateReplyIsDiscardedAndNotCreditedToTheNextRequest) {
    script.responder = [&](const Bytes& r) -> std::optional<Reply> {
        // The charger's first reply starts 5 ms after its 40 ms time-out.
        return testing::EchoSlave(r, ++calls == 1 ? 45000 : 1000);
    };
    PortSettings port = Fast();
    port.TimeWait = 40000;
    port.TimeRest = 20000;  // the line would be free again while the late frame arrives
    Start({true, true, false}, port);

    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 2; }));
    EXPECT_EQ(client.transactions[0], std::make_pair(std::size_t{0}, false));
    EXPECT_EQ(client.transactions[1], std::make_pair(std::size_t{1}, true));
    EXPECT_EQ(worker->traffic(0).Figures().dropped, 1u);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0][0], 3) << "the inverter's own reply, not the charger's";
    EXPECT_FALSE(IsUnreachable(*devices.At(1)));
    std::lock_guard lock(mutex);
    // The inverter's request waited until the late frame had ended in silence.
    EXPECT_GE(written[1].at_us - written[0].at_us, 45000 + kFrameSilenceMicros);
}

TEST_F(PortWorkerTest, NoRequestIsSentWhileAFrameIsStillArriving) {
    script.responder = [](const Bytes& r) -> std::optional<Reply> {
        auto reply = testing::EchoSlave(r, 2000);
        reply->split_gap_us = 20000;  // halves 20 ms apart: one frame, under the 32 ms gap
        return reply;
    };
    PortSettings port = Fast();
    port.TimeWait = 10000;  // expires between the halves
    port.TimeRest = 1000;
    Start({true, false, false}, port);

    ASSERT_TRUE(RunUntil([&] { return Written() >= 3; }));
    std::lock_guard lock(mutex);
    // The second half of reply i lands 22 ms after request i; the frame then needs 32 ms of
    // silence before the line is used again.
    for (std::size_t i = 1; i < written.size(); ++i) {
        EXPECT_GE(written[i].at_us - written[i - 1].at_us, 22000 + kFrameSilenceMicros);
    }
}

TEST_F(PortWorkerTest, RequestThatBuildsToNothingIsSkippedWithoutWaiting) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    BusDeviceSettings settings;
    settings.enabled = {false, true, false};
    devices = BuildBusDevices(settings);
    DeviceModel& inverter = *devices.At(1);
    inverter.boot->info1_count = 0;  // a read of no registers: nothing to send
    ASSERT_TRUE(RequestInfo1(inverter));
    auto line = std::make_unique<FakeLine>(&script, &mutex, &written, &last_byte_at);
    worker = std::make_unique<TThreadSyncComPort>(devices, loop, client, std::move(line));
    ASSERT_TRUE(worker->StartPort(Fast(), "/dev/fake"));

    // One turn: 8 reads, the skipped operation, then the next turn's reads.
    ASSERT_TRUE(RunUntil([&] { return Written() >= 12; }));
    for (const auto& t : client.transactions)
        EXPECT_TRUE(t.second);
    EXPECT_EQ(worker->traffic(1).Figures().timed_out, 0u);
    EXPECT_EQ(inverter.boot->pending_operations, 0);
}

TEST_F(PortWorkerTest, HangUpReportsEachNewErrorCodeOnce) {
    // A hang-up on every reopen: each loss is reported, each error code only when it is new.
    script.hangup_errors = {EIO, EIO, ENXIO};
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return client.wait_errors.size() >= 2; }));
    const int losses = client.lost;
    ASSERT_TRUE(RunUntil([&] { return client.lost > losses; }));
    EXPECT_EQ(client.wait_errors, (std::vector<int>{EIO, ENXIO}));
    EXPECT_GE(client.lost, 3);
}

TEST_F(PortWorkerTest, UnpluggedAdapterTurnsTheDeviceUnreachableAndPollingResumesWhenBack) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    Start({true, false, false});
    DeviceModel& charger = *devices.At(0);
    ASSERT_TRUE(RunUntil([&] { return Written() >= 3; }));
    Locked([&] { script.unplugged = true; });
    // Requests that cannot go out end unanswered after TimeWait, five make it unreachable.
    ASSERT_TRUE(RunUntil([&] { return IsUnreachable(charger); }));
    EXPECT_EQ(client.lost, 1);
    EXPECT_EQ(client.wait_errors, (std::vector<int>{EIO}));
    ASSERT_TRUE(RunUntil([&] {
        std::lock_guard lock(mutex);
        return script.opens >= 3;  // the first open and two tries since
    }));
    EXPECT_EQ(client.statuses, (std::vector<std::uint16_t>{kStatusOpened}));
    const std::size_t before = client.transactions.size();
    Locked([&] { script.unplugged = false; });
    ASSERT_TRUE(RunUntil(
        [&] { return client.transactions.size() > before && client.transactions.back().second; }));
    EXPECT_FALSE(IsUnreachable(charger));
    EXPECT_EQ(client.statuses, (std::vector<std::uint16_t>{kStatusOpened, kStatusOpened}));
    EXPECT_EQ(client.opened, 2);
    EXPECT_EQ(client.lost, 1);
    EXPECT_TRUE(worker->IsPortOpen());
}

TEST_F(PortWorkerTest, CloseWhileTheLineIsLostEndsAtOnce) {
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return client.opened == 1; }));
    Locked([&] { script.unplugged = true; });
    ASSERT_TRUE(RunUntil([&] { return client.lost == 1; }));
    worker->StopPort();
    ASSERT_TRUE(RunUntil([&] { return !worker->IsWorkerActive(); }, 2s));
    EXPECT_EQ(client.closed, 1);
}

TEST_F(PortWorkerTest, ClosingWhileARequestIsOutAbandonsItAndEnds) {
    PortSettings port = Fast();
    port.TimeWait = 60000000;  // a minute: only the close can end the wait
    Start({true, true, true}, port);
    ASSERT_TRUE(RunUntil([&] { return Written() >= 1; }));
    ASSERT_TRUE(Stop());
    EXPECT_EQ(client.closed, 1);
    EXPECT_FALSE(worker->IsPortOpen());
    ASSERT_EQ(client.statuses.size(), 2u);
    EXPECT_EQ(client.statuses[1], kStatusClosed);
    EXPECT_TRUE(client.transactions.empty());
    EXPECT_EQ(Written(), 1u);
}

TEST_F(PortWorkerTest, FailedOpenShowsThePlatformTextAndNeverOpens) {
    script.open_ok = false;
    Start({true, true, true});
    ASSERT_TRUE(Ended());
    EXPECT_EQ(client.messages,
              (std::vector<std::string>{"Предупреждение: No such file or directory"}));
    EXPECT_EQ(client.statuses, (std::vector<std::uint16_t>{kStatusOpenFailed}));
    EXPECT_EQ(client.opened, 0);
    EXPECT_FALSE(worker->IsPortOpen());
    // A new start is possible once the old worker has ended.
    script.open_ok = true;
    EXPECT_TRUE(worker->StartPort(Fast(), "/dev/fake"));
    ASSERT_TRUE(RunUntil([&] { return client.opened == 1; }));
}

// The first request of a fresh turn: the charger's first chunk of its first block.
bool IsFirstChargerRead(const Bytes& frame) {
    return frame.size() == 8 && frame[0] == 1 && frame[1] == 0x03 &&
           StartOf(frame) == kChargerBlocks[0].base;
}

TEST_F(PortWorkerTest, ReopenedPortPollsAgainFromTheFirstDevice) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    Start({true, false, false});
    // A close while the cycle is busy (a request is always queued or out while polling).
    ASSERT_TRUE(RunUntil([&] { return Written() >= 5; }));
    ASSERT_TRUE(Stop());
    EXPECT_TRUE(worker->IsCycleBusy());
    const std::size_t before = Written();

    ASSERT_TRUE(worker->StartPort(Fast(), "/dev/fake"));
    ASSERT_TRUE(RunUntil([&] { return Written() >= before + 5; }));
    const auto again = WrittenSince(before);
    EXPECT_TRUE(IsFirstChargerRead(again[0].bytes));
    EXPECT_EQ(client.opened, 2);
    // The counters start again at the open.
    EXPECT_LE(worker->traffic(0).Figures().requests, Written() - before);
}

TEST_F(PortWorkerTest, StartRightAfterStopEndsTheOldWorkerAndRunsTheNewOne) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return Written() >= 3; }));
    // A worker that runs and was not told to stop keeps the port.
    EXPECT_FALSE(worker->StartPort(Fast(), "/dev/fake"));
    worker->StopPort();
    ASSERT_TRUE(worker->StartPort(Fast(), "/dev/fake"));
    EXPECT_FALSE(worker->StartPort(Fast(), "/dev/fake")) << "one start is pending already";
    const std::size_t before = Written();
    ASSERT_TRUE(RunUntil([&] { return client.opened == 2 && Written() >= before + 3; }));
    EXPECT_EQ(client.closed, 1);
    EXPECT_EQ(client.statuses,
              (std::vector<std::uint16_t>{kStatusOpened, kStatusClosed, kStatusOpened}));
    EXPECT_TRUE(worker->IsPortOpen());
}

TEST_F(PortWorkerTest, StopAskedWhileTheOpenIsUnderWayIsKept) {
    script.hold_open = true;
    Start({true, true, true});
    worker->StopPort();
    Locked([&] { script.hold_open = false; });
    ASSERT_TRUE(Ended());
    EXPECT_EQ(client.closed, 1);
    EXPECT_FALSE(worker->IsPortOpen());
}

TEST_F(PortWorkerTest, ThreadThatCannotStartIsReportedAndLeavesNoWorker) {
    Make({true, false, false});
    worker->SetThreadLauncher([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    EXPECT_FALSE(worker->StartPort(Fast(), "/dev/fake"));
    EXPECT_EQ(client.messages,
              (std::vector<std::string>{"Предупреждение: Ошибка создания потока"}));
    EXPECT_FALSE(worker->IsWorkerActive());
    worker->SetThreadLauncher([](std::function<void()> body) { return std::thread(body); });
    ASSERT_TRUE(worker->StartPort(Fast(), "/dev/fake"));
    ASSERT_TRUE(RunUntil([&] { return client.opened == 1; }));
}

TEST_F(PortWorkerTest, DestroyingTheWorkerNeverWaitsOnTheIdleInterfaceThread) {
    Start({true, false, false});
    // Nobody pumps the loop: the worker's first blocking call (the status line) waits.
    auto destroyed = std::async(std::launch::async, [&] { worker.reset(); });
    ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(client.opened, 0) << "no callback runs once the owner is going";
}

TEST_F(PortWorkerTest, FailedWriteKeepsTheLineSilentForAFrameGapBeforeTheNextTry) {
    script.responder = [](const Bytes& r) { return testing::EchoSlave(r); };
    script.failing_writes = 1;
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return Written() >= 3; }));
    std::lock_guard lock(mutex);
    ASSERT_TRUE(written[0].failed);
    EXPECT_EQ(written[1].bytes, written[0].bytes) << "the same request is sent again";
    EXPECT_GE(written[1].at_us - written[0].at_us, kFrameSilenceMicros);
}

TEST_F(PortWorkerTest, WorkerThreadAsksForARaisedPriority) {
    errno = 0;
    const int own = getpriority(PRIO_PROCESS, 0);
    bool may_raise = false;
    std::thread([&] { may_raise = setpriority(PRIO_PROCESS, gettid(), own - 1) == 0; }).join();
    if (!may_raise) GTEST_SKIP() << "this user may not raise a thread's priority";
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return client.opened == 1; }));
    std::lock_guard lock(mutex);
    ASSERT_TRUE(script.open_nice.has_value());
    EXPECT_LT(*script.open_nice, own);
}

TEST_F(PortWorkerTest, EventWithoutBytesStartsNoFrame) {
    script.bare_rxchar = true;  // and nothing ever answers
    PortSettings port = Fast();
    port.TimeWait = 60000;
    Start({true, false, false}, port);
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 3; }));
    for (const auto& t : client.transactions)
        EXPECT_FALSE(t.second) << "an empty frame ended a transaction as answered";
}

// Replies by kind of request: a good read, an exception, a bad CRC, silence.
std::optional<Reply> MixedSlave(const Bytes& r, int& n) {
    switch (n++ % 4) {
        case 0:
            return testing::EchoSlave(r);
        case 1:
            return Reply{testing::WithCrc({r[0], static_cast<std::uint8_t>(r[1] | 0x80), 2})};
        case 2: {
            Reply reply = *testing::EchoSlave(r);
            reply.bytes.back() ^= 0xFF;
            return reply;
        }
        default:
            return std::nullopt;
    }
}

TEST_F(PortWorkerTest, TrafficCountersCountEachOutcome) {
    script.responder = [&](const Bytes& r) { return MixedSlave(r, calls); };
    PortSettings port = Fast();
    port.TimeWait = 300000;  // far beyond a 1 ms answer and its 32 ms, even on a busy machine
    Start({true, false, false}, port);
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 8; }));
    ASSERT_TRUE(Stop());
    const TrafficFigures f = worker->traffic(0).Figures();
    // Transaction k ended as MixedSlave's case k % 4; the close may abandon one more request.
    const std::uint32_t ended = f.replies + f.dropped + f.timed_out;
    ASSERT_EQ(ended, client.transactions.size());
    EXPECT_LE(f.requests - ended, 1u);
    EXPECT_EQ(f.exceptions, (ended + 2) / 4);
    EXPECT_EQ(f.replies, (ended + 3) / 4 + f.exceptions);
    EXPECT_EQ(f.dropped, (ended + 1) / 4);
    EXPECT_EQ(f.timed_out, ended / 4);
    EXPECT_EQ(FormatTrafficFigures("Тарволен", {1520, 1518, 2, 0, 1}),
              "Тарволен 1520/1518 t2 c0 e1");
}

TEST_F(PortWorkerTest, FrameEndByLengthEndsRepliesWithoutTheSilenceAndReadsTheSameValues) {
    script.responder = [&](const Bytes& r) -> std::optional<Reply> {
        auto reply = testing::EchoSlave(r);
        // Every third reply comes in halves 10 ms apart: its first half is no whole reply.
        if (calls++ % 3 == 0) reply->split_gap_us = 10000;
        return reply;
    };
    Start({true, false, false}, Fast(), FrameEnd::kLength);
    ASSERT_TRUE(RunUntil([&] { return Written() >= 2 * 51; }));
    const auto frames = WrittenSince(0);
    std::size_t quick = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].at_us - frames[i - 1].at_us < kFrameSilenceMicros) ++quick;
    }
    EXPECT_GT(quick, frames.size() / 2) << "most replies end before 32 ms of silence";
    for (const auto& t : client.transactions)
        EXPECT_TRUE(t.second);
    for (const Bytes& reply : client.received)
        EXPECT_TRUE(CheckCrc(reply.data(), reply.size())) << "a half reply was taken as whole";
    EXPECT_EQ(devices.At(0)->blocks[kChargerBlockLive].values_read[5], 0x0605);
}

// A reply laid out for the request but with values no register holds: recognisable anywhere.
Reply Foreign(const Bytes& request, std::int64_t delay_us) {
    Reply reply = *testing::EchoSlave(request, delay_us);
    for (std::size_t i = 3; i + 2 < reply.bytes.size(); ++i)
        reply.bytes[i] = 0xBA;
    reply.bytes = testing::WithCrc(Bytes(reply.bytes.begin(), reply.bytes.end() - 2));
    return reply;
}

bool HoldsForeignValue(const DeviceModel& model) {
    for (const RegisterBlock& block : model.blocks) {
        for (const std::uint16_t value : block.values_read) {
            if (value == 0xBABA) return true;
        }
    }
    return false;
}

TEST_F(PortWorkerTest, LateReplyAfterATimeOutIsNeverTakenForTheNextRequest) {
    // The first reply comes 10 ms after its request timed out; the rest at once.
    script.responder = [&](const Bytes& r) -> std::optional<Reply> {
        return ++calls == 1 ? Foreign(r, Fast().TimeWait + 10000) : *testing::EchoSlave(r);
    };
    Start({true, false, false});
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 4; }));
    EXPECT_FALSE(client.transactions[0].second);
    EXPECT_FALSE(HoldsForeignValue(*devices.At(0)));
    EXPECT_EQ(worker->traffic(0).Figures().dropped, 1u);
    std::lock_guard lock(mutex);
    // The next request waited for the late frame and a frame gap after it.
    EXPECT_GE(written[1].at_us - written[0].at_us, Fast().TimeWait + 10000 + kFrameSilenceMicros);
}

TEST_F(PortWorkerTest, LateReplyOfOneDeviceNeverLandsInAnotherAtTheSameAddress) {
    // Inverter and BMS share address 3; the inverter's (0x3600, 55) read is answered so late
    // that the BMS's (0x0000, 50) read is out when it arrives, and the BMS says nothing.
    script.responder = [&](const Bytes& r) -> std::optional<Reply> {
        if (StartOf(r) == 0x3600 && r[5] == 55 && !late_sent) {
            late_sent = true;
            return Foreign(r, Fast().TimeWait + kFrameSilenceMicros + 40000);
        }
        if (late_sent && StartOf(r) == 0x0000 && r[5] == 50 && !bms_muted) {
            bms_muted = true;
            return std::nullopt;
        }
        return testing::EchoSlave(r);
    };
    Start({false, true, true});
    ASSERT_TRUE(RunUntil([&] {
        return std::count_if(client.transactions.begin(), client.transactions.end(),
                             [](const auto& t) { return t.first == 2; }) >= 3;
    }));
    EXPECT_FALSE(HoldsForeignValue(*devices.At(2)));
    EXPECT_FALSE(HoldsForeignValue(*devices.At(1)));
    EXPECT_EQ(worker->traffic(2).Figures().dropped + worker->traffic(1).Figures().dropped, 1u);
}

// Frames that answer the charger's first read (0x0000, 8) with what no device sends for it.
std::optional<Reply> Hostile(const Bytes& request, int kind) {
    Bytes read = Foreign(request, 1000).bytes;
    read.resize(read.size() - 2);
    switch (kind) {
        case 0:  // two bytes longer than 5 + 2N
            read.insert(read.end(), {0xBA, 0xBA});
            break;
        case 1:  // the layout of a read reply under another function code
            read[1] = 0x04;
            break;
        case 2:  // an exception reply one byte too long
            read = {read[0], 0x83, 0x02, 0xBA};
            break;
        default:  // a burst far over a slot
            read.resize(1000, 0xBA);
            break;
    }
    return Reply{testing::WithCrc(read)};
}

TEST_F(PortWorkerTest, RepliesThatDoNotBelongChangeNoRegisterAndCountAsDropped) {
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        calls = 0;
        script.responder = [&](const Bytes& r) {
            return calls++ == 0 ? Hostile(r, kind) : testing::EchoSlave(r);
        };
        client.transactions.clear();
        Start({true, false, false});
        ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 2; }));
        EXPECT_TRUE(client.transactions[0].second) << "a frame still ends the transaction";
        EXPECT_FALSE(HoldsForeignValue(*devices.At(0)));
        EXPECT_EQ(worker->traffic(0).Figures().dropped, 1u);
        TearDown();
    }
}

// A write reply is taken at 8 bytes or more, so only the overflow refuses the start of a burst
// whose first 256 bytes happen to end in a valid CRC.
TEST_F(PortWorkerTest, BurstOverASlotIsNoWriteReply) {
    script.responder = [](const Bytes& r) -> std::optional<Reply> {
        if (r[1] != 0x10) return testing::EchoSlave(r);
        Bytes burst(r.begin(), r.begin() + 6);
        burst.resize(254, 0xBA);
        burst = testing::WithCrc(burst);
        burst.resize(1000, 0xBA);
        return Reply{burst};
    };
    Make({true, false, false});
    RegisterBlock& settings = devices.At(0)->blocks[kChargerBlockSettings];
    settings.values_to_write[5] = 0x1234;
    SetBit(settings.write_request_map, 5);
    RequestWriteOnce(settings);
    ASSERT_TRUE(worker->StartPort(Fast(), "/dev/fake"));
    const auto writes = [&] {
        std::lock_guard lock(mutex);
        return std::count_if(written.begin(), written.end(),
                             [](const auto& w) { return w.bytes[1] == 0x10; });
    };
    // Refused, so the write is sent again at the charger's next turn.
    ASSERT_TRUE(RunUntil([&] { return writes() >= 2; }));
    EXPECT_FALSE(TestBit(settings.write_done_map, 5));
    EXPECT_GE(worker->traffic(0).Figures().dropped, 1u);
}

}  // namespace
}  // namespace veltrona
