#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "devices/bus_devices.h"
#include "devices/inverter/inverter_view.h"
#include "files/program_settings.h"
#include "shell/form_general.h"
#include "shell/form_process.h"
#include "shell/settings_write_follow_up.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

using sim::DeviceId;

// Writes of the inverter's settings blocks against the stand-in: the progress dialog and the
// adoption of new line settings, as the settings pages will queue them.
class InverterSettingsWriteTest : public StandInTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartProgram(InverterAloneSettings()));
        ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
        ASSERT_TRUE(WaitFor([&] {
            return !View().not_available && View().received.link[0] == 3 &&
                   View().received.settings[0] != 0;
        }));
    }
    TFormProcess& Process() { return *windows_->process; }
    InverterView& View() { return General().inverterView(); }
    DeviceModel& Model() { return *General().devices().At(kInverterIndex); }
    void Queue(std::uint16_t block) {
        ASSERT_TRUE(QueueInverterBlockWrite(Model(), View(), block));
    }
    bool ErrorShown() {
        return Find<QLabel>(Process(), "labProcessError")->text() == "Ошибка данных" &&
               !Find<QPushButton>(Process(), "btnClose")->isHidden();
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(InverterSettingsWriteTest, ARefusedRegisterKeepsTheDialogsErrorThroughLaterReplies) {
    View().edited = View().received.settings;
    ASSERT_EQ(bus_->Command("exception 0x3601 0x3601 3"), "ok");
    Queue(kInverterBlockSettings);
    ASSERT_TRUE(WaitFor([&] { return Process().windowTitle() == "Сохранение настроек"; }));
    // The 53 writes after the refused one all succeed; the error stays.
    ASSERT_TRUE(WaitFor([&] {
        const RegisterBlock& block = Model().blocks[kInverterBlockSettings];
        return TestBit(block.write_done_map, kInverterSettingsCount - 1);
    }));
    EXPECT_TRUE(ErrorShown());
    EXPECT_TRUE(Process().IsShown());
    Find<QPushButton>(Process(), "btnClose")->click();

    ASSERT_EQ(bus_->Command("exception 0x3601 0x3601 off"), "ok");
    Queue(kInverterBlockSettings);
    ASSERT_TRUE(WaitFor([&] { return Process().IsShown(); }));
    ASSERT_TRUE(WaitFor([&] { return !Process().IsShown(); }));
}

TEST_F(InverterSettingsWriteTest, NewLineSettingsAreAdoptedOnceTheLinkBlockIsWritten) {
    View().link = {5, 4, 0};
    Queue(kInverterBlockLink);
    ASSERT_TRUE(WaitFor([&] { return Process().windowTitle() == "Сохранение настроек RS-485"; }));
    ASSERT_TRUE(WaitFor([&] { return !Process().IsShown(); }));
    EXPECT_EQ(bus_->Address(DeviceId::kInverter), 5);
    EXPECT_EQ(Model().address, 5);
    ProgramSettings saved;
    LoadProgramSettings(folder_.path().toStdString(), saved, {});
    EXPECT_EQ(saved.devices[kInverterIndex].address, 5);
    EXPECT_EQ(saved.devices[kInverterIndex].baudrate, 115200);
    EXPECT_FALSE(General().followUp().waitReplyTimer().isActive());
    // Polling goes on at the new address.
    View().received.link[0] = 0;
    ASSERT_TRUE(WaitFor([&] { return View().received.link[0] == 5; }));
    EXPECT_TRUE(recorder_.messages.empty());
}

}  // namespace
}  // namespace veltrona
