#include "link/block_engine.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "devices/bms/bms_blocks.h"
#include "devices/charger/charger_blocks.h"
#include "link/block_helpers.h"

namespace veltrona {
namespace {

using Request = std::pair<std::uint32_t, std::uint16_t>;

std::unique_ptr<DeviceModel> Build(std::span<const BlockLayout> blocks) {
    auto model = BuildDeviceModel(DeviceLayout{kKindCharger, blocks}, 1, true);
    EXPECT_NE(model, nullptr);
    return model;
}

// One device turn of reads, stepped the way the transaction cycle steps it.
std::vector<Request> ReadTurn(DeviceModel& m) {
    std::vector<Request> sent;
    bool more = FirstReadBlock(m) && FirstReadRequest(m);
    while (more) {
        EXPECT_EQ(m.transaction.operation, kOpRead);
        sent.emplace_back(m.transaction.start, m.transaction.count);
        more = NextReadRequest(m) || (NextReadBlock(m) && FirstReadRequest(m));
    }
    return sent;
}

std::vector<Request> WriteRequests(DeviceModel& m) {
    std::vector<Request> sent;
    for (bool more = FirstWriteRequest(m); more; more = NextWriteRequest(m)) {
        sent.emplace_back(m.transaction.start, m.transaction.count);
    }
    return sent;
}

TEST(BlockEngine, ReadsMultiChunkBlockThenEnds) {
    constexpr BlockLayout blocks[] = {
        {kAccessRead, kPollReadEvery, 0x100, 200, 25, 125, 125, 2, 2}};
    auto m = Build(blocks);
    EXPECT_EQ(ReadTurn(*m), (std::vector<Request>{{0x100, 125}, {0x100 + 125, 75}}));
    EXPECT_EQ(m->transaction.start, 0u);
    EXPECT_EQ(m->transaction.count, 0);
    EXPECT_EQ(m->blocks[0].current_request, 0);
    EXPECT_EQ(m->current_block, 0);
}

TEST(BlockEngine, ReadOnceBlocksAreSkippedAfterTheirTurn) {
    constexpr BlockLayout blocks[] = {
        {kAccessReadWrite, kPollReadOnce, 0x10, 4, 1, 4, 4, 1, 1},
        {kAccessWrite, kPollReadEvery, 0x20, 4, 1, 4, 4, 1, 1},
        {kAccessReadWrite, kPollWriteOnce, 0x30, 4, 1, 4, 4, 1, 1},
        {kAccessRead, kPollReadEvery, 0x40, 4, 1, 4, 4, 1, 1},
    };
    auto m = Build(blocks);
    EXPECT_EQ(ReadTurn(*m), (std::vector<Request>{{0x10, 4}, {0x40, 4}}));
    EXPECT_EQ(ReadTurn(*m), (std::vector<Request>{{0x40, 4}}));
    EXPECT_EQ(ReadTurn(*m), (std::vector<Request>{{0x40, 4}}));
}

TEST(BlockEngine, ChargerTurnReadsEveryChunkInBlockOrder) {
    auto m = Build(kChargerBlocks);
    std::vector<Request> expected = {{0x0000, 8}, {0x0008, 8}};
    for (std::uint32_t a = 0x0600; a <= 0x0638; a += 8)
        expected.emplace_back(a, 8);
    for (std::uint32_t a = 0x2800; a <= 0x28F8; a += 8)
        expected.emplace_back(a, 8);
    for (std::uint32_t a = 0x2900; a <= 0x2918; a += 8)
        expected.emplace_back(a, 8);
    expected.emplace_back(0x2000, 3);
    for (std::uint32_t a = 0x3000; a <= 0x3018; a += 8)
        expected.emplace_back(a, 8);
    ASSERT_EQ(expected.size(), 51u);
    EXPECT_EQ(ReadTurn(*m), expected);
    EXPECT_EQ(ReadTurn(*m), expected);
}

TEST(BlockEngine, BmsJournalIsReadOnceInFourRegisterRequests) {
    auto m = BuildDeviceModel(kBmsLayout, 3, true);
    ASSERT_NE(m, nullptr);
    auto journal = [](const std::vector<Request>& sent) {
        std::vector<Request> out;
        for (const Request& r : sent) {
            if (r.first >= 0x7400) out.push_back(r);
        }
        return out;
    };
    const auto first = journal(ReadTurn(*m));
    ASSERT_EQ(first.size(), 768u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i], Request(0x7400 + 4 * i, 4)) << i;
    }
    const auto second = ReadTurn(*m);
    EXPECT_EQ(second.size(), 11u);
    EXPECT_TRUE(journal(second).empty());
}

TEST(BlockEngine, WriteRequestsFollowTheWriteRequestMap) {
    constexpr BlockLayout blocks[] = {
        {kAccessReadWrite, kPollReadEvery, 0x500, 180, 23, 100, 50, 2, 4}};
    auto m = Build(blocks);
    RegisterBlock& b = m->blocks[0];
    EXPECT_FALSE(FirstWriteBlock(*m));
    RequestWriteOnce(b);
    ASSERT_TRUE(FirstWriteBlock(*m));
    EXPECT_EQ(m->transaction.operation, kOpWrite);
    EXPECT_TRUE(WriteRequests(*m).empty());

    SetBit(b.write_request_map, 130);
    EXPECT_EQ(WriteRequests(*m), (std::vector<Request>{{0x500 + 100, 50}}));
    SetBit(b.write_request_map, 0);
    SetBit(b.write_request_map, 179);
    EXPECT_EQ(WriteRequests(*m),
              (std::vector<Request>{{0x500, 50}, {0x500 + 100, 50}, {0x500 + 150, 30}}));
    EXPECT_EQ(m->transaction.count, 0);
}

TEST(BlockEngine, BitmapsPastByte255) {
    constexpr BlockLayout blocks[] = {
        {kAccessReadWrite, kPollWriteOnce, 0x1000, 3072, 384, 4, 100, 768, 31}};
    auto m = Build(blocks);
    RegisterBlock& b = m->blocks[0];
    ASSERT_EQ(b.write_request_map.size(), 384u);
    SetBit(b.write_request_map, 2048);
    SetBit(b.write_request_map, 3071);
    EXPECT_EQ(b.write_request_map[256], 0x01);
    EXPECT_EQ(b.write_request_map[383], 0x80);
    ASSERT_TRUE(FirstWriteBlock(*m));
    EXPECT_EQ(WriteRequests(*m), (std::vector<Request>{{0x1000 + 2000, 100}, {0x1000 + 3000, 72}}));
}

TEST(BlockEngine, NextWriteBlockKeepsWriteOnceWhileChunksArePending) {
    constexpr BlockLayout blocks[] = {
        {kAccessReadWrite, kPollReadEvery, 0x00, 10, 2, 10, 10, 1, 1},
        {kAccessRead, kPollWriteOnce, 0x20, 3, 1, 3, 3, 1, 1},
        {kAccessWrite, kPollWriteEvery, 0x40, 3, 1, 3, 3, 1, 1},
    };
    auto m = Build(blocks);
    RegisterBlock& dropped = m->blocks[0];
    RequestWriteOnce(dropped);
    SetBit(dropped.write_request_map, 9);

    ASSERT_TRUE(FirstWriteBlock(*m));
    EXPECT_EQ(m->current_block, 0);
    ASSERT_TRUE(NextWriteBlock(*m));
    EXPECT_EQ(m->current_block, 2);
    EXPECT_NE(dropped.poll_mode & kPollWriteOnce, 0);
    EXPECT_FALSE(NextWriteBlock(*m));
    EXPECT_EQ(m->current_block, 0);
    EXPECT_EQ(m->blocks[2].poll_mode, kPollWriteEvery);

    // Next turn: the chunk goes out again; once its reply cleared the bit the block is done.
    ASSERT_TRUE(FirstWriteBlock(*m));
    EXPECT_EQ(WriteRequests(*m), (std::vector<Request>{{0x00, 10}}));
    ClearBit(dropped.write_request_map, 9);
    EXPECT_TRUE(NextWriteBlock(*m));
    EXPECT_EQ(dropped.poll_mode, kPollReadEvery);
}

TEST(BlockEngine, NeverLooksPastTheBlocks) {
    auto m = Build(kChargerBlocks);
    m->current_block = kBootBlock;
    EXPECT_FALSE(FirstReadRequest(*m));
    EXPECT_FALSE(NextReadRequest(*m));
    EXPECT_FALSE(FirstWriteRequest(*m));
    EXPECT_FALSE(NextWriteRequest(*m));
    EXPECT_FALSE(NextReadBlock(*m));
    EXPECT_EQ(m->current_block, 0);
    m->current_block = kBootBlock;
    EXPECT_FALSE(NextWriteBlock(*m));
    EXPECT_EQ(m->current_block, 0);

    // A stored request count larger than the block needs stops at the block's end.
    m->blocks[4].read_requests = 5;
    m->current_block = 4;
    ASSERT_TRUE(FirstReadRequest(*m));
    EXPECT_FALSE(NextReadRequest(*m));
}

TEST(BlockEngine, RoundRobinSkipsNullAndDisabledModels) {
    DeviceList list = CreateDeviceList(4);
    EXPECT_FALSE(FirstEnabledDevice(list));
    EXPECT_FALSE(NextEnabledDevice(list));
    list.models[0] = Build(kChargerBlocks);
    list.models[2] = Build(kChargerBlocks);
    list.models[3] = Build(kChargerBlocks);
    SetEnabled(*list.models[0], false);
    ASSERT_TRUE(FirstEnabledDevice(list));
    EXPECT_EQ(list.current, 2);
    ASSERT_TRUE(NextEnabledDevice(list));
    EXPECT_EQ(list.current, 3);
    ASSERT_TRUE(NextEnabledDevice(list));
    EXPECT_EQ(list.current, 2);
    SetEnabled(*list.models[3], false);
    EXPECT_TRUE(NextEnabledDevice(list));
    EXPECT_EQ(list.current, 2);
    SetEnabled(*list.models[2], false);
    EXPECT_FALSE(NextEnabledDevice(list));
    EXPECT_FALSE(FirstEnabledDevice(list));
    EXPECT_EQ(list.current, 0);
}

TEST(BlockHelpers, MapsAndWords) {
    std::vector<std::uint8_t> target = {0x01, 0x00, 0x80};
    const std::vector<std::uint8_t> source = {0x02, 0xF0};
    MergeMap(target, source);
    EXPECT_EQ(target, (std::vector<std::uint8_t>{0x03, 0xF0, 0x80}));
    std::vector<std::uint8_t> shorter = {0x00};
    MergeMap(shorter, target);
    EXPECT_EQ(shorter, (std::vector<std::uint8_t>{0x03}));
    ClearMap(target);
    EXPECT_EQ(target, (std::vector<std::uint8_t>{0, 0, 0}));

    const std::uint16_t words[] = {1, 0xFFFF, 3};
    std::uint16_t copy[4] = {};
    CopyWords(words, copy, 3);
    EXPECT_EQ(copy[1], 0xFFFF);
    EXPECT_EQ(copy[2], 3);
    EXPECT_EQ(copy[3], 0);
}

}  // namespace
}  // namespace veltrona
