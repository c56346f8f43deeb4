// The whole automatic read-out over a real serial line: the program's serial backend on one
// side of a pseudo-terminal, the virtual logger (qm-logger-sim --pty) on the other. Timers run in
// virtual time, advanced whenever the line has been quiet for a moment.
#include <gtest/gtest.h>

#include <QProcess>

#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "tests/link/QtApp.h"
#include "tests/link/QuietLineTime.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

TEST(LoggerSimOverPty, TheAutomaticReadOutRunsToTheLineValue) {
    (void)App();
    QProcess sim;
    sim.start(QStringLiteral(QMC_LOGGER_SIM), {"--pty"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const std::string device = sim.readLine().trimmed().toStdString();
    ASSERT_FALSE(device.empty());

    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    QtSerialPort port;
    QuietLineTime time(c, clock);
    port.SetRxHandler([&](std::size_t n) {
        time.ByteArrived();
        c.ComPort1RxChar(n);
    });
    c.SetSerialPortOpener(&port);
    c.FormCreate(1024, 768);
    c.Click("pmBluetooth");
    c.MutableModel().portDevice.text = device;
    c.Click("bSetPort");
    ASSERT_TRUE(c.Link().PortOpen) << device;

    WindowModel& m = c.MutableModel();
    const auto done = [&] {
        return !c.Sequence().ReadingOut() && m.window.title.find("Line") != std::string::npos;
    };
    time.RunUntil(done);

    EXPECT_TRUE(done());
    EXPECT_EQ(m.window.title, "QM-Controller [ 84.5 ]  Line  [25]");
    EXPECT_TRUE(m.GroupBox2.visible);
    EXPECT_TRUE(m.GroupBox1.visible);
    EXPECT_FALSE(m.ComboBox1.items.empty());
    EXPECT_TRUE(c.Clock().ClockRead());
    EXPECT_TRUE(m.bTest.enabled);
    EXPECT_FALSE(m.GroupBox4.visible);
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();

    port.Close();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}

}  // namespace
}  // namespace qm::test
