// A whole "Копировать" copy of one directory over a pseudo-terminal through the real serial
// backend, against a virtual logger that plays a line of a given baud rate, and the time it took
// against the time its bytes need on that line (requests and replies, 10 bits a byte).
//
//   serial_copy_bench [--pace BAUD] [--months N] [--days N] [--sensors N] [--sim [PATH]]
//                     [--faults SPEC]
//
// The logger runs in a child process (forked before Qt starts) and models the wire both ways: a
// request has arrived only when its bytes have had their line time, and each piece of a reply is
// written when its last byte would have arrived. With --sim the logger is instead the simulator
// program (PATH, or the one built beside this benchmark) started with "--pty --store M,D,S
// --pace BAUD", the same store, and its ordinary sleeps. --faults SPEC (with --sim) copies twice,
// over a clean line and then over one with those faults, and gives the time the faults cost,
// the retries, and whether both copies gave the same files. --pace 0 runs unpaced and gives the
// exchanges per second the program and the pty manage.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "bench/BenchArgs.h"
#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "sim/SerialEndpoint.h"
#include "sim/VirtualLogger.h"
#include "store/Catalogue.h"
#include "tests/link/CountingPort.h"
#include "tests/support/Rig.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int pace = 115200;
    int months = 3;
    int days = 4;
    int sensors = 63;
    std::string sim;     // the simulator program, when it plays the logger
    std::string faults;  // its lossy line
};

volatile sig_atomic_t stopLogger = 0;

std::int64_t Ticks() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Moments both processes see (steady_clock is the system's monotonic clock): when the logger
// wrote the last byte of a reply, and when the program's write of a request returned.
struct Moments {
    std::atomic<std::int64_t> replyWritten{0};
    std::atomic<std::int64_t> requestWritten{0};
    std::atomic<std::int64_t> lateTotal{0};  // the logger's late wakes so far
};
Moments* moments = nullptr;

// The logger's side in the child process: serves requests from the pty master until the parent
// ends it with SIGTERM. Time on the wire is modelled in both directions. On its way out it
// prints where the time between its replies went.
[[noreturn]] void ServeLogger(int master, const Options& o) {
    prctl(PR_SET_TIMERSLACK, 1UL);  // wake from sleeps within microseconds, not 50 us late
    struct sigaction action {};
    action.sa_handler = [](int) { stopLogger = 1; };
    sigaction(SIGTERM, &action, nullptr);
    // Turnaround: from a reply's last byte written to the next request read (the program and
    // the pty both ways). Late: how far the wakes for the last piece of a reply overshot.
    std::chrono::nanoseconds turnaround{0}, late{0}, up{0};
    long turns = 0, replies = 0;
    Clock::time_point lastWrite{};
    qm::sim::LoggerConfig config;
    config.demoShape = {o.months, 60, o.sensors, o.days, true};
    const qm::DateTime now = *qm::DateTime::FromCivil({2024, 3, 20, 12, 0, 0, 0});
    qm::sim::VirtualLogger logger(config, [now] { return now; });
    qm::sim::SerialEndpoint endpoint(logger);
    Clock::time_point rxFree{}, txFree{};
    std::uint8_t buffer[512];
    for (;;) {
        if (stopLogger) {
            const auto per = [](std::chrono::nanoseconds d, long n) {
                return n ? static_cast<double>(d.count()) / 1e3 / static_cast<double>(n) : 0.0;
            };
            std::printf(
                "logger side, per exchange: turnaround %.1f us (of it %.1f us from the "
                "program's write to the logger's read), last-piece wakes %.1f us late\n",
                per(turnaround, turns), per(up, turns), per(late, replies));
            std::fflush(stdout);
            _exit(0);
        }
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) < 0 && errno != EINTR) _exit(1);
        if (!(p.revents & POLLIN)) continue;
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) continue;  // EIO while the program has the port closed
        const auto t = Clock::now();
        if (lastWrite != Clock::time_point{}) {
            turnaround += t - lastWrite;
            up += std::chrono::nanoseconds(Ticks() - moments->requestWritten.load());
            ++turns;
            lastWrite = {};
        }
        // The program's bytes left when it wrote them; they are in once their line time is over.
        rxFree = std::max(rxFree, t) + qm::sim::LineTime(static_cast<std::size_t>(n), o.pace);
        for (const qm::sim::SerialChunk& chunk :
             endpoint.Receive({buffer, static_cast<std::size_t>(n)})) {
            const auto begin = std::max(rxFree, txFree) + chunk.delayBefore;
            // Pieces of about a millisecond of line time, each written when it has arrived.
            const std::size_t slice =
                o.pace > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(o.pace) / 10000)
                           : chunk.bytes.size();
            std::size_t done = 0;
            while (done < chunk.bytes.size()) {
                const std::size_t k = std::min(slice, chunk.bytes.size() - done);
                const auto due = begin + qm::sim::LineTime(done + k, o.pace);
                if (o.pace > 0) std::this_thread::sleep_until(due);
                if (o.pace > 0 && done + k == chunk.bytes.size()) {
                    late += Clock::now() - due;
                    moments->lateTotal = late.count();
                    ++replies;
                }
                if (done + k == chunk.bytes.size()) {  // stamped before the other side can see it
                    lastWrite = Clock::now();
                    moments->replyWritten = Ticks();
                }
                const ssize_t w = write(master, chunk.bytes.data() + done, k);
                if (w < 0 && errno != EINTR && errno != EAGAIN) _exit(1);
                if (w > 0) done += static_cast<std::size_t>(w);
            }
            txFree = begin + qm::sim::LineTime(chunk.bytes.size(), o.pace);
        }
    }
}

// The data files of a data-set folder (the resume record and the collection log, which says
// when each copy ran, left out), by name.
std::map<std::string, std::string> DataFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        const fs::path name = e.path().filename();
        if (!e.is_regular_file() || name == "Temp.bin" || name == "collection.jsonl") continue;
        std::ifstream in(e.path(), std::ios::binary);
        files[e.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

// What one copy took.
struct CopyRun {
    bool finished = false;
    std::string error;
    double seconds = 0;
    std::size_t exchanges = 0, requestBytes = 0, replyBytes = 0;
    long retries = 0;
    qm::Exchange::Counts counts;  // the exchange's tally over the copy
    int gaveUp = 0;               // copies that gave up and were carried on with "Новые"
    double handlerUs = 0;         // per exchange, in the receive handler
    double announcements = 0;     // per exchange
    double downUs = -1;           // from the reply's last byte written to its announcement
    double lateSeconds = 0;       // the forked logger's late wakes during the copy
    std::map<std::string, std::string> files;
    std::size_t Lines() const {
        std::size_t n = 0;
        for (const auto& [name, text] : files)
            n += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        return n;
    }
};

// The simulator program playing the logger on a pseudo-terminal; the device path, or empty.
std::string StartSimulator(QProcess& sim, const Options& o, bool lossy) {
    const QString store = QStringLiteral("%1,%2,%3").arg(o.months).arg(o.days).arg(o.sensors);
    QStringList args{"--pty", "--store", store};
    if (o.pace > 0) args << "--pace" << QString::number(o.pace);
    if (lossy) args << "--faults" << QString::fromStdString(o.faults);
    sim.start(QString::fromStdString(o.sim), args);
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return {};
    return sim.readLine().trimmed().toStdString();
}

void StopSimulator(QProcess& sim) {
    sim.terminate();
    sim.waitForFinished(5000);
}

// Connects the program to the logger on `device`, waits for the read-out, and copies the first
// directory with "Копировать" into a start folder of its own.
CopyRun CopyOnce(const std::string& device) {
    CopyRun run;
    const fs::path start =
        fs::temp_directory_path() / ("qm_copy_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(start);

    // The window's clock in virtual time; round trips in real time.
    struct BenchClock : qm::test::FakePcClock {
        std::int64_t SteadyMs() override { return PcClock::SteadyMs(); }
    } clock;
    qm::test::FakeOperator ops;
    qm::Controller c{clock, ops};
    // The controller's timers in virtual time, advanced when the line has been quiet for 20 ms.
    std::int64_t now = 0;
    qm::test::VirtualTimers timers{c, now};
    qm::QtSerialPort port;
    qm::test::CountingPort counted(port);
    QElapsedTimer lastByte;
    lastByte.start();
    // Real time since a request last went out or bytes last came in, for the reply watchdog.
    QElapsedTimer sinceTraffic;
    sinceTraffic.start();
    // When the reply watchdog was last armed, in real time.
    QElapsedTimer armedAt;
    armedAt.start();
    std::uint32_t armedGeneration = timers.Arms(qm::TimerId::ReplyTimer);
    const auto noteArming = [&] {
        if (timers.Arms(qm::TimerId::ReplyTimer) == armedGeneration) return;
        armedGeneration = timers.Arms(qm::TimerId::ReplyTimer);
        armedAt.restart();
    };
    counted.beforeWrite = [&] {
        moments->requestWritten = Ticks();
        sinceTraffic.restart();
    };
    bool copying = false;
    Clock::time_point copyStart, copyEnd;
    std::chrono::nanoseconds inHandler{0}, down{0};
    long announcements = 0, turns = 0;
    port.SetRxHandler([&](std::size_t n) {
        lastByte.restart();
        sinceTraffic.restart();
        const auto t = Clock::now();
        const std::int64_t replyWritten = moments->replyWritten;
        const std::size_t requests = counted.requests;
        c.ComPort1RxChar(n);
        noteArming();
        if (copying) {
            inHandler += Clock::now() - t;
            ++announcements;
            if (counted.requests != requests) {  // the reply was complete
                down += std::chrono::nanoseconds(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch())
                        .count() -
                    replyWritten);
                ++turns;
            }
        }
        // The last reply of the copy starts the finishing step.
        if (copying && c.Timers().Timer2.Enabled()) {
            copyEnd = Clock::now();
            copying = false;
        }
    });
    c.SetSerialPortOpener(&counted);
    c.SetUpFolders(start);
    c.FormCreate(1024, 768);
    c.Click("pmBluetooth");
    c.MutableModel().portDevice.text = device;
    c.Click("bSetPort");
    if (!c.Link().PortOpen) {
        run.error = "cannot open " + device;
        return run;
    }

    QTimer tick;
    std::string stall;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        timers.Sync();
        // A copy that gave up starts its finishing step from the watchdog, not from a reply.
        if (copying && c.Timers().Timer2.Enabled()) {
            copyEnd = Clock::now();
            copying = false;
        }
        noteArming();
        const auto next = timers.Next();
        // The reply watchdog runs in real time from when it was armed, as a QTimer would.
        const bool watchdog = next && next->second == qm::test::AnyTimer::ReplyTimer;
        if (!watchdog && lastByte.elapsed() < 20) return;
        if (!next && copying && lastByte.elapsed() > 10'000) {
            // Nothing on the line, nothing awaited by a timer: the copy stands still.
            char text[160];
            std::snprintf(
                text, sizeof text, "the copy stands still: last request %d, %s, no timer running",
                c.Link().LastRequest.code, c.Link().Outstanding ? "awaited" : "not awaited");
            stall = text;
            copying = false;
        }
        if (!next) return;
        if (watchdog && armedAt.elapsed() < c.Timers().ReplyTimer.Interval()) return;
        now = std::max(now, next->first);
        clock.elapsedMs = now;
        timers.Fire(next->second);
        noteArming();
        if (!watchdog) lastByte.restart();
    });
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(1);
    const auto runUntil = [&](auto done, int limitMs) {
        QElapsedTimer wall;
        wall.start();
        while (!done() && wall.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    };

    if (!runUntil(
            [&] { return !c.Sequence().ReadingOut() && !c.Directories().DirectoryNames().empty(); },
            1'200'000)) {  // a logger that answers in seconds takes minutes
        run.error = "the read-out did not finish";
    } else {
        c.Selected("ComboBox1", 0);
        counted.written = counted.read = counted.requests = 0;
        const std::int64_t lateBefore = moments->lateTotal;
        copyStart = Clock::now();
        const qm::Exchange::Counts before = c.Link().Tally();
        // A copy that gives up (three missed replies in a row) is carried on with "Новые", as
        // the operator would.
        bool ended = false;
        for (int round = 0; round < 10; ++round) {
            ops.errors.clear();
            copying = true;
            c.Click(round > 0 && c.Model().bNewData.enabled ? "bNewData" : "bAllData");
            ended = runUntil([&] { return !copying; }, 3'600'000);
            runUntil([&] { return c.Model().ComboBox1.enabled; }, 10'000);
            if (!ended || !stall.empty() || ops.errors.empty()) break;
            ++run.gaveUp;
            std::fprintf(stderr, "carried on after: %s\n", ops.errors.front().c_str());
        }
        if (!stall.empty()) {
            run.error = stall;
        } else if (!ended || !ops.errors.empty()) {
            run.error = "the copy did not finish";
            if (!ops.errors.empty()) run.error += ": " + ops.errors.front();
        } else {
            run.finished = true;
            run.files = DataFiles(
                qm::DataSetFolder(c.Directories().DataFolder(), c.Copy().Files().copyDirectory));
            run.seconds = std::chrono::duration<double>(copyEnd - copyStart).count();
            run.exchanges = counted.requests;
            run.requestBytes = counted.written;
            run.replyBytes = counted.read;
            const qm::Exchange::Counts& after = c.Link().Tally();
            run.counts = {after.answers - before.answers, after.dropped - before.dropped,
                          after.late - before.late, after.held - before.held,
                          after.resent - before.resent};
            run.retries = run.counts.resent;
            const double exchanges = static_cast<double>(counted.requests);
            run.handlerUs = static_cast<double>(inHandler.count()) / 1e3 / exchanges;
            run.announcements = static_cast<double>(announcements) / exchanges;
            if (turns > 0)
                run.downUs = static_cast<double>(down.count()) / 1e3 / static_cast<double>(turns);
            run.lateSeconds = static_cast<double>(moments->lateTotal - lateBefore) / 1e9;
        }
    }
    port.Close();
    std::error_code ec;
    fs::remove_all(start, ec);
    return run;
}

void Print(const CopyRun& run, const Options& o, bool forked) {
    std::printf("copied: %zu files, %zu lines\n", run.files.size(), run.Lines());
    std::printf("missed replies retried: %ld; gave up %d times, carried on with \"Новые\"\n",
                run.retries, run.gaveUp);
    // A retry whose original reply came after all was not needed: its reply is counted late.
    std::printf(
        "requests sent again: %ld, spurious (their first reply came late): %ld, held for a "
        "quiet line: %ld, replies dropped: %ld\n",
        run.counts.resent, run.counts.late, run.counts.held, run.counts.dropped);
    std::printf("exchanges: %zu, request bytes: %zu, reply bytes: %zu\n", run.exchanges,
                run.requestBytes, run.replyBytes);
    const double exchanges = static_cast<double>(run.exchanges);
    std::printf("copy time: %.3f s (%.0f exchanges/s, %.1f us per exchange)\n", run.seconds,
                exchanges / run.seconds, 1e6 * run.seconds / exchanges);
    std::printf(
        "program: %.1f us per exchange in the receive handler (reply, file, next request), "
        "%.2f announcements per exchange\n",
        run.handlerUs, run.announcements);
    if (forked && run.downUs >= 0)
        std::printf("program: %.1f us from the reply's last byte written to its announcement\n",
                    run.downUs);
    if (o.pace <= 0) return;
    const double wire = static_cast<double>(run.requestBytes + run.replyBytes) * 10.0 / o.pace;
    std::printf(
        "wire time at %d baud: %.3f s; copy/wire = %.4f (%+.2f %%), %.1f us over the wire per "
        "exchange\n",
        o.pace, wire, run.seconds / wire, 100.0 * (run.seconds / wire - 1.0),
        1e6 * (run.seconds - wire) / exchanges);
    if (forked) {
        // The copy's share of the logger's lateness (the read-out's was before).
        std::printf("without the logger's own late wakes (%.3f s): copy/wire = %.4f (%+.2f %%)\n",
                    run.lateSeconds, (run.seconds - run.lateSeconds) / wire,
                    100.0 * ((run.seconds - run.lateSeconds) / wire - 1.0));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--pace" && more && qm::bench::Number(argv[i + 1], o.pace)) {
        } else if (arg == "--months" && more && qm::bench::Number(argv[i + 1], o.months)) {
        } else if (arg == "--days" && more && qm::bench::Number(argv[i + 1], o.days)) {
        } else if (arg == "--sensors" && more && qm::bench::Number(argv[i + 1], o.sensors)) {
        } else if (arg == "--sim") {
            // The path is optional: the simulator built beside this benchmark by default.
            if (more && argv[i + 1][0] != '-') {
                o.sim = argv[++i];
            } else {
                o.sim = QMC_LOGGER_SIM;
            }
            continue;
        } else if (arg == "--faults" && more) {
            o.faults = argv[i + 1];
        } else {
            std::fprintf(stderr,
                         "usage: serial_copy_bench [--pace BAUD] [--months N] [--days N] "
                         "[--sensors N] [--sim [PATH]] [--faults SPEC]\n");
            return 2;
        }
        ++i;
    }
    if (!o.faults.empty() && o.sim.empty()) {
        std::fprintf(stderr, "serial_copy_bench: --faults needs --sim\n");
        return 2;
    }

    // The logger's side, before Qt starts any thread.
    void* shared =
        mmap(nullptr, sizeof(Moments), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return 1;
    moments = new (shared) Moments;
    std::string device;
    pid_t child = -1;
    if (o.sim.empty()) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            std::perror("pseudo-terminal");
            return 1;
        }
        device = ptsname(master);
        child = fork();
        if (child < 0) return 1;
        if (child == 0) ServeLogger(master, o);
        close(master);
    }

    int argcQt = 1;
    QCoreApplication app(argcQt, argv);
    std::printf("store: %d months of %d days, %d sensors\n", o.months, o.days, o.sensors);
    int rc = 0;
    if (o.sim.empty()) {
        std::printf("logger: forked, wire modelled both ways\n");
        const CopyRun run = CopyOnce(device);
        if (run.finished)
            Print(run, o, true);
        else
            std::fprintf(stderr, "%s\n", run.error.c_str());
        rc = run.finished ? 0 : 1;
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        return rc;
    }

    // The simulator: a clean line, then, with faults, a lossy one.
    std::vector<CopyRun> runs;
    for (bool lossy : {false, true}) {
        if (lossy && o.faults.empty()) break;
        QProcess sim;
        device = StartSimulator(sim, o, lossy);
        if (device.empty()) {
            std::fprintf(stderr, "cannot start %s\n", o.sim.c_str());
            return 1;
        }
        std::printf("%slogger: simulator program, replies paced%s%s\n", lossy ? "\n" : "",
                    lossy ? ", faults " : "", lossy ? o.faults.c_str() : "");
        std::fflush(stdout);
        runs.push_back(CopyOnce(device));
        StopSimulator(sim);
        if (!runs.back().finished) {
            std::fprintf(stderr, "%s\n", runs.back().error.c_str());
            return 1;
        }
        Print(runs.back(), o, false);
    }
    if (runs.size() == 2) {
        const CopyRun &clean = runs[0], &lossy = runs[1];
        std::printf("\nfaults %s against a clean line at %d baud:\n", o.faults.c_str(), o.pace);
        std::printf("time: %.3f s against %.3f s, overhead %+.3f s (%+.1f %%)\n", lossy.seconds,
                    clean.seconds, lossy.seconds - clean.seconds,
                    100.0 * (lossy.seconds / clean.seconds - 1.0));
        std::printf(
            "retries: %ld (%.2f %% of %zu exchanges), exchanges %+ld, reply bytes %+ld\n",
            lossy.retries,
            100.0 * static_cast<double>(lossy.retries) / static_cast<double>(lossy.exchanges),
            lossy.exchanges, static_cast<long>(lossy.exchanges - clean.exchanges),
            static_cast<long>(lossy.replyBytes) - static_cast<long>(clean.replyBytes));
        const bool same = lossy.files == clean.files;
        std::printf("files: %s\n", same ? "the same, byte for byte" : "DIFFERENT");
        if (!same) rc = 1;
    }
    return rc;
}
