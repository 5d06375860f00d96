// The real port worker, cycle and serial port against the stand-ins on a pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "devices/bms/bms_blocks.h"
#include "devices/bus_devices.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_blocks.h"
#include "link/event_loop.h"
#include "link/monotonic_clock.h"
#include "link/port_worker.h"
#include "sim/sim_bus.h"

namespace veltrona {
namespace {

using namespace std::chrono_literals;

struct Request {
    std::size_t device;
    std::vector<std::uint8_t> bytes;
    std::int64_t at_us;
};

struct Recorder final : LinkClient {
    std::vector<Request> sent;
    std::vector<std::pair<std::size_t, bool>> transactions;
    std::vector<std::int64_t> answered_at;
    std::vector<std::uint16_t> statuses;
    std::vector<int> wait_errors;

    void OnSent(std::size_t device, const DeviceModel&, const FrameSlot& frame) override {
        sent.push_back({device, {frame.data, frame.data + frame.length}, MonotonicMicros()});
    }
    void OnTransaction(std::size_t device, DeviceModel&, bool answered) override {
        transactions.emplace_back(device, answered);
        answered_at.push_back(MonotonicMicros());
    }
    void OnStatusLine(std::uint16_t code, WallClock::time_point) override {
        statuses.push_back(code);
    }
    void OnWaitError(int code, WallClock::time_point) override { wait_errors.push_back(code); }
    void OnLineLost(WallClock::time_point) override { ++lost; }
    int lost = 0;
};

class LinkEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("veltrona-e2e-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        options.folder = folder.string();
        options.com = 9;
        options.switches.turnaround_us = 500;
        bus = std::make_unique<sim::SimBus>(options);
        ASSERT_EQ(bus->Start(), "");
    }

    void Open(std::array<bool, 3> enabled, PortSettings port) {
        BusDeviceSettings settings;
        settings.enabled = enabled;
        devices = BuildBusDevices(settings);
        worker =
            std::make_unique<TThreadSyncComPort>(devices, loop, client, MakeSystemSerialLine());
        ASSERT_TRUE(worker->StartPort(port, bus->ClientPath()));
        ASSERT_TRUE(loop.RunUntil([&] { return worker->IsPortOpen(); }, 10s));
    }

    static PortSettings Quick() {
        PortSettings port;
        port.TimeRest = 1000;
        port.TimeWait = 1000000;  // a reply needs about 33 ms; the rest is room for a busy machine
        return port;
    }

    bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = 60s) {
        return loop.RunUntil(done, limit);
    }

    void TearDown() override {
        if (worker) {
            worker->StopPort();
            EXPECT_TRUE(RunUntil([&] { return !worker->IsWorkerActive(); }, 10s));
            worker.reset();
        }
        bus->Stop();
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;
    sim::SimOptions options;
    std::unique_ptr<sim::SimBus> bus;
    EventLoop loop;
    Recorder client;
    DeviceList devices;
    std::unique_ptr<TThreadSyncComPort> worker;
};

struct Expected {
    std::size_t device;
    std::uint8_t address;
    std::uint16_t start;
    std::uint16_t count;
};

void AppendReads(std::vector<Expected>& out, std::size_t device, std::uint8_t address,
                 std::span<const BlockLayout> blocks, bool first_turn) {
    for (const BlockLayout& b : blocks) {
        if (!first_turn && (b.poll_mode & kPollReadEvery) == 0) continue;
        for (std::uint16_t i = 0; i < b.read_requests; ++i) {
            const std::uint16_t start = static_cast<std::uint16_t>(b.base + i * b.read_chunk);
            const std::uint16_t left = static_cast<std::uint16_t>(b.count - i * b.read_chunk);
            out.push_back({device, address, start, std::min(left, b.read_chunk)});
        }
    }
}

TEST_F(LinkEndToEnd, OneRoundAsksEveryChunkOfEveryDeviceInOrder) {
    Open({true, true, true}, Quick());
    std::vector<Expected> round;
    AppendReads(round, 0, 1, kChargerBlocks, true);
    AppendReads(round, 1, 3, kInverterBlocks, true);
    AppendReads(round, 2, 3, kBmsBlocks, true);
    AppendReads(round, 0, 1, kChargerBlocks, false);
    AppendReads(round, 1, 3, kInverterBlocks, false);
    AppendReads(round, 2, 3, kBmsBlocks, false);
    ASSERT_EQ(round.size(), 2u * (51 + 8 + 11) + 768);

    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= round.size(); }, 120s));
    for (std::size_t i = 0; i < round.size(); ++i) {
        const auto& frame = client.sent[i].bytes;
        ASSERT_EQ(frame.size(), 8u) << i;
        EXPECT_EQ(client.sent[i].device, round[i].device) << i;
        EXPECT_EQ(frame[0], round[i].address) << i;
        EXPECT_EQ(frame[1], 0x03) << i;
        EXPECT_EQ(frame[2] << 8 | frame[3], round[i].start) << i;
        EXPECT_EQ(frame[4] << 8 | frame[5], round[i].count) << i;
        EXPECT_TRUE(client.transactions[i].second) << "unanswered request " << i;
    }
    // The line stays quiet for TimeRest after every transaction.
    for (std::size_t i = 1; i < round.size(); ++i) {
        EXPECT_GE(client.sent[i].at_us - client.answered_at[i - 1], Quick().TimeRest);
    }
    const DeviceModel& bms = *devices.At(2);
    EXPECT_EQ(bms.blocks[kBmsBlockStatus].values_read[2], 16) << "design cell number";
}

TEST_F(LinkEndToEnd, MutedDeviceTimesOutBecomesUnreachableAndRecoversOnOneAnswer) {
    PortSettings port = Quick();
    port.TimeWait = 50000;
    ASSERT_EQ(bus->Command("mute charger"), "ok");
    Open({true, false, false}, port);
    DeviceModel& charger = *devices.At(0);

    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 5; }));
    EXPECT_TRUE(IsUnreachable(charger));
    for (const auto& t : client.transactions)
        EXPECT_FALSE(t.second);
    // Each miss waited TimeWait before the next request.
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_GE(client.sent[i].at_us - client.sent[i - 1].at_us, port.TimeWait);
    }
    ASSERT_EQ(bus->Command("unmute charger"), "ok");
    ASSERT_TRUE(RunUntil([&] { return client.transactions.back().second; }));
    EXPECT_FALSE(IsUnreachable(charger));
    EXPECT_EQ(charger.failures, 0);
}

TEST_F(LinkEndToEnd, RepliesSlowerThanTheWaitAreDiscarded) {
    // A reply 30 ms after its request completes only at about 62 ms, after a 50 ms wait.
    PortSettings port = Quick();
    port.TimeWait = 50000;
    port.TimeRest = 40000;
    ASSERT_EQ(bus->Command("delay-us 30000"), "ok");
    Open({true, false, false}, port);
    ASSERT_TRUE(RunUntil([&] { return worker->traffic(0).Figures().dropped >= 3; }));
    for (const auto& t : client.transactions)
        EXPECT_FALSE(t.second);
    EXPECT_EQ(devices.At(0)->blocks[kChargerBlockIdent].values_read[0], 0)
        << "a discarded frame is never parsed";
}

TEST_F(LinkEndToEnd, UnplugGivesOneStatusLinePerErrorCode) {
    Open({true, true, true}, Quick());
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 3; }));
    ASSERT_EQ(bus->Command("unplug"), "ok");
    ASSERT_TRUE(RunUntil([&] { return !client.wait_errors.empty(); }, 10s));
    loop.RunUntil([] { return false; }, 300ms);
    ASSERT_EQ(client.wait_errors.size(), 1u);
    EXPECT_NE(client.wait_errors[0], 0);
    worker->StopPort();
    ASSERT_TRUE(RunUntil([&] { return !worker->IsWorkerActive(); }, 10s));
    EXPECT_EQ(client.statuses.back(), kStatusClosed);
}

// The adapter pulled for three seconds and plugged back behind the same COM link.
TEST_F(LinkEndToEnd, PulledAdapterTurnsTheDeviceUnreachableAndPollingResumesWhenPluggedBack) {
    BusDeviceSettings settings;
    settings.enabled = {true, false, false};
    devices = BuildBusDevices(settings);
    worker = std::make_unique<TThreadSyncComPort>(devices, loop, client, MakeSystemSerialLine());
    PortSettings port = Quick();
    port.TimeWait = 200000;  // five of them while the adapter is out, and room for a reply
    ASSERT_TRUE(worker->StartPort(port, bus->LinkPath()));
    ASSERT_TRUE(RunUntil([&] { return client.transactions.size() >= 3; }));
    ASSERT_EQ(bus->Command("unplug"), "ok");
    ASSERT_TRUE(RunUntil([&] { return IsUnreachable(*devices.At(0)); }, 10s));
    EXPECT_EQ(client.lost, 1);
    loop.RunUntil([] { return false; }, 3s);
    EXPECT_TRUE(IsUnreachable(*devices.At(0)));
    ASSERT_EQ(bus->Command("plug"), "ok");
    const std::size_t before = client.transactions.size();
    ASSERT_TRUE(RunUntil(
        [&] {
            return client.transactions.size() > before + 3 && client.transactions.back().second;
        },
        10s));
    EXPECT_FALSE(IsUnreachable(*devices.At(0)));
    EXPECT_EQ(client.statuses, (std::vector<std::uint16_t>{kStatusOpened, kStatusOpened}));
}

TEST_F(LinkEndToEnd, ClosingWhileARequestIsOutEndsAtOnce) {
    PortSettings port = Quick();
    port.TimeWait = 60000000;
    ASSERT_EQ(bus->Command("mute charger"), "ok");
    ASSERT_EQ(bus->Command("mute inverter"), "ok");
    ASSERT_EQ(bus->Command("mute bms"), "ok");
    Open({true, true, true}, port);
    ASSERT_TRUE(RunUntil([&] { return !client.sent.empty(); }));
    worker->StopPort();
    ASSERT_TRUE(RunUntil([&] { return !worker->IsWorkerActive(); }, 10s));
    EXPECT_TRUE(client.transactions.empty());
    EXPECT_EQ(client.statuses, (std::vector<std::uint16_t>{kStatusOpened, kStatusClosed}));
}

}  // namespace
}  // namespace veltrona
