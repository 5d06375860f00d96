#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "devices/bus_devices.h"
#include "devices/charger/charger_general_widget.h"
#include "devices/charger/charger_map.h"
#include "devices/charger/charger_table_widget.h"
#include "devices/charger/charger_view.h"
#include "devices/charger/charger_window.h"
#include "link/block_helpers.h"
#include "stats/device_chart.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

const QString kUnavailable = QStringLiteral("Устройство не доступно");

// The window on its own, fed as the main window feeds it, with the view record driven
// directly so that every value is exact.
class ChargerWindowTest : public ::testing::Test {
  protected:
    ChargerWindowTest() {
        // A separator other than the '.' of the formatting core.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        devices_ = BuildBusDevices(BusDeviceSettings{});
        window_.Attach(ChargerLink{&view_, &devices_, [this] { ++cycleStarts_; }, {}});
        window_.show();
    }
    ~ChargerWindowTest() override {
        QLocale::setDefault(QLocale::c());
        DestroyDeviceList(devices_);
    }

    DeviceModel& Model() { return *devices_.At(kChargerIndex); }

    void Set(std::uint16_t address, std::uint16_t value) {
        const std::optional<ChargerRegisterRef> at = ChargerLocate(address);
        ASSERT_TRUE(at.has_value());
        ChargerReceivedSet(view_, at->block)[at->index] = value;
    }
    void SetPair(std::uint16_t upper, std::uint32_t value) {
        Set(upper - 1, static_cast<std::uint16_t>(value & 0xFFFF));
        Set(upper, static_cast<std::uint16_t>(value >> 16));
    }

    // A read reply of one chunk, as the dispatcher hands it on.
    void Read(std::uint16_t block, std::uint16_t start, std::uint16_t count = 8) {
        DeviceModel& model = Model();
        model.phase = kPhaseRead;
        model.current_block = block;
        model.transaction.start = start;
        model.transaction.count = count;
        TakeReceivedValues(model, view_);
        window_.RefreshAfterRead(block);
    }
    void ReadLive() { Read(kChargerBlockLive, 0x0600); }

    QString Text(const char* name) { return Find<QLineEdit>(window_, name)->text(); }
    QString Picture(const char* name) {
        return Find<QLabel>(window_, name)->property("picture").toString();
    }
    QString StatusText() { return Find<QLabel>(window_, "sbChrgNetPanel4")->text(); }

    bool CommandQueued(std::uint16_t code, std::uint16_t parameter = 0) {
        const RegisterBlock& block = Model().blocks[kChargerBlockIdent];
        return TestBit(block.write_request_map, 0x0A) && TestBit(block.write_request_map, 0x0B) &&
               block.values_to_write[0x0A] == code && block.values_to_write[0x0B] == parameter &&
               block.write_requests > 0;
    }
    bool NothingQueued() {
        const RegisterBlock& block = Model().blocks[kChargerBlockIdent];
        return std::all_of(block.write_request_map.begin(), block.write_request_map.end(),
                           [](std::uint8_t b) { return b == 0; });
    }

    ChargerView view_;
    DeviceList devices_;
    TFormChrgNet window_;
    MessageRecorder recorder_{MessageAnswer::kYes};
    int cycleStarts_ = 0;
};

TEST_F(ChargerWindowTest, StartsOnTheGeneralViewWithTheServiceItemsHidden) {
    EXPECT_EQ(window_.windowTitle(), "Тарволен");
    EXPECT_EQ(window_.size(), QSize(700, 746));
    EXPECT_TRUE(Find<QWidget>(window_, "pnlGeneral")->isVisible());
    EXPECT_FALSE(Find<QWidget>(window_, "pnlTable")->isVisible());
    EXPECT_TRUE(Find<QWidget>(window_, "pnlControlDevice")->isVisible());
    EXPECT_FALSE(Find<QAction>(window_, "tbtnTable")->isVisible());
    EXPECT_FALSE(Find<QAction>(window_, "tbtnDeviceErrorList")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(window_, "btnDeviceClearError")->isVisible());
    EXPECT_EQ(Picture("imgDevicePgModbus"), "24_24_MODBUS_GREY");
    EXPECT_EQ(Find<QLabel>(window_, "imgDeviceError")->toolTip(), "Не известно");
    EXPECT_EQ(Text("eFileSettingsName"), "Настройки из устройства");
    auto* tabs = Find<QTabWidget>(window_, "pcDeviceSettings");
    EXPECT_EQ(tabs->tabText(2), "Скрытые настройки");
    EXPECT_FALSE(tabs->isTabVisible(2));

    // Every page button shows its page alone.
    Find<QAction>(window_, "tbtnDeviceErrorStatus")->trigger();
    EXPECT_TRUE(Find<QWidget>(window_, "pnlErrorStatus")->isVisible());
    EXPECT_FALSE(Find<QWidget>(window_, "pnlGeneral")->isVisible());
    Find<QAction>(window_, "tbtnDeviceStat")->trigger();
    EXPECT_TRUE(Find<QWidget>(window_, "chartChrgNet")->isVisible());
    EXPECT_FALSE(Find<QWidget>(window_, "pnlErrorStatus")->isVisible());

    window_.ShowServiceItems();
    EXPECT_TRUE(window_.extendedMode());
    EXPECT_TRUE(Find<QAction>(window_, "tbtnTable")->isVisible());
    EXPECT_TRUE(Find<QAction>(window_, "tbtnDeviceErrorList")->isVisible());
    EXPECT_TRUE(tabs->isTabVisible(2));
    Find<QAction>(window_, "tbtnDeviceGeneral")->trigger();
    EXPECT_TRUE(Find<QLineEdit>(window_, "Edit10")->isVisible());
    EXPECT_TRUE(Find<QWidget>(window_, "Panel1")->isVisible());
}

TEST_F(ChargerWindowTest, GeneralViewShowsTheLiveValuesInTheirFormats) {
    SetPair(kChrgChargeCurrent, 0xFFFFFF9C);  // -1.00 A
    SetPair(kChrgBatteryVoltage, 27612);
    Set(kChrgBatteryTemp, static_cast<std::uint16_t>(-35));
    Set(kChrgDeviceTemp1, static_cast<std::uint16_t>(-50));
    Set(kChrgDeviceTemp2, 20);
    Set(kChrgStageMinutes, 1500);
    Set(kChrgChargeMinutes, 35);
    Set(kChrgBatteryTypeFound, 36);
    Set(kChrgStage, 6);
    SetPair(kChrgCapacitySession, 1234);
    SetPair(kChrgCapacityTotal, 1234567);
    SetPair(kChrgCapacityUser, 5);
    Set(kChrgState, 0xE0);
    Set(kChrgVersion0, 1);
    Set(kChrgVersion1, 2);
    Set(kChrgVersion3, 7);
    Set(kChrgRunningVoltage, 2880);
    Set(kChrgRunningCurrent, 2500);
    Set(kChrgTempMin, static_cast<std::uint16_t>(-200));
    Set(kChrgTempMax, 450);
    Set(kChrgChargeTimeMax, 1500);
    ReadLive();

    EXPECT_EQ(Text("eValueCurrentBatt"), "-1,00");
    EXPECT_EQ(Text("eValueVoltageBatt"), "27,612");
    EXPECT_EQ(Text("eValueTempBatt"), "-3,5");
    // The hotter of the two device sensors.
    EXPECT_EQ(Text("eValueTempDevice"), "2,0");
    EXPECT_EQ(Text("eValueTimeStage"), "01.01:00");
    EXPECT_EQ(Text("eValueTimeStageAll"), "00.00:35");
    EXPECT_EQ(Text("eValueCharge"), "Финал");
    EXPECT_EQ(Text("eChargeLevelSes"), "1,234");
    EXPECT_EQ(Text("eChargeLevelSum"), "1234,567");
    EXPECT_EQ(Text("eChargeLevelUsr"), "0,005");
    EXPECT_EQ(Text("eDeviceStatus"), "0xE0");
    EXPECT_EQ(Find<QLineEdit>(window_, "eDeviceStatus")->toolTip(),
              "Устройство подключено\n\rУстройство доступно\n\rУстройство активно\n\rНет ошибки");
    EXPECT_EQ(Text("eDeviceFrwVersion"), "1.2.0.7");
    EXPECT_EQ(Text("eStageTempBattMin"), "-20,0");
    EXPECT_EQ(Text("eStageTempBattMax"), "45,0");
    EXPECT_EQ(Text("eStageTimeStage"), "Не ограничено");
    EXPECT_EQ(Text("eStageTimeStageAll"), "01.01:00");
    EXPECT_EQ(Text("eStageVoltage"), "28,80");
    EXPECT_EQ(Text("eStageCurrent"), "25,00");
    EXPECT_TRUE(Text("eDeviceAddr").isEmpty());

    // Unknown battery type and a stage number past the table.
    Set(kChrgBatteryTypeFound, 99);
    ReadLive();
    EXPECT_EQ(Text("eValueCharge"), "Стадия 6");
    Set(kChrgStage, 20);
    ReadLive();
    EXPECT_EQ(Text("eValueCharge"), "Отключен");

    // An unlimited charge time, and 0xFFFF that leaves the field as it was.
    Set(kChrgChargeTimeMax, 0);
    Read(kChargerBlockSettings, 0x2808);
    EXPECT_EQ(Text("eStageTimeStageAll"), "Не ограничено");
    Set(kChrgChargeTimeMax, 0xFFFF);
    Read(kChargerBlockSettings, 0x2808);
    EXPECT_EQ(Text("eStageTimeStageAll"), "Не ограничено");

    // Battery values follow only live-block reads; the stage group follows every read.
    SetPair(kChrgBatteryVoltage, 1000);
    Set(kChrgTempMax, 400);
    Read(kChargerBlockControl, 0x2910);
    EXPECT_EQ(Text("eValueVoltageBatt"), "27,612");
    EXPECT_EQ(Text("eStageTempBattMax"), "40,0");
}

TEST_F(ChargerWindowTest, LampsAndErrorHintFollowTheDeviceState) {
    Set(kChrgState, 0x20);
    Set(kChrgStage, 4);
    ReadLive();
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampActivity), kLampSteady);
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampStage), kLampFastBlink);
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampError), kLampOff);
    auto* active = Find<TLampShape>(window_, "shDeviceActive");
    auto* stage = Find<TLampShape>(window_, "shDeviceSleep");
    EXPECT_TRUE(WaitFor([&] { return active->fill() == QColor(0, 255, 0); }));
    EXPECT_EQ(active->outline(), QColor(0, 128, 0));
    // The blinking lamp goes both ways on its own.
    EXPECT_TRUE(WaitFor([&] { return stage->fill() == QColor(255, 255, 0); }));
    EXPECT_EQ(stage->outline(), QColor(0, 0, 0));
    EXPECT_TRUE(WaitFor([&] { return stage->fill() == QColor(192, 192, 192); }));
    EXPECT_EQ(Find<QLabel>(window_, "imgDeviceError")->toolTip(), "Нет ошибок");

    Set(kChrgState, 0x10);
    ReadLive();
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampActivity), kLampSlowBlink);
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampStage), kLampOff);
    EXPECT_TRUE(WaitFor([&] { return active->fill() == QColor(192, 192, 192); }));
    EXPECT_TRUE(WaitFor([&] { return active->fill() == QColor(0, 255, 0); }));

    Set(kChrgState, 0x01);
    Set(kChrgErrBig, 7);
    Set(kChrgErrSmall, 16);
    ReadLive();
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampError), kLampSlowBlink);
    EXPECT_EQ(Find<QLabel>(window_, "imgDeviceError")->toolTip(),
              "ErrorBig    Код ошибки не известен\r\n"
              "ErrorSmall  АБ неисправна\r\n"
              "ErrorStart  Нет ошибки\r\n"
              "ErrorClose  Нет ошибки");
    auto* clear = Find<QPushButton>(window_, "btnDeviceClearError");
    EXPECT_FALSE(clear->isVisible());

    Set(kChrgState, 0x04);
    Set(kChrgChargeState, 1);
    ReadLive();
    EXPECT_EQ(window_.indicatorState(TFormChrgNet::kLampError), kLampSteady);
    EXPECT_TRUE(clear->isVisible());
    EXPECT_FALSE(clear->isEnabled());
    Set(kChrgChargeState, 0);
    ReadLive();
    EXPECT_TRUE(clear->isEnabled());

    // Input and output lamps by their bits.
    Set(kChrgInputs, 0x0241);
    Read(kChargerBlockIdent, 0x0000);
    EXPECT_EQ(Find<TLampShape>(window_, "shInputState1")->fill(), QColor(0, 255, 0));
    EXPECT_EQ(Find<TLampShape>(window_, "shInputState1")->outline(), QColor(0, 128, 0));
    EXPECT_EQ(Find<TLampShape>(window_, "shInputState2")->fill(), QColor(192, 192, 192));
    EXPECT_EQ(Find<TLampShape>(window_, "shInputStateSwitch")->fill(), QColor(0, 255, 0));
    EXPECT_EQ(Find<TLampShape>(window_, "shOutputState1")->fill(), QColor(192, 192, 192));
    EXPECT_EQ(Find<TLampShape>(window_, "shOutputState2")->fill(), QColor(0, 255, 0));
}

TEST_F(ChargerWindowTest, UnreachableChargerTurnsTheFieldsAndPictureRedAndKeepsItsValues) {
    window_.MarkPortOpened();
    EXPECT_TRUE(view_.not_available);
    EXPECT_EQ(Picture("imgDevicePgModbus"), "24_24_MODBUS_RED");
    SetPair(kChrgBatteryVoltage, 12000);
    ReadLive();
    EXPECT_EQ(Picture("imgDevicePgModbus"), "24_24_MODBUS_GREEN");
    auto* voltage = Find<QLineEdit>(window_, "eValueVoltageBatt");
    const QColor normal = voltage->palette().color(QPalette::Base);
    EXPECT_NE(normal, QColor(255, 0, 0));

    Model().transaction.state |= kStateUnreachable;
    SetPair(kChrgBatteryVoltage, 13000);
    ReadLive();
    EXPECT_EQ(Picture("imgDevicePgModbus"), "24_24_MODBUS_RED");
    for (const char* name : {"eValueVoltageBatt", "eChargeLevelUsr", "eStageTimeStage"}) {
        EXPECT_EQ(Find<QLineEdit>(window_, name)->palette().color(QPalette::Base),
                  QColor(255, 0, 0))
            << name;
    }
    EXPECT_EQ(Find<QLineEdit>(window_, "eDeviceStatus")->palette().color(QPalette::Base), normal);
    EXPECT_EQ(voltage->text(), "12,000");

    Model().transaction.state &= static_cast<std::uint8_t>(~kStateUnreachable);
    ReadLive();
    EXPECT_EQ(Picture("imgDevicePgModbus"), "24_24_MODBUS_GREEN");
    EXPECT_EQ(voltage->palette().color(QPalette::Base), normal);
    EXPECT_EQ(voltage->text(), "13,000");
}

TEST_F(ChargerWindowTest, CommandsAskWhereTheyMustAndQueueTheirCodes) {
    auto* on = Find<QPushButton>(window_, "btnDeviceOn");
    auto* off = Find<QPushButton>(window_, "btnDeviceOff");

    recorder_.answer = MessageAnswer::kNo;
    on->click();
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].text, "Вы уверены, что хотите выполнить\r\nвключение заряда");
    EXPECT_EQ(recorder_.messages[0].caption, "Сообщение");
    EXPECT_EQ(recorder_.messages[0].buttons, MessageButtons::kYesNo);
    EXPECT_TRUE(NothingQueued());
    EXPECT_EQ(cycleStarts_, 0);

    recorder_.answer = MessageAnswer::kYes;
    on->click();
    EXPECT_TRUE(CommandQueued(1));
    EXPECT_EQ(cycleStarts_, 1);

    recorder_.messages.clear();
    off->click();
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_TRUE(CommandQueued(2));

    Find<QPushButton>(window_, "btnChargeLevelUsrClear")->click();
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].text,
              "Вы уверены, что хотите выполнить\r\nсброс уровня заряда");
    EXPECT_TRUE(CommandQueued(4));

    // Clear errors only with the charge off, and with its parameter.
    Set(kChrgState, 0x04);
    Set(kChrgChargeState, 1);
    ReadLive();
    recorder_.messages.clear();
    auto* clear = Find<QPushButton>(window_, "btnDeviceClearError");
    clear->setEnabled(true);
    clear->click();
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].text, "Сброс ошибок возможен\r\nтолько при выключенном заряде");
    EXPECT_EQ(recorder_.messages[0].buttons, MessageButtons::kOk);
    EXPECT_TRUE(CommandQueued(4));
    Set(kChrgChargeState, 0);
    ReadLive();
    clear->click();
    ASSERT_EQ(recorder_.messages.size(), 2u);
    EXPECT_EQ(recorder_.messages[1].text, "Вы уверены, что хотите выполнить\r\nсброс ошибок");
    EXPECT_TRUE(CommandQueued(5, 0x2000));

    // An unreachable charger takes no command and says so, without a question.
    ClearMap(Model().blocks[kChargerBlockIdent].write_request_map);
    Model().transaction.state |= kStateUnreachable;
    ReadLive();
    recorder_.messages.clear();
    for (QPushButton* button :
         {on, off, clear, Find<QPushButton>(window_, "btnChargeLevelUsrClear")})
        button->click();
    ASSERT_EQ(recorder_.messages.size(), 4u);
    for (const Message& m : recorder_.messages) {
        EXPECT_EQ(m.text, kUnavailable);
        EXPECT_EQ(m.caption, "Сообщение");
        EXPECT_EQ(m.buttons, MessageButtons::kOk);
    }
    EXPECT_TRUE(NothingQueued());
}

TEST_F(ChargerWindowTest, CommandAnswerGoesToTheStatusBarOnce) {
    Set(kChrgAnswer, 1);
    Set(kChrgAnswerResult, 1);
    ReadLive();
    EXPECT_EQ(StatusText(), "Команда Включение заряда Выполнена");
    EXPECT_TRUE(CommandQueued(0));

    Find<QLabel>(window_, "sbChrgNetPanel4")->clear();
    ReadLive();
    EXPECT_TRUE(StatusText().isEmpty());
    Set(kChrgAnswer, 40);
    Set(kChrgAnswerResult, 9);
    ReadLive();
    EXPECT_EQ(StatusText(), "Команда Не определена Не определено");
}

TEST_F(ChargerWindowTest, RegisterTableRewritesOnlyTheRowsOfTheTransaction) {
    ChargerTableModel& model = window_.tablePage().model();
    EXPECT_EQ(model.rowCount() + 1, kChargerTableRows);
    EXPECT_EQ(model.columnCount(), 6);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Наименование");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Устройство 0 (0x40)");
    auto cell = [&](std::uint16_t address, int column) {
        const std::optional<ChargerRegisterRef> at = ChargerLocate(address);
        return model.index(model.RowOf(at->block, at->index), column).data().toString();
    };
    EXPECT_EQ(cell(0x0600, 0), "0x0600 Статус устройства (мой)");
    EXPECT_EQ(cell(0x0004, 0), "0x0004 Версия компиляции ПО");
    EXPECT_EQ(model.index(16, 0).data().toString(), "");  // the gap after block 0
    EXPECT_EQ(cell(0x3000, 0).left(7), "0x3000 ");
    EXPECT_EQ(model.RowOf(kChargerBlockCapability, 31), 407);

    Set(0x0600, 0x20);
    SetPair(kChrgChargeCurrent, 1234);
    Set(0x0630, 5);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Read(kChargerBlockLive, 0x0628);
    ASSERT_EQ(changed.count(), 1);
    const QModelIndex from = changed[0][0].toModelIndex();
    const QModelIndex to = changed[0][1].toModelIndex();
    EXPECT_EQ(from.row(), model.RowOf(kChargerBlockLive, 0x28));
    EXPECT_EQ(to.row(), model.RowOf(kChargerBlockLive, 0x2F));
    EXPECT_EQ(from.column(), 2);
    EXPECT_EQ(to.column(), 2);
    EXPECT_EQ(cell(0x0629, 2), "12,34");
    EXPECT_EQ(cell(0x0628, 2), "");  // a pair's lower half
    // Outside the transaction nothing moved, however the received set changed.
    EXPECT_EQ(cell(0x0600, 2), "");
    EXPECT_EQ(cell(0x0630, 2), "");
    Read(kChargerBlockLive, 0x0600);
    EXPECT_EQ(cell(0x0600, 2), "32");

    // Write replies rewrite the master column from the written set; block 1 has none.
    view_.written.ident[0x0A] = 1;
    Model().current_block = kChargerBlockIdent;
    Model().transaction.start = 0x0008;
    Model().transaction.count = 8;
    changed.clear();
    window_.RefreshAfterWrite(kChargerBlockIdent);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(cell(0x000A, 1), "1");
    EXPECT_EQ(cell(0x000A, 2), "");
    changed.clear();
    window_.RefreshAfterWrite(kChargerBlockLive);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(ChargerWindowTest, TableMarksFollowTheMouse) {
    window_.ShowServiceItems();
    Find<QAction>(window_, "tbtnTable")->trigger();
    auto* grid = Find<QTableView>(window_, "sgTable");
    ChargerTableModel& model = window_.tablePage().model();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    EXPECT_EQ(grid->rowHeight(3), 16);
    auto centre = [&](int row) { return grid->visualRect(model.index(row, 1)).center(); };
    auto background = [&](int row) { return model.index(row, 3).data(Qt::BackgroundRole); };

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(2));
    EXPECT_EQ(background(2).value<QColor>(), QColor(255, 255, 0));
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, centre(2));
    EXPECT_EQ(model.marks(2), kRowMarkYellow | kRowMarkGreen);
    EXPECT_EQ(background(2).value<QColor>(), QColor(0, 255, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(2));
    EXPECT_EQ(model.marks(2), kRowMarkGreen);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(5));
    EXPECT_EQ(model.marks(5), kRowMarkYellow);
    EXPECT_FALSE(background(4).isValid());

    QMouseEvent move(QEvent::MouseMove, centre(4), grid->viewport()->mapToGlobal(centre(4)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &move);
    EXPECT_EQ(model.hoveredRow(), 4);
    EXPECT_EQ(background(4).value<QColor>(), QApplication::palette().color(QPalette::Midlight));
    // A mark outranks the hover.
    QMouseEvent onMarked(QEvent::MouseMove, centre(5), grid->viewport()->mapToGlobal(centre(5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid->viewport(), &onMarked);
    EXPECT_EQ(background(5).value<QColor>(), QColor(255, 255, 0));
    EXPECT_FALSE(background(4).isValid());

    // The double click's own press toggles once more; the double click then clears all.
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre(7));
    for (int row : {2, 5, 7})
        EXPECT_EQ(model.marks(row), 0) << row;
}

TEST_F(ChargerWindowTest, ErrorChangesAreLoggedAndLiveReadsAddChartPoints) {
    auto* log = Find<QPlainTextEdit>(window_, "reDeviceErrorStatus");
    EXPECT_TRUE(log->isReadOnly());
    Set(kChrgErrBig, 9);
    Read(kChargerBlockIdent, 0x0000);
    const QStringList lines = log->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("ErrorBig")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("Обратное включение АБ (переполюсовка)")));
    Read(kChargerBlockIdent, 0x0000);
    EXPECT_EQ(log->toPlainText().split('\n').size(), 1);
    Set(kChrgErrBig, 0);
    Set(kChrgErr, 1);
    ReadLive();
    const QStringList more = log->toPlainText().split('\n');
    ASSERT_EQ(more.size(), 3);
    EXPECT_TRUE(more[1].contains(QStringLiteral("ErrorStart")));
    EXPECT_TRUE(more[2].endsWith(QStringLiteral("Нет ошибки")));

    DeviceChart& chart = window_.chart();
    ASSERT_EQ(chart.seriesCount(), 5);
    EXPECT_EQ(chart.seriesTitle(0), "Ток заряда");
    EXPECT_EQ(chart.seriesTitle(4), "Температура прибора 2");
    SetPair(kChrgChargeCurrent, 0xFFFFFF9C);
    SetPair(kChrgBatteryVoltage, 27500);
    Set(kChrgDeviceTemp2, static_cast<std::uint16_t>(-15));
    const std::size_t before = chart.store(0).size();
    ReadLive();
    ASSERT_EQ(chart.store(0).size(), before + 1);
    EXPECT_DOUBLE_EQ(chart.store(0).value(before), -1.0);
    EXPECT_DOUBLE_EQ(chart.store(1).value(before), 27.5);
    EXPECT_DOUBLE_EQ(chart.store(4).value(before), -1.5);
    Read(kChargerBlockSettings, 0x2800);
    EXPECT_EQ(chart.store(0).size(), before + 1);
}

}  // namespace
}  // namespace veltrona
