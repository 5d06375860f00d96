#include "link/boot_requests.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "devices/inverter/inverter_blocks.h"
#include "link/block_engine.h"

namespace veltrona {
namespace {

using Request = std::pair<std::uint32_t, std::uint16_t>;

std::unique_ptr<DeviceModel> Inverter() {
    auto model = BuildDeviceModel(kInverterLayout, 1, true);
    EXPECT_NE(model, nullptr);
    return model;
}

std::vector<Request> ProgramRequests(DeviceModel& m) {
    std::vector<Request> sent;
    EXPECT_TRUE(RequestFlashProgram(m));
    EXPECT_TRUE(FirstBootOperation(m));
    EXPECT_EQ(m.transaction.operation, kOpFlashProgram);
    for (bool more = BootOperationRequest(m); more; more = NextBootRequest(m)) {
        sent.emplace_back(m.transaction.start, m.transaction.count);
    }
    EXPECT_EQ(m.transaction.start, 0u);
    EXPECT_EQ(m.transaction.count, 0);
    return sent;
}

TEST(BootRequests, ProgramRequestsCoverTheImage) {
    auto m = Inverter();
    ASSERT_TRUE(SetFirmware(*m, 0x8000, 96, 32));
    EXPECT_EQ(m->boot->program_requests, 3);
    EXPECT_EQ(m->boot->image.size(), 96u);
    EXPECT_EQ(ProgramRequests(*m),
              (std::vector<Request>{{0x8000, 32}, {0x8000 + 32, 32}, {0x8000 + 64, 32}}));

    ASSERT_TRUE(SetFirmware(*m, 0x8000, 20, 32));
    EXPECT_EQ(ProgramRequests(*m), (std::vector<Request>{{0x8000, 20}}));
    ASSERT_TRUE(SetFirmware(*m, 0, 100, 32));
    EXPECT_EQ(ProgramRequests(*m).back(), Request(96, 4));
    ASSERT_TRUE(SetFirmware(*m, 0, 0, 32));
    EXPECT_TRUE(ProgramRequests(*m).empty());
}

TEST(BootRequests, SetFirmwareRefusalsKeepTheOldImage) {
    auto m = Inverter();
    ASSERT_TRUE(SetFirmware(*m, 0x4000, 50, 10));
    m->boot->image[49] = 0xBEEF;
    for (auto [length, chunk] : std::vector<std::pair<std::uint32_t, std::uint16_t>>{
             {50, 0}, {50, 124}, {65536, 1}, {0xFFFFFFFF, 123}}) {
        EXPECT_FALSE(SetFirmware(*m, 0, length, chunk)) << length << " " << chunk;
        EXPECT_EQ(m->boot->program_base, 0x4000u);
        EXPECT_EQ(m->boot->program_length, 50u);
        EXPECT_EQ(m->boot->program_chunk, 10);
        EXPECT_EQ(m->boot->program_requests, 5);
        ASSERT_EQ(m->boot->image.size(), 50u);
        EXPECT_EQ(m->boot->image[49], 0xBEEF);
    }
    EXPECT_TRUE(SetFirmware(*m, 0, 65535, 1));
    EXPECT_EQ(m->boot->program_requests, 65535);
    EXPECT_TRUE(SetFirmware(*m, 0, 246, kMaxWriteChunk));
    EXPECT_EQ(m->boot->program_requests, 2);
}

TEST(BootRequests, OperationsAreServedLowestBitFirst) {
    auto m = Inverter();
    SetAutoProgramming(*m);
    RequestDeviceClose(*m);
    RequestFlashErase(*m);
    RequestFlashProgram(*m);
    RequestInfo1(*m);
    m->boot->loader_result = 7;
    RequestDeviceOpen(*m);
    EXPECT_EQ(m->boot->loader_result, 0);
    EXPECT_TRUE(IsAutoProgramming(*m));

    const std::vector<std::pair<std::uint16_t, std::uint8_t>> expected = {
        {kBootDeviceOpen, kOpDeviceOpen},
        {kBootInfo1, kOpBootRead},
        {kBootFlashErase, kOpFlashErase},
        {kBootFlashProgram, kOpFlashProgram},
        {kBootDeviceClose, kOpDeviceClose}};
    for (auto [operation, code] : expected) {
        ASSERT_TRUE(FirstBootOperation(*m));
        EXPECT_EQ(m->boot->current_operation, operation);
        EXPECT_EQ(m->transaction.operation, code);
        EXPECT_EQ(m->current_block, kBootBlock);
    }
    m->transaction.start = 5;
    m->transaction.count = 5;
    EXPECT_FALSE(FirstBootOperation(*m));
    EXPECT_EQ(m->current_block, 0);
    EXPECT_EQ(m->transaction.start, 0u);
    EXPECT_EQ(m->transaction.count, 0);
    EXPECT_TRUE(IsAutoProgramming(*m));

    RequestFlashErase(*m);
    EXPECT_TRUE(CancelBootOperations(*m));
    EXPECT_FALSE(IsAutoProgramming(*m));
    EXPECT_FALSE(FirstBootOperation(*m));
}

TEST(BootRequests, InformationReads) {
    auto m = Inverter();
    BootRecord& r = *m->boot;
    RequestInfo1(*m);
    ASSERT_TRUE(FirstBootOperation(*m));
    ASSERT_TRUE(BootOperationRequest(*m));
    EXPECT_EQ(Request(m->transaction.start, m->transaction.count), Request(0, 11));
    EXPECT_EQ(r.buffer_selector, 0);
    EXPECT_FALSE(NextBootRequest(*m));

    r.pending_operations = 1u << kBootInfo2;
    ASSERT_TRUE(FirstBootOperation(*m));
    ASSERT_TRUE(BootOperationRequest(*m));
    EXPECT_EQ(Request(m->transaction.start, m->transaction.count), Request(0x1098, 18));
    EXPECT_EQ(r.buffer_selector, 1);

    // Every read is limited to 125 registers, the default information chunk (126) too.
    r.info2_count = 300;
    EXPECT_TRUE(BootOperationRequest(*m));
    EXPECT_EQ(m->transaction.count, kMaxReadChunk);
    r.info_chunk = 40;
    EXPECT_TRUE(BootOperationRequest(*m));
    EXPECT_EQ(m->transaction.count, 40);
    r.info2_requests = 0;
    EXPECT_FALSE(BootOperationRequest(*m));
    EXPECT_EQ(m->transaction.count, 0);
}

TEST(BootRequests, ModelWithoutRecord) {
    auto m = Inverter();
    m->boot.reset();
    EXPECT_FALSE(SetFirmware(*m, 0, 10, 10));
    EXPECT_FALSE(RequestDeviceOpen(*m));
    EXPECT_FALSE(SetRetries(*m, 16));
    EXPECT_FALSE(SetAutoProgramming(*m));
    EXPECT_FALSE(IsAutoProgramming(*m));
    EXPECT_FALSE(CancelBootOperations(*m));
    EXPECT_FALSE(FirstBootOperation(*m));
    EXPECT_FALSE(BootOperationRequest(*m));
    EXPECT_FALSE(NextBootRequest(*m));
}

}  // namespace
}  // namespace veltrona
