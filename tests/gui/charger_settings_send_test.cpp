#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "devices/bus_devices.h"
#include "devices/charger/charge_profile.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_settings_workflow.h"
#include "devices/charger/charger_view.h"
#include "devices/charger/charger_window.h"
#include "files/device_settings_file.h"
#include "files/program_settings.h"
#include "shell/form_general.h"
#include "shell/form_process.h"
#include "shell/settings_write_follow_up.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

using sim::DeviceId;

// The main window, the charger window and the progress dialog against the stand-in charger:
// what Send writes, how the dialog follows it and what becomes of new line settings.
class ChargerSettingsSendTest : public StandInTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartProgram(ChargerAloneSettings()));
        ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
        // Available, with the link block read at least once.
        ASSERT_TRUE(WaitFor([&] {
            return !View().not_available && View().received.link[0] == 1 &&
                   View().received.settings[kSetStageSetShift] != 0;
        }));
        positions_ = std::make_unique<QSignalSpy>(Find<QProgressBar>(Process(), "pbProcess"),
                                                  &QProgressBar::valueChanged);
    }
    TFormProcess& Process() { return *windows_->process; }
    ChargerView& View() { return General().chargerView(); }
    const DeviceModel& Model() { return *General().devices().At(kChargerIndex); }
    void Click(const char* name) { Find<QPushButton>(*windows_->chrgNet, name)->click(); }
    std::string SettingsFile() {
        return ReadFile(folder_.filePath("SettingsGeneral.ini").toStdString());
    }

    // Open of a file with a valid profile, so that Send has settings of its own to write.
    ChargerSettingsValues OpenProfile() {
        ChargerSettingsValues values{};
        EXPECT_TRUE(ApplyPresets(values, 120, 0));
        values[kSetCapacityBatt] = 60;
        EXPECT_TRUE(ValidateSettings(View().received.capability, values).ok);
        const std::filesystem::path path = folder_.filePath("profile.ini").toStdString();
        std::ofstream(path, std::ios::binary)
            << *ComposeDeviceSettings(kChargerSettingsTitle, ChargerSettingsKeys(), values);
        FileDialogAnswer answer(path);
        Click("btnSettingsOpen");
        return values;
    }
    void SendLink(const ChargerLinkValues& link) {
        Click("btnSettingsReceive");
        View().link = link;
        Click("btnSettingsSend");
    }
    // The settings file the program should write once the charger took `link`.
    std::string SettingsWith(const ChargerLinkValues& link, std::int32_t baud, std::uint16_t parity,
                             std::uint16_t stop_bits) {
        ProgramSettings expected;
        LoadProgramSettings(folder_.path().toStdString(), expected, {});
        DeviceLinkSettings& charger = expected.devices[kChargerIndex];
        charger.address = link[0];
        charger.baudrate = baud;
        charger.data_bits = 8;
        charger.parity = parity;
        charger.stop_bits = stop_bits;
        return ComposeProgramSettings(expected);
    }
    bool LinkWritePending() {
        const RegisterBlock& link = Model().blocks[kChargerBlockLink];
        return std::any_of(link.write_request_map.begin(), link.write_request_map.end(),
                           [](std::uint8_t b) { return b != 0; });
    }
    QString Caption() { return Process().windowTitle(); }
    bool ErrorShown() {
        return Find<QLabel>(Process(), "labProcessError")->text() == "Ошибка данных" &&
               !Find<QPushButton>(Process(), "btnClose")->isHidden();
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
    std::unique_ptr<QSignalSpy> positions_;
};

TEST_F(ChargerSettingsSendTest, SendWritesTheSettingsAndTheDialogCountsEveryReply) {
    const ChargerSettingsValues sent = OpenProfile();
    Click("btnSettingsSend");
    ASSERT_TRUE(recorder_.messages.empty()) << recorder_.messages[0].text.toStdString();
    // Then the link block's own dialog, which closes once its one reply is in.
    ASSERT_TRUE(WaitFor([&] { return Caption() == "Сохранение настроек RS-485"; }));
    ASSERT_TRUE(WaitFor([&] { return !Process().IsShown(); }));

    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(bus_->Register(DeviceId::kCharger, static_cast<std::uint16_t>(0x2800 + i)),
                  sent[i])
            << i;
    }
    // One step per settings reply up to 32, and the link block's 1 last.
    std::vector<int> seen;
    for (const QList<QVariant>& call : *positions_)
        seen.push_back(call[0].toInt());
    std::vector<int> expected;
    for (int i = 1; i <= 32; ++i)
        expected.push_back(i);
    ASSERT_GT(seen.size(), expected.size());
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 32), expected);
    EXPECT_EQ(seen.back(), 1);
    // The next reads bring the written values back.
    ASSERT_TRUE(WaitFor([&] { return View().received.settings == sent; }));
    EXPECT_EQ(SettingsFile(), SettingsWith({1, 4, 0}, 115200, 0, 0));
}

TEST_F(ChargerSettingsSendTest, AnEditOnThePageReachesTheDeviceAndComesBack) {
    Click("btnSettingsReceive");
    // The stand-in's AGM profile at 24 V: restart voltage 19.00..25.00 V.
    auto* field = Find<QLineEdit>(*windows_->chrgNet, "eSettingsAddVoltRecom");
    field->clear();
    QTest::keyClicks(field, QStringLiteral("23.40"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(View().edited[kSetChargeVoltageRecom], 2340);
    Click("btnSettingsSend");
    ASSERT_TRUE(WaitFor([&] { return bus_->Register(DeviceId::kCharger, 0x2812) == 2340; }));
    ASSERT_TRUE(WaitFor([&] { return View().received.settings[kSetChargeVoltageRecom] == 2340; }));
    Click("btnSettingsReceive");
    EXPECT_EQ(field->text(), QLocale().toString(23.40, 'f', 2));
}

TEST_F(ChargerSettingsSendTest, AnsweredLinkWriteIsAdoptedIntoTheSettingsFileAndTheModel) {
    const struct {
        ChargerLinkValues link;
        std::int32_t baud;
        std::uint16_t parity;     // as the settings file numbers it
        std::uint16_t stop_bits;  // likewise
    } cases[] = {
        {{5, 4, 0x0100}, 115200, 2, 0},   // even parity is "EVEN" in the file
        {{17, 4, 0x0201}, 115200, 1, 2},  // odd, two stop bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link[0]);
        SendLink(c.link);
        ASSERT_TRUE(WaitFor([&] { return Model().address == c.link[0]; }));
        EXPECT_EQ(SettingsFile(), SettingsWith(c.link, c.baud, c.parity, c.stop_bits));
        EXPECT_FALSE(General().followUp().waitReplyTimer().isActive());
        // Polling goes on at the new address.
        const std::size_t before = bus_->RequestCount();
        ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() > before + 20; }));
        EXPECT_FALSE(IsUnreachable(Model()));
        EXPECT_EQ(bus_->Address(DeviceId::kCharger), c.link[0]);
        ASSERT_TRUE(WaitFor([&] { return !Process().IsShown(); }));
    }
    EXPECT_FALSE(recorder_.Asked());
}

TEST_F(ChargerSettingsSendTest, SilentDeviceAfterALinkWriteIsAskedAbout) {
    const std::string before = SettingsFile();
    for (const MessageAnswer answer : {MessageAnswer::kNo, MessageAnswer::kYes}) {
        SCOPED_TRACE(answer == MessageAnswer::kYes ? "yes" : "no");
        recorder_.answer = answer;
        recorder_.messages.clear();
        ASSERT_EQ(bus_->Command("link-adopt now"), "ok");
        const std::uint8_t old_address = Model().address;
        const ChargerLinkValues link{static_cast<std::uint16_t>(old_address + 1), 4, 0};
        SendLink(link);
        ASSERT_TRUE(WaitFor([&] { return recorder_.Asked(); }, 20000));
        EXPECT_EQ(recorder_.Count("Устройство не отвечает.\r\nВы хотите сохранить новые настройки"),
                  1);
        EXPECT_FALSE(Process().IsShown());
        // Sent again, the write would reach the device at an address it has left.
        EXPECT_FALSE(LinkWritePending());
        if (answer == MessageAnswer::kNo) {
            EXPECT_EQ(Model().address, old_address);
            EXPECT_EQ(SettingsFile(), before);
            // Back where the user expects it, for the next round.
            ASSERT_EQ(bus_->Command("link-adopt after"), "ok");
            SetBusAddress(*General().devices().At(kChargerIndex), link[0]);
            ASSERT_TRUE(WaitFor([&] { return !IsUnreachable(Model()) && !View().not_available; }));
        } else {
            EXPECT_EQ(Model().address, link[0]);
            EXPECT_EQ(SettingsFile(), SettingsWith(link, 115200, 0, 0));
            ASSERT_TRUE(WaitFor([&] { return !View().not_available; }));
        }
    }
}

TEST_F(ChargerSettingsSendTest, RefusedLinkWriteAdoptsNothingAndShowsTheError) {
    const std::string before = SettingsFile();
    ASSERT_EQ(bus_->Command("exception 0x2000 0x2002 3"), "ok");
    SendLink({9, 4, 0});
    ASSERT_TRUE(WaitFor([&] { return ErrorShown(); }));
    EXPECT_EQ(Caption(), "Сохранение настроек RS-485");
    EXPECT_FALSE(General().followUp().waitReplyTimer().isActive());
    EXPECT_EQ(Model().address, 1);
    EXPECT_EQ(SettingsFile(), before);
    // The device still talks at its old address and the program keeps polling it there.
    const std::size_t requests = bus_->RequestCount();
    ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() > requests + 20; }));
    EXPECT_FALSE(View().not_available);
    EXPECT_TRUE(Process().IsShown());
    EXPECT_FALSE(recorder_.Asked());
}

TEST_F(ChargerSettingsSendTest, RefusedSettingsWriteKeepsTheDialogOpenWithTheError) {
    ASSERT_EQ(bus_->Command("exception 0x2840 0x2847 2"), "ok");
    OpenProfile();
    Click("btnSettingsSend");
    ASSERT_TRUE(WaitFor([&] { return ErrorShown(); }));
    EXPECT_EQ(Caption(), "Сохранение настроек");
    // Later good replies do not wipe the error out.
    const std::size_t requests = bus_->RequestCount();
    ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() > requests + 40; }));
    EXPECT_TRUE(ErrorShown());
    Find<QPushButton>(Process(), "btnClose")->click();
    EXPECT_FALSE(Process().IsShown());
}

}  // namespace
}  // namespace veltrona
