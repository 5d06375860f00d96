// Redraw, append and memory figures of the device chart with many points; prints, does not
// judge beyond comparing the figures with the team's bar.
#include <qcustomplot.h>
#include <QApplication>
#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "stats/device_chart.h"
#include "stats/series_store.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSeries = 8;
constexpr int kRuns = 31;

double elapsedMs(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The same curves whatever the point count (phase by the fraction of the run), plus jitter
// from point to point.
double sample(int series, long long index, long long count) {
    const double phase =
        2.0 * M_PI * 4.0 * (series + 1) * static_cast<double>(index) / static_cast<double>(count);
    return 50.0 + 10.0 * series + 20.0 * std::sin(phase) +
           static_cast<double>((index * 7919 + series * 104729) % 1000) / 100.0;
}

struct Sample {
    double median = 0;
    double best = 0;
};

Sample summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front()};
}

// One chart filled with the given number of points per series.
struct FilledChart {
    std::unique_ptr<veltrona::DeviceChart> chart;
    double appendNsPerPoint = 0;
    double bytesPerPoint = 0;
};

FilledChart fill(long long points) {
    QStringList titles;
    for (int i = 0; i < kSeries; ++i) {
        titles << QString("Серия %1").arg(i + 1);
    }
    FilledChart filled{std::make_unique<veltrona::DeviceChart>(titles)};
    veltrona::DeviceChart& chart = *filled.chart;
    chart.resize(1200, 700);
    chart.show();
    QApplication::processEvents();

    const QDateTime origin = QDateTime::currentDateTime();
    QList<double> values(kSeries);
    const auto start = Clock::now();
    for (long long i = 0; i < points; ++i) {
        for (int s = 0; s < kSeries; ++s) {
            values[s] = sample(s, i, points);
        }
        chart.addPoints(origin.addMSecs(i * 1000), values);
    }
    filled.appendNsPerPoint = elapsedMs(start) / (static_cast<double>(points) * kSeries) * 1e6;

    std::size_t bytes = 0;
    for (int s = 0; s < kSeries; ++s) {
        bytes += chart.store(s).capacityBytes();
    }
    filled.bytesPerPoint = static_cast<double>(bytes) / (static_cast<double>(points) * kSeries);
    return filled;
}

// A full redraw after the range moved a little, so the reduced data is rebuilt as after a
// scroll or a new point while following.
double redraw(veltrona::DeviceChart& chart, int run) {
    QCustomPlot* plot = chart.plot();
    const QCPRange range = plot->xAxis->range();
    const double nudge = (run % 2 == 0 ? 1.0 : -1.0) * range.size() * 1e-4;
    plot->xAxis->setRange(range.lower + nudge, range.upper + nudge);
    const auto start = Clock::now();
    plot->replot(QCustomPlot::rpImmediateRefresh);
    return elapsedMs(start);
}

// The two charts take turns, so that a slow spell of the machine weighs on both alike.
std::pair<Sample, Sample> redrawBoth(veltrona::DeviceChart& small, veltrona::DeviceChart& large) {
    std::vector<double> smallRuns;
    std::vector<double> largeRuns;
    for (int run = 0; run < kRuns; ++run) {
        smallRuns.push_back(redraw(small, run));
        largeRuns.push_back(redraw(large, run));
    }
    return {summarise(smallRuns), summarise(largeRuns)};
}

// The reduction of all series alone, without drawing.
double reduceMs(const veltrona::DeviceChart& chart) {
    const QCPRange range = chart.plot()->xAxis->range();
    const int columns = chart.plot()->axisRect()->width();
    std::vector<double> keys;
    std::vector<double> values;
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        for (int s = 0; s < kSeries; ++s) {
            chart.store(s).reduce(range.lower, range.upper, columns, keys, values);
        }
        runs.push_back(elapsedMs(start));
    }
    return summarise(runs).median;
}

double storeAppendNsPerPoint(long long points) {
    std::vector<double> values(static_cast<std::size_t>(points));
    for (long long i = 0; i < points; ++i) {
        values[static_cast<std::size_t>(i)] = sample(0, i, points);
    }
    veltrona::SeriesStore store;
    const auto start = Clock::now();
    for (long long i = 0; i < points; ++i) {
        store.append(static_cast<double>(i), values[static_cast<std::size_t>(i)]);
    }
    const double ms = elapsedMs(start);
    std::printf("  store check: %zu points, capacity %.2f bytes per point\n", store.size(),
                static_cast<double>(store.capacityBytes()) / static_cast<double>(store.size()));
    return ms / static_cast<double>(points) * 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const FilledChart small = fill(10000);
    const FilledChart large = fill(1000000);

    // Every point in view, the worst case for the drawing; then the usual "100%" view of
    // the newest minutes.
    for (const FilledChart* filled : {&small, &large}) {
        filled->chart->setTimeScaleIndex(12);
        filled->chart->setValueScaleIndex(12);
    }
    const auto [smallAll, largeAll] = redrawBoth(*small.chart, *large.chart);
    const double smallReduce = reduceMs(*small.chart);
    const double largeReduce = reduceMs(*large.chart);
    for (const FilledChart* filled : {&small, &large}) {
        filled->chart->setTimeScaleIndex(veltrona::DeviceChart::kDefaultScaleIndex);
    }
    const auto [smallWindow, largeWindow] = redrawBoth(*small.chart, *large.chart);

    std::printf("8 series, chart 1200x700, %d redraws each (rpImmediateRefresh), taking turns\n",
                kRuns);
    std::printf(
        "  10,000 points each:    all in view median %.2f ms (best %.2f), 100%% view "
        "%.2f ms; reduction alone %.2f ms\n",
        smallAll.median, smallAll.best, smallWindow.median, smallReduce);
    std::printf(
        "  1,000,000 points each: all in view median %.2f ms (best %.2f), 100%% view "
        "%.2f ms; reduction alone %.2f ms\n",
        largeAll.median, largeAll.best, largeWindow.median, largeReduce);
    std::printf("append through the chart: %.1f ns per point (8 series, one call per time)\n",
                large.appendNsPerPoint);
    std::printf("append to one store, 1,000,000 points: %.1f ns per point\n",
                storeAppendNsPerPoint(1000000));
    std::printf("memory: %.2f bytes per point (10,000), %.2f bytes per point (1,000,000)\n",
                small.bytesPerPoint, large.bytesPerPoint);
    const double ratio = largeAll.median / smallAll.median;
    std::printf("bar: redraw 1,000,000 all in view %.2f ms of at most 30 ms (%.2f of the bar)\n",
                largeAll.median, largeAll.median / 30.0);
    std::printf(
        "bar: redraw ratio 1,000,000 / 10,000 = %.2f (best to best %.2f), at most 1.5 "
        "(%.2f of the bar)\n",
        ratio, largeAll.best / smallAll.best, ratio / 1.5);
    std::printf("bar: %.2f bytes per point, at most 24\n", large.bytesPerPoint);
    return 0;
}
