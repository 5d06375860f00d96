#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "devices/bus_devices.h"
#include "shell/form_general.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

using sim::DeviceId;

constexpr std::uint16_t kStatus = 0x0007;
constexpr std::uint16_t kRunningBit = 0x0008;
constexpr std::uint16_t kCommand = 0x000A;

// The main window's inverter summary against the stand-in inverter over a pseudo-terminal.
class InverterSummaryTest : public StandInTest {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ASSERT_NO_FATAL_FAILURE(StartProgram(InverterAloneSettings()));
        ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
        ASSERT_TRUE(WaitFor([&] { return Picture() == "24_24_MODBUS_GREEN"; }));
        ASSERT_TRUE(WaitFor([&] { return !Text("eDcacBoxBatteryVoltage").isEmpty(); }));
    }
    QString Text(const char* name) { return Find<QLineEdit>(General(), name)->text(); }
    QString Picture() {
        return Find<QLabel>(General(), "imgDcacBoxPgModbus")->property("picture").toString();
    }
    QPushButton* OnOff() { return Find<QPushButton>(General(), "btnDcacBoxOnOff"); }
    // Waits for `turns` more inverter reads, so that a command would have gone out.
    void WaitTurns(std::size_t turns) {
        const std::size_t before = bus_->RequestCount();
        ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() >= before + 8 * turns; }));
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(InverterSummaryTest, ShowsTheLiveValuesWithTheirUnits) {
    const struct {
        const char* field;
        const char* pattern;
    } cases[] = {
        {"eDcacBoxInputAcVoltage", "^\\d+(,\\d+)? В$"},
        {"eDcacBoxOutputAcVoltage", "^\\d+(,\\d+)? В$"},
        {"eDcacBoxOutputAcPowerApparent", "^\\d+(,\\d+)? Вт$"},
        {"eDcacBoxBatteryVoltage", "^\\d+(,\\d+)? В$"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(
            QRegularExpression(QString::fromUtf8(c.pattern)).match(Text(c.field)).hasMatch())
            << c.field << " " << Text(c.field).toStdString();
    }
    EXPECT_EQ(Text("eDcacBoxOperatingState"), "Трансляция сети");
    EXPECT_EQ(OnOff()->text(), "Выключить");
    // A state beyond the texts shows the catch-all.
    ASSERT_EQ(bus_->Command("set inverter 0x0712 7"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Text("eDcacBoxOperatingState") == "Не понял"; }));
}

TEST_F(InverterSummaryTest, CommandsGoOutOnYesOnly) {
    // No: nothing reaches the inverter.
    recorder_.answer = MessageAnswer::kNo;
    OnOff()->click();
    ASSERT_EQ(recorder_.Count("Вы уверены, что хотите выполнить\r\nвыключение устройства"), 1);
    ASSERT_NO_FATAL_FAILURE(WaitTurns(3));
    EXPECT_NE(bus_->Register(DeviceId::kInverter, kStatus) & kRunningBit, 0);

    recorder_.answer = MessageAnswer::kYes;
    OnOff()->click();
    ASSERT_TRUE(
        WaitFor([&] { return (bus_->Register(DeviceId::kInverter, kStatus) & kRunningBit) == 0; }));
    ASSERT_TRUE(WaitFor([&] { return OnOff()->text() == "Включить"; }));
    OnOff()->click();
    EXPECT_EQ(recorder_.Count("Вы уверены, что хотите выполнить\r\nвключение устройства"), 1);
    ASSERT_TRUE(
        WaitFor([&] { return (bus_->Register(DeviceId::kInverter, kStatus) & kRunningBit) != 0; }));

    // New cycle goes out without a question, as command 13.
    recorder_.messages.clear();
    Find<QPushButton>(General(), "btnDcacBoxNewCycle")->click();
    // Given at once, while the switch-on write may still be out: it must go out all the same.
    ASSERT_TRUE(WaitFor([&] { return bus_->Register(DeviceId::kInverter, kCommand) == 13; }));
    EXPECT_FALSE(recorder_.Asked());
}

TEST_F(InverterSummaryTest, SilentInverterTurnsRedAndRefusesCommands) {
    ASSERT_EQ(bus_->Command("mute inverter"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Picture() == "24_24_MODBUS_RED"; }));
    EXPECT_EQ(Find<QLineEdit>(General(), "eDcacBoxBatteryVoltage")->palette().color(QPalette::Base),
              QColor(255, 0, 0));
    OnOff()->click();
    Find<QPushButton>(General(), "btnDcacBoxNewCycle")->click();
    EXPECT_EQ(recorder_.Count("Устройство не доступно"), 2);
    EXPECT_FALSE(recorder_.Asked());
    ASSERT_EQ(bus_->Command("unmute inverter"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Picture() == "24_24_MODBUS_GREEN"; }));
}

}  // namespace
}  // namespace veltrona
