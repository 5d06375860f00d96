#include "link/transaction_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <ostream>
#include <span>
#include <vector>

#include "devices/bus_devices.h"
#include "devices/charger/charger_blocks.h"
#include "devices/inverter/inverter_blocks.h"
#include "link/block_helpers.h"
#include "link/transaction_queue.h"

namespace veltrona {
namespace {

// One request as the worker takes it from the queue.
struct Sent {
    std::size_t device = 0;
    std::uint8_t operation = 0;
    std::uint32_t start = 0;
    std::uint16_t count = 0;
    std::uint8_t phase = 0;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sent& s) {
    return out << "{device " << s.device << ", op " << int{s.operation} << ", 0x" << std::hex
               << s.start << std::dec << "+" << s.count << ", phase " << int{s.phase} << "}";
}

Sent Write(std::size_t device, std::uint32_t start, std::uint16_t count) {
    return {device, kOpWrite, start, count, kPhaseWrite};
}

// The reads of one turn, every chunk of every block in table order.
std::vector<Sent> ReadTurn(std::size_t device, std::span<const BlockLayout> blocks) {
    std::vector<Sent> reads;
    for (const BlockLayout& b : blocks) {
        for (std::uint16_t first = 0; first < b.count; first += b.read_chunk) {
            reads.push_back({device, kOpRead, std::uint32_t{b.base} + first,
                             std::min<std::uint16_t>(b.read_chunk, b.count - first), kPhaseRead});
        }
    }
    return reads;
}

const std::vector<Sent> kChargerTurn = ReadTurn(kChargerIndex, kChargerBlocks);
const std::vector<Sent> kInverterTurn = ReadTurn(kInverterIndex, kInverterBlocks);

// As a window asks for a write: the edited registers become write requests of a write-once
// block.
void RequestWrite(RegisterBlock& block, std::initializer_list<std::size_t> registers) {
    for (const std::size_t i : registers)
        SetBit(block.edit_map, i);
    MergeMap(block.write_request_map, block.edit_map);
    ClearMap(block.edit_map);
    RequestWriteOnce(block);
}

class Cycle : public ::testing::Test {
  protected:
    void Build(std::array<bool, kBusDeviceCount> enabled) {
        devices_ = BuildBusDevices(BusDeviceSettings{.enabled = enabled});
        queue_.Clear();
    }
    void Start(std::array<bool, kBusDeviceCount> enabled) {
        Build(enabled);
        cycle_.StartCycle();
    }

    DeviceModel& Model(std::size_t device) { return *devices_.models[device]; }

    // Takes the queued request as the worker does and ends it with a reply (a write reply
    // marks its registers written) or with a time-out.
    Sent Step(bool answered = true) {
        DeviceModel* model = queue_.Take();
        EXPECT_NE(model, nullptr);
        if (model == nullptr) return {};
        const auto found = std::find_if(devices_.models.begin(), devices_.models.end(),
                                        [model](const auto& m) { return m.get() == model; });
        const TransactionRecord& t = model->transaction;
        const Sent sent{static_cast<std::size_t>(found - devices_.models.begin()), t.operation,
                        t.start, t.count, model->phase};
        RegisterBlock* block = model->CurrentBlock();
        if (answered && t.operation == kOpWrite && block != nullptr) {
            const std::uint32_t first = t.start - block->base;
            for (std::uint32_t i = first; i < first + t.count; ++i) {
                ClearBit(block->write_request_map, i);
                SetBit(block->write_done_map, i);
            }
        }
        if (answered) {
            cycle_.AfterReply();
        } else {
            cycle_.AfterTimeout();
        }
        queue_.Finish();
        return sent;
    }

    std::vector<Sent> Steps(std::size_t n) {
        std::vector<Sent> sent;
        while (sent.size() < n)
            sent.push_back(Step());
        return sent;
    }

    // Steps until the cycle stops, at most limit steps.
    std::vector<Sent> StepsToStop(std::size_t limit) {
        std::vector<Sent> sent;
        while (sent.size() < limit && queue_.Take() != nullptr)
            sent.push_back(Step());
        return sent;
    }

    DeviceList devices_;
    TransactionQueue queue_;
    TransactionCycle cycle_{devices_, queue_};
};

TEST(TransactionQueue, NeverOverwritesASlotInUse) {
    std::array<DeviceModel, TransactionQueue::kSize + 1> models;
    TransactionQueue queue;
    for (std::size_t i = 0; i < TransactionQueue::kSize; ++i)
        EXPECT_TRUE(queue.Add(&models[i]));
    EXPECT_FALSE(queue.Add(&models.back()));
    EXPECT_EQ(queue.Take(), &models[0]);
    EXPECT_FALSE(queue.Add(&models.back()));  // taken is not free either
    EXPECT_EQ(queue.Take(), &models[0]);
    queue.Finish();
    EXPECT_TRUE(queue.Add(&models.back()));
    EXPECT_FALSE(queue.Add(&models.back()));
    for (std::size_t i = 1; i <= TransactionQueue::kSize; ++i) {
        EXPECT_EQ(queue.Take(), &models[i]);
        queue.Finish();
    }
    EXPECT_EQ(queue.Take(), nullptr);
    EXPECT_EQ(queue.pushes(), TransactionQueue::kSize + 1u);
}

TEST_F(Cycle, EmptyWriteOnceBlockIsPassedOver) {
    const Sent open{kInverterIndex, kOpDeviceOpen, 0, 0, kPhaseBoot};
    Start({false, true, false});
    DeviceModel& inverter = Model(kInverterIndex);
    RequestWrite(inverter.blocks[kInverterBlockIdent], {});
    RequestWrite(inverter.blocks[kInverterBlockSettings], {3});
    inverter.boot->pending_operations = 1u << kBootDeviceOpen;
    EXPECT_EQ(Steps(kInverterTurn.size()), kInverterTurn);
    EXPECT_EQ(Steps(2), (std::vector<Sent>{Write(kInverterIndex, 0x3603, 1), open}));
    EXPECT_EQ(inverter.blocks[kInverterBlockIdent].poll_mode & kPollWriteOnce, 0);

    // With no later write the bootloader operation still goes out in the same turn.
    RequestWrite(inverter.blocks[kInverterBlockIdent], {});
    inverter.boot->pending_operations = 1u << kBootDeviceOpen;
    EXPECT_EQ(Steps(kInverterTurn.size()), kInverterTurn);
    EXPECT_EQ(Step(), open);
    EXPECT_EQ(Step(), kInverterTurn[0]);

    // Nor does it stall a device that reads nothing at the start of its turn.
    Build({false, true, false});
    for (RegisterBlock& block : Model(kInverterIndex).blocks)
        block.poll_mode = 0;
    RequestWrite(Model(kInverterIndex).blocks[kInverterBlockIdent], {});
    Model(kInverterIndex).boot->pending_operations = 1u << kBootDeviceOpen;
    cycle_.StartCycle();
    EXPECT_EQ(StepsToStop(2), std::vector<Sent>{open});
}

TEST_F(Cycle, MultiChunkWriteGoesOutChunkByChunkAfterTheReads) {
    Start({true, true, false});
    RequestWrite(Model(kChargerIndex).blocks[kChargerBlockSettings], {5, 6, 30});
    EXPECT_EQ(Steps(kChargerTurn.size()), kChargerTurn);
    EXPECT_EQ(Steps(2), (std::vector<Sent>{Write(kChargerIndex, 0x2800, 8),
                                           Write(kChargerIndex, 0x2818, 8)}));
    EXPECT_EQ(Steps(kInverterTurn.size()), kInverterTurn);
    // Written once: the charger's next turn reads only.
    EXPECT_EQ(Steps(kChargerTurn.size()), kChargerTurn);
    EXPECT_EQ(Step(), kInverterTurn[0]);
}

TEST_F(Cycle, WriteRequestedDuringReadsWaitsForTheLastRead) {
    Start({false, true, false});
    std::vector<Sent> expected = kInverterTurn;
    expected.push_back(Write(kInverterIndex, 0x0000, 5));
    expected.push_back(Write(kInverterIndex, 0x000A, 3));
    expected.push_back(kInverterTurn[0]);
    std::vector<Sent> sent = Steps(3);
    RequestWrite(Model(kInverterIndex).blocks[kInverterBlockIdent], {0, 12});
    for (const Sent& s : Steps(expected.size() - sent.size()))
        sent.push_back(s);
    EXPECT_EQ(sent, expected);
}

TEST_F(Cycle, DisabledDeviceIsSkippedFromItsNextTurn) {
    Start({true, true, false});
    Steps(10);
    SetEnabled(Model(kChargerIndex), false);
    // The charger's turn may run to its end; after it only the inverter's turns.
    Sent next = Step();
    for (std::size_t left = kChargerTurn.size() - 10; next.device == kChargerIndex && left > 0;
         --left) {
        next = Step();
    }
    std::vector<Sent> sent{next};
    for (const Sent& s : Steps(2 * kInverterTurn.size() - 1))
        sent.push_back(s);
    std::vector<Sent> expected = kInverterTurn;
    expected.insert(expected.end(), kInverterTurn.begin(), kInverterTurn.end());
    EXPECT_EQ(sent, expected);

    SetEnabled(Model(kChargerIndex), true);
    Steps(kInverterTurn.size());
    EXPECT_EQ(Step(), kChargerTurn[0]);
}

TEST_F(Cycle, NoEnabledDeviceStopsTheCycle) {
    Start({false, false, false});
    EXPECT_FALSE(cycle_.busy());
    EXPECT_EQ(queue_.Take(), nullptr);

    Start({false, true, false});
    EXPECT_TRUE(cycle_.busy());
    Steps(2);
    SetEnabled(Model(kInverterIndex), false);
    EXPECT_LE(StepsToStop(kInverterTurn.size()).size(), kInverterTurn.size() - 2);
    EXPECT_FALSE(cycle_.busy());
    EXPECT_EQ(queue_.Take(), nullptr);
}

TEST_F(Cycle, TimeOutMovesOnAndLeavesTheWorkForTheNextTurn) {
    Start({true, true, false});
    RequestWrite(Model(kChargerIndex).blocks[kChargerBlockSettings], {5, 30});
    Steps(4);
    EXPECT_EQ(Step(false), kChargerTurn[4]);
    EXPECT_EQ(Steps(kInverterTurn.size()), kInverterTurn);
    EXPECT_EQ(Steps(kChargerTurn.size()), kChargerTurn);
    EXPECT_EQ(Step(), Write(kChargerIndex, 0x2800, 8));
    EXPECT_EQ(Step(false), Write(kChargerIndex, 0x2818, 8));
    EXPECT_EQ(Steps(kInverterTurn.size()), kInverterTurn);
    EXPECT_EQ(Steps(kChargerTurn.size()), kChargerTurn);
    EXPECT_EQ(Step(), Write(kChargerIndex, 0x2818, 8));
    EXPECT_EQ(Step(), kInverterTurn[0]);
}

}  // namespace
}  // namespace veltrona
