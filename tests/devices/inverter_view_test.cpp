// Inverter view record: received values and state texts, availability, command and settings
// writes with their frames, write progress, the loader's information buffer.

#include "devices/inverter/inverter_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/bus_devices.h"
#include "devices/inverter/inverter_texts.h"
#include "link/block_engine.h"
#include "link/frames.h"

namespace veltrona {
namespace {

constexpr std::uint8_t kAddress = 3;

using Bytes = std::vector<std::uint8_t>;

class InverterViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CreateInverterModel(list, kAddress));
        model = list.At(kInverterIndex);
        SetEnabled(*model, true);
    }

    RegisterBlock& Block(std::size_t index) { return model->blocks[index]; }

    // Appends the CRC and hands the frame to the parser as the reply to the request out.
    bool Reply(Bytes frame) {
        const std::uint16_t crc = Crc16(frame.data(), frame.size());
        frame.push_back(static_cast<std::uint8_t>(crc));
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
        FrameSlot slot;
        std::copy(frame.begin(), frame.end(), slot.data);
        slot.length = static_cast<std::uint16_t>(frame.size());
        return ParseReply(*model, slot);
    }

    // A read of the given registers from start, answered with the words.
    void Answer(std::uint16_t block, std::uint16_t start, const std::vector<std::uint16_t>& words) {
        model->current_block = block;
        model->transaction.operation = kOpRead;
        model->transaction.start = start;
        model->transaction.count = static_cast<std::uint16_t>(words.size());
        FrameSlot request;
        BuildRequest(*model, request);
        Bytes reply{kAddress, 0x03, static_cast<std::uint8_t>(words.size() * 2)};
        for (const std::uint16_t w : words) {
            reply.push_back(static_cast<std::uint8_t>(w >> 8));
            reply.push_back(static_cast<std::uint8_t>(w));
        }
        ASSERT_TRUE(Reply(reply));
    }

    // Answers a one-register read of address with value and takes it into the view.
    void Receive(std::uint16_t address, std::uint16_t value) {
        const auto where = InverterLocate(address);
        ASSERT_TRUE(where.has_value());
        Answer(where->block, address, {value});
        TakeReceivedValues(*model, view);
    }

    // Every pending write request as sent, each answered by the device: the one starting at
    // refused with an exception, the others normally.
    std::vector<Bytes> SendWrites(std::uint32_t refused = 0xFFFFFFFF) {
        std::vector<Bytes> frames;
        bool more = FirstWriteBlock(*model) && FirstWriteRequest(*model);
        while (more) {
            FrameSlot request;
            BuildRequest(*model, request);
            frames.emplace_back(request.data, request.data + request.length);
            TakeWrittenValues(*model, view);
            EXPECT_TRUE(model->transaction.start == refused
                            ? Reply({kAddress, 0x90, 2})
                            : Reply(Bytes(request.data, request.data + 6)));
            TakeWriteResult(*model, view);
            more =
                NextWriteRequest(*model) || (NextWriteBlock(*model) && FirstWriteRequest(*model));
        }
        return frames;
    }

    DeviceList list;
    DeviceModel* model = nullptr;
    InverterView view;
};

TEST_F(InverterViewTest, TakesOnlyFreshRegistersByStorageCode) {
    Block(0).values_read[0x00] = 0x00F0;  // read, but not fresh
    Answer(0, 0x0008, {0x9D80, 0x259E, 11});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(InverterReceivedPair(view, 0x0009), 631152000u);
    EXPECT_EQ(InverterReceivedWord(view, 0x000A), 11);
    EXPECT_EQ(view.received.ident[0x00], 0);
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_FALSE(TestBit(Block(0).fresh_map, i)) << i;
}

// The device values keep what was read; only the text is chosen from a lowered copy.
TEST_F(InverterViewTest, StateTextsFromALoweredCopy) {
    struct Case {
        std::uint16_t address;
        std::uint16_t value;
        std::string_view text;
    };
    const Case cases[] = {
        {0x0712, 7, "Не понял"},      {0x0711, 9, "Не понял"},
        {0x0711, 5, "Ведомый режим"}, {0x0718, 4, "Не понял"},
        {0x071C, 0xFFFF, "Не понял"}, {0x0729, 9, "Выключение по перегреву"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        Receive(c.address, c.value);
        EXPECT_EQ(InverterStateText(view, c.address), c.text);
        EXPECT_EQ(InverterReceivedWord(view, c.address), c.value);
    }
    EXPECT_TRUE(InverterStateText(view, 0x0713).empty());
}

TEST_F(InverterViewTest, NotAvailableFollowsTheUnreachableMark) {
    MarkInverterPortOpened(view);
    // An absent inverter: the misses before the mark do not make it available.
    for (std::uint8_t miss = 1; miss <= 4; ++miss) {
        model->failures = miss;
        TakeReceivedValues(*model, view);
        EXPECT_TRUE(view.not_available) << int{miss};
        EXPECT_EQ(view.availability_changed, 0);
    }
    model->transaction.state |= kStateUnreachable;
    TakeReceivedValues(*model, view);
    EXPECT_TRUE(view.not_available);
    EXPECT_EQ(view.availability_changed, 0);

    // The first answer.
    model->failures = 0;
    model->transaction.state &= static_cast<std::uint8_t>(~kStateUnreachable);
    Receive(0x0700, 23000);
    EXPECT_FALSE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(view.received.live[0], 23000);

    // One miss leaves it available; the mark takes it away and stops the copying.
    model->failures = 1;
    TakeWrittenValues(*model, view);
    EXPECT_FALSE(view.not_available);
    EXPECT_EQ(view.availability_changed, 0);
    Answer(1, 0x0700, {1});
    model->transaction.state |= kStateUnreachable;
    TakeReceivedValues(*model, view);
    EXPECT_TRUE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(view.received.live[0], 23000);
    EXPECT_FALSE(QueueInverterCommand(*model, view, kInvCmdOn));
    EXPECT_EQ(Block(0).poll_mode & kPollWriteOnce, 0);
}

TEST_F(InverterViewTest, CommandsGoOutInOneRequestOfThreeRegisters) {
    struct Case {
        std::uint16_t code;
        std::uint32_t parameter;
        Bytes frame;  // without the CRC where the value table gives none
    };
    const Case cases[] = {
        {kInvCmdOn, 0, {3, 0x10, 0, 0x0A, 0, 3, 6, 0, 0x0B, 0, 0, 0, 0, 0x64, 0x23}},
        {kInvCmdOff, 0, {3, 0x10, 0, 0x0A, 0, 3, 6, 0, 0x0C, 0, 0, 0, 0, 0xD1, 0xE3}},
        {kInvCmdNewCycle, 0, {3, 0x10, 0, 0x0A, 0, 3, 6, 0, 0x0D, 0, 0, 0, 0, 0xEC, 0x23}},
        {kInvCmdSetClock,
         631152000,
         {3, 0x10, 0, 0x0A, 0, 3, 6, 0, 0x03, 0x9D, 0x80, 0x25, 0x9E, 0x30, 0x9E}},
        {kInvCmdChargingCurrent, 2500, {3, 0x10, 0, 0x0A, 0, 3, 6, 0, 0x09, 0x09, 0xC4, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(QueueInverterCommand(*model, view, c.code, c.parameter));
        const std::vector<Bytes> frames = SendWrites();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(Bytes(frames[0].begin(), frames[0].begin() + c.frame.size()), c.frame);
        EXPECT_EQ(frames[0].size(), 15u);
        EXPECT_EQ(view.written.ident[0x0A], c.code);
        EXPECT_EQ(InverterWrittenSet(view, 0)[0x0B] | InverterWrittenSet(view, 0)[0x0C] << 16,
                  c.parameter);
    }
}

TEST_F(InverterViewTest, SettingsBlocksWriteOneRegisterPerRequest) {
    view.edited[0x1B] = 2725;
    view.hidden[0x1F] = 30;
    ASSERT_TRUE(QueueInverterBlockWrite(*model, view, kInverterBlockSettings));
    ASSERT_TRUE(QueueInverterBlockWrite(*model, view, kInverterBlockLink));
    ASSERT_TRUE(QueueInverterBlockWrite(*model, view, kInverterBlockHidden));
    EXPECT_FALSE(QueueInverterBlockWrite(*model, view, kInverterBlockLive));
    EXPECT_EQ(Block(2).write_request_map[6], 0x7F);
    const std::vector<Bytes> frames = SendWrites();
    ASSERT_EQ(frames.size(), 55u + 3u + 32u);
    EXPECT_EQ(frames[0x1B], (Bytes{3, 0x10, 0x36, 0x1B, 0, 1, 2, 0x0A, 0xA5, 0x2C, 0x03}));
    EXPECT_EQ(frames[55][3], 0x00);  // 0x2000 after 0x3636
    EXPECT_EQ(frames.back()[3], 0x56);
    EXPECT_EQ(view.written.settings[0x1B], 2725);
    EXPECT_EQ(view.written.hidden[0x1F], 30);
}

TEST_F(InverterViewTest, WriteProgressKeepsAFailureUntilTheNextSend) {
    struct Case {
        std::uint16_t block;
        std::uint32_t refused;  // address answered with an exception; 0 none
        std::uint16_t result;
        std::uint16_t count;
    };
    const Case cases[] = {
        {kInverterBlockSettings, 0, kInvWriteProgressDone, 7},
        {kInverterBlockSettings, 0x3600, kInvWriteProgressDataError, 0},
        {kInverterBlockSettings, 0x3612, kInvWriteProgressDataError, 0},
        {kInverterBlockLink, 0x2000, kInvWriteProgressDataError, 0},
        {kInverterBlockLink, 0, kInvWriteProgressDone, 1},
        {kInverterBlockHidden, 0x3655, kInvWriteProgressDataError, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        ASSERT_TRUE(QueueInverterBlockWrite(*model, view, c.block));
        EXPECT_EQ(InverterWriteProgressOf(*model, view, c.block).result, kInvWriteProgressPending);
        SendWrites(c.refused);
        const InverterWriteProgress progress = InverterWriteProgressOf(*model, view, c.block);
        EXPECT_EQ(progress.result, c.result);
        EXPECT_EQ(progress.count, c.count);
    }
    // A refusal left over from the Send before, seen again through a reply the parser
    // rejected, does not count against the new Send.
    ASSERT_TRUE(QueueInverterBlockWrite(*model, view, kInverterBlockHidden));
    SendWrites(0x3656);
    ASSERT_TRUE(QueueInverterBlockWrite(*model, view, kInverterBlockHidden));
    model->current_block = kInverterBlockHidden;
    TakeWriteResult(*model, view);
    SendWrites();
    EXPECT_EQ(InverterWriteProgressOf(*model, view, kInverterBlockHidden).result,
              kInvWriteProgressDone);
}

// While the loader runs the current block names none of the eight.
TEST_F(InverterViewTest, BootTransactionTouchesNoBlock) {
    Answer(0, 0x0000, {1, 2});
    model->current_block = kBootBlock;
    BootRecord& boot = *model->boot;
    for (std::size_t i = 0; i < kInfo1Size; ++i)
        boot.info1[i] = static_cast<std::uint16_t>(0x100 + i);
    boot.current_operation = kBootInfo2;
    TakeReceivedValues(*model, view);
    EXPECT_EQ(view.boot_info[0], 0);

    boot.current_operation = kBootInfo1;
    TakeReceivedValues(*model, view);
    for (std::size_t i = 0; i < kInfo1Size; ++i)
        EXPECT_EQ(view.boot_info[i], 0x100 + i) << i;
    EXPECT_TRUE(TestBit(Block(0).fresh_map, 0));
    EXPECT_EQ(view.received.ident[0], 0);
}

}  // namespace
}  // namespace veltrona
