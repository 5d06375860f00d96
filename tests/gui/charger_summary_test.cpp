#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>

#include "devices/charger/charger_map.h"
#include "devices/charger/charger_table_widget.h"
#include "devices/charger/charger_window.h"
#include "shell/form_general.h"
#include "stats/device_chart.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

const QColor kRed(255, 0, 0);

// The main window and the charger window against the stand-in charger over a
// pseudo-terminal.
class ChargerSummaryTest : public StandInTest {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ASSERT_NO_FATAL_FAILURE(StartProgram(ChargerAloneSettings()));
    }

    TFormChrgNet& Window() { return *windows_->chrgNet; }

    QString Picture(QWidget& root, const char* name) {
        return Find<QLabel>(root, name)->property("picture").toString();
    }
    QColor Background(QWidget& root, const char* name) {
        return Find<QLineEdit>(root, name)->palette().color(QPalette::Base);
    }
    QString Cell(std::uint16_t address, int column) {
        const std::optional<ChargerRegisterRef> at = ChargerLocate(address);
        ChargerTableModel& model = Window().tablePage().model();
        return model.index(model.RowOf(at->block, at->index), column).data().toString();
    }
    QString StatusText() { return Find<QLabel>(Window(), "sbChrgNetPanel4")->text(); }
    bool SummaryRed() {
        return Background(General(), "eChrgNetValueVoltageBatt") == kRed &&
               Background(General(), "eChrgNetValueCurrentBatt") == kRed;
    }
    // Lines of the main window's status log that say `text` after their time stamp.
    long StatusLines(const QString& text) {
        const QStringList lines =
            Find<QPlainTextEdit>(General(), "reStatusPort")->toPlainText().split(QLatin1Char('\n'));
        return std::count_if(lines.begin(), lines.end(),
                             [&](const QString& line) { return line.mid(14) == text; });
    }

    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(ChargerSummaryTest, SummaryShowsTheValuesAndTurnsRedWhileTheChargerIsSilent) {
    TFormGeneral& general = General();
    EXPECT_EQ(Picture(general, "imgChrgNetPgModbus"), "24_24_MODBUS_GREY");
    auto* voltage = Find<QLineEdit>(general, "eChrgNetValueVoltageBatt");
    auto* current = Find<QLineEdit>(general, "eChrgNetValueCurrentBatt");
    EXPECT_TRUE(voltage->text().isEmpty());
    const QColor normal = Background(general, "eChrgNetValueVoltageBatt");
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));

    ASSERT_TRUE(
        WaitFor([&] { return Picture(general, "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));
    ASSERT_TRUE(WaitFor([&] { return !voltage->text().isEmpty(); }));
    // The user's separator and the decimals of the registers.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+,\\d{3}$")).match(voltage->text()).hasMatch())
        << voltage->text().toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^-?\\d+,\\d{2}$")).match(current->text()).hasMatch())
        << current->text().toStdString();
    EXPECT_EQ(Picture(Window(), "imgDevicePgModbus"), "24_24_MODBUS_GREEN");
    EXPECT_EQ(Background(general, "eChrgNetValueVoltageBatt"), normal);

    bus_->Command("mute charger");
    ASSERT_TRUE(
        WaitFor([&] { return Picture(general, "imgChrgNetPgModbus") == "24_24_MODBUS_RED"; }));
    EXPECT_EQ(Background(general, "eChrgNetValueVoltageBatt"), kRed);
    EXPECT_EQ(Background(general, "eChrgNetValueCurrentBatt"), kRed);
    EXPECT_EQ(Picture(Window(), "imgDevicePgModbus"), "24_24_MODBUS_RED");
    EXPECT_EQ(Background(Window(), "eValueVoltageBatt"), kRed);
    EXPECT_TRUE(IsUnreachable(*general.devices().At(0)));

    // Every command to it is refused with a message and no question.
    recorder_.messages.clear();
    Find<QPushButton>(general, "btnChrgNetOn")->click();
    Find<QPushButton>(general, "btnChrgNetOff")->click();
    ASSERT_EQ(recorder_.messages.size(), 2u);
    for (const Message& m : recorder_.messages) {
        EXPECT_EQ(m.text, "Устройство не доступно");
        EXPECT_EQ(m.caption, "Сообщение");
        EXPECT_EQ(m.buttons, MessageButtons::kOk);
    }

    // One answer is enough to bring it back.
    bus_->Command("unmute charger");
    ASSERT_TRUE(
        WaitFor([&] { return Picture(general, "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));
    EXPECT_EQ(Background(general, "eChrgNetValueVoltageBatt"), normal);
    EXPECT_EQ(Background(Window(), "eValueVoltageBatt"), normal);
    EXPECT_EQ(Picture(Window(), "imgDevicePgModbus"), "24_24_MODBUS_GREEN");
}

// The adapter pulled for three seconds and plugged back: polling resumes without a click.
TEST_F(ChargerSummaryTest, PulledAdapterTurnsTheSummaryRedAndPollingResumesWhenPluggedBack) {
    TFormGeneral& general = General();
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(general));
    ASSERT_TRUE(
        WaitFor([&] { return Picture(general, "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));
    const QColor normal = Background(general, "eChrgNetValueVoltageBatt");

    ASSERT_EQ(bus_->Command("unplug"), "ok");
    ASSERT_TRUE(WaitFor([&] { return SummaryRed(); }));
    EXPECT_TRUE(IsUnreachable(*general.devices().At(0)));
    WaitFor([] { return false; }, 3000);  // unplugged for three seconds
    EXPECT_TRUE(SummaryRed());
    EXPECT_EQ(StatusLines(QStringLiteral("Связь с портом потеряна")), 1);

    const std::size_t before = bus_->RequestCount();
    ASSERT_EQ(bus_->Command("plug"), "ok");
    EXPECT_TRUE(WaitFor([&] {
        return bus_->RequestCount() > before &&
               Background(general, "eChrgNetValueVoltageBatt") == normal &&
               Background(general, "eChrgNetValueCurrentBatt") == normal;
    }));
    EXPECT_EQ(Picture(general, "imgChrgNetPgModbus"), "24_24_MODBUS_GREEN");
    EXPECT_EQ(StatusLines(QStringLiteral("Порт открыт")), 2);
    EXPECT_EQ(StatusLines(QStringLiteral("Связь с портом потеряна")), 1);
}

TEST_F(ChargerSummaryTest, ChargeOnIsAskedSentAnsweredAndCleared) {
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
    ASSERT_TRUE(
        WaitFor([&] { return Picture(General(), "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));

    recorder_.answer = MessageAnswer::kNo;
    Find<QPushButton>(General(), "btnChrgNetOn")->click();
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].text, "Вы уверены, что хотите выполнить\r\nвключение заряда");
    EXPECT_EQ(recorder_.messages[0].caption, "Сообщение");
    EXPECT_EQ(recorder_.messages[0].buttons, MessageButtons::kYesNo);

    recorder_.answer = MessageAnswer::kYes;
    Find<QPushButton>(General(), "btnChrgNetOn")->click();
    // The stand-in answers command 1; the answer shows once and the register is cleared.
    ASSERT_TRUE(WaitFor([&] { return StatusText() == "Команда Включение заряда Выполнена"; }))
        << StatusText().toStdString();
    EXPECT_TRUE(WaitFor([&] { return Cell(0x000A, 1) == "0" && Cell(0x060E, 2) == "0"; }))
        << Cell(0x000A, 1).toStdString() << " " << Cell(0x060E, 2).toStdString();
    EXPECT_EQ(Find<QLineEdit>(Window(), "eValueCharge")->text().isEmpty(), false);
}

TEST_F(ChargerSummaryTest, ChargeOffGoesOutWithoutAQuestion) {
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
    ASSERT_TRUE(
        WaitFor([&] { return Picture(General(), "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));
    Find<QPushButton>(General(), "btnChrgNetOff")->click();
    EXPECT_FALSE(recorder_.Asked());
    ASSERT_TRUE(WaitFor([&] { return StatusText() == "Команда Выключение заряда Выполнена"; }))
        << StatusText().toStdString();
    // The charge state reaches the table, the command the window's own button gave as well.
    EXPECT_TRUE(WaitFor([&] { return Cell(kChrgChargeState, 2) == "0"; }));
    Find<QPushButton>(Window(), "btnDeviceOn")->click();
    EXPECT_TRUE(recorder_.Asked());
    EXPECT_TRUE(WaitFor([&] { return Cell(kChrgChargeState, 2) == "1"; }));
}

TEST_F(ChargerSummaryTest, InjectedErrorReachesTheLogAndLiveReadsFeedTheChart) {
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
    ASSERT_TRUE(
        WaitFor([&] { return Picture(General(), "imgChrgNetPgModbus") == "24_24_MODBUS_GREEN"; }));
    DeviceChart& chart = Window().chart();
    ASSERT_TRUE(WaitFor([&] { return chart.store(0).size() >= 2; }));
    for (int series = 1; series < chart.seriesCount(); ++series)
        EXPECT_GE(chart.store(series).size(), 1u) << series;

    ASSERT_EQ(bus_->Command("charger-error big 9"), "ok");
    auto* log = Find<QPlainTextEdit>(Window(), "reDeviceErrorStatus");
    ASSERT_TRUE(WaitFor([&] {
        return log->toPlainText().contains(QStringLiteral("Обратное включение АБ (переполюсовка)"));
    })) << log->toPlainText().toStdString();
    EXPECT_TRUE(log->toPlainText().contains(QStringLiteral("ErrorBig")));
    EXPECT_TRUE(WaitFor([&] {
        return Find<QLabel>(Window(), "imgDeviceError")
            ->toolTip()
            .startsWith(QStringLiteral("ErrorBig"));
    }));
}

}  // namespace
}  // namespace veltrona
