#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "devices/bus_devices.h"
#include "devices/inverter/inverter_general_widget.h"
#include "devices/inverter/inverter_map.h"
#include "devices/inverter/inverter_texts.h"
#include "devices/inverter/inverter_view.h"
#include "devices/inverter/inverter_window.h"
#include "link/block_helpers.h"
#include "shell/form_general.h"
#include "stats/device_chart.h"
#include "tests/gui/gui_test_support.h"
#include "ui/indicators.h"
#include "ui/register_table.h"

namespace veltrona {
namespace {

const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kSilver(0xC0, 0xC0, 0xC0);

// The window on its own, fed as the main window feeds it, with the view record driven
// directly so that every value is exact.
class InverterWindowTest : public ::testing::Test {
  protected:
    InverterWindowTest() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        devices_ = BuildBusDevices(BusDeviceSettings{});
        window_.Attach(InverterLink{&view_, &devices_, [this] { ++cycleStarts_; }});
        window_.show();
        window_.MarkPortOpened();
    }
    ~InverterWindowTest() override {
        QLocale::setDefault(QLocale::c());
        DestroyDeviceList(devices_);
    }

    DeviceModel& Model() { return *devices_.At(kInverterIndex); }
    void Set(std::uint16_t address, std::uint16_t value) {
        const std::optional<InverterRegisterRef> at = InverterLocate(address);
        ASSERT_TRUE(at.has_value());
        InverterReceivedSet(view_, at->block)[at->index] = value;
    }
    // An answered read of a block (or part of it), as the dispatcher hands it on.
    void Read(std::uint16_t block, std::uint16_t start = 0, std::uint16_t count = 0) {
        DeviceModel& model = Model();
        model.phase = kPhaseRead;
        model.current_block = block;
        model.transaction.start = start != 0 ? start : model.blocks[block].base;
        model.transaction.count = count != 0 ? count : model.blocks[block].count;
        TakeReceivedValues(model, view_);
        window_.RefreshAfterRead(block);
    }
    void SetUnreachable(bool unreachable) {
        auto& state = Model().transaction.state;
        state = static_cast<std::uint8_t>(unreachable ? state | kStateUnreachable
                                                      : state & ~kStateUnreachable);
        Model().failures = unreachable ? 5 : 0;
    }

    QString Text(const char* name) { return Find<QLineEdit>(window_, name)->text(); }
    QString Picture() {
        return Find<QLabel>(window_, "imgDevicePgModbus")->property("picture").toString();
    }
    QColor Lamp(const char* name) { return Find<TLampShape>(window_, name)->fill(); }
    RegisterTableModel& Table() { return window_.tablePage().model(); }
    QString Cell(int gridRow, int column) { return Table().Text(gridRow - 1, column); }
    bool CommandQueued(std::uint16_t code) {
        const RegisterBlock& block = Model().blocks[kInverterBlockIdent];
        return TestBit(block.write_request_map, 0x0A) && block.values_to_write[0x0A] == code;
    }

    InverterView view_;
    DeviceList devices_;
    TFormDcacBox window_;
    MessageRecorder recorder_{MessageAnswer::kYes};
    int cycleStarts_ = 0;
};

TEST_F(InverterWindowTest, StartsOnTheGeneralViewWithTheServiceItemsHidden) {
    EXPECT_EQ(window_.windowTitle(), "ТЛ-7150");
    EXPECT_EQ(window_.size(), QSize(670, 746));
    EXPECT_EQ(window_.minimumSize(), QSize(600, 500));
    EXPECT_TRUE(Find<QWidget>(window_, "pnlGeneral")->isVisible());
    const char* service[] = {"tbtnTable", "tbtnInner", "tbtnDeviceErrorList",
                             "tbtnDeviceErrorStatus"};
    for (const char* name : service)
        EXPECT_FALSE(Find<QAction>(window_, name)->isVisible()) << name;
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kSilver);
    EXPECT_EQ(Lamp("shDeviceWorkReleInput_1"), kSilver);
    EXPECT_EQ(Lamp("shDoutStatus_0"), kSilver);
    EXPECT_EQ(Find<QTabWidget>(window_, "pcInner")->tabText(1), "Ups_Info_Inner_1");

    window_.ShowServiceItems();
    for (const char* name : service)
        EXPECT_TRUE(Find<QAction>(window_, name)->isVisible()) << name;
    // Each page button shows its page alone; the alarm buttons have none and change nothing.
    const struct {
        const char* button;
        const char* page;
    } pages[] = {{"tbtnTable", "pnlTable"},
                 {"tbtnInner", "pnlInner"},
                 {"tbtnDeviceErrorList", "pnlInner"},
                 {"tbtnDeviceStat", "pnlStat"},
                 {"tbtnDeviceSettings", "pnlSettings"},
                 {"tbtnDeviceGeneral", "pnlGeneral"}};
    for (const auto& p : pages) {
        Find<QAction>(window_, p.button)->trigger();
        EXPECT_TRUE(Find<QWidget>(window_, p.page)->isVisible()) << p.button;
    }
}

TEST_F(InverterWindowTest, LiveReadShowsValuesStatesAlarmsRelaysAndAChartPoint) {
    Set(kInvInputVoltage, 23012);
    Set(0x070F, 0xFF38);
    Set(kInvOperatingState, 1);
    Set(kInvChargeState, 4);
    Set(kInvInverterState, 3);
    Set(kInvSafetyWord2, 0x0010);
    Set(kInvRelayState, kInvRelayTransfer | kInvRelayOutput1 | kInvRelayInput0);
    Read(kInverterBlockLive);
    EXPECT_EQ(Picture(), "24_24_MODBUS_GREEN");
    EXPECT_EQ(Text("eDeviceInputACVoltage"), "230,12 В");
    EXPECT_EQ(Text("eDeviceBatteryCurrent"), "-2,00 А");
    EXPECT_EQ(Text("eDeviceOperatingState"), "Трансляция сети");
    EXPECT_EQ(Text("eDeviceChargeState"), "Буфер");
    EXPECT_EQ(Text("eDeviceInverterState"), "Автономный инвертор");
    // Only "Спящий режим" (word 2 bit 4) is lit.
    const TFlagLamps& alarms = window_.generalPage().alarms();
    for (std::size_t i = 0; i < alarms.size(); ++i) {
        const bool standby = alarms.lamp(i).objectName() == "shDeviceSafetyStatus20";
        EXPECT_EQ(alarms.lamp(i).fill(), standby ? kRed : kLime) << i;
    }
    const struct {
        const char* name;
        int picture;
    } relays[] = {{"imgDeviceWorkReleTx", 3},        {"imgDeviceWorkReleN", 4},
                  {"imgDeviceWorkReleGnd", 0},       {"imgDeviceWorkReleInv", 6},
                  {"imgDeviceWorkReleOutput_0", 10}, {"imgDeviceWorkReleOutput_1", 13}};
    for (const auto& r : relays)
        EXPECT_EQ(Find<QLabel>(window_, r.name)->property("picture").toInt(), r.picture) << r.name;
    EXPECT_EQ(Lamp("shDeviceWorkReleInput_0"), kLime);
    EXPECT_EQ(Lamp("shDeviceWorkReleInput_1"), kSilver);

    DeviceChart& chart = window_.chart();
    ASSERT_EQ(chart.seriesCount(), 8);
    EXPECT_EQ(chart.seriesTitle(7), "Ток АБ");
    for (int series = 0; series < 8; ++series)
        EXPECT_EQ(chart.store(series).size(), 1u) << series;

    // A state beyond its texts: the text says so, the table keeps what the device sent.
    Set(kInvOperatingState, 7);
    Read(kInverterBlockLive);
    EXPECT_EQ(Text("eDeviceOperatingState"), "Не понял");
    EXPECT_EQ(Cell(15 + 0x12, 2), "7");
}

TEST_F(InverterWindowTest, TableRowsFollowTheirTransaction) {
    RegisterTableModel& table = Table();
    EXPECT_EQ(table.rowCount() + 1, 265);
    EXPECT_EQ(table.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Устройство");
    for (const int gap : {14, 41, 97, 153, 209, 213, 232})
        EXPECT_EQ(Cell(gap, 0), "") << gap;

    QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
    auto rowsOf = [&](int i) {
        return std::pair(changed[i][0].toModelIndex().row() + 1,
                         changed[i][1].toModelIndex().row() + 1);
    };
    Read(kInverterBlockSettings, 0x3600, 55);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(rowsOf(0), std::pair(42, 96));
    EXPECT_EQ(changed[0][0].toModelIndex().column(), 2);

    // A write reply of one settings register rewrites its master cell alone.
    view_.written.settings[0x1B] = 2750;
    Model().phase = kPhaseWrite;
    Model().transaction.start = 0x361B;
    Model().transaction.count = 1;
    changed.clear();
    window_.RefreshAfterWrite(kInverterBlockSettings);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(rowsOf(0), std::pair(69, 69));
    EXPECT_EQ(Cell(69, 1), "27,50");
    // Blocks without a written set change nothing.
    changed.clear();
    window_.RefreshAfterWrite(kInverterBlockLive);
    EXPECT_EQ(changed.count(), 0);

    // The on/off caption follows bit 3 of the status word.
    auto* onOff = Find<QPushButton>(window_, "btnDeviceOnOff");
    for (const auto& [status, caption] :
         {std::pair<std::uint16_t, const char*>{0x0008, "Выключить"}, {0x0000, "Включить"}}) {
        Set(kInvDeviceStatus, status);
        Read(kInverterBlockIdent);
        EXPECT_EQ(onOff->text(), QString::fromUtf8(caption));
    }
}

// A loader transaction leaves the current block at 15: only the link picture may change.
TEST_F(InverterWindowTest, LoaderTransactionTouchesNoBlock) {
    Set(kInvSafetyWord1, 0x0001);
    Read(kInverterBlockLive);
    QSignalSpy changed(&Table(), &QAbstractItemModel::dataChanged);
    const std::size_t points = window_.chart().store(0).size();
    SetUnreachable(true);
    Model().phase = kPhaseBoot;
    Model().current_block = 15;
    Model().transaction.start = 0x0700;
    Model().transaction.count = 26;
    TakeReceivedValues(Model(), view_);
    window_.RefreshAfterRead(15);
    EXPECT_EQ(Picture(), "24_24_MODBUS_RED");
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kRed);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(window_.chart().store(0).size(), points);
}

TEST_F(InverterWindowTest, UnreachableInverterShowsSilverAndRedAndAddsNoPoints) {
    Set(kInvSafetyWord1, 0x0001);
    Read(kInverterBlockLive);
    Read(kInverterBlockInner);
    ASSERT_EQ(Lamp("shDeviceSafetyStatus0"), kRed);
    ASSERT_EQ(Lamp("shDoutStatus_0"), kLime);

    SetUnreachable(true);
    Set(kInvSafetyWord1, 0x0000);
    Read(kInverterBlockLive);
    EXPECT_EQ(Picture(), "24_24_MODBUS_RED");
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kSilver);
    EXPECT_EQ(Lamp("shDoutStatus_0"), kSilver);
    EXPECT_EQ(Find<QLineEdit>(window_, "eDeviceInverterState")->palette().color(QPalette::Base),
              kRed);
    // Another miss: the stale words recolour nothing and the chart gets no point.
    Read(kInverterBlockLive);
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kSilver);
    EXPECT_EQ(window_.chart().store(0).size(), 1u);

    SetUnreachable(false);
    Read(kInverterBlockIdent);
    EXPECT_EQ(Picture(), "24_24_MODBUS_GREEN");
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kSilver);  // until the next live read
    Read(kInverterBlockLive);
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kLime);
    EXPECT_NE(Find<QLineEdit>(window_, "eDeviceInverterState")->palette().color(QPalette::Base),
              kRed);
}

TEST_F(InverterWindowTest, ButtonsAskAndQueueTheirCommands) {
    auto* onOff = Find<QPushButton>(window_, "btnDeviceOnOff");
    auto* newCycle = Find<QPushButton>(window_, "btnDeviceNewCycle");
    // Not available yet: the message, nothing queued.
    onOff->click();
    newCycle->click();
    EXPECT_EQ(recorder_.Count("Устройство не доступно"), 2);
    EXPECT_FALSE(recorder_.Asked());

    Set(kInvDeviceStatus, kInvStatusRunning);
    Read(kInverterBlockIdent);
    for (const MessageAnswer answer : {MessageAnswer::kNo, MessageAnswer::kOk}) {
        recorder_.answer = answer;
        onOff->click();
        EXPECT_FALSE(CommandQueued(kInvCmdOff));
    }
    recorder_.answer = MessageAnswer::kYes;
    onOff->click();
    EXPECT_EQ(recorder_.Count("Вы уверены, что хотите выполнить\r\nвыключение устройства"), 3);
    EXPECT_TRUE(CommandQueued(kInvCmdOff));
    newCycle->click();
    EXPECT_TRUE(CommandQueued(kInvCmdNewCycle));
    EXPECT_EQ(cycleStarts_, 2);
}

TEST_F(InverterWindowTest, TableColumnsShareThePageWidth) {
    window_.ShowServiceItems();
    Find<QAction>(window_, "tbtnTable")->trigger();
    RegisterTablePage& page = window_.tablePage();
    RegisterTableView& grid = page.grid();
    for (const auto& [width, value, name] :
         {std::tuple{600, 80, 400}, {1200, 200, 760}, {400, 0, 360}}) {
        page.resize(width, 400);
        EXPECT_EQ(grid.columnWidth(1), value) << width;
        EXPECT_EQ(grid.columnWidth(2), value) << width;
        EXPECT_EQ(grid.columnWidth(0), name) << width;
    }
    EXPECT_EQ(grid.width(), 400 - 16);

    // Below the last row there is no row to mark or highlight: a grid taller than its rows.
    page.resize(700, 16 * 266 + 64);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    const QPoint below(grid.viewport()->width() / 2, grid.viewport()->height() - 2);
    ASSERT_LT(grid.indexAt(below).row(), 0);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, below);
    QMouseEvent move(QEvent::MouseMove, below, grid.viewport()->mapToGlobal(below), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
    EXPECT_EQ(Table().hoveredRow(), -1);
    for (int row = 0; row < Table().rowCount(); ++row)
        ASSERT_EQ(Table().marks(row), 0) << row;
}

// The window fed by the main window from the stand-in inverter over a pseudo-terminal.
class InverterWindowLiveTest : public StandInTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartProgram(InverterAloneSettings()));
        Window().show();
    }

    TFormDcacBox& Window() { return *windows_->dcacBox; }
    QString Picture() {
        return Find<QLabel>(Window(), "imgDevicePgModbus")->property("picture").toString();
    }
    QColor Lamp(const char* name) { return Find<TLampShape>(Window(), name)->fill(); }
    std::size_t Points() { return Window().chart().store(0).size(); }

    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(InverterWindowLiveTest, TurnsFillTheWindowAndAMissingInverterShowsAsSuch) {
    // The first grid row each read rewrites tells its block.
    std::vector<int> firstRows;
    QObject::connect(&Window().tablePage().model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from) {
                         if (from.column() == 2) firstRows.push_back(from.row() + 1);
                     });
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(*windows_->general));
    ASSERT_TRUE(WaitFor([&] { return firstRows.size() >= 16; }));
    const std::vector<int> turn = {1, 15, 42, 98, 154, 210, 214, 233};
    const auto start = std::find(firstRows.begin(), firstRows.end(), 1);
    ASSERT_LE(start + 8, firstRows.end());
    EXPECT_EQ(std::vector<int>(start, start + 8), turn);
    EXPECT_EQ(Picture(), "24_24_MODBUS_GREEN");
    EXPECT_EQ(Find<QLineEdit>(Window(), "eDeviceOperatingState")->text(), "Трансляция сети");
    ASSERT_TRUE(WaitFor([&] { return Points() >= 2; }));

    ASSERT_EQ(bus_->Command("set inverter 0x0713 0x0002"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Lamp("shDeviceSafetyStatus1") == kRed; }));
    EXPECT_EQ(Lamp("shDeviceSafetyStatus0"), kLime);

    ASSERT_EQ(bus_->Command("mute inverter"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Picture() == "24_24_MODBUS_RED"; }));
    EXPECT_EQ(Lamp("shDeviceSafetyStatus1"), kSilver);
    EXPECT_EQ(Find<QLineEdit>(Window(), "eDeviceBatteryVoltage")->palette().color(QPalette::Base),
              kRed);
    const std::size_t points = Points();
    const std::size_t requests = bus_->RequestCount();
    ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() >= requests + 8; }));
    EXPECT_EQ(Points(), points);
    EXPECT_EQ(Lamp("shDeviceSafetyStatus1"), kSilver);

    ASSERT_EQ(bus_->Command("unmute inverter"), "ok");
    ASSERT_TRUE(WaitFor([&] { return Lamp("shDeviceSafetyStatus1") == kRed; }));
    EXPECT_EQ(Picture(), "24_24_MODBUS_GREEN");
    EXPECT_GT(Points(), points);
}

}  // namespace
}  // namespace veltrona
