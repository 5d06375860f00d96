// Charger calibration: what each action writes to 0x2908..0x290F, when it refuses, and the
// change marks behind the coefficient lamps.

#include "devices/charger/charger_calibration.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/charger/charger_blocks.h"
#include "link/block_engine.h"
#include "link/frames.h"

namespace veltrona {
namespace {

constexpr std::uint8_t kAddress = 0x21;
using Words = std::vector<std::uint16_t>;

enum class Action { kEnable, kDefault, kStore, kDisable, kUp, kDown };

class ChargerCalibrationTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }

    // A fresh model and view, the port just opened.
    void Reset() {
        view = ChargerView{};
        list = CreateDeviceList(3);
        ASSERT_TRUE(CreateChargerModel(list, kAddress));
        model = list.At(0);
        ASSERT_NE(model, nullptr);
        SetEnabled(*model, true);
        MarkChargerPortOpened(view);
    }

    // A read of words from start answered and taken into the view.
    void Read(std::uint16_t block, std::uint16_t start, const Words& words) {
        model->current_block = block;
        model->transaction.operation = kOpRead;
        model->transaction.start = start;
        model->transaction.count = static_cast<std::uint16_t>(words.size());
        FrameSlot request;
        BuildRequest(*model, request);
        FrameSlot reply;
        std::size_t n = 0;
        reply.data[n++] = kAddress;
        reply.data[n++] = 0x03;
        reply.data[n++] = static_cast<std::uint8_t>(words.size() * 2);
        for (const std::uint16_t w : words) {
            reply.data[n++] = static_cast<std::uint8_t>(w >> 8);
            reply.data[n++] = static_cast<std::uint8_t>(w);
        }
        const std::uint16_t crc = Crc16(reply.data, n);
        reply.data[n++] = static_cast<std::uint8_t>(crc);
        reply.data[n++] = static_cast<std::uint8_t>(crc >> 8);
        reply.length = static_cast<std::uint16_t>(n);
        ASSERT_TRUE(ParseReply(*model, reply));
        TakeReceivedValues(*model, view);
    }
    void Live(std::uint16_t state) {
        Read(kChargerBlockLive, 0x0620, {state, 0, 0, 0, 0, 0, 0, 0});
    }
    // 0x2908..0x290F as the device holds them.
    void Control(const Words& words) { Read(kChargerBlockControl, 0x2908, words); }
    // The device read in the cycle's order, then the page's read-back step.
    void Poll(std::uint16_t state, const Words& control) {
        Live(state);
        Control(control);
        TakeCalibrationValues(view);
    }

    // The write request pending, which must be 0x2908..0x290F; empty when none waits.
    Words Send() {
        if (!FirstWriteBlock(*model) || !FirstWriteRequest(*model)) return {};
        FrameSlot frame;
        BuildRequest(*model, frame);
        EXPECT_EQ(model->transaction.start, 0x2908u);
        EXPECT_EQ(model->transaction.count, 8);
        Words words;
        for (std::size_t i = 0; i < 8; ++i)
            words.push_back(
                static_cast<std::uint16_t>(frame.data[7 + 2 * i] << 8 | frame.data[8 + 2 * i]));
        return words;
    }

    CalibrationOutcome Do(Action action, std::size_t coefficient = 0) {
        switch (action) {
            case Action::kEnable:
                return EnableCalibration(model, view);
            case Action::kDefault:
                return SetDefaultCoefficients(model, view);
            case Action::kStore:
                return StoreCoefficients(model, view);
            case Action::kDisable:
                return DisableCalibration(model, view);
            case Action::kUp:
                return StepCoefficient(model, view, coefficient, 1);
            case Action::kDown:
                return StepCoefficient(model, view, coefficient, -1);
        }
        return {};
    }

    DeviceList list;
    DeviceModel* model = nullptr;
    ChargerView view;
};

// 0x2908..0x290F of a device that does not calibrate and of one that does.
const Words kOff = {0, 7, 4000, 10001, 16000, 12345, 0x11, 0x22};
const Words kOn = {0x8000, 7, 10500, 9500, 11000, 9000, 0, 0};
// Calibrating, the first coefficient at an end, the others below the range.
const Words kBottom = {0x8000, 0, 5000, 1, 2, 3, 0, 0};
const Words kTop = {0x8000, 0, 15000, 1, 2, 3, 0, 0};

TEST_F(ChargerCalibrationTest, ActionsWriteTheCalibrationChunk) {
    using enum Action;
    const struct {
        const char* name;
        Words control;  // as read; 0x0620 bit 15 follows its bit 15
        std::vector<Action> actions;
        Words sent;
        std::uint8_t marks;
    } cases[] = {
        // Coefficients as read but limited, the rest of the chunk as read.
        {"enable", kOff, {kEnable}, {0x8000, 7, 5000, 10001, 15000, 12345, 0x11, 0x22}, 0},
        {"store", kOn, {kStore}, {0xC000, 7, 10500, 9500, 11000, 9000, 0, 0}, 0},
        {"default", kOn, {kDefault}, {0x8000, 7, 10000, 10000, 10000, 10000, 0, 0}, 0x0F},
        {"up", kOn, {kUp}, {0x8000, 7, 10501, 9500, 11000, 9000, 0, 0}, 0x01},
        {"down twice", kOn, {kDown, kDown}, {0x8000, 7, 10498, 9500, 11000, 9000, 0, 0}, 0x01},
        {"at bottom", kBottom, {kDown}, {0x8000, 0, 5000, 5000, 5000, 5000, 0, 0}, 0x01},
        {"at top", kTop, {kUp}, {0x8000, 0, 15000, 5000, 5000, 5000, 0, 0}, 0x01},
        {"disable off", kOff, {kDisable}, {0, 7, 5000, 10001, 15000, 12345, 0x11, 0x22}, 0},
        {"disable on", kOn, {kDisable}, {0, 7, 10500, 9500, 11000, 9000, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        Poll(c.control[0], c.control);
        for (const Action action : c.actions)
            EXPECT_EQ(Do(action).refusal, CalibrationRefusal::kNone);
        EXPECT_EQ(Send(), c.sent);
        EXPECT_EQ(view.calibration_marks, c.marks);
    }
}

TEST_F(ChargerCalibrationTest, RefusalsSendNothing) {
    using R = CalibrationRefusal;
    const struct {
        const char* name;
        bool available;
        bool read;  // the calibration registers read since the port opened
        std::uint16_t state;
        R enable, step, disable;  // step: Default, Store and the arrows
    } cases[] = {
        {"not available", false, true, 0x8000, R::kNotAvailable, R::kNotAvailable,
         R::kNotAvailable},
        {"control block not read yet", true, false, 0x8000, R::kNotAvailable, R::kNotAvailable,
         R::kNotAvailable},
        {"disabled", true, true, 0, R::kNone, R::kDisabled, R::kNone},
        {"enabled", true, true, 0x8000, R::kEnabled, R::kNone, R::kNone},
    };
    for (const auto& c : cases) {
        for (const Action action : {Action::kEnable, Action::kDefault, Action::kStore,
                                    Action::kDisable, Action::kUp, Action::kDown}) {
            SCOPED_TRACE(testing::Message() << c.name << " action " << static_cast<int>(action));
            Reset();
            Live(c.state);
            if (c.read) Control(kOn);
            TakeCalibrationValues(view);
            if (!c.available) view.not_available = true;
            const R expected = action == Action::kEnable    ? c.enable
                               : action == Action::kDisable ? c.disable
                                                            : c.step;
            EXPECT_EQ(Do(action).refusal, expected);
            EXPECT_EQ(Send().empty(), expected != R::kNone);
        }
    }
    EXPECT_EQ(CalibrationRefusalText(R::kNotAvailable), "Устройство не доступно");
    EXPECT_EQ(CalibrationRefusalText(R::kDisabled), "Калибровка запрещена");
    EXPECT_EQ(CalibrationRefusalText(R::kEnabled), "Калибровка разрешена");
}

// A device calibrating already when the port opens: its own values go back, not an empty
// set (0x4000 with every coefficient raised to 5000).
TEST_F(ChargerCalibrationTest, DeviceCalibratingAtPortOpenKeepsItsCoefficients) {
    Live(0x8000);
    TakeCalibrationValues(view);
    EXPECT_EQ(Do(Action::kStore).refusal, CalibrationRefusal::kNotAvailable);
    // The first chunk of the control block does not hold the coefficients.
    Read(kChargerBlockControl, 0x2900, Words(8, 0));
    TakeCalibrationValues(view);
    EXPECT_EQ(Do(Action::kStore).refusal, CalibrationRefusal::kNotAvailable);

    Control(kOn);
    const CalibrationReadBack back = TakeCalibrationValues(view);
    ASSERT_TRUE(back.shown);
    EXPECT_EQ(*back.shown, (CalibrationCoefficients{10500, 9500, 11000, 9000}));
    EXPECT_EQ(Do(Action::kStore).refusal, CalibrationRefusal::kNone);
    EXPECT_EQ(Send(), (Words{0xC000, 7, 10500, 9500, 11000, 9000, 0, 0}));

    // A new port session reads the device again before anything goes out.
    MarkChargerPortOpened(view);
    view.not_available = false;
    EXPECT_EQ(Do(Action::kUp).refusal, CalibrationRefusal::kNotAvailable);
    Poll(0x8000, {0x8000, 0, 12000, 9500, 11000, 9000, 0, 0});
    EXPECT_EQ(Do(Action::kUp).refusal, CalibrationRefusal::kNone);
    EXPECT_EQ(Send(), (Words{0x8000, 0, 12001, 9500, 11000, 9000, 0, 0}));
}

}  // namespace
}  // namespace veltrona
