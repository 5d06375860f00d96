#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include "devices/charger/charger_general_widget.h"
#include "devices/charger/charger_view.h"
#include "devices/charger/charger_window.h"
#include "shell/form_general.h"
#include "tests/gui/gui_test_support.h"
#include "ui/numeric_field.h"

namespace veltrona {
namespace {

using sim::DeviceId;

const QColor kSilver(192, 192, 192);
const QColor kSent(192, 220, 192);
const QColor kGreen(0, 255, 0);

constexpr const char* kLamps[] = {"shSettings2CalibrVoltBattFM", "shSettings2CalibrVoltBattFS",
                                  "shSettings2CalibrCurrBattFM", "shSettings2CalibrCurrBattFS"};
constexpr std::uint16_t kCoefficients[] = {0x290A, 0x290B, 0x290C, 0x290D};
// Requests of two polling cycles of the charger alone, and some: room for a queued write to
// go out and for its answer to be read.
constexpr std::size_t kTwoCycles = 120;

// The hidden settings tab of the charger window against the stand-in charger.
class ChargerServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        WriteSettings(folder_, ChargerAloneSettings());
        ASSERT_NO_FATAL_FAILURE(StartStandIns(folder_, bus_));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_TRUE(WaitFor([&] {
            return !View().not_available && View().calibration_read &&
                   View().received.capability[2] != 0;
        }));
    }
    void TearDown() override {
        windows_.reset();
        bus_->Stop();
        QLocale::setDefault(QLocale::c());
    }

    // A program started afresh, in extended mode, its port opened.
    void StartProgram() {
        windows_.reset();
        windows_ = std::make_unique<ApplicationWindows>(folder_.path().toStdString());
        windows_->general->show();
        windows_->chrgNet->ShowServiceItems();
        ASSERT_NO_FATAL_FAILURE(OpenStandInPort(*windows_->general));
    }

    ChargerView& View() { return windows_->general->chargerView(); }
    TFormChrgNet& Window() { return *windows_->chrgNet; }
    void Click(const char* name) { Find<QPushButton>(Window(), name)->click(); }
    bool Enabled(const char* name) { return Find<QPushButton>(Window(), name)->isEnabled(); }
    TUpDown& Arrows(const char* name) { return *Find<TUpDown>(Window(), name); }
    QColor Lamp(std::size_t i) { return Find<TLampShape>(Window(), kLamps[i])->fill(); }
    bool AllLamps(const QColor& colour) {
        for (std::size_t i = 0; i < std::size(kLamps); ++i)
            if (Lamp(i) != colour) return false;
        return true;
    }
    QString Text(const char* name) { return Find<QLineEdit>(Window(), name)->text(); }
    std::uint16_t Device(std::uint16_t address) {
        return bus_->Register(DeviceId::kCharger, address);
    }
    std::uint32_t DevicePair(std::uint16_t address) {
        return Device(address) | std::uint32_t{Device(static_cast<std::uint16_t>(address + 1))}
                                     << 16;
    }
    bool Calibrating() { return (Device(0x0620) & 0x8000) != 0; }
    // The buttons as the page shows a calibration state.
    bool ButtonsShow(bool calibrating) {
        return Enabled("btnSettings2CalibrEnable") != calibrating &&
               Enabled("btnSettings2CalibrDefault") == calibrating &&
               Enabled("btnSettings2CalibrWrite") == calibrating &&
               Enabled("btnSettings2CalibrDisable") == calibrating;
    }
    // Lets two polling cycles pass, in which anything queued would have reached the stand-in.
    void PassTwoCycles() {
        const std::size_t from = bus_->RequestCount();
        ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() >= from + kTwoCycles; }));
    }
    void EnableOnTheDevice() {
        Click("btnSettings2CalibrEnable");
        ASSERT_TRUE(WaitFor([&] { return Device(0x2908) == 0x8000 && Calibrating(); }));
        ASSERT_TRUE(WaitFor([&] { return ButtonsShow(true); }));
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
    QTemporaryDir folder_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<ApplicationWindows> windows_;
};

TEST_F(ChargerServiceTest, CalibrationRunsFromEnableToDisableOnTheDevice) {
    EXPECT_TRUE(ButtonsShow(false));
    EXPECT_TRUE(AllLamps(kSilver));
    EXPECT_EQ(Text("eSettings2CalibrVoltBattFM"), "1,0000");
    // Not yet allowed: an arrow only says so.
    Arrows("udSettings2CalibrVoltBattFM").upButton()->click();
    EXPECT_EQ(recorder_.Count("Калибровка запрещена"), 1);

    ASSERT_NO_FATAL_FAILURE(EnableOnTheDevice());
    // A step is sent at once; the device does not keep it until Write.
    Arrows("udSettings2CalibrVoltBattFM").upButton()->click();
    EXPECT_EQ(Lamp(0), kSent);
    EXPECT_EQ(Lamp(1), kSilver);
    EXPECT_EQ(Text("eSettings2CalibrVoltBattFM"), "1,0001");
    ASSERT_TRUE(WaitFor([&] { return Lamp(0) == kGreen; }));
    EXPECT_EQ(Device(0x290A), 10000);
    EXPECT_EQ(Text("eSettings2CalibrVoltBattFM"), "1,0001");

    Click("btnSettings2CalibrWrite");
    ASSERT_TRUE(WaitFor([&] { return Device(0x2908) == 0xC000 && Device(0x290A) == 10001; }));
    ASSERT_TRUE(WaitFor([&] { return Lamp(0) == kSilver; }));

    Click("btnSettings2CalibrDefault");
    EXPECT_EQ(recorder_.Count("Вы уверены, что хотите установить\r\nкоэффициенты по умолчанию"), 1);
    EXPECT_EQ(Lamp(0), kSent);
    EXPECT_EQ(Text("eSettings2CalibrVoltBattFM"), "1,0000");
    ASSERT_TRUE(WaitFor([&] { return Device(0x290A) == 10000; }));
    for (const std::uint16_t address : kCoefficients)
        EXPECT_EQ(Device(address), 10000) << address;
    ASSERT_TRUE(WaitFor([&] { return AllLamps(kSilver); }));

    Click("btnSettings2CalibrDisable");
    ASSERT_TRUE(WaitFor([&] { return Device(0x2908) == 0 && !Calibrating(); }));
    ASSERT_TRUE(WaitFor([&] { return ButtonsShow(false); }));
    EXPECT_EQ(recorder_.messages.size(), 2u);
}

TEST_F(ChargerServiceTest, ResetCommandsAskAndReachTheDeviceOnYesOnly) {
    const struct {
        const char* button;
        QString question;
        QString status;          // the device's answer in the status bar
        std::uint16_t capacity;  // the counter the command clears, or 0
    } cases[] = {
        {"btnSettings2ClearChrgaLevelSum",
         "Вы уверены, что хотите выполнить\r\nсброс уровня заряда",
         "Команда Очистить уровень заряда сумма Выполнена", 0x063C},
        {"btnSettings2ClearChargeLevelUsr",
         "Вы уверены, что хотите выполнить\r\nсброс уровня заряда",
         "Команда Очистить уровень заряда пользователь Выполнена", 0x063E},
        {"btnSettings2ClearSettingsAll", "Вы уверены, что хотите выполнить\r\nсброс ВСЕХ настроек",
         "Команда Очистить все настройки Выполнена", 0},
    };
    // More than an hour of charging in each counter: a cleared one holds far less.
    constexpr std::uint32_t kCleared = 1000;
    const auto status = [&] { return Find<QLabel>(Window(), "sbChrgNetPanel4")->text(); };

    recorder_.answer = MessageAnswer::kNo;
    for (const auto& c : cases)
        Click(c.button);
    ASSERT_EQ(recorder_.messages.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(recorder_.messages[i].text, cases[i].question);
    ASSERT_NO_FATAL_FAILURE(PassTwoCycles());
    EXPECT_EQ(status(), "");
    EXPECT_GT(DevicePair(0x063C), kCleared);
    EXPECT_GT(DevicePair(0x063E), kCleared);

    recorder_.answer = MessageAnswer::kYes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        Click(c.button);
        ASSERT_TRUE(WaitFor([&] { return status() == c.status; }));
        if (c.capacity != 0) {
            EXPECT_LT(DevicePair(c.capacity), kCleared);
        }
    }
}

TEST_F(ChargerServiceTest, CapabilityBoxesShowTheDevicesCapabilityBlock) {
    // The stand-in: 12 and 24 V; GEL, AGM, FLOODED and User ACID.
    const struct {
        const char* name;
        bool ticked;
    } boxes[] = {
        {"chbSettings2BattVolt12", true},      {"chbSettings2BattVolt24", true},
        {"chbSettings2BattVolt36", false},     {"chbSettings2BattVolt48", false},
        {"chbSettings2BattTypeGel", true},     {"chbSettings2BattTypeAgm", true},
        {"chbSettings2BattTypeFlooded", true}, {"chbSettings2BattTypeUAcid", true},
        {"chbSettings2BattTypeUTrac", false},  {"chbSettings2BattTypeULi", false},
    };
    for (const auto& b : boxes)
        EXPECT_EQ(Find<QCheckBox>(Window(), b.name)->isChecked(), b.ticked) << b.name;
}

// A charger still calibrating when a new program opens the port: nothing goes out before its
// coefficients have been read, and then they go back as the device holds them.
TEST_F(ChargerServiceTest, ChargerCalibratingAtStartKeepsItsCoefficients) {
    ASSERT_NO_FATAL_FAILURE(EnableOnTheDevice());
    Arrows("udSettings2CalibrVoltBattFS").upButton()->click();
    Click("btnSettings2CalibrWrite");
    ASSERT_TRUE(WaitFor([&] { return Device(0x290B) == 10001; }));

    ASSERT_EQ(bus_->Command("exception 0x2908 0x290F 2"), "ok");
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(
        WaitFor([&] { return !View().not_available && View().received.capability[2] != 0; }));
    ASSERT_TRUE(WaitFor([&] { return ButtonsShow(true); }));
    Click("btnSettings2CalibrWrite");
    EXPECT_EQ(recorder_.Count("Устройство не доступно"), 1);

    ASSERT_EQ(bus_->Command("exception 0x2908 0x290F off"), "ok");
    ASSERT_TRUE(WaitFor([&] { return View().calibration_read; }));
    EXPECT_EQ(Text("eSettings2CalibrVoltBattFS"), "1,0001");
    EXPECT_EQ(Device(0x2908), 0xC000);
    Arrows("udSettings2CalibrCurrBattFM").upButton()->click();
    ASSERT_TRUE(WaitFor([&] { return Lamp(2) == kGreen; }));
    EXPECT_TRUE(Calibrating());
    const std::uint16_t kept[] = {10000, 10001, 10000, 10000};
    for (std::size_t i = 0; i < std::size(kCoefficients); ++i)
        EXPECT_EQ(Device(kCoefficients[i]), kept[i]) << kCoefficients[i];
    Click("btnSettings2CalibrWrite");
    ASSERT_TRUE(WaitFor([&] { return Device(0x290C) == 10001; }));
    EXPECT_EQ(Device(0x290B), 10001);
    EXPECT_EQ(Device(0x2908), 0xC000);
}

}  // namespace
}  // namespace veltrona
