// Memory of a collection that serves for a long time: qm-controller's --serve in-process on a
// virtual clock, visiting the demo network's stations (radio-3, radio-7, radio-12 out of range,
// bt-1, bt-2) every minute, each visit a real one over the network's modems with its logs,
// status files and alarms written as the program writes them. Prints the resident set size
// (VmRSS) and its peak (VmHWM) after the numbers of visits given, and the wall time.
//
//   serve_bench [--visits N] [--every M]
//
// Measures after 100, 500 and N visits (1,000); M minutes between each station's due times (1).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "app/Collect.h"
#include "app/Options.h"
#include "bench/BenchArgs.h"
#include "collect/VirtualVisit.h"
#include "sim/Network.h"
#include "store/LocalFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

struct Utc : qm::LocalZone {
    seconds OffsetAt(sys_seconds) const override { return seconds{0}; }
};

// A field of /proc/self/status in kB; -1 where there is none.
long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    int visits = 1000;
    int every = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 < argc && a == "--visits" &&
            qm::bench::WholeNumber(argv[i + 1], 1, 1'000'000, visits)) {
            ++i;
        } else if (i + 1 < argc && a == "--every" &&
                   qm::bench::WholeNumber(argv[i + 1], 1, 10'000, every)) {
            ++i;
        } else {
            std::fputs("usage: serve_bench [--visits N] [--every MINUTES]\n", stderr);
            return 2;
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("qm_serve_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    std::ofstream(dir / "demo.toml")
        << "[defaults]\nevery = \"" << every << "m\"\nretries = 3\nretry_every = \"5m\"\n"
        << "secondary_every = \"30m\"\n[alarms]\nfailures = 3\n"
        << "[[station]]\nname = \"radio-3\"\nradio = 3\n"
        << "[[station]]\nname = \"radio-7\"\nradio = 7\n"
        << "[[station]]\nname = \"radio-12\"\nradio = 12\n"
        << "[[station]]\nname = \"bt-1\"\nbluetooth = \"0012F3A4B5C6\"\n"
        << "[[station]]\nname = \"bt-2\"\nbluetooth = \"00AABBCCDDEE\"\n";

    const Utc utc;
    const sys_seconds start = sys_days{2026y / March / 2};
    qm::VirtualTime time(start, utc);
    qm::sim::VirtualNetwork net(qm::sim::DemoNetwork(), [&time] { return time.Now(); });
    qm::Options options;
    options.stationsFile = qm::PathText(dir / "demo.toml");
    options.language = qm::Language::English;

    int started = 0;
    int nextMark = std::min(100, visits);
    const auto wall = steady_clock::now();
    std::printf("%8s %12s %12s %10s %14s\n", "visits", "VmRSS kB", "VmHWM kB", "wall s",
                "virtual days");
    const qm::ServeParts parts{
        time, utc,
        [&] {
            ++started;
            return qm::MakeVirtualVisit(time, net, options.language);
        },
        [&](std::optional<sys_seconds> wake) { time.MoveTo(wake.value_or(time.UtcNow() + 1h)); },
        [&] {
            // Asked after every visit has ended and been written up.
            if (started == nextMark) {
                std::printf("%8d %12ld %12ld %10.1f %14.2f\n", started, StatusKb("VmRSS"),
                            StatusKb("VmHWM"), duration<double>(steady_clock::now() - wall).count(),
                            duration<double>(time.UtcNow() - start).count() / 86400);
                std::fflush(stdout);
                nextMark = nextMark < 500 && visits > 500 ? 500 : visits;
            }
            return started >= visits;
        }};
    const int status = qm::ServeWith(options, parts);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
