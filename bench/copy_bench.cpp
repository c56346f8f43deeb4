// Copy throughput through the core: a directory of monthly files, each a text line and many
// measurements of 63 values, from an in-process device over the in-process USB link (64-byte
// reports: a measurement's values come in three replies) into a temporary data folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/Controller.h"
#include "sim/InProcessLink.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"

namespace {

using namespace qm;

// Generates the files as it serves them, so its memory does not grow with their size.
class GeneratingLogger : public sim::Device {
public:
    GeneratingLogger(int months, int measurements) : months_(months), measurements_(measurements) {}

    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> r) override {
        switch (r[3]) {
            case 64:
                listed_ = 0;
                [[fallthrough]];
            case 65:
                if (listed_ == months_) return {{3, 248, 0, 0}};
                return {Line(248, "2009_" + std::to_string(++listed_) + ".dat")};
            case 66: {
                const std::string path(reinterpret_cast<const char*>(&r[4]));
                file_ = std::stoi(path.substr(path.find('_') + 1));
                measurement_ = -1;
                return {Line(249, "QM Controller data 2009-" + std::to_string(file_))};
            }
            case 67: {
                if (++measurement_ >= measurements_) return {{2, 250}};
                valuesSent_ = 0;
                char header[64];
                const int minutes = measurement_ * 60;
                std::snprintf(header, sizeof header, "%02d:%02d %2d.%02d.2009 sensors 63",
                              minutes / 60 % 24, minutes % 60, minutes / 1440 % 28 + 1, file_);
                return {Line(249, header)};
            }
            case 71:
            case 72: {
                const int n = std::min(31, kValues - valuesSent_);
                sim::Frame f{static_cast<std::uint8_t>(2 * n + 1), 0};
                for (int i = 0; i < n; ++i) {
                    const int v = (valuesSent_ + i) % 7 == 3
                                      ? 0x8000
                                      : (measurement_ * 37 + i * 101) % 20000 - 5000;
                    f.push_back(static_cast<std::uint8_t>(v & 0xFF));
                    f.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
                }
                valuesSent_ += n;
                f[1] = valuesSent_ < kValues ? 249 : measurement_ + 1 < measurements_ ? 248 : 250;
                return {f};
            }
            default:
                return {};
        }
    }

private:
    static sim::Frame Line(std::uint8_t status, const std::string& text) {
        sim::Frame f;
        f.reserve(text.size() + 3);
        f.push_back(static_cast<std::uint8_t>(text.size() + 2));
        f.push_back(status);
        f.insert(f.end(), text.begin(), text.end());
        f.push_back(0);
        return f;
    }
    static constexpr int kValues = 63;
    int months_, measurements_;
    int listed_ = 0, file_ = 0, measurement_ = 0, valuesSent_ = 0;
};

struct QuietOperator : OperatorServices {
    int errors = 0;
    void ShowWarning(const std::string&) override {}
    bool Confirm(const std::string&) override { return true; }
    void ShowError(const std::string&) override { ++errors; }
    void Beep() override {}
    void Quit() override {}
};
struct FixedClock : PcClock {
    DateTime Now() override { return *DateTime::FromDate(2009, 12, 31); }
};

long PeakRssKb() {
#ifdef __linux__
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
#endif
    return 0;
}

// Copies the selected directory `name` once per iteration and reports the rates.
void RunCopies(benchmark::State& state, sim::Device& device, const std::string& name) {
    std::random_device rd;
    const auto start =
        std::filesystem::temp_directory_path() / ("qm_copy_bench_" + std::to_string(rd()));
    std::filesystem::create_directories(start);
    sim::InProcessHidLink link(device, 65, 65);
    FixedClock clock;
    QuietOperator ops;
    Controller c(clock, ops);
    c.SetUpFolders(start);
    c.FormCreate(1024, 768);
    c.UsbLoggerFound(&link);
    // The root listing is not part of the measurement: the directory is selected directly.
    c.MutableDirectories().SetDirectoryNames({name});
    ComboBox& combo = c.MutableModel().ComboBox1;
    combo.items = {name};
    combo.itemIndex = 0;
    combo.text = name;

    std::int64_t exchanges = 0, replyBytes = 0;
    for (auto _ : state) {
        c.Click("bAllData");
        while (auto report = link.TakeReport()) {
            replyBytes += (*report)[0] + 1;
            c.HidCtlDeviceData("QM Controller", *report);
            ++exchanges;
            if (link.Written().size() > 4096) link.ClearWritten();
        }
        c.OnTimer(TimerId::Timer2);
    }
    std::uintmax_t fileBytes = 0;
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(start / "DATA" / LocalName(name))) {
        fileBytes += e.file_size();
        ++files;
    }
    state.counters["exchanges_per_s"] =
        benchmark::Counter(static_cast<double>(exchanges), benchmark::Counter::kIsRate);
    state.counters["reply_bytes_per_s"] =
        benchmark::Counter(static_cast<double>(replyBytes), benchmark::Counter::kIsRate);
    state.counters["file_bytes_per_s"] =
        benchmark::Counter(static_cast<double>(fileBytes) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["exchanges"] = static_cast<double>(exchanges) / state.iterations();
    state.counters["local_files"] = files;
    state.counters["local_MB"] = static_cast<double>(fileBytes) / 1e6;
    state.counters["peak_rss_kB"] = static_cast<double>(PeakRssKb());
    state.counters["errors"] = ops.errors;
    std::filesystem::remove_all(start);
}

// The virtual logger's demo store for a whole year: 12 monthly files of one measurement an
// hour (about 720 a month) of 63 values.
void BM_CopyFromVirtualLogger(benchmark::State& state) {
    sim::LoggerConfig config;
    config.demoShape = {12, 60, 63, 0, true};
    const DateTime now = *DateTime::FromCivil({2024, 12, 31, 23, 59, 0, 0});
    sim::VirtualLogger logger(config, [now] { return now; });
    RunCopies(state, logger, logger.Store().DirectoryNames().at(1));
}

// Generated files: 12 of 720 measurements, then ten times larger ones, to show that the
// program's memory does not grow with the file size.
void BM_CopyGenerated(benchmark::State& state) {
    GeneratingLogger logger(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    RunCopies(state, logger, "BENCH");
}

BENCHMARK(BM_CopyFromVirtualLogger)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyGenerated)
    ->Args({12, 720})
    ->Args({12, 7200})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
