// --serve in-process on virtual time, its visits real visits to the loggers of a virtual network.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "app/Collect.h"
#include "app/Options.h"
#include "collect/VirtualVisit.h"
#include "sim/Network.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

struct Utc : LocalZone {
    seconds OffsetAt(sys_seconds) const override { return seconds{0}; }
};

std::string Bytes(const fs::path& file) {
    std::ostringstream bytes;
    bytes << std::ifstream(file, std::ios::binary).rdbuf();
    return bytes.str();
}

TEST(Serve, ASilentStationIsRetriedOnScheduleAndCollectedWholeOnReturnWithOneClearing) {
    const fs::path dir =
        fs::temp_directory_path() / ("qm_serve_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    std::ofstream(dir / "net.toml") << "[defaults]\nevery = \"6h\"\nretries = 3\n"
                                       "retry_every = \"5m\"\nsecondary_every = \"30m\"\n"
                                       "[alarms]\nfailures = 3\n"
                                       "[[station]]\nname = \"radio-3\"\nradio = 3\n";
    const Utc utc;
    const sys_seconds start = sys_days{2026y / March / 2};
    VirtualTime time(start, utc);
    sim::VirtualNetwork net(sim::DemoNetwork(), [&time] { return time.Now(); });
    net.Radio().SetInRange(3, false);  // back two hours on

    // Each visit's beginning and end, as the run's clock says.
    std::vector<std::pair<sys_seconds, sys_seconds>> visits;
    struct Timed : VisitRunner {
        std::unique_ptr<VisitRunner> run;
        VirtualTime& time;
        std::vector<std::pair<sys_seconds, sys_seconds>>& visits;
        Timed(std::unique_ptr<VisitRunner> r, VirtualTime& t, decltype(visits) v)
            : run(std::move(r)), time(t), visits(v) {}
        SessionWork& Work() override { return run->Work(); }
        VisitResult Run(const Station& s, const VisitAsk& a,
                        std::function<void(const VisitProgress&)> p) override {
            const sys_seconds began = time.UtcNow();
            VisitResult r = run->Run(s, a, std::move(p));
            visits.emplace_back(began, time.UtcNow());
            return r;
        }
        void Stop(const VisitMessage& why) override { run->Stop(why); }
    };
    Options options;
    options.stationsFile = PathText(dir / "net.toml");
    options.language = Language::English;
    const ServeParts parts{time, utc,
                           [&] {
                               return std::make_unique<Timed>(
                                   MakeVirtualVisit(time, net, options.language), time, visits);
                           },
                           [&](std::optional<sys_seconds> wake) {
                               time.MoveTo(wake.value_or(start + days{1}));
                               net.Radio().SetInRange(3, time.UtcNow() >= start + 2h);
                           },
                           [&] { return time.UtcNow() > start + 6h; }};
    ASSERT_EQ(ServeWith(options, parts), 0);

    // Failed at the start, three retries 5 minutes after each visit ends, then every 30 minutes
    // until it answers after two hours; then back on its schedule.
    ASSERT_EQ(visits.size(), 9u);
    EXPECT_EQ(visits[0].first, start);
    for (std::size_t i = 1; i < 8; ++i)
        EXPECT_EQ(visits[i].first, visits[i - 1].second + (i <= 3 ? 5min : 30min)) << i;
    EXPECT_LT(visits[6].first, start + 2h);
    EXPECT_GE(visits[7].first, start + 2h);
    EXPECT_EQ(visits[8].first, start + 6h);
    const fs::path station = dir / "DATA" / "radio-3";
    const VisitLogRead log = ReadVisitLog(station);
    ASSERT_EQ(log.records.size(), visits.size());
    for (std::size_t i = 0; i < visits.size(); ++i) {
        EXPECT_EQ(log.records[i].time, visits[i].first) << i;
        EXPECT_EQ(log.records[i].collected, i >= 7) << i;
    }

    // Nothing lost: every file of every directory the logger lists (all but its system
    // directory), byte for byte.
    sim::LoggerStore& store = net.Store(*net.Find("radio-3"));
    std::size_t files = 0;
    std::size_t directories = 0;
    for (const std::string& d : store.DirectoryNames()) {
        if (!fs::exists(station / LocalName(d))) continue;
        ++directories;
        for (const std::string& name : store.FileNames(d)) {
            std::string text;
            for (const std::string& line : store.Content(d, name)->lines) text += line + "\r\n";
            EXPECT_EQ(Bytes(station / LocalName(d) / LocalName(name)), text) << name;
            ++files;
        }
    }
    EXPECT_EQ(directories + 1, store.DirectoryNames().size());
    EXPECT_GT(files, 3u);
    std::map<std::string, int> events;
    std::istringstream alarms(Bytes(dir / "DATA" / "alarms.jsonl"));
    for (std::string line; std::getline(alarms, line);)
        for (const char* e : {"raised", "repeated", "cleared"})
            if (line.find("\"" + std::string(e) + "\"") != std::string::npos) ++events[e];
    EXPECT_EQ(events, (std::map<std::string, int>{{"cleared", 1}, {"raised", 1}}));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace qm::test
