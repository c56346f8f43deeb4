// A collection of many loggers behind one USB radio modem, one after another as an unattended
// run makes it: for each logger a controller of its own selects the logger's radio address
// (request 131), waits for the identification and read-out, and copies every directory with
// "Новые" into the station's own data folder. The radio line runs at a given baud rate and loses
// requests and replies. It prints what was copied, the retries, the time the collection took
// against the time its bytes needed on the line, and how many local files differ from the
// loggers' own, byte for byte.
//
//   collect_bench [--loggers N] [--baud B] [--loss PERCENT] [--seed S] [--days D]
//                 [--sensors N]
//
// Every logger has measured every hour, N sensors (63), for D days (30: a month) since an
// earlier collection. That earlier collection is made first, over a clean unpaced line, and is
// not counted: it leaves each station's folders with their files and resume records, so the
// collection measured is a "new" copy that carries on the open monthly file and starts the
// next one, and finds the logger's finished directory with nothing new.
//
// Time is virtual: the test rig's clock runs the controller's timers (the reply watchdog among
// them), and each reply is held back by the line time of its request and of itself (PacedLine).
// The wall time is therefore what the line and the program's own waits take; the computer's
// time to handle a reply is not in it (the bench prints its own run time, which bounds that).
// The wire time is the line time of every byte that crossed the line, the lost ones included:
// requests are counted in front of the faults, replies behind them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchArgs.h"
#include "protocol/Cp1251.h"
#include "protocol/DateTime.h"
#include "session/SessionEvents.h"
#include "sim/DemoStore.h"
#include "sim/FaultyDevice.h"
#include "sim/Network.h"
#include "sim/PacedLine.h"
#include "sim/ValueLines.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"
#include "tests/support/Rig.h"

namespace {

namespace fs = std::filesystem;
using qm::DateTime;

struct Options {
    int loggers = 10;
    int baud = 9600;
    std::string loss = "2";
    int seed = 1;
    int days = 30;
    int sensors = 63;
};

constexpr const char* kUsage =
    "usage: collect_bench [--loggers N] [--baud B] [--loss PERCENT] [--seed S] [--days D] "
    "[--sensors N]\n"
    "  --loggers N      loggers behind the radio modem, 1..254 (10)\n"
    "  --baud B         the radio line's rate, 10 bits a byte; 0 unpaced (9600)\n"
    "  --loss PERCENT   each request and each reply is lost with this chance (2)\n"
    "  --seed S         the draw of the losses (1)\n"
    "  --days D         days of hourly measurements new since the earlier collection (30)\n"
    "  --sensors N      values per measurement, 1..250 (63)\n";

// The earlier collection, when every logger was last emptied into its station's folder.
DateTime EarlierCollection() {
    return *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0});
}

std::string Cp1251(const std::string& utf8) {
    return qm::Utf8ToCp1251(utf8);
}

// A fixed, well-mixed hash, so that no two loggers' values are alike.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One logger's store over time: its monthly files of hourly measurements from `from` up to a
// moment, and a finished directory that ended before the earlier collection.
class LoggerData {
public:
    LoggerData(int station, int sensors) : station_(station), sensors_(sensors) {}

    // The store as it stands at `until`: every file holds the measurements taken up to then,
    // so a later state's files begin with an earlier state's lines.
    void Fill(qm::sim::LoggerStore& store, DateTime until) const {
        store.Clear();
        store.AddFile(qm::kSystemDirectory, "LOG.TXT",
                      qm::sim::LoggerStore::Lines{"QM logger system log", "format 1", "ok"});
        const DateTime earlier = EarlierCollection();
        // The finished directory: ten days of February.
        AddMeasurements(store, Cp1251("OBJ_") + std::to_string(station_),
                        *DateTime::FromCivil({2024, 2, 20, 0, 0, 0, 0}),
                        *DateTime::FromCivil({2024, 2, 29, 23, 59, 0, 0}), 1);
        // The open one: from the first of the month of the earlier collection on.
        const qm::CivilDateTime e = earlier.ToCivil();
        AddMeasurements(store, Cp1251("Скважина_") + std::to_string(station_),
                        *DateTime::FromCivil({e.year, e.month, 1, 0, 0, 0, 0}), until, 0);
    }

private:
    void AddMeasurements(qm::sim::LoggerStore& store, const std::string& directory, DateTime from,
                         DateTime until, int series) const {
        std::map<std::string, qm::sim::LoggerStore::Lines> files;
        std::vector<std::string> order;
        constexpr std::int64_t kHourMs = 60 * DateTime::kMsPerMinute;
        for (std::int64_t ms = from.Milliseconds(); ms <= until.Milliseconds(); ms += kHourMs) {
            const qm::CivilDateTime t = DateTime::FromMilliseconds(ms).ToCivil();
            const std::string name = qm::sim::MonthlyFileName(t.year, t.month);
            auto [file, made] = files.try_emplace(name);
            if (made) {
                order.push_back(name);
                file->second.push_back(directory + "  " + name + "  QM-Controller");
            }
            char header[64];
            std::snprintf(header, sizeof header, "%02d:%02d %02d.%02d.%04d  N=%d", t.hour, t.minute,
                          t.day, t.month, t.year, sensors_);
            file->second.emplace_back(header);
            for (auto& line : qm::sim::FormatValueLines(Values(ms, series)))
                file->second.push_back(std::move(line));
        }
        store.AddDirectory(directory);
        for (const std::string& name : order) store.AddFile(directory, name, files[name]);
    }

    // A string of sensors down a borehole: warmer with depth, a daily swing near the surface,
    // a mean of each station's own; now and then a sensor gives no value.
    std::vector<qm::sim::StoredValue> Values(std::int64_t ms, int series) const {
        std::vector<qm::sim::StoredValue> values;
        const double hour = static_cast<double>(ms / (60 * DateTime::kMsPerMinute) % 24);
        for (int s = 0; s < sensors_; ++s) {
            const std::uint64_t h =
                Mix(static_cast<std::uint64_t>(ms) ^ (static_cast<std::uint64_t>(station_) << 52) ^
                    (static_cast<std::uint64_t>(series) << 48) ^ static_cast<std::uint64_t>(s));
            if (h % 300 == 0) {
                values.emplace_back();
                continue;
            }
            const double daily = 300.0 * std::exp(-s / 3.0) * std::sin((hour - 9.0) * 0.2618);
            const double value =
                150.0 * station_ + 10.0 * s - 400.0 + daily + static_cast<double>(h % 31) - 15.0;
            values.emplace_back(static_cast<int>(std::lround(value)));
        }
        return values;
    }

    int station_;
    int sensors_;
};

// Every file of a local data-set folder but the program's own, by name, with its bytes; a file
// left in the staging folder counts as a file of its own.
std::map<std::string, std::string> LocalFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        if (!entry.is_regular_file()) continue;
        const fs::path name = entry.path().filename();
        if (entry.path().parent_path() == folder &&
            (name == qm::kResumeRecordName || name == qm::kCollectionLogName))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[qm::PathText(fs::relative(entry.path(), folder))] = bytes.str();
    }
    return files;
}

// A logger's files of a directory as the local copy must hold them, by local name.
std::map<std::string, std::string> LoggerFiles(qm::sim::LoggerStore& store,
                                               const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const std::string& name : store.FileNames(directory)) {
        std::string text;
        for (const std::string& line : store.Content(directory, name)->lines) text += line + "\r\n";
        files[qm::PathText(qm::LocalName(name))] = text;
    }
    return files;
}

// Files that are not the same on both sides: missing, extra or with other bytes.
int Differences(const std::map<std::string, std::string>& local,
                const std::map<std::string, std::string>& logger) {
    int differ = 0;
    for (const auto& [name, bytes] : logger) {
        const auto it = local.find(name);
        differ += it == local.end() || it->second != bytes ? 1 : 0;
    }
    for (const auto& [name, bytes] : local) differ += logger.count(name) == 0 ? 1 : 0;
    return differ;
}

// What a collection of one logger did.
struct LoggerRun {
    bool reached = false;
    int copies = 0;       // directories whose copy ended Done
    int carriedOn = 0;    // copies that failed and were started again
    int directories = 0;  // directories listed
    qm::CopyTotals totals;
    std::int64_t measurements = 0;
    long resent = 0;             // requests sent again over the whole session
    std::int64_t ms = 0;         // from the controller's start to its last copy's end
    std::int64_t readOutMs = 0;  // from the controller's start to the read-out's end
    qm::sim::LineTraffic line;   // requests in front of the faults, replies behind them
    std::vector<std::string> errors;
};

struct CopyHeard : qm::SessionEvents {
    std::optional<qm::CopyResult> result;
    void CopyEnded(const qm::CopyResult& r) override { result = r; }
};

// The radio line of the bench: PC -> paced line -> faults -> the line's far side -> modem.
struct RadioLine {
    RadioLine(qm::sim::Device& modem, int baud)
        : farSide(modem, 0), faults(farSide), paced(faults, baud) {}
    qm::sim::PacedLine farSide;  // counts the replies that set out, the lost ones included
    qm::sim::FaultyDevice faults;
    qm::sim::PacedLine paced;  // counts every request sent; holds the replies back
};

constexpr std::int64_t kReachLimitMs = 10 * 60'000;
constexpr std::int64_t kCopyLimitMs = 6 * 3'600'000;
constexpr int kRoundsPerDirectory = 4;

// One logger collected by a controller of its own, as a run makes it, starting at `start` on
// the PC clock. `pc` is pointed at the rig's clock while it runs (the loggers' clocks follow it).
LoggerRun CollectOne(RadioLine& radio, qm::test::FakePcClock*& pc, DateTime start,
                     std::uint8_t address, const std::string& station, const fs::path& root) {
    LoggerRun run;
    const qm::sim::LineTraffic requestsBefore = radio.paced.Crossed();
    const qm::sim::LineTraffic repliesBefore = radio.farSide.Crossed();
    qm::test::Rig rig(radio.paced);
    rig.clock.start = start;
    pc = &rig.clock;
    radio.paced.SetReplyDelayCallback(
        [&rig](std::chrono::milliseconds delay) { rig.link.SetReplyDelay(delay); });
    qm::Controller& c = rig.controller;
    qm::SessionWork& work = c.MutableSession().Work();
    CopyHeard heard;
    c.MutableSession().Listen(heard);
    c.SetUpFolders(root);
    work.NameStation(station);
    if (!work.UseDataFolder(root / "DATA" / station)) run.errors.push_back("no data folder");

    const auto identified = [&] {
        const auto& id = c.LoggerSession().Logger().identity;
        return id && id->version != 0;
    };
    rig.StartUsb();
    // The address is selected as soon as the modem's own read-out lets it be (or the modem was
    // not made out and nothing more happens); then the logger's read-out runs, or its
    // identification is given up.
    bool selected = false;
    rig.RunUntil(
        [&] {
            selected = selected || work.ReachRadioAddress(address);
            return selected || (!work.ReadingOut() && work.Idle());
        },
        kReachLimitMs);
    if (selected) {
        rig.RunUntil([&] { return identified() ? !work.ReadingOut() && work.Idle() : work.Idle(); },
                     kReachLimitMs);
    }
    run.reached = identified() && !work.ReadingOut() && work.Idle();
    run.readOutMs = rig.now;
    if (run.reached) {
        for (const std::string& name : c.LoggerSession().Logger().directories) {
            ++run.directories;
            const std::string directory = qm::Cp1251ToUtf8(name);
            for (int round = 0; round < kRoundsPerDirectory; ++round) {
                heard.result.reset();
                if (work.StartCopy(directory, qm::CopyMode::New, {}) == qm::CopyStart::Refused)
                    break;
                if (!rig.RunUntil([&] { return heard.result.has_value(); }, kCopyLimitMs)) break;
                run.totals.files += heard.result->totals.files;
                run.totals.bytes += heard.result->totals.bytes;
                run.totals.retries += heard.result->totals.retries;
                run.measurements += heard.result->measurements;
                if (heard.result->end == qm::CopyResult::End::Done) {
                    ++run.copies;
                    break;
                }
                // A copy that gave up is carried on from its last complete line, as a run of
                // the collection would.
                ++run.carriedOn;
            }
        }
    }
    run.ms = rig.now;
    run.resent = c.Link().Tally().resent;
    run.errors.insert(run.errors.end(), rig.ops.errors.begin(), rig.ops.errors.end());
    c.MutableSession().StopListening(heard);
    c.FormClose();
    radio.paced.SetReplyDelayCallback(nullptr);
    run.line.requests = radio.paced.Crossed().requests - requestsBefore.requests;
    run.line.requestBytes = radio.paced.Crossed().requestBytes - requestsBefore.requestBytes;
    run.line.replies = radio.farSide.Crossed().replies - repliesBefore.replies;
    run.line.replyBytes = radio.farSide.Crossed().replyBytes - repliesBefore.replyBytes;
    pc = nullptr;
    return run;
}

double WireSeconds(std::uint64_t bytes, int baud) {
    return baud > 0 ? static_cast<double>(bytes) * 10.0 / baud : 0.0;
}

std::string Minutes(double seconds) {
    char text[32];
    const auto whole = static_cast<long>(std::lround(seconds));
    std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        bool ok = more;
        if (!more) {
        } else if (arg == "--loggers") {
            ok = qm::bench::WholeNumber(argv[i + 1], 1, 254, o.loggers);
        } else if (arg == "--baud") {
            ok = qm::bench::WholeNumber(argv[i + 1], 0, 10'000'000, o.baud);
        } else if (arg == "--loss") {
            // A number only: the rest of the faults' text is the bench's own.
            o.loss = argv[i + 1];
            ok = !o.loss.empty() && o.loss.find_first_not_of("0123456789.") == std::string::npos;
        } else if (arg == "--seed") {
            ok = qm::bench::WholeNumber(argv[i + 1], 0, 2'000'000'000, o.seed);
        } else if (arg == "--days") {
            ok = qm::bench::WholeNumber(argv[i + 1], 1, 366, o.days);
        } else if (arg == "--sensors") {
            ok = qm::bench::WholeNumber(argv[i + 1], 1, 250, o.sensors);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
        ++i;
    }
    const auto faults =
        qm::sim::ParseLinkFaults("loss=" + o.loss + ",seed=" + std::to_string(o.seed));
    if (!faults) {
        std::fprintf(stderr, "collect_bench: --loss takes a percentage, 0 to 100\n%s", kUsage);
        return 2;
    }
    const auto benchStart = std::chrono::steady_clock::now();

    // The network: the loggers at radio addresses 1..N, their clocks a little off.
    qm::test::FakePcClock between;
    qm::test::FakePcClock* pc = nullptr;
    qm::sim::NetworkDescription description;
    for (int i = 0; i < o.loggers; ++i) {
        qm::sim::NetworkLogger l;
        char name[32];
        std::snprintf(name, sizeof name, "station-%02d", i + 1);
        l.name = name;
        l.reach = qm::sim::Reach::Radio;
        l.radioAddress = static_cast<std::uint8_t>(i + 1);
        l.clockOffsetSeconds = (i * 37) % 120 - 60;
        l.seed = i + 1;
        description.loggers.push_back(l);
    }
    qm::sim::VirtualNetwork net(description, [&] { return (pc ? pc : &between)->Now(); });
    std::vector<LoggerData> data;
    for (int i = 0; i < o.loggers; ++i) data.emplace_back(i + 1, o.sensors);

    const fs::path root =
        fs::temp_directory_path() / ("qm_collect_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    RadioLine radio(net.Radio(), 0);

    // The earlier collection: everything up to its moment, over a clean unpaced line.
    const DateTime earlier = EarlierCollection();
    for (std::size_t i = 0; i < net.Size(); ++i) data[i].Fill(net.Store(i), earlier);
    std::int64_t clockMs = earlier.Milliseconds();
    int earlierFiles = 0;
    for (std::size_t i = 0; i < net.Size(); ++i) {
        const LoggerRun run = CollectOne(radio, pc, DateTime::FromMilliseconds(clockMs),
                                         net.Describe(i).radioAddress, net.Describe(i).name, root);
        if (!run.reached || run.copies != run.directories) {
            std::fprintf(stderr, "collect_bench: the earlier collection of %s failed\n",
                         net.Describe(i).name.c_str());
            return 1;
        }
        earlierFiles += static_cast<int>(run.totals.files);
        clockMs += run.ms;
    }
    const auto setUpEnd = std::chrono::steady_clock::now();

    // The collection measured: D days later, every logger with its new measurements.
    const DateTime later =
        DateTime::FromMilliseconds(earlier.Milliseconds() + o.days * 24 * 60 * 60'000LL);
    for (std::size_t i = 0; i < net.Size(); ++i) data[i].Fill(net.Store(i), later);
    radio.paced.SetBaud(o.baud);
    radio.faults.SetFaults(*faults);
    const int lostRequestsBefore = radio.faults.RequestsLost();
    const int lostRepliesBefore = radio.faults.RepliesLost();
    clockMs = later.Milliseconds();
    std::vector<LoggerRun> runs;
    for (std::size_t i = 0; i < net.Size(); ++i) {
        runs.push_back(CollectOne(radio, pc, DateTime::FromMilliseconds(clockMs),
                                  net.Describe(i).radioAddress, net.Describe(i).name, root));
        clockMs += runs.back().ms;
    }
    const auto collectEnd = std::chrono::steady_clock::now();

    // Nothing lost or repeated: every directory's local files are the logger's, byte for byte.
    int files = 0, differ = 0;
    std::vector<int> differByLogger;
    for (std::size_t i = 0; i < net.Size(); ++i) {
        int d = 0;
        for (const std::string& directory : net.Store(i).DirectoryNames()) {
            if (directory == qm::kSystemDirectory) continue;
            const auto logger = LoggerFiles(net.Store(i), directory);
            files += static_cast<int>(logger.size());
            d += Differences(
                LocalFiles(qm::DataSetFolder(root / "DATA" / net.Describe(i).name, directory)),
                logger);
        }
        differByLogger.push_back(d);
        differ += d;
    }

    // The figures.
    std::printf("collect_bench: %d loggers behind one radio modem, %d Bd, %s %% loss (seed %d)\n",
                o.loggers, o.baud, o.loss.c_str(), o.seed);
    std::printf(
        "each logger: %d days of hourly measurements of %d sensors since an earlier collection "
        "(%d files then, not counted), copied with \"Новые\"; time is virtual\n\n",
        o.days, o.sensors, earlierFiles);
    std::printf("%-11s %7s %6s %10s %7s %8s %9s %9s %9s %7s %6s\n", "logger", "copies", "files",
                "bytes", "meas.", "retries", "read-out", "wall s", "wire s", "ratio", "differ");
    qm::CopyTotals totals;
    std::int64_t measurements = 0;
    long resent = 0;
    int reached = 0, carriedOn = 0;
    double wallSeconds = 0;
    qm::sim::LineTraffic line;
    std::vector<std::string> errors;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LoggerRun& r = runs[i];
        const double wall = static_cast<double>(r.ms) / 1000.0;
        const double wire = WireSeconds(r.line.Bytes(), o.baud);
        std::printf("%-11s %3d of %-2d %6lld %10llu %7lld %8ld %9.1f %9.1f %9.1f %7.3f %6d\n",
                    net.Describe(i).name.c_str(), r.copies, r.directories,
                    static_cast<long long>(r.totals.files),
                    static_cast<unsigned long long>(r.totals.bytes),
                    static_cast<long long>(r.measurements), r.resent,
                    static_cast<double>(r.readOutMs) / 1000.0, wall, wire,
                    wire > 0 ? wall / wire : 0.0, differByLogger[i]);
        reached += r.reached ? 1 : 0;
        carriedOn += r.carriedOn;
        totals.files += r.totals.files;
        totals.bytes += r.totals.bytes;
        totals.retries += r.totals.retries;
        measurements += r.measurements;
        resent += r.resent;
        wallSeconds += wall;
        line.requests += r.line.requests;
        line.replies += r.line.replies;
        line.requestBytes += r.line.requestBytes;
        line.replyBytes += r.line.replyBytes;
        for (const std::string& e : r.errors) errors.push_back(net.Describe(i).name + ": " + e);
    }
    const double wireSeconds = WireSeconds(line.Bytes(), o.baud);
    std::printf("\nloggers:      %d, %d reached\n", o.loggers, reached);
    std::printf("files:        %lld put in place (new or carried on)\n",
                static_cast<long long>(totals.files));
    std::printf("bytes:        %llu added to the local files\n",
                static_cast<unsigned long long>(totals.bytes));
    std::printf("measurements: %lld\n", static_cast<long long>(measurements));
    std::printf(
        "line:         %lld requests (%llu bytes), %lld replies (%llu bytes); lost: %d "
        "requests, %d replies\n",
        static_cast<long long>(line.requests), static_cast<unsigned long long>(line.requestBytes),
        static_cast<long long>(line.replies), static_cast<unsigned long long>(line.replyBytes),
        radio.faults.RequestsLost() - lostRequestsBefore,
        radio.faults.RepliesLost() - lostRepliesBefore);
    std::printf(
        "retries:      %ld requests sent again (%lld of them by the copies); copies given up "
        "and carried on: %d\n",
        resent, static_cast<long long>(totals.retries), carriedOn);
    std::printf(
        "wall time:    %.1f s (%s), from the first controller's start to the last copy's "
        "end\n",
        wallSeconds, Minutes(wallSeconds).c_str());
    if (o.baud > 0 && wireSeconds > 0) {
        std::printf("wire time:    %.1f s (%s), every byte that crossed the line at %d Bd\n",
                    wireSeconds, Minutes(wireSeconds).c_str(), o.baud);
        std::printf("wall / wire:  %.3f (goal <= 1.3)\n", wallSeconds / wireSeconds);
    } else {
        std::printf("wire time:    none, %s\n",
                    o.baud > 0 ? "nothing crossed the line" : "the line is unpaced");
    }
    std::printf("nothing lost or repeated: %d of %d files differ from the loggers' own\n", differ,
                files);
    for (const std::string& e : errors) std::printf("message: %s\n", e.c_str());
    const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
    std::printf("bench run time: %.1f s (earlier collection %.1f s, collection %.1f s)\n",
                seconds(collectEnd - benchStart), seconds(setUpEnd - benchStart),
                seconds(collectEnd - setUpEnd));

    std::error_code ec;
    fs::remove_all(root, ec);
    return reached == o.loggers && differ == 0 ? 0 : 1;
}
