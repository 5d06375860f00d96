#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "devices/bms/bms_map.h"
#include "devices/bms/bms_view.h"
#include "devices/bms/bms_window.h"
#include "devices/bus_devices.h"
#include "shell/form_general.h"
#include "tests/gui/gui_test_support.h"
#include "ui/register_table.h"

namespace veltrona {
namespace {

// The window on its own, fed as the main window feeds it.
class BmsWindowTest : public ::testing::Test {
  protected:
    BmsWindowTest() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        devices_ = BuildBusDevices(BusDeviceSettings{});
        window_.Attach(BmsLink{&view_, &devices_});
        window_.show();
    }
    ~BmsWindowTest() override {
        QLocale::setDefault(QLocale::c());
        DestroyDeviceList(devices_);
    }

    DeviceModel& Model() { return *devices_.At(kBmsIndex); }
    // An answered read of `words` from `start`, as the block engine leaves it.
    void Read(std::uint16_t start, const std::vector<std::uint16_t>& words) {
        const std::optional<BmsRegisterRef> at = BmsLocate(start);
        ASSERT_TRUE(at.has_value());
        DeviceModel& model = Model();
        RegisterBlock& block = model.blocks[at->block];
        for (std::size_t k = 0; k < words.size(); ++k) {
            block.values_read[at->index + k] = words[k];
            SetBit(block.fresh_map, at->index + k);
        }
        model.phase = kPhaseRead;
        model.current_block = at->block;
        model.transaction.start = start;
        model.transaction.count = static_cast<std::uint16_t>(words.size());
        TakeReceivedValues(model, view_);
        window_.RefreshBlockRows(at->block);
    }
    RegisterTableModel& Table() { return window_.tablePage().model(); }
    QString Cell(int gridRow, int column) { return Table().Text(gridRow - 1, column); }

    BmsView view_;
    DeviceList devices_;
    TFormSku window_;
    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(BmsWindowTest, TableRowsAndTheirRefresh) {
    EXPECT_EQ(window_.windowTitle(), "СКУ");
    EXPECT_EQ(window_.size(), QSize(670, 746));
    EXPECT_TRUE(Find<QWidget>(window_, "pnlGeneral")->isVisible());
    EXPECT_EQ(Table().rowCount() + 1, 3832);
    const struct {
        int row;
        const char* caption;
    } captions[] = {{1, "DesignCapacityLsb"},
                    {51, ""},
                    {52, "CellVoltage_0"},
                    {655, "BatteryMode"},
                    {658, ""},
                    {756, "AddrDevice"},
                    {759, ""},
                    {760, "TimeLsb_0"},
                    {3831, "CellNumber_767"}};
    for (const auto& c : captions)
        EXPECT_EQ(Cell(c.row, 0), QString::fromUtf8(c.caption)) << c.row;

    QSignalSpy changed(&Table(), &QAbstractItemModel::dataChanged);
    auto rows = [&](int i) {
        return std::pair(changed[i][0].toModelIndex().row() + 1,
                         changed[i][1].toModelIndex().row() + 1);
    };
    Read(0x00AF, std::vector<std::uint16_t>(75, 3210));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(rows(0), std::pair(177, 251));
    EXPECT_EQ(Cell(251, 2), "3,210");
    EXPECT_EQ(Cell(176, 2), "");

    constexpr int kRecord = 5;
    Read(static_cast<std::uint16_t>(0x7400 + 4 * kRecord), {0x9D80, 0x259E, 15, 7});
    EXPECT_EQ(rows(1), std::pair(760 + 4 * kRecord, 763 + 4 * kRecord));
    EXPECT_EQ(Cell(760 + 4 * kRecord, 2), "");
    EXPECT_EQ(Cell(761 + 4 * kRecord, 2), "631152000");
    EXPECT_EQ(Cell(763 + 4 * kRecord, 2), "7");

    Read(0x0008, {0xFFFF, 0x0001, 0xFFFF, 0xFFFF});
    EXPECT_EQ(Cell(10, 2), "131,071");
    EXPECT_EQ(Cell(12, 2), "-0,001");
    EXPECT_EQ(Cell(9, 2), "");

    // An unanswered read shows what the rows had.
    Model().transaction.start = 0x0008;
    Model().transaction.count = 4;
    TakeReceivedValues(Model(), view_);
    window_.RefreshBlockRows(kBmsBlockStatus);
    EXPECT_EQ(Cell(10, 2), "131,071");
}

TEST_F(BmsWindowTest, MarksStayOnDataRows) {
    Find<QAction>(window_, "tbtnTable")->trigger();
    RegisterTablePage& page = window_.tablePage();
    RegisterTableView& grid = page.grid();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    // A grid taller than its rows: room below the last one.
    page.resize(700, 16 * (Table().rowCount() + 2) + 64);
    const int last = Table().rowCount() - 1;
    const QRect lastRect = grid.visualRect(Table().index(last, 0));
    const QPoint below(10, lastRect.bottom() + 4);
    ASSERT_LT(below.y(), grid.viewport()->height());
    ASSERT_LT(grid.indexAt(below).row(), 0);
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
        QTest::mouseClick(grid.viewport(), button, {}, below);
    QMouseEvent move(QEvent::MouseMove, below, grid.viewport()->mapToGlobal(below), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid.viewport(), &move);
    EXPECT_EQ(Table().hoveredRow(), -1);
    EXPECT_EQ(Table().marks(last), 0);

    // The last row takes both marks (green shows); a double click clears every row's marks,
    // also those scrolled out of view.
    page.resize(700, 500);
    grid.scrollToBottom();
    QApplication::processEvents();
    const QRect lastShown = grid.visualRect(Table().index(last, 0));
    Table().ToggleMark(0, kRowMarkYellow);
    const QPoint onLast = lastShown.center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, onLast);
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, onLast);
    EXPECT_EQ(Table().index(last, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 0));
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, onLast);
    EXPECT_EQ(Table().index(last, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, onLast);
    for (const int row : {0, last})
        EXPECT_EQ(Table().marks(row), 0) << row;

    // The alarm buttons have no page: the table stays.
    Find<QAction>(window_, "tbtnDeviceErrorList")->trigger();
    EXPECT_TRUE(page.isVisible());
}

// The window fed by the main window from the stand-in BMS, alone on the bus.
class BmsWindowLiveTest : public StandInTest {
  protected:
    MessageRecorder recorder_{MessageAnswer::kYes};
};

TEST_F(BmsWindowLiveTest, FillsFromTheStandInJournalIncludedAndHoldsItsRowsWhileSilent) {
    QSettings(folder_.filePath("veltrona.ini"), QSettings::IniFormat)
        .setValue("Link/FrameEndByLength", true);
    ASSERT_NO_FATAL_FAILURE(StartProgram(BmsAloneSettings()));
    RegisterTableModel& table = windows_->sku->tablePage().model();
    auto cell = [&](int gridRow) { return table.Text(gridRow - 1, 2); };
    ASSERT_NO_FATAL_FAILURE(OpenStandInPort(General()));
    ASSERT_TRUE(WaitFor([&] { return !cell(3831).isEmpty(); }, 60000));
    EXPECT_NE(cell(761), "0");   // the first record's time
    EXPECT_EQ(cell(3829), "0");  // past the records: zeros
    EXPECT_EQ(cell(756), QString::number(kStandInBmsAddress));
    const QString soc = cell(24);
    ASSERT_FALSE(soc.isEmpty());

    ASSERT_EQ(bus_->Command("mute bms"), "ok");
    const std::size_t requests = bus_->RequestCount();
    ASSERT_EQ(bus_->Command("set bms 0x0017 77"), "ok");
    ASSERT_TRUE(WaitFor([&] { return bus_->RequestCount() >= requests + 22; }));
    EXPECT_EQ(cell(24), soc);
    ASSERT_EQ(bus_->Command("unmute bms"), "ok");
    ASSERT_TRUE(WaitFor([&] { return cell(24) == "77"; }));
}

}  // namespace
}  // namespace veltrona
