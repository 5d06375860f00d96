#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "devices/inverter/inverter_window.h"
#include "shell/empty_forms.h"
#include "shell/form_general.h"
#include "shell/form_monitor_port.h"
#include "shell/form_password.h"
#include "shell/form_settings.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

const QString kNoPortWarning = QStringLiteral(
    "Порт не выбран или не установлена скорость работы.\r\nВыберете порт и установите скорость "
    "работы");
const QString kCloseQuestion =
    QStringLiteral("Порт не закрыт\r\nЖелаете закрыть порт и выйти из программы");

// The default settings file with the charger switched off.
void WriteSettingsWithoutCharger(const QTemporaryDir& folder) {
    WriteSettings(folder,
                  Replace(DefaultSettings(), "TARVOLEN                                =YES //",
                          "TARVOLEN                                =NO  //"));
}

// Of the next `count` gaps between requests reaching the stand-ins, how many are shorter than
// the silence that ends a frame.
int GapsUnderSilence(sim::SimBus& bus, int count) {
    const auto from = std::chrono::steady_clock::now();
    std::vector<std::chrono::steady_clock::time_point> times;
    EXPECT_TRUE(WaitFor([&] {
        times = bus.RequestTimes();
        return times.end() - std::upper_bound(times.begin(), times.end(), from) > count;
    }));
    std::size_t i = std::upper_bound(times.begin(), times.end(), from) - times.begin();
    int under = 0;
    for (const std::size_t end = std::min(times.size(), i + count + 1); i + 1 < end; ++i) {
        if (times[i + 1] - times[i] < std::chrono::milliseconds(32)) ++under;
    }
    return under;
}

QRgb Colour(QWidget& root, const char* name) {
    return Find<QFrame>(root, name)->palette().color(QPalette::Window).rgb() & 0xFFFFFF;
}

void EnterCode(TFormGeneral& general, const QString& code) {
    WhenModal([code](QWidget& dialog) {
        Find<QLineEdit>(dialog, "ePassword")->setText(code);
        Find<QPushButton>(dialog, "btnOk")->click();
    });
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(4, 4), QPointF(4, 4), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Find<QWidget>(general, "imgMyLogo"), &click);
}

class FormGeneralTest : public ::testing::Test {
  protected:
    std::filesystem::path Folder() const { return folder_.path().toStdString(); }

    // Creates the windows as the program does and shows the main window.
    TFormGeneral& Start() {
        windows_ = std::make_unique<ApplicationWindows>(Folder());
        windows_->general->show();
        return *windows_->general;
    }

    void StartStandIns() { veltrona::StartStandIns(folder_, bus_); }

    static QString Log(TFormGeneral& general) {
        return Find<QPlainTextEdit>(general, "reStatusPort")->toPlainText();
    }

    static bool Logged(TFormGeneral& general, const QString& text) {
        static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d\\.\\d\\d\\.\\d{3}  "));
        for (const QString& line : Log(general).split(QLatin1Char('\n'))) {
            if (stamp.match(line).hasMatch() && line.mid(14) == text) return true;
        }
        return false;
    }

    // Opens the stand-ins' port and checks the status line and the button.
    void OpenPortAndCheck(TFormGeneral& general) {
        ASSERT_NO_FATAL_FAILURE(OpenStandInPort(general));
        auto* button = Find<QPushButton>(general, "btnActionPort");
        EXPECT_TRUE(Logged(general, QStringLiteral("Порт открыт"))) << Log(general).toStdString();
        EXPECT_EQ(button->text(), "Закрыть порт");
        EXPECT_TRUE(button->isEnabled());
    }

    void TearDown() override {
        windows_.reset();
        if (bus_) bus_->Stop();
    }

    QTemporaryDir folder_;
    MessageRecorder recorder_{MessageAnswer::kNo};
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<ApplicationWindows> windows_;
};

TEST_F(FormGeneralTest, StartsWithEveryWindowHiddenButTheMainWindowAndTheExtrasHidden) {
    TFormGeneral& general = Start();
    // No settings file: the loader says so and the defaults stay.
    EXPECT_EQ(recorder_.Count(QStringLiteral("Ошибка открытия файла доступных устройств")), 1);
    EXPECT_EQ(general.windowTitle(), "Керимон");
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != &general && !window->inherits("QMenu")) {
            EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
        }
    }
    EXPECT_FALSE(Find<QMenu>(general, "menuEdit")->menuAction()->isVisible());
    EXPECT_FALSE(Find<QMenu>(general, "menuMode")->menuAction()->isVisible());
    for (const char* name :
         {"tbtnMonitor", "tbtnChrgSun", "tbtnSku", "tbtnStat", "tbtnBootLoader"}) {
        EXPECT_FALSE(Find<QAction>(general, name)->isVisible()) << name;
    }
    EXPECT_TRUE(Find<QAction>(general, "tbtnChrgNet")->isVisible());
    EXPECT_EQ(Find<QToolButton>(general, "tbtnDcacBox")->toolTip(), "ТЛ-7150");
    EXPECT_FALSE(Find<QWidget>(general, "pnlStatusPort")->isVisible());
    EXPECT_TRUE(Find<QWidget>(general, "pnlVoid")->isVisible());

    auto* ports = Find<QComboBox>(general, "cbNamePort");
    EXPECT_EQ(ports->itemText(0), "Выберете порт");
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(general, "cbBaudratePort")->count(), 11);
    EXPECT_EQ(Colour(general, "shpPortEvRxchar"), 0xC0C0C0u);

    auto* charger = Find<QGroupBox>(general, "gbChrgNet");
    auto* inverter = Find<QGroupBox>(general, "gbDcacBox");
    EXPECT_EQ(charger->title(), "Тарволен");
    EXPECT_EQ(inverter->title(), "ТЛ-7150");
    EXPECT_TRUE(charger->isVisible());
    EXPECT_EQ(charger->y(), 8);
    EXPECT_TRUE(inverter->isVisible());
    EXPECT_EQ(inverter->y(), charger->height() + 12);
    EXPECT_TRUE(Find<QLineEdit>(general, "eDcacBoxOperatingState")->isReadOnly());

    Find<QAction>(general, "tbtnStatusPort")->trigger();
    EXPECT_TRUE(Find<QWidget>(general, "pnlStatusPort")->isVisible());
    EXPECT_FALSE(Find<QWidget>(general, "pnlVoid")->isVisible());
}

TEST_F(FormGeneralTest, DisabledChargerLeavesTheInverterSummaryAtTheTop) {
    WriteSettingsWithoutCharger(folder_);
    TFormGeneral& general = Start();
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_FALSE(Find<QGroupBox>(general, "gbChrgNet")->isVisible());
    EXPECT_TRUE(Find<QGroupBox>(general, "gbDcacBox")->isVisible());
    EXPECT_EQ(Find<QGroupBox>(general, "gbDcacBox")->y(), 8);
    EXPECT_FALSE(IsEnabled(*general.devices().At(0)));
    EXPECT_TRUE(IsEnabled(*general.devices().At(1)));
}

TEST_F(FormGeneralTest, OpeningWithoutPortOrSpeedOnlyWarns) {
    StartStandIns();
    TFormGeneral& general = Start();
    auto* button = Find<QPushButton>(general, "btnActionPort");
    auto* ports = Find<QComboBox>(general, "cbNamePort");
    auto* speeds = Find<QComboBox>(general, "cbBaudratePort");
    recorder_.messages.clear();

    button->click();
    ChooseStandInPort(general);
    speeds->setCurrentIndex(0);
    button->click();
    // A name that names no COM port counts as no port.
    ports->addItem(QStringLiteral("ttyUSB0"));
    ports->setCurrentIndex(ports->count() - 1);
    speeds->setCurrentIndex(6);
    button->click();

    EXPECT_EQ(recorder_.Count(kNoPortWarning), 3);
    for (const Message& m : recorder_.messages)
        EXPECT_EQ(m.caption, "Предупреждение");
    EXPECT_EQ(general.portState(), 0);
    EXPECT_EQ(button->text(), "Открыть порт");
    EXPECT_TRUE(Log(general).isEmpty());
}

TEST_F(FormGeneralTest, PortListPicksUpAPortPluggedInWhileRunning) {
    TFormGeneral& general = Start();
    auto* ports = Find<QComboBox>(general, "cbNamePort");
    const QString entry = QStringLiteral("COM%1 ").arg(kStandInCom);
    EXPECT_EQ(ports->findText(entry, Qt::MatchStartsWith), -1);
    StartStandIns();
    QFocusEvent enter(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(ports, &enter);
    ChooseStandInPort(general);
    const QString chosen = ports->currentText();
    QApplication::sendEvent(ports, &enter);
    EXPECT_EQ(ports->currentText(), chosen);
}

TEST_F(FormGeneralTest, OpensAndClosesTheStandInsPortWithStatusLinesAndIndicators) {
    StartStandIns();
    TFormGeneral& general = Start();
    recorder_.messages.clear();
    OpenPortAndCheck(general);
    EXPECT_EQ(general.portSettings().Port, kStandInCom);
    EXPECT_EQ(general.portSettings().Baudrate, 115200);

    // Polling lights the receive indicator; it fades back to pale green on its own.
    ASSERT_TRUE(WaitFor([&] { return Colour(general, "shpPortEvRxchar") == 0x00FF00u; }));
    EXPECT_EQ(Colour(general, "shpPortEvRing"), 0xC0DCC0u);
    bus_->Command("mute charger");
    bus_->Command("mute inverter");
    bus_->Command("mute bms");
    EXPECT_TRUE(WaitFor([&] { return Colour(general, "shpPortEvRxchar") == 0xC0DCC0u; }));

    Find<QPushButton>(general, "btnActionPort")->click();
    ASSERT_TRUE(WaitFor([&] { return general.portState() == 0; }));
    EXPECT_TRUE(Logged(general, QStringLiteral("Порт закрыт"))) << Log(general).toStdString();
    EXPECT_EQ(Find<QPushButton>(general, "btnActionPort")->text(), "Открыть порт");
    EXPECT_EQ(Colour(general, "shpPortEvRxchar"), 0xC0C0C0u);
    EXPECT_TRUE(recorder_.messages.empty());

    // The port opens again after a close, and polling resumes.
    const std::size_t closedAt = bus_->RequestCount();
    bus_->Command("unmute charger");
    OpenPortAndCheck(general);
    EXPECT_TRUE(WaitFor([&] { return bus_->RequestCount() > closedAt + 3; }));
}

TEST_F(FormGeneralTest, AccessCodeSwitchesOnTheExtendedModeAndTheTrafficMonitor) {
    WriteSettingsWithoutCharger(folder_);
    StartStandIns();
    TFormGeneral& general = Start();

    EnterCode(general, QStringLiteral("12345"));
    EXPECT_FALSE(general.extendedMode());
    EXPECT_FALSE(Find<QAction>(general, "tbtnMonitor")->isVisible());
    EXPECT_FALSE(Find<QGroupBox>(general, "gbChrgNet")->isVisible());
    EXPECT_TRUE(recorder_.messages.empty());

    EnterCode(general, QStringLiteral("4071926385062719438"));
    ASSERT_TRUE(general.extendedMode());
    EXPECT_TRUE(Find<QMenu>(general, "menuEdit")->menuAction()->isVisible());
    EXPECT_TRUE(Find<QMenu>(general, "menuMode")->menuAction()->isVisible());
    for (const char* name :
         {"tbtnMonitor", "tbtnChrgSun", "tbtnDcacBox", "tbtnSku", "tbtnStat", "tbtnBootLoader"}) {
        EXPECT_TRUE(Find<QAction>(general, name)->isVisible()) << name;
    }
    // Both summaries whatever the enabled flags.
    EXPECT_TRUE(Find<QGroupBox>(general, "gbChrgNet")->isVisible());
    EXPECT_EQ(Find<QGroupBox>(general, "gbDcacBox")->y(),
              Find<QGroupBox>(general, "gbChrgNet")->height() + 12);
    EXPECT_TRUE(windows_->chrgNet->extendedMode());
    EXPECT_TRUE(windows_->dcacBox->extendedMode());
    EXPECT_TRUE(windows_->bootLoader->extendedMode());

    Find<QAction>(general, "tbtnMonitor")->trigger();
    EXPECT_TRUE(windows_->monitor->isVisible());
    Find<QPushButton>(*windows_->monitor, "btnEnableReceiverPort")->click();
    ASSERT_TRUE(windows_->monitor->showsSent());
    OpenPortAndCheck(general);
    auto* traffic = Find<QPlainTextEdit>(*windows_->monitor, "reMonitorPort");
    EXPECT_TRUE(WaitFor([&] {
        const QString text = traffic->toPlainText();
        return text.contains(QStringLiteral("tx")) && text.contains(QStringLiteral("rx"));
    })) << traffic->toPlainText().toStdString();
}

TEST_F(FormGeneralTest, MonitorStatusBarShowsEachDevicesTraffic) {
    StartStandIns();
    TFormGeneral& general = Start();
    windows_->monitor->show();
    OpenPortAndCheck(general);
    auto* charger = Find<QLabel>(*windows_->monitor, "labTraffic0");
    static const QRegularExpression figures(
        QStringLiteral("^Тарволен (\\d+)/\\d+ t\\d+ c\\d+ e\\d+$"));
    EXPECT_TRUE(WaitFor([&] {
        const QRegularExpressionMatch match = figures.match(charger->text());
        return match.hasMatch() && match.captured(1).toInt() > 0;
    })) << charger->text().toStdString();
    EXPECT_TRUE(Find<QLabel>(*windows_->monitor, "labTraffic1")->text().startsWith("ТЛ-7150 "));
}

TEST_F(FormGeneralTest, ClosingWithThePortOpenAsksAndClosesThePortFirst) {
    StartStandIns();
    TFormGeneral& general = Start();
    QSignalSpy ended(&general, &TFormGeneral::ended);
    OpenPortAndCheck(general);

    recorder_.answer = MessageAnswer::kNo;
    EXPECT_FALSE(general.close());
    EXPECT_EQ(recorder_.Count(kCloseQuestion), 1);
    EXPECT_EQ(recorder_.messages.back().buttons, MessageButtons::kYesNo);
    EXPECT_TRUE(general.isVisible());
    EXPECT_NE(general.portState(), 0);

    // "Выход" asks the same question.
    recorder_.answer = MessageAnswer::kYes;
    Find<QAction>(general, "menuFileExit")->trigger();
    EXPECT_EQ(recorder_.Count(kCloseQuestion), 2);
    EXPECT_FALSE(general.isVisible());
    EXPECT_TRUE(Logged(general, QStringLiteral("Порт закрыт")));
    EXPECT_EQ(general.portState(), 0);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(general.devices().models.empty());
}

TEST_F(FormGeneralTest, ClosingWithThePortClosedAsksNothing) {
    TFormGeneral& general = Start();
    recorder_.messages.clear();
    EXPECT_TRUE(general.close());
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_TRUE(general.devices().models.empty());
}

TEST_F(FormGeneralTest, SettingsDialogResultTogglesDevicesMovesAddressesAndSaves) {
    WriteSettings(folder_, DefaultSettings());
    TFormGeneral& general = Start();

    // Apply: the charger's box clicked once, the inverter's twice, the charger's address up.
    WhenModal([](QWidget& dialog) {
        Find<QCheckBox>(dialog, "chbTarvolen")->click();
        Find<QCheckBox>(dialog, "chbDcacBox")->click();
        Find<QCheckBox>(dialog, "chbDcacBox")->click();
        Find<QToolButton>(*Find<QWidget>(dialog, "udTarvolenRs485Addr"), "up")->click();
        Find<QPushButton>(dialog, "btnApply")->click();
    });
    Find<QAction>(general, "menuSettings")->trigger();
    EXPECT_FALSE(IsEnabled(*general.devices().At(0)));
    EXPECT_EQ(general.devices().At(0)->address, 2);
    EXPECT_TRUE(IsEnabled(*general.devices().At(1)));
    EXPECT_FALSE(Find<QGroupBox>(general, "gbChrgNet")->isVisible());
    EXPECT_EQ(Find<QGroupBox>(general, "gbDcacBox")->y(), 8);
    EXPECT_EQ(DefaultSettings(), ReadFile(folder_.filePath("SettingsGeneral.ini").toStdString()))
        << "Apply must not write the file";

    // Cancel changes nothing.
    WhenModal([](QWidget& dialog) {
        Find<QCheckBox>(dialog, "chbTarvolen")->click();
        Find<QPushButton>(dialog, "btnCancel")->click();
    });
    Find<QAction>(general, "menuSettings")->trigger();
    EXPECT_FALSE(IsEnabled(*general.devices().At(0)));

    // Apply and save: the charger back on, and the file records it and the new address.
    WhenModal([](QWidget& dialog) {
        Find<QCheckBox>(dialog, "chbTarvolen")->click();
        Find<QPushButton>(dialog, "btnSave")->click();
    });
    Find<QAction>(general, "menuSettings")->trigger();
    EXPECT_TRUE(IsEnabled(*general.devices().At(0)));
    EXPECT_TRUE(Find<QGroupBox>(general, "gbChrgNet")->isVisible());
    EXPECT_TRUE(recorder_.messages.empty());

    // A restart reads back what was saved.
    windows_.reset();
    TFormGeneral& restarted = Start();
    EXPECT_TRUE(IsEnabled(*restarted.devices().At(0)));
    EXPECT_EQ(restarted.devices().At(0)->address, 2);
    EXPECT_EQ(restarted.devices().At(1)->address, 3);
    EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(FormGeneralTest, FrameEndByLengthIsKeptInItsOwnFileAndEndsRepliesWithoutSilence) {
    const std::string settings =
        Replace(DefaultSettings(), "TimeRest                                =20000",
                "TimeRest                                =10000");
    WriteSettings(folder_, settings);
    StartStandIns();
    TFormGeneral& general = Start();

    // By silence every request waits a frame gap after the last reply.
    OpenPortAndCheck(general);
    EXPECT_EQ(GapsUnderSilence(*bus_, 30), 0);
    Find<QPushButton>(general, "btnActionPort")->click();
    ASSERT_TRUE(WaitFor([&] { return general.portState() == 0; }));

    WhenModal([](QWidget& dialog) {
        Find<QCheckBox>(dialog, "chbFrameEndByLength")->click();
        Find<QPushButton>(dialog, "btnApply")->click();
    });
    Find<QAction>(general, "menuSettings")->trigger();
    const QSettings saved(folder_.filePath("veltrona.ini"), QSettings::IniFormat);
    EXPECT_TRUE(saved.value("Link/FrameEndByLength").toBool());
    EXPECT_EQ(ReadFile(folder_.filePath("SettingsGeneral.ini").toStdString()), settings);

    OpenPortAndCheck(general);
    EXPECT_GT(GapsUnderSilence(*bus_, 30), 15);

    // A restart shows the choice.
    windows_.reset();
    TFormGeneral& restarted = Start();
    WhenModal([](QWidget& dialog) { Find<QPushButton>(dialog, "btnCancel")->click(); });
    Find<QAction>(restarted, "menuSettings")->trigger();
    EXPECT_TRUE(Find<QCheckBox>(*windows_->settings, "chbFrameEndByLength")->isChecked());
}

}  // namespace
}  // namespace veltrona
