// The whole automatic read-out over a real serial line: the program's serial backend on one
// side of a pseudo-terminal, the virtual logger (qm-logger-sim --pty) on the other. Timers run in
// virtual time, advanced whenever the line has been quiet for a moment.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "tests/link/QtApp.h"
#include "tests/link/QuietLineTime.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

TEST(LoggerSimOverPty, TheAutomaticReadOutRunsToTheLineValue) {
    (void)App();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath("requests.log");
    QProcess sim;
    sim.start(QStringLiteral(QMC_LOGGER_SIM), {"--pty", "--log", log});
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

    // The log holds each request as it came, so that two runs can be compared line by line: the
    // read-out opens with the identification and ends with the line value, and every line is a
    // whole request (lead byte 0, then its length and that many bytes).
    std::ifstream in(log.toStdString());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines.front(), "00 02 ff 00");
    EXPECT_EQ(lines.back(), "00 02 00 10");
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size() % 3, 2u) << line;
        const std::size_t bytes = (line.size() + 1) / 3;
        EXPECT_EQ(line.substr(0, 3), "00 ") << line;
        EXPECT_EQ(std::stoul(line.substr(3, 2), nullptr, 16) + 2, bytes) << line;
    }
}

}  // namespace
}  // namespace qm::test
