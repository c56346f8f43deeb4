// A whole "Копировать" copy of one directory through the real main window (MainWindow and its
// binder, drawn offscreen), over a pseudo-terminal through the real serial backend, against the
// simulator program paced at a baud rate; the time it took against the time its bytes need on
// that line (requests and replies, 10 bits a byte). The window's timers run in real time, as in
// the program.
//
//   window_copy_bench [--pace BAUD] [--months N] [--lang ru|en] [--mirror-every MS]
//                     [--sim PATH] [--screenshot FILE [--at PERCENT]]
//
// --mirror-every sets the binder's mirror interval (the program's by default; 0 mirrors the
// window after every event).
// It also counts how often the window was mirrored and painted during the copy. With
// --screenshot the window is saved when the copy has made PERCENT of its exchanges (the count
// of a first copy is not known beforehand, so PERCENT is of the months' expected exchanges).
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "bench/BenchArgs.h"
#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "store/Catalogue.h"
#include "tests/link/CountingPort.h"
#include "tests/support/Rig.h"
#include "ui/qt/Binder.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ParametersDialog.h"
#include "ui/qt/QtServices.h"

namespace {

// The PC's local time, as the program reads it.
class LocalClock : public qm::PcClock {
public:
    qm::DateTime Now() override {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        return qm::DateTime::FromCivil(
                   {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()})
            .value_or(qm::DateTime());
    }
};

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int pace = 115200;
    int months = 12;
    qm::Language language = qm::Language::Russian;
    std::string sim = QMC_LOGGER_SIM;
    QString screenshot;
    int atPercent = 30;
    int mirrorMs = qm::Binder::kMirrorIntervalMs;
};

// Counts the paints of every widget while `counting` is set.
class PaintCounter : public QObject {
public:
    bool counting = false;
    long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (counting && event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--pace" && more && qm::bench::Number(argv[i + 1], o.pace) && o.pace > 0) {
        } else if (arg == "--months" && more && qm::bench::Number(argv[i + 1], o.months) &&
                   o.months > 0) {
        } else if (arg == "--lang" && more &&
                   (argv[i + 1] == std::string("ru") || argv[i + 1] == std::string("en"))) {
            o.language =
                argv[i + 1] == std::string("en") ? qm::Language::English : qm::Language::Russian;
        } else if (arg == "--mirror-every" && more && qm::bench::Number(argv[i + 1], o.mirrorMs)) {
        } else if (arg == "--sim" && more) {
            o.sim = argv[i + 1];
        } else if (arg == "--screenshot" && more) {
            o.screenshot = argv[i + 1];
        } else if (arg == "--at" && more && qm::bench::Number(argv[i + 1], o.atPercent) &&
                   o.atPercent <= 100) {
        } else {
            std::fprintf(stderr,
                         "usage: window_copy_bench [--pace BAUD] [--months N] [--lang ru|en] "
                         "[--mirror-every MS] [--sim PATH] [--screenshot FILE [--at PERCENT]]\n");
            return 2;
        }
        ++i;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QString::fromStdString(o.sim),
              {"--pty", "--pace", QString::number(o.pace), "--months", QString::number(o.months)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start %s\n", o.sim.c_str());
        return 1;
    }
    const std::string device = sim.readLine().trimmed().toStdString();

    const fs::path start =
        fs::temp_directory_path() / ("qm_window_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(start);

    LocalClock clock;
    qm::test::FakeOperator ops;
    qm::Controller c{clock, ops};
    c.SetUpFolders(start);
    qm::MainWindow window;
    qm::ParametersDialog parameters;
    qm::Binder binder(c, window, parameters);
    binder.SetMirrorInterval(o.mirrorMs);
    PaintCounter paints;
    app.installEventFilter(&paints);

    qm::QtSerialPort port;
    qm::test::CountingPort counted(port);
    bool copying = false;
    long syncs = 0;
    Clock::time_point copyStart, copyEnd;
    port.SetRxHandler([&](std::size_t n) {
        c.ComPort1RxChar(n);
        // The last reply of the copy starts the finishing step.
        if (copying && c.Timers().Timer2.Enabled()) {
            copyEnd = Clock::now();
            copying = false;
        }
    });
    port.SetLostHandler([&] { c.ComPort1Lost(); });
    c.SetSerialPortOpener(&counted);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    c.FormCreate(screen.width(), screen.height());
    window.show();
    if (o.language == qm::Language::English) c.ChooseLanguage(qm::Language::English);
    c.Click("pmBluetooth");
    c.MutableModel().portDevice.text = device;
    c.Click("bSetPort");
    if (!c.Link().PortOpen) {
        std::fprintf(stderr, "cannot open %s\n", device.c_str());
        return 1;
    }

    // The loop sleeps until something happens, as the program's does; the heartbeat wakes it
    // for the checks below.
    QTimer heartbeat;
    heartbeat.start(100);
    const auto runUntil = [&](auto done, int limitMs) {
        QElapsedTimer wall;
        wall.start();
        while (!done() && wall.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    };

    int rc = 0;
    if (!runUntil(
            [&] {
                return !c.Directories().CopyMustWait() && !c.Directories().DirectoryNames().empty();
            },
            60'000)) {
        std::fprintf(stderr, "the read-out did not finish\n");
        rc = 1;
    } else {
        c.Selected("ComboBox1", 0);
        runUntil([] { return false; }, 200);  // let the window settle
        counted.written = counted.read = counted.requests = 0;
        // Measurements of the demo store: about 4 exchanges each, hourly.
        const std::size_t shotAt = static_cast<std::size_t>(o.months) * 730 * 4 *
                                   static_cast<std::size_t>(o.atPercent) / 100;
        bool shot = o.screenshot.isEmpty();
        const long syncsBefore = binder.SyncCount();
        paints.counting = true;
        copying = true;
        copyStart = Clock::now();
        c.Click("bAllData");
        QElapsedTimer sinceReport;
        sinceReport.start();
        const bool ended = runUntil(
            [&] {
                if (sinceReport.elapsed() > 10'000) {
                    sinceReport.restart();
                    std::fprintf(stderr, "... %zu exchanges (request %d%s, watchdog %s)%s%s\n",
                                 counted.requests, c.Link().LastRequest.code,
                                 c.Link().Outstanding ? " awaited" : "",
                                 c.Timers().ReplyTimer.Enabled() ? "armed" : "off",
                                 c.Copy().CopyRunning() ? " copy" : "",
                                 c.Timers().StartTimer.Enabled() ? " start" : "");
                }
                if (!shot && counted.requests >= shotAt) {
                    shot = true;
                    if (!window.grab().save(o.screenshot, "PNG"))
                        std::fprintf(stderr, "cannot write %s\n", qPrintable(o.screenshot));
                }
                // A copy that gave up ends without a reply.
                if (!ops.errors.empty()) copying = false;
                return !copying;
            },
            1'800'000);
        paints.counting = false;
        syncs = binder.SyncCount() - syncsBefore;
        runUntil([&] { return c.Model().ComboBox1.enabled; }, 10'000);
        if (!ended || !ops.errors.empty()) {
            std::fprintf(stderr, "the copy did not finish%s%s\n", ops.errors.empty() ? "" : ": ",
                         ops.errors.empty() ? "" : ops.errors.front().c_str());
            rc = 1;
        } else {
            const double seconds = std::chrono::duration<double>(copyEnd - copyStart).count();
            const std::size_t bytes = counted.written + counted.read;
            const double wire = static_cast<double>(bytes) * 10.0 / o.pace;
            const double exchanges = static_cast<double>(counted.requests);
            std::printf(
                "copied through the window (mirrored %s): %d months, %zu exchanges, %zu "
                "bytes\n",
                o.mirrorMs > 0 ? ("at most every " + std::to_string(o.mirrorMs) + " ms").c_str()
                               : "after every event",
                o.months, counted.requests, bytes);
            std::printf(
                "window mirrors: %ld in all (%.3f per exchange); paints: %ld (%.3f per "
                "exchange)\n",
                syncs, static_cast<double>(syncs) / exchanges, paints.paints,
                static_cast<double>(paints.paints) / exchanges);
            std::printf(
                "window time %.3f s, line time at %d baud %.3f s: window/line = %.4f "
                "(%+.2f %%)\n",
                seconds, o.pace, wire, seconds / wire, 100.0 * (seconds / wire - 1.0));
        }
    }

    port.Close();
    sim.terminate();
    sim.waitForFinished(5000);
    std::error_code ec;
    fs::remove_all(start, ec);
    return rc;
}
