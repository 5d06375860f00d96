#include <gtest/gtest.h>

#include <qcustomplot.h>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>
#include <limits>

#include "stats/device_chart.h"
#include "tests/gui/gui_test_support.h"

namespace veltrona {
namespace {

const QDateTime kOrigin(QDate(2024, 5, 1), QTime(12, 0, 0, 250));

double keyOf(const QDateTime& when) {
    return when.toMSecsSinceEpoch() / 1000.0;
}

class DeviceChartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        chart.setDecimalSeparator('.');
        chart.resize(640, 500);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        // The chart starts at the present; the points here are from a fixed day.
        chart.plot()->xAxis->setRange(keyOf(kOrigin), keyOf(kOrigin) + 600);
    }

    // Graph data as drawn, after a replot.
    std::vector<QCPGraphData> drawn(int series) {
        chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
        auto data = chart.plot()->graph(series)->data();
        return {data->constBegin(), data->constEnd()};
    }

    void sendMouse(QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, chart.plot()->mapToGlobal(pos), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(chart.plot(), &event);
    }

    void drag(QPointF from, QPointF to) {
        sendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        sendMouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        sendMouse(QEvent::MouseMove, to, Qt::LeftButton);
        sendMouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    DeviceChart chart{{"Ток заряда", "Напряжение АБ", "Температура АБ"}};
};

TEST_F(DeviceChartTest, ReadoutInterpolatesAndSaysNoOutside) {
    chart.addPoint(0, kOrigin, 1.0);
    chart.addPoint(0, kOrigin.addSecs(2), 3.5);
    chart.addPoint(1, kOrigin.addSecs(1), -2.25);
    chart.addPoint(1, kOrigin.addSecs(3), 0.0);

    EXPECT_EQ(chart.readoutAt(kOrigin.addMSecs(1000)),
              (QStringList{"12:00.01.250", "2.250", "-2.250", "Нет"}));
    EXPECT_EQ(chart.readoutAt(kOrigin), (QStringList{"12:00.00.250", "1.000", "Нет", "Нет"}));
    EXPECT_EQ(chart.readoutAt(kOrigin.addMSecs(2600)),
              (QStringList{"12:00.02.850", "Нет", "-0.450", "Нет"}));
    EXPECT_EQ(chart.readoutAt(kOrigin.addMSecs(-1)).mid(1), (QStringList{"Нет", "Нет", "Нет"}));
    chart.setDecimalSeparator(',');
    EXPECT_EQ(chart.readoutAt(kOrigin.addMSecs(500))[1], "1,625");

    // The mouse over the plot writes the same texts into the status panels.
    chart.setTimeScaleIndex(12);
    chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
    const double x = chart.plot()->xAxis->coordToPixel(keyOf(kOrigin.addSecs(1)));
    const QPoint pos(static_cast<int>(std::lround(x)), chart.plot()->height() / 2);
    QTest::mouseMove(chart.plot(), pos);
    const QDateTime under = QDateTime::fromMSecsSinceEpoch(
        std::llround(chart.plot()->xAxis->pixelToCoord(pos.x()) * 1000));
    EXPECT_TRUE(WaitFor([&] { return !chart.statusTexts()[0].isEmpty(); }));
    EXPECT_EQ(chart.statusTexts(), chart.readoutAt(under));
    EXPECT_EQ(chart.statusTexts()[3], "Нет");
}

TEST_F(DeviceChartTest, NotANumberAndInfinityArePlottedAsMinusOne) {
    chart.addPoints(kOrigin, {std::nan(""), std::numeric_limits<double>::infinity(), 4.0});
    chart.addPoint(2, kOrigin.addSecs(1), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(chart.store(0).value(0), -1.0);
    EXPECT_EQ(chart.store(1).value(0), -1.0);
    EXPECT_EQ(chart.store(2).value(1), -1.0);
    EXPECT_EQ(chart.readoutAt(kOrigin)[1], "-1.000");
    const auto points = drawn(2);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].value, -1.0);
}

TEST_F(DeviceChartTest, DisabledSeriesTakesNoPoints) {
    chart.setSeriesEnabled(1, false);
    chart.addPoints(kOrigin, {1.0, 2.0, 3.0});
    chart.addPoint(1, kOrigin.addSecs(1), 2.0);
    EXPECT_EQ(chart.store(0).size(), 1u);
    EXPECT_TRUE(chart.store(1).empty());
    chart.setSeriesEnabled(1, true);
    chart.addPoint(1, kOrigin.addSecs(2), 2.0);
    EXPECT_EQ(chart.store(1).size(), 1u);
}

TEST_F(DeviceChartTest, ScaleListsSetTheSpanFromThePixels) {
    ASSERT_EQ(chart.plot()->width(), 640);
    const int height = chart.plot()->height();
    EXPECT_EQ(chart.timeScaleCombo()->count(), 13);
    EXPECT_EQ(chart.timeScaleCombo()->currentText(), "100%");
    EXPECT_EQ(chart.valueScaleCombo()->itemText(12), "во весь экран");
    chart.addPoint(0, kOrigin, 5.0);
    chart.addPoint(0, kOrigin.addSecs(30), 7.0);

    chart.setTimeScaleIndex(12);
    EXPECT_DOUBLE_EQ(chart.timeAxisMin(), keyOf(kOrigin));
    EXPECT_DOUBLE_EQ(chart.timeAxisMax(), keyOf(kOrigin.addSecs(30)));
    EXPECT_FALSE(chart.follow());
    // "100%" on 640 pixels: 6.4 minutes, ending at the newest point here.
    chart.timeScaleCombo()->setCurrentIndex(8);
    EXPECT_EQ(chart.timeScaleFactor(), 1000);
    EXPECT_NEAR(chart.timeAxisMax() - chart.timeAxisMin(), 384.0, 1e-6);
    EXPECT_NEAR(chart.timeAxisMax(), keyOf(kOrigin) + 384.0, 1e-6);
    EXPECT_TRUE(chart.follow());
    chart.setTimeScaleIndex(0);
    EXPECT_EQ(chart.timeScaleFactor(), 10);
    EXPECT_NEAR(chart.timeAxisMax() - chart.timeAxisMin(), 640 * 60.0, 1e-6);
    chart.setTimeScaleIndex(6);
    EXPECT_NEAR(chart.timeAxisMax() - chart.timeAxisMin(), 640 * 600.0 / 333, 1e-6);

    chart.setValueScaleIndex(8);
    EXPECT_EQ(chart.valueAxisMin(), 0.0);
    EXPECT_EQ(chart.valueAxisMax(), height);
    chart.valueScaleCombo()->setCurrentIndex(0);
    EXPECT_EQ(chart.valueAxisMax(), height * 100.0);
    chart.setValueScaleIndex(12);
    EXPECT_EQ(chart.valueAxisMax(), 7.0);
    chart.addPoint(1, kOrigin.addSecs(31), 9.5);
    EXPECT_EQ(chart.valueAxisMax(), 9.5);

    // A resize re-fits both axes to the new pixels.
    chart.setTimeScaleIndex(8);
    chart.setValueScaleIndex(8);
    chart.resize(800, 400);
    QApplication::processEvents();
    EXPECT_NEAR(chart.timeAxisMax() - chart.timeAxisMin(), 480.0, 1e-6);
    EXPECT_EQ(chart.valueAxisMax(), chart.plot()->height());

    EXPECT_EQ(DeviceChart::scaleFactor(7), 500);
    EXPECT_EQ(DeviceChart::scaleFactor(12), 0);
}

TEST_F(DeviceChartTest, FollowKeepsTheNewestPointInView) {
    chart.setTimeScaleIndex(8);
    chart.addPoint(0, kOrigin, 1.0);
    const double start = chart.timeAxisMin();
    // A point every 5 seconds outruns any fixed step per point.
    for (int i = 1; i <= 200; ++i) {
        chart.addPoint(0, kOrigin.addSecs(5 * i), i);
        const double newest = keyOf(kOrigin.addSecs(5 * i));
        ASSERT_LE(newest, chart.timeAxisMax() + 1e-9) << i;
        ASSERT_GE(newest, chart.timeAxisMin()) << i;
        ASSERT_NEAR(chart.timeAxisMax() - chart.timeAxisMin(), 384.0, 1e-6);
    }
    EXPECT_NEAR(chart.timeAxisMax(), keyOf(kOrigin.addSecs(1000)), 1e-6);
    EXPECT_GT(chart.timeAxisMin(), start);

    chart.setFollow(false);
    const double max = chart.timeAxisMax();
    chart.addPoint(0, kOrigin.addSecs(1100), 1.0);
    EXPECT_EQ(chart.timeAxisMax(), max);
}

TEST_F(DeviceChartTest, MouseZoomClearsFollowAndScrollingDecidesIt) {
    chart.setTimeScaleIndex(8);
    chart.addPoint(0, kOrigin, 1.0);
    chart.addPoint(0, kOrigin.addSecs(300), 2.0);
    chart.plot()->replot(QCustomPlot::rpImmediateRefresh);
    ASSERT_TRUE(chart.follow());
    const QPointF centre = chart.plot()->axisRect()->rect().center();

    QWheelEvent wheel(centre, chart.plot()->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart.plot(), &wheel);
    EXPECT_FALSE(chart.follow());
    EXPECT_LT(chart.timeAxisMax() - chart.timeAxisMin(), 384.0);

    // Dragging to the right shows earlier times: the newest point leaves the view.
    chart.plot()->xAxis->setRange(keyOf(kOrigin), keyOf(kOrigin) + 384);
    chart.setFollow(true);
    drag(centre, centre + QPointF(300, 0));
    EXPECT_LT(chart.timeAxisMax(), keyOf(kOrigin.addSecs(300)));
    EXPECT_FALSE(chart.follow());
    drag(centre, centre - QPointF(300, 0));
    EXPECT_GE(chart.timeAxisMax(), keyOf(kOrigin.addSecs(300)));
    EXPECT_TRUE(chart.follow());
    // A click without movement is no scroll.
    chart.setFollow(false);
    drag(centre, centre);
    EXPECT_FALSE(chart.follow());
}

TEST_F(DeviceChartTest, ManyPointsAreDrawnReducedAndRebuiltOnRangeChange) {
    QList<double> values(3);
    for (int i = 0; i < 100000; ++i) {
        values = {std::sin(i * 0.001) * 100, i % 977 == 0 ? 500.0 : 1.0, 0.0};
        chart.addPoints(kOrigin.addMSecs(i * 100LL), values);
    }
    chart.setTimeScaleIndex(12);
    chart.setValueScaleIndex(12);
    const auto all = drawn(1);
    const int columns = chart.plot()->axisRect()->width();
    EXPECT_LE(all.size(), 4u * columns + 2);
    // Every spike survives the reduction, within a column of its time.
    const double column = (chart.timeAxisMax() - chart.timeAxisMin()) / columns;
    for (int i = 0; i < 100000; i += 977) {
        const double key = keyOf(kOrigin.addMSecs(i * 100LL));
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const QCPGraphData& p) {
            return p.value == 500.0 && std::abs(p.key - key) <= column;
        })) << i;
    }
    EXPECT_EQ(chart.valueAxisMax(), 500.0);

    // Zoomed in to 20 seconds the points themselves are drawn, with one neighbour each side.
    chart.setTimeScaleIndex(8);
    chart.plot()->xAxis->setRange(keyOf(kOrigin.addSecs(50)), keyOf(kOrigin.addSecs(70)));
    const auto close = drawn(0);
    ASSERT_EQ(close.size(), 203u);
    EXPECT_DOUBLE_EQ(close[1].key, keyOf(kOrigin.addSecs(50)));
    EXPECT_FLOAT_EQ(static_cast<float>(close[1].value), static_cast<float>(std::sin(0.5) * 100));
}

TEST_F(DeviceChartTest, ExportsBitmapsSvgAndCsv) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    chart.addPoints(kOrigin, {1.5, -1.0, 12.25});
    chart.addPoint(0, kOrigin.addMSecs(500), 2.0);
    chart.addPoint(2, kOrigin.addSecs(1), 0.1);
    chart.setTimeScaleIndex(12);

    ASSERT_TRUE(chart.exportBitmap(dir.filePath("chart.png")));
    QImage png(dir.filePath("chart.png"), "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.size(), chart.plot()->size());
    ASSERT_TRUE(chart.exportBitmap(dir.filePath("chart.bmp")));
    EXPECT_FALSE(QImage(dir.filePath("chart.bmp"), "BMP").isNull());

    ASSERT_TRUE(chart.exportSvg(dir.filePath("chart.svg")));
    QFile svgFile(dir.filePath("chart.svg"));
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&svgFile);
    int paths = 0;
    bool isSvg = false;
    while (!svg.atEnd()) {
        if (svg.readNext() == QXmlStreamReader::StartElement) {
            isSvg = isSvg || svg.name() == u"svg";
            paths += svg.name() == u"path" || svg.name() == u"polyline";
        }
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_TRUE(isSvg);
    EXPECT_GT(paths, 3);

    ASSERT_TRUE(chart.exportCsv(dir.filePath("chart.csv")));
    QFile csv(dir.filePath("chart.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(csv.readAll()),
              "Время,Ток заряда,Напряжение АБ,Температура АБ\n"
              "2024-05-01T12:00:00.250,1.5,-1,12.25\n"
              "2024-05-01T12:00:00.750,2,,\n"
              "2024-05-01T12:00:01.250,,,0.1\n");
}

TEST_F(DeviceChartTest, ClipboardGetsSvgAndBitmapTogether) {
    chart.addPoints(kOrigin, {1.0, 2.0, 3.0});
    chart.copySvgToClipboard();
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    ASSERT_TRUE(mime->hasFormat("image/svg+xml"));
    EXPECT_TRUE(mime->data("image/svg+xml").contains("<svg"));
    ASSERT_TRUE(mime->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(mime->imageData()).size(), chart.plot()->size());
}

TEST_F(DeviceChartTest, ColourMenuFollowsThePanelUnderTheMouse) {
    QContextMenuEvent onTime(QContextMenuEvent::Mouse, QPoint(10, 5),
                             chart.statusBar()->mapToGlobal(QPoint(10, 5)));
    QApplication::sendEvent(chart.statusBar(), &onTime);
    EXPECT_EQ(chart.menuPanel(), 0);
    EXPECT_FALSE(chart.seriesColourAction()->isEnabled());
    EXPECT_FALSE(chart.textColourAction()->isEnabled());
    chart.contextMenu()->hide();

    const QPoint second(2 * DeviceChart::kPanelWidth + 5, 5);
    QContextMenuEvent onSeries(QContextMenuEvent::Mouse, second,
                               chart.statusBar()->mapToGlobal(second));
    QApplication::sendEvent(chart.statusBar(), &onSeries);
    EXPECT_EQ(chart.menuPanel(), 2);
    EXPECT_TRUE(chart.seriesColourAction()->isEnabled());
    chart.contextMenu()->hide();

    // The dialog is answered as a user would.
    const auto answer = [](const QColor& colour) {
        WhenModal([colour](QWidget& modal) {
            auto* dialog = qobject_cast<QColorDialog*>(&modal);
            ASSERT_NE(dialog, nullptr);
            dialog->setCurrentColor(colour);
            dialog->accept();
        });
    };
    answer(QColor(10, 20, 30));
    chart.seriesColourAction()->trigger();
    EXPECT_EQ(chart.seriesColour(1), QColor(10, 20, 30));
    EXPECT_EQ(chart.plot()->graph(1)->pen().color(), QColor(10, 20, 30));
    EXPECT_EQ(chart.plot()->graph(1)->pen().width(), 2);
    answer(QColor(200, 210, 220));
    chart.textColourAction()->trigger();
    EXPECT_EQ(chart.textColour(1), QColor(200, 210, 220));
    EXPECT_NE(chart.seriesColour(0), QColor(10, 20, 30));

    chart.popupMenuForPanel(4, chart.mapToGlobal(QPoint()));
    EXPECT_FALSE(chart.seriesColourAction()->isEnabled());
    chart.contextMenu()->hide();
}

TEST_F(DeviceChartTest, WithoutSeriesTheScaleListsChangeNothing) {
    chart.removeAllSeries();
    EXPECT_EQ(chart.seriesCount(), 0);
    const double span = chart.timeAxisMax() - chart.timeAxisMin();
    chart.setTimeScaleIndex(0);
    chart.setValueScaleIndex(0);
    EXPECT_EQ(chart.timeScaleFactor(), 1000);
    EXPECT_EQ(chart.timeAxisMax() - chart.timeAxisMin(), span);
    chart.addPoint(0, kOrigin, 1.0);
    EXPECT_EQ(chart.readoutAt(kOrigin), QStringList{"12:00.00.250"});
}

}  // namespace
}  // namespace veltrona
