// Charger view record: received and written values, availability, command writes and their
// answers, error changes.

#include "devices/charger/charger_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_texts.h"
#include "link/block_engine.h"
#include "link/frames.h"

namespace veltrona {
namespace {

constexpr std::uint8_t kAddress = 0x21;

class ChargerViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list = CreateDeviceList(3);
        ASSERT_TRUE(CreateChargerModel(list, kAddress));
        model = list.At(0);
        ASSERT_NE(model, nullptr);
        SetEnabled(*model, true);
    }

    RegisterBlock& Block(std::size_t index) { return model->blocks[index]; }

    // A read of count registers from start answered with the given values, through the frame
    // builder and parser.
    void Answer(std::uint16_t block, std::uint16_t start, const std::vector<std::uint16_t>& words) {
        model->current_block = block;
        model->transaction.operation = kOpRead;
        model->transaction.start = start;
        model->transaction.count = static_cast<std::uint16_t>(words.size());
        FrameSlot request;
        BuildRequest(*model, request);
        ASSERT_GT(request.length, 0);
        FrameSlot reply;
        std::size_t n = 0;
        reply.data[n++] = kAddress;
        reply.data[n++] = 0x03;
        reply.data[n++] = static_cast<std::uint8_t>(words.size() * 2);
        for (std::uint16_t w : words) {
            reply.data[n++] = static_cast<std::uint8_t>(w >> 8);
            reply.data[n++] = static_cast<std::uint8_t>(w);
        }
        const std::uint16_t crc = Crc16(reply.data, n);
        reply.data[n++] = static_cast<std::uint8_t>(crc);
        reply.data[n++] = static_cast<std::uint8_t>(crc >> 8);
        reply.length = static_cast<std::uint16_t>(n);
        ASSERT_TRUE(ParseReply(*model, reply));
    }

    void SetUnreachable(bool unreachable) {
        if (unreachable)
            model->transaction.state |= kStateUnreachable;
        else
            model->transaction.state &= static_cast<std::uint8_t>(~kStateUnreachable);
    }

    // The write request the engine picks next, built into a frame.
    FrameSlot NextWriteFrame() {
        FrameSlot slot;
        if (FirstWriteBlock(*model) && FirstWriteRequest(*model)) BuildRequest(*model, slot);
        return slot;
    }

    DeviceList list;
    DeviceModel* model = nullptr;
    ChargerView view;
};

TEST_F(ChargerViewTest, ModelFollowsTheBlockTable) {
    EXPECT_EQ(model->kind, kKindCharger);
    EXPECT_EQ(model->address, kAddress);
    ASSERT_EQ(model->blocks.size(), kChargerBlockCount);
    EXPECT_EQ(Block(2).base, 0x2800);
    EXPECT_EQ(Block(2).count, 256);
    DestroyChargerModel(list);
    EXPECT_EQ(list.At(0), nullptr);
}

TEST_F(ChargerViewTest, TakesOnlyFreshRegistersAndClearsTheirBits) {
    Block(1).values_read[0x00] = 0x00F0;  // read, but not fresh
    Answer(1, 0x0628, {0xFF9C, 0xFFFF, 0x04D2, 0x0000, 1, 2, 0x3039, 0x0001});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(view.received.live[0x00], 0);
    EXPECT_EQ(ChargerReceivedPair(view, 0x0629), 0xFFFFFF9Cu);
    EXPECT_EQ(ChargerReceivedPair(view, 0x062B), 0x04D2u);
    EXPECT_EQ(ChargerReceivedPair(view, 0x062F), 0x00013039u);
    EXPECT_EQ(view.received.live[0x2C], 1);
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_FALSE(TestBit(Block(1).fresh_map, i)) << i;
    // Nothing fresh: a later change of values read does not reach the view.
    Block(1).values_read[0x2C] = 99;
    TakeReceivedValues(*model, view);
    EXPECT_EQ(view.received.live[0x2C], 1);
    // Other blocks keep their sets.
    Answer(0, 0x0008, {0x5678, 0x1234, 7, 0, 0, 0, 0, 0});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(ChargerReceivedPair(view, 0x0009), 0x12345678u);
    EXPECT_EQ(ChargerReceivedWord(view, 0x000A), 7);
    EXPECT_EQ(ChargerReceivedPair(view, 0x062F), 0x00013039u);
}

TEST_F(ChargerViewTest, NotAvailableFollowsTheUnreachableMark) {
    MarkChargerPortOpened(view);
    EXPECT_TRUE(view.not_available);
    EXPECT_EQ(view.availability_changed, 0);

    Answer(1, 0x0618, {6, 0, 0, 0, 0, 0, 0, 0});
    TakeReceivedValues(*model, view);
    EXPECT_FALSE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(ChargerReceivedWord(view, 0x0618), 6);
    TakeReceivedValues(*model, view);
    EXPECT_EQ(view.availability_changed, 0);

    // The device stops answering: fresh registers stay where they are, untouched.
    Answer(1, 0x0618, {7, 0, 0, 0, 0, 0, 0, 0});
    SetUnreachable(true);
    TakeReceivedValues(*model, view);
    EXPECT_TRUE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(ChargerReceivedWord(view, 0x0618), 6);
    EXPECT_TRUE(TestBit(Block(1).fresh_map, 0x18));
    TakeWrittenValues(*model, view);
    EXPECT_EQ(view.availability_changed, 0);
    EXPECT_FALSE(QueueChargerCommand(*model, view, kChrgCmdChargeOn));
    EXPECT_EQ(Block(0).poll_mode & kPollWriteOnce, 0);
    EXPECT_EQ(Block(0).write_request_map[1], 0);
    EXPECT_EQ(Block(0).values_to_write[0x0A], 0);

    SetUnreachable(false);
    TakeReceivedValues(*model, view);
    EXPECT_FALSE(view.not_available);
    EXPECT_EQ(view.availability_changed, 1);
    EXPECT_EQ(ChargerReceivedWord(view, 0x0618), 7);
}

TEST_F(ChargerViewTest, CommandMarksTwoRegistersAndSendsTheirChunk) {
    Block(0).values_to_write[0x0F] = 0xBEEF;  // left over: the whole chunk is rewritten
    ASSERT_TRUE(QueueChargerCommand(*model, view, kChrgCmdClearErrors));
    EXPECT_NE(Block(0).poll_mode & kPollWriteOnce, 0);
    EXPECT_EQ(Block(0).write_request_map[0], 0);
    EXPECT_EQ(Block(0).write_request_map[1], 0x0C);  // bits of 0x000A and 0x000B
    EXPECT_EQ(Block(0).edit_map[0] | Block(0).edit_map[1], 0);
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint16_t expected = i == 0x0A ? 5 : i == 0x0B ? 0x2000 : 0;
        EXPECT_EQ(Block(0).values_to_write[i], expected) << i;
    }
    // Only the second chunk, 0x0008..0x000F, goes out.
    const FrameSlot frame = NextWriteFrame();
    EXPECT_EQ(model->transaction.start, 0x0008u);
    EXPECT_EQ(model->transaction.count, 8);
    const std::uint8_t expected[] = {kAddress, 0x10, 0x00, 0x08, 0x00, 0x08, 16, 0, 0, 0, 0, 0x00,
                                     0x05,     0x20, 0x00, 0,    0,    0,    0,  0, 0, 0, 0};
    ASSERT_EQ(frame.length, sizeof expected + 2);
    for (std::size_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(frame.data[i], expected[i]) << i;
    EXPECT_TRUE(CheckCrc(frame.data, frame.length));
    EXPECT_FALSE(NextWriteRequest(*model));

    // After the send the written set mirrors the values to write.
    TakeWrittenValues(*model, view);
    EXPECT_EQ(view.written.ident[0x0A], 5);
    EXPECT_EQ(view.written.ident[0x0B], 0x2000);
    EXPECT_EQ(view.written.ident[0x0F], 0);
}

TEST_F(ChargerViewTest, CommandAnswerShownOnceAndClearedOnTheDevice) {
    Answer(1, 0x0608, {0, 0, 0, 0, 0, 0, 1, 1});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(TakeCommandAnswer(*model, view), "Команда Включение заряда Выполнена");
    EXPECT_NE(Block(0).poll_mode & kPollWriteOnce, 0);
    EXPECT_EQ(Block(0).write_request_map[1], 0x0C);
    EXPECT_EQ(Block(0).values_to_write[0x0A], 0);
    EXPECT_EQ(Block(0).values_to_write[0x0B], 0);
    EXPECT_EQ(view.last_answer, 1);

    Block(0).poll_mode &= static_cast<std::uint8_t>(~kPollWriteOnce);
    EXPECT_EQ(TakeCommandAnswer(*model, view), std::nullopt);
    EXPECT_EQ(Block(0).poll_mode & kPollWriteOnce, 0);

    // Back to 0 and then the same command again: a new answer.
    Answer(1, 0x0608, {0, 0, 0, 0, 0, 0, 0, 0});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(TakeCommandAnswer(*model, view), std::nullopt);
    Answer(1, 0x0608, {0, 0, 0, 0, 0, 0, 40, 9});
    TakeReceivedValues(*model, view);
    EXPECT_EQ(TakeCommandAnswer(*model, view), "Команда Не определена Не определено");
}

TEST_F(ChargerViewTest, AnswerDoesNotOverwriteACommandStillWaiting) {
    Answer(1, 0x0608, {0, 0, 0, 0, 0, 0, 1, 1});
    TakeReceivedValues(*model, view);
    ASSERT_TRUE(QueueChargerCommand(*model, view, kChrgCmdChargeOff));
    EXPECT_EQ(TakeCommandAnswer(*model, view), "Команда Включение заряда Выполнена");
    EXPECT_EQ(Block(0).values_to_write[0x0A], kChrgCmdChargeOff);
    EXPECT_EQ(view.command[0x0A], kChrgCmdChargeOff);
}

TEST_F(ChargerViewTest, ErrorChangesInDetectionOrder) {
    const DeviceDateTime when{
        .year = 2024, .month = 2, .day = 1, .hour = 3, .minute = 4, .second = 5};
    Answer(1, 0x0618, {0, 0, 0, 7, 16, 0, 1, 0});
    TakeReceivedValues(*model, view);
    const std::vector<std::string> lines = TakeErrorLines(view, when);
    ASSERT_EQ(lines.size(), 3u);
    const std::string time = "01.02.2024 03:04.05     ";  // padded to 24
    EXPECT_EQ(lines[0], time + "ErrorStart      " +
                            "Неисправность цепи или датчика измерения тока заряда АБ");
    EXPECT_EQ(lines[1], time + "ErrorBig        " + "Код ошибки не известен");
    EXPECT_EQ(lines[2], time + "ErrorSmall      " + "АБ неисправна");
    EXPECT_TRUE(TakeErrorLines(view, when).empty());

    Answer(1, 0x0618, {0, 0, 0, 7, 16, 59, 0, 0});
    TakeReceivedValues(*model, view);
    const std::vector<ChargerErrorChange> changes = DetectErrorChanges(view);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, kErrorKindStart);
    EXPECT_EQ(ChargerErrorText(changes[0].kind, changes[0].code), "Нет ошибки");
    EXPECT_EQ(changes[1].kind, kErrorKindClose);
    EXPECT_EQ(ChargerErrorText(changes[1].kind, changes[1].code), "Превышение тока заряда");
    EXPECT_EQ(FormatErrorLine("t", 9, "x"), "t" + std::string(23, ' ') + "ErrorNotDefined x");
}

TEST_F(ChargerViewTest, SettingsSourcesAndWriteProgress) {
    view.edited[0x0F] = 600;
    view.file_settings[0x0F] = 720;
    model->write_block = kChargerBlockSettings;
    model->write_step = 1;
    ASSERT_TRUE(PutValuesToWrite(*model, view));
    EXPECT_EQ(Block(2).values_to_write[0x0F], 720);
    model->write_step = 0;
    ASSERT_TRUE(PutValuesToWrite(*model, view));
    EXPECT_EQ(Block(2).values_to_write[0x0F], 600);
    model->write_block = kChargerBlockLive;
    EXPECT_FALSE(PutValuesToWrite(*model, view));

    RegisterBlock& block = Block(2);
    EXPECT_EQ(ChargerWriteProgressOf(*model, 2).count, 0);
    block.edit_map[0] = 0xFF;
    block.edit_map[3] = 0x01;
    block.write_done_map[0] = 0xFF;
    ChargerWriteProgress progress = ChargerWriteProgressOf(*model, 2);
    EXPECT_EQ(progress.count, 1);
    EXPECT_EQ(progress.result, kChrgWriteProgressDone | kChrgWriteProgressPending);
    block.write_done_map[3] = 0x03;
    progress = ChargerWriteProgressOf(*model, 2);
    EXPECT_EQ(progress.count, 2);
    EXPECT_EQ(progress.result, kChrgWriteProgressDone);
    block.last_write_result = 2;
    EXPECT_EQ(ChargerWriteProgressOf(*model, 2).result, kChrgWriteProgressDataError);
    EXPECT_EQ(ChargerWriteProgressOf(*model, 9).result, 0);
}

}  // namespace
}  // namespace veltrona
