// The chart after a long session: 1000 test measurements of 63 readings in the history, then one
// more measurement arrives and the chart is drawn again. Runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "ui/qt/ChartView.h"

namespace {

constexpr int kReadings = 63;
constexpr int kHistory = 1000;

// Resident memory of this process in KiB (0 where /proc is not available).
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// Readings of measurement `n`: around 20 degrees, each sensor a little different, with noise.
double Reading(int n, int i) {
    const double v = 20.0 + 0.8 * std::sin(i * 0.37) + 0.3 * std::sin(n * 0.11 + i) +
                     0.05 * ((n * 7919 + i * 104729) % 17);
    return std::round(v * 100) / 100;
}

void NextMeasurement(qm::Chart& chart, int n) {
    for (const qm::ChartPoint& p : chart.series1)
        chart.series2.push_back({p.x, p.y, qm::Colour::Blue});
    chart.series1.clear();
    for (int i = 1; i <= kReadings; ++i)
        chart.series1.push_back({double(i), Reading(n, i), qm::Colour::Lime});
    ++chart.series1Revision;
    chart.bottomMax = kReadings + 0.5;
    chart.leftMin = 18.95;
    chart.leftMax = 23.05;
}

void BM_ChartAddMeasurementAndRedraw(benchmark::State& state) {
    const long before = ResidentKiB();
    qm::ChartView view;
    view.resize(1366 - 250, 768 - 60 - 100);
    view.show();
    qm::Chart chart;
    int n = 0;
    for (; n < kHistory + 1; ++n) NextMeasurement(chart, n);  // 1000 in the history, one latest
    view.Apply(chart);
    view.grab();
    const long loaded = ResidentKiB();

    for (auto _ : state) {
        NextMeasurement(chart, n++);
        view.Apply(chart);
        QPixmap frame = view.grab();  // paints the whole chart
        benchmark::DoNotOptimize(frame);
    }
    // QMC_CHART_PNG=file saves the last frame, to look at what was measured.
    if (!qEnvironmentVariableIsEmpty("QMC_CHART_PNG"))
        view.grab().save(qEnvironmentVariable("QMC_CHART_PNG"));
    state.counters["history_points"] = double(view.Series2()->count());
    state.counters["rss_MiB"] = double(ResidentKiB()) / 1024.0;
    state.counters["chart_MiB"] = double(loaded - before) / 1024.0;
}
BENCHMARK(BM_ChartAddMeasurementAndRedraw)->Unit(benchmark::kMillisecond)->Iterations(20);

// The value axis widens: the whole history is drawn again.
void BM_ChartRedrawWholeHistory(benchmark::State& state) {
    qm::ChartView view;
    view.resize(1366 - 250, 768 - 60 - 100);
    view.show();
    qm::Chart chart;
    for (int n = 0; n < kHistory + 1; ++n) NextMeasurement(chart, n);
    view.Apply(chart);
    view.grab();
    for (auto _ : state) {
        chart.leftMax += 1;
        view.Apply(chart);
        QPixmap frame = view.grab();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_ChartRedrawWholeHistory)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
