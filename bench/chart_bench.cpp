// Redraw, append and memory figures of the device chart with many points; prints, does not
// judge beyond comparing the figures with the team's bar.
#include <qcustomplot.h>
#include <QApplication>
#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The same curves whatever the point count (phase by the fraction of the run), plus jitter
// from point to point.
double sample(int series, long long index, long long count) {
    const double phase =
        2.0 * M_PI * 4.0 * (series + 1) * static_cast<double>(index) / static_cast<double>(count);
    return 50.0 + 10.0 * series + 20.0 * std::sin(phase) +
           static_cast<double>((index * 7919 + series * 104729) % 1000) / 100.0;
}

struct Figures {
    double fillMsPerMillion = 0;
    double redrawAllMs = 0;
    double redrawWindowMs = 0;
    double bytesPerPoint = 0;
};

// Median of full redraws; the range moves a little before each, so the reduced data is
// rebuilt every time as after a scroll.
double timeRedraws(veltrona::DeviceChart& chart) {
    QCustomPlot* plot = chart.plot();
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const QCPRange range = plot->xAxis->range();
        const double nudge = (run % 2 == 0 ? 1.0 : -1.0) * range.size() * 1e-4;
        plot->xAxis->setRange(range.lower + nudge, range.upper + nudge);
        const auto start = Clock::now();
        plot->replot(QCustomPlot::rpImmediateRefresh);
        runs.push_back(elapsedMs(start));
    }
    return median(runs);
}

Figures measure(long long points) {
    QStringList titles;
    for (int i = 0; i < kSeries; ++i) {
        titles << QString("Серия %1").arg(i + 1);
    }
    veltrona::DeviceChart chart(titles);
    chart.resize(1200, 700);
    chart.show();
    QApplication::processEvents();

    Figures figures;
    const QDateTime origin = QDateTime::currentDateTime();
    QList<double> values(kSeries);
    const auto start = Clock::now();
    for (long long i = 0; i < points; ++i) {
        for (int s = 0; s < kSeries; ++s) {
            values[s] = sample(s, i, points);
        }
        chart.addPoints(origin.addMSecs(i * 1000), values);
    }
    figures.fillMsPerMillion = elapsedMs(start) / (static_cast<double>(points) * kSeries) * 1e6;

    std::size_t bytes = 0;
    for (int s = 0; s < kSeries; ++s) {
        bytes += chart.store(s).capacityBytes();
    }
    figures.bytesPerPoint = static_cast<double>(bytes) / (static_cast<double>(points) * kSeries);

    // Every point in view: the worst case for the drawing.
    chart.setTimeScaleIndex(12);
    chart.setValueScaleIndex(12);
    figures.redrawAllMs = timeRedraws(chart);
    // The usual view: "100%", the newest minutes.
    chart.setTimeScaleIndex(veltrona::DeviceChart::kDefaultScaleIndex);
    figures.redrawWindowMs = timeRedraws(chart);
    return figures;
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

    const Figures small = measure(10000);
    const Figures large = measure(1000000);
    std::printf("8 series, chart 1200x700, median of %d redraws (rpImmediateRefresh)\n", kRuns);
    std::printf("  10,000 points each:    all in view %.2f ms, 100%% view %.2f ms\n",
                small.redrawAllMs, small.redrawWindowMs);
    std::printf("  1,000,000 points each: all in view %.2f ms, 100%% view %.2f ms\n",
                large.redrawAllMs, large.redrawWindowMs);
    std::printf("append through the chart: %.1f ns per point (8 series, one call per time)\n",
                large.fillMsPerMillion);
    std::printf("append to one store, 1,000,000 points: %.1f ns per point\n",
                storeAppendNsPerPoint(1000000));
    std::printf("memory: %.2f bytes per point (10,000), %.2f bytes per point (1,000,000)\n",
                small.bytesPerPoint, large.bytesPerPoint);
    const double ratio = large.redrawAllMs / small.redrawAllMs;
    std::printf("bar: redraw 1,000,000 all in view %.2f ms of at most 30 ms (%.2f of the bar)\n",
                large.redrawAllMs, large.redrawAllMs / 30.0);
    std::printf("bar: redraw ratio 1,000,000 / 10,000 = %.2f, at most 1.5 (%.2f of the bar)\n",
                ratio, ratio / 1.5);
    std::printf("bar: %.2f bytes per point, at most 24\n", large.bytesPerPoint);
    return 0;
}
