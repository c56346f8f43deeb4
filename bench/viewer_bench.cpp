// A year of hourly measurements of 63 sensors (8,760 x 63), copied from the virtual logger by the
// program's own copy, then: reading the folder, CSV and XLSX export, the viewer's first paint
// (reading included), one zoom step of its time axis redrawn, and the trumpet curve of the year
// summarized and drawn, and the monitoring report of the year written as PDF. Prints resident
// memory too.
// Runs on the offscreen platform. With --copy-demo-to DIR it only copies the demo directories
// into DIR/DATA (for trying the viewer) and exits.
#include <benchmark/benchmark.h>

#include <qcustomplot.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/DemoTables.h"
#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "store/DataSet.h"
#include "store/Export.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "tests/support/Rig.h"
#include "ui/viewer/DataViewer.h"
#include "ui/viewer/Report.h"
#include "ui/viewer/TrumpetPlot.h"

namespace {

namespace fs = std::filesystem;
using namespace qm;

// Resident memory of this process in KiB, now and at its peak (0 where /proc is not available).
long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
    return 0;
}

// Copies every demo directory (all of the year 2023) into start/DATA through the controller, as
// the operator's demo holds them (the permafrost borehole included); false when start/DATA cannot
// be made (the copies would land in the working folder).
bool CopyDemoYear(const fs::path& start, bool allDirectories) {
    std::error_code ec;
    fs::create_directories(start, ec);
    test::FakePcClock loggerClock;
    loggerClock.start = *DateTime::FromCivil({2023, 12, 31, 23, 59, 0, 0});
    sim::LoggerConfig config;
    config.demoShape = sim::DemoStoreShape::Operator();
    sim::VirtualLogger logger(config, [&loggerClock] { return loggerClock.Now(); });
    test::Rig rig(logger);
    rig.clock.start = loggerClock.start;
    // The borehole's copy gets its real depths, as in the program's demo.
    const DemoSensorTables tables(rig.controller.MutableSession(), rig.controller.Work(),
                                  sim::BoreholeSensorCount(config.demoShape));
    rig.controller.SetUpFolders(start);
    if (rig.controller.Directories().DataFolder() != start / "DATA") return false;
    rig.StartUsb();
    rig.RunFor(5000);
    const std::size_t count =
        allDirectories ? rig.State().Directories().DirectoryNames().size() : 1;
    for (std::size_t i = 0; i < count; ++i) {
        rig.controller.Selected("ComboBox1", static_cast<int>(i));
        rig.controller.Click("bAllData");
        rig.RunUntilIdle();
    }
    // The other directories' sensors hang a quarter of a metre apart, sensor 1 at the top.
    for (const fs::directory_entry& e : fs::directory_iterator(start / "DATA", ec)) {
        if (!e.is_directory(ec) || fs::exists(e.path() / kSensorTableName, ec)) continue;
        const std::size_t sensors = ReadDataSet(e.path()).sensorCount;
        std::vector<SensorInfo> table;
        for (std::size_t n = 1; n <= sensors; ++n)
            table.push_back({n, 0.25 * static_cast<double>(n - 1), {}});
        if (!table.empty()) WriteSensorTable(e.path(), table);
    }
    return true;
}

struct YearFolder {
    YearFolder() {
        start = fs::temp_directory_path() /
                ("qm_viewer_bench_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        const auto began = std::chrono::steady_clock::now();
        if (!CopyDemoYear(start, false))
            std::fprintf(stderr, "cannot make %s/DATA\n", start.string().c_str());
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - began);
        folder = start / "DATA" / LocalName(Utf8ToCp1251("Котельная"));
        const DataSet set = ReadDataSet(folder);
        std::printf("copied %zu measurements of %zu sensors in %zu files (%lld ms)\n",
                    set.measurements.size(), set.sensorCount, set.files.size(),
                    static_cast<long long>(ms.count()));
    }
    ~YearFolder() {
        std::error_code ec;
        fs::remove_all(start, ec);
    }
    fs::path start;
    fs::path folder;
};

const YearFolder& Year() {
    static const YearFolder year;
    return year;
}

void BM_ReadFolder(benchmark::State& state) {
    const fs::path folder = Year().folder;
    std::size_t n = 0;
    for (auto _ : state) {
        const DataSet set = ReadDataSet(folder);
        n = set.measurements.size() * set.sensorCount;
        benchmark::DoNotOptimize(n);
    }
    state.counters["values"] = static_cast<double>(n);
}
BENCHMARK(BM_ReadFolder)->Unit(benchmark::kMillisecond);

void BM_ExportCsv(benchmark::State& state) {
    const DataSet set = ReadDataSet(Year().folder);
    const SensorTable table = ReadSensorTable(Year().folder);
    const fs::path out = Year().start / "year.csv";
    for (auto _ : state) ExportCsv(set, table, out);
    state.counters["MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

void BM_Summary(benchmark::State& state) {
    const DataSet set = ReadDataSet(Year().folder);
    const SensorTable table = ReadSensorTable(Year().folder);
    for (auto _ : state) {
        const Summary summary = Summarize(set, table, PeriodOf(set, {}, {}));
        benchmark::DoNotOptimize(summary.activeLayerMetres);
    }
    state.counters["sensors"] = static_cast<double>(set.sensorCount);
}
BENCHMARK(BM_Summary)->Unit(benchmark::kMillisecond);

void BM_ExportXlsx(benchmark::State& state) {
    if (!XlsxExportAvailable()) {
        state.SkipWithError("no XLSX export in this build");
        return;
    }
    const DataSet set = ReadDataSet(Year().folder);
    const SensorTable table = ReadSensorTable(Year().folder);
    const fs::path out = Year().start / "year.xlsx";
    for (auto _ : state) ExportXlsx(set, table, out);
    state.counters["MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ExportXlsx)->Unit(benchmark::kMillisecond);

void BM_ExportNetcdf(benchmark::State& state) {
    if (!NetcdfExportAvailable()) {
        state.SkipWithError("no NetCDF export in this build");
        return;
    }
    const DataSet set = ReadDataSet(Year().folder);
    const SensorTable table = ReadSensorTable(Year().folder);
    const fs::path out = Year().start / "year.nc";
    for (auto _ : state) ExportNetcdf(set, table, "year", out);
    state.counters["MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ExportNetcdf)->Unit(benchmark::kMillisecond);

// From nothing to a painted window: reading the folder, building the plots, drawing them.
void BM_ViewerFirstPaint(benchmark::State& state) {
    const fs::path folder = Year().folder;
    const long before = StatusKiB("VmRSS:");
    long open = 0;
    for (auto _ : state) {
        DataViewer viewer(folder.parent_path(), Language::Russian);
        viewer.resize(1366, 768);
        viewer.Open(folder);
        viewer.show();
        benchmark::DoNotOptimize(viewer.grab());
        open = StatusKiB("VmRSS:");
    }
    state.counters["open_MB"] = static_cast<double>(open) / 1024.0;
    state.counters["added_MB"] = static_cast<double>(open - before) / 1024.0;
}
BENCHMARK(BM_ViewerFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

// One wheel step of the time axis (zoom in, then out again), redrawn at once.
void BM_ViewerZoomStep(benchmark::State& state) {
    DataViewer viewer(Year().folder.parent_path(), Language::Russian);
    viewer.resize(1366, 768);
    viewer.Open(Year().folder);
    viewer.show();
    viewer.grab();
    QCPAxis* time = viewer.Plot()->xAxis;
    bool in = true;
    for (auto _ : state) {
        time->scaleRange(in ? 0.85 : 1 / 0.85, time->range().center());
        viewer.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        in = !in;
    }
    state.counters["peak_MB"] = static_cast<double>(StatusKiB("VmHWM:")) / 1024.0;
}
BENCHMARK(BM_ViewerZoomStep)->Unit(benchmark::kMillisecond);

// The trumpet curve of the year: the summary of every sensor (health included) and the plot
// redrawn, as choosing the year in its box does.
void BM_TrumpetDrawn(benchmark::State& state) {
    const DataSet set = ReadDataSet(Year().folder);
    TrumpetPlot trumpet(Language::Russian);
    trumpet.resize(420, 700);
    trumpet.SetData(set, ReadSensorTable(Year().folder));
    trumpet.show();
    trumpet.grab();
    const std::optional<int> year =
        trumpet.Years().empty() ? std::nullopt : std::optional<int>(trumpet.Years().back());
    for (auto _ : state) {
        trumpet.ChooseYear(year);
        trumpet.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["sensors"] = static_cast<double>(set.sensorCount);
    state.counters["measurements"] = static_cast<double>(trumpet.Shown().measurements);
}
BENCHMARK(BM_TrumpetDrawn)->Unit(benchmark::kMillisecond);

// The monitoring report of the year (reading not included): the summary, the monthly means, the
// plots and the tables drawn into the PDF, the digests of the files, the file staged and moved.
void BM_Report(benchmark::State& state) {
    const DataSet set = ReadDataSet(Year().folder);
    const SensorTable table = ReadSensorTable(Year().folder);
    ReportRequest request;
    request.folder = Year().folder;
    request.pdf = Year().folder.parent_path().parent_path() / "report.pdf";
    request.programVersion = "bench";
    request.madeAt = "now";
    for (auto _ : state) WriteReport(request, set, table);
    std::error_code ec;
    state.counters["pdf_MB"] =
        static_cast<double>(fs::file_size(request.pdf, ec)) / (1024.0 * 1024.0);
    state.counters["sensors"] = static_cast<double>(set.sensorCount);
}
BENCHMARK(BM_Report)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--copy-demo-to") == 0) {
        // The folder named is made when it is missing, with its parents.
        if (!CopyDemoYear(argv[2], true)) {
            std::fprintf(stderr, "cannot make the folder %s/DATA\n", argv[2]);
            return 1;
        }
        std::printf("copied the demo directories into %s/DATA\n", argv[2]);
        return 0;
    }
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Year();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
