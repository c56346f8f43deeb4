// Late replies through the real serial backend: the virtual logger (qm-logger-sim --pty) holds
// back its replies to some requests for longer than the program, having learnt the line, waits
// for them. A delete and a test measurement must still give the right result. The window's
// timers run in real time here.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "tests/link/QtApp.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// The controller's timers in real time.
class RealTime {
public:
    RealTime(Controller& c, FakePcClock& clock) : c_(c), clock_(clock) { wall_.start(); }
    void Tick() { clock_.elapsedMs = wall_.elapsed(); }
    template <typename Pred>
    bool RunUntil(Pred done, int limitMs) {
        const std::int64_t end = wall_.elapsed() + limitMs;
        while (!done() && wall_.elapsed() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            Tick();
            timers_.Sync();
            const auto next = timers_.Next();
            if (!next || next->first > clock_.elapsedMs) continue;
            timers_.Fire(next->second);
        }
        return done();
    }

private:
    Controller& c_;
    FakePcClock& clock_;
    QElapsedTimer wall_;
    VirtualTimers timers_{c_, clock_.elapsedMs};
};

TEST(LateOverPty, ADeleteAndATestMeasurementWhoseRepliesComeLateGiveTheRightResult) {
    (void)App();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess sim;
    sim.start(QStringLiteral(QMC_LOGGER_SIM),
              {"--pty", "--small-store", "--faults", "delay-on=76:1500,delay-on=32:1500"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const std::string device = sim.readLine().trimmed().toStdString();
    ASSERT_FALSE(device.empty());

    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    c.SetUpFolders(dir.path().toStdString());
    QtSerialPort port;
    RealTime time(c, clock);
    port.SetRxHandler([&](std::size_t n) {
        time.Tick();
        c.ComPort1RxChar(n);
    });
    c.SetSerialPortOpener(&port);
    c.FormCreate(1024, 768);
    c.Click("pmBluetooth");
    c.MutableModel().portDevice.text = device;
    c.Click("bSetPort");
    ASSERT_TRUE(c.Link().PortOpen) << device;
    const WindowModel& m = c.Model();
    ASSERT_TRUE(time.RunUntil(
        [&] {
            return !c.Sequence().ReadingOut() && m.window.title.find("Line") != std::string::npos;
        },
        30'000));
    const std::size_t directories = c.Directories().DirectoryNames().size();
    ASSERT_GE(directories, 2u);

    // Each missed reply is asked for again; the late ones are not taken for the next answers.
    c.Click("bTest");
    ASSERT_TRUE(time.RunUntil([&] { return m.bTest.enabled && !c.Link().Outstanding; }, 60'000));
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
    const int readings = c.Test().Readings().ReadingCount;
    EXPECT_GT(readings, 30);
    EXPECT_LE(readings, 63) << "blocks of one measurement only";

    c.Selected("ComboBox1", 1);
    c.Click("bDelete");
    ASSERT_TRUE(time.RunUntil(
        [&] {
            return !c.Link().Outstanding && c.Directories().DirectoryNames().size() < directories;
        },
        60'000));
    time.RunUntil([] { return false; }, 2'000);  // whatever was still owed comes in
    EXPECT_EQ(c.Directories().DirectoryNames().size(), directories - 1);
    EXPECT_TRUE(m.GroupBox1.visible);
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
    EXPECT_GE(c.Link().Tally().resent, 2);
    EXPECT_GE(c.Link().Tally().late + c.Link().Tally().dropped, 2);

    port.Close();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}

}  // namespace
}  // namespace qm::test
