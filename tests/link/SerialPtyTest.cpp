// The serial port backend end to end: the controller on one side of a pseudo-terminal, the test
// playing the logger byte by byte on the other.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <thread>

#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "tests/link/PtyDevice.h"
#include "tests/link/QtApp.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

template <typename Pred>
bool RunUntil(Pred done, int timeoutMs = 2000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct SerialPty : ::testing::Test {
    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    PtyDevice device;
    QtSerialPort port;
    std::vector<std::size_t> announced;  // byte counts of the receive events

    SerialPty() {
        App();
        port.SetRxHandler([this](std::size_t n) {
            announced.push_back(n);
            c.ComPort1RxChar(n);
        });
        port.SetLostHandler([this] { c.ComPort1Lost(); });
        c.SetSerialPortOpener(&port);
        c.FormCreate(1024, 768);
    }
    void OpenPort() {
        c.MutableModel().portDevice.text = device.slave;
        c.Click("bSetPort");
        ASSERT_TRUE(c.Link().PortOpen) << device.slave;
        ASSERT_TRUE(port.IsOpen());
    }
};

TEST_F(SerialPty, RequestsGoOutAsTheirExactBytesAndRepliesInPiecesAreGathered) {
    OpenPort();
    EXPECT_TRUE(ops.errors.empty());  // the refused modem-control lines are no error
    c.OnTimer(TimerId::StartTimer);
    EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 255, 0}));
    EXPECT_TRUE(device.Receive(1, 50).empty());

    device.Send({3, 248});
    ASSERT_TRUE(RunUntil([&] { return c.Link().serialReply.RxCount() == 2; }));
    device.Send({79});
    ASSERT_TRUE(RunUntil([&] { return c.Link().serialReply.RxCount() == 3; }));
    device.Send({5});
    ASSERT_TRUE(RunUntil([&] { return c.Model().window.title == "QM-Controller [ 79.5 ]"; }));
    EXPECT_EQ(announced, (std::vector<std::size_t>{2, 1, 1}));
    EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 0, 48}));
}

TEST_F(SerialPty, BytesLeftOnTheLineAreDiscardedBeforeARequest) {
    OpenPort();
    device.Send({9, 9, 9});
    // Let the bytes reach the port's receive queue; no event is processed meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    c.Click("bClock");
    EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 0, 48}));

    device.Send({7, 248, 3, 7, 9, 5, 3, 24});
    ASSERT_TRUE(RunUntil([&] { return c.Clock().ClockRead(); }));
    EXPECT_EQ(c.Model().Label2.fontColour, Colour::Navy);
    EXPECT_EQ(c.Link().serialReply.RxCount(), 0);
}

TEST_F(SerialPty, APortThatCannotBeOpenedLeavesTheButtonForAnotherTry) {
    c.MutableModel().portDevice.text = "/dev/qm-no-such-port";
    c.Click("bSetPort");
    EXPECT_FALSE(c.Link().PortOpen);
    EXPECT_TRUE(c.Model().bSetPort.enabled);
    // The operator is told which port and why.
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("/dev/qm-no-such-port"), std::string::npos) << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("нет такого файла или папки"), std::string::npos) << ops.errors[0];
    try {
        port.Open("/dev/qm-no-such-port");
        ADD_FAILURE() << "opened a port that does not exist";
    } catch (const SerialPortError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to open com port (Error: 2)");
    }

    // A port that is in use cannot be opened a second time.
    OpenPort();
    QtSerialPort other;
    EXPECT_THROW(other.Open(device.slave), SerialPortError);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPty, TheFarEndGoingAwayIsReportedAtOnceAndAnotherPortCanBeOpened) {
    OpenPort();
    c.OnTimer(TimerId::StartTimer);
    EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 255, 0}));
    device.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return !ops.errors.empty(); }, 1000));
    EXPECT_FALSE(port.IsOpen());
    ASSERT_EQ(ops.errors.size(), 1u);  // once, with no click
    EXPECT_NE(ops.errors[0].find(device.slave), std::string::npos) << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("потеряна"), std::string::npos) << ops.errors[0];
    EXPECT_FALSE(c.Link().PortOpen);
    EXPECT_TRUE(c.Model().GroupBox4.visible);
    EXPECT_TRUE(c.Model().bSetPort.enabled);
    // Nothing else follows by itself.
    RunUntil([] { return false; }, 100);
    EXPECT_EQ(ops.errors.size(), 1u);

    // A new far end: the port group opens it and the read-out starts over.
    PtyDevice second;
    c.MutableModel().portDevice.text = second.slave;
    c.Click("bSetPort");
    ASSERT_TRUE(c.Link().PortOpen);
    EXPECT_FALSE(c.Model().GroupBox4.visible);
    EXPECT_TRUE(c.Timers().StartTimer.Enabled());
    c.OnTimer(TimerId::StartTimer);
    EXPECT_EQ(second.Receive(4), (Bytes{0, 2, 255, 0}));
    second.Send({3, 248, 79, 5});
    ASSERT_TRUE(RunUntil([&] { return c.Model().window.title == "QM-Controller [ 79.5 ]"; }));
    EXPECT_EQ(second.Receive(4), (Bytes{0, 2, 0, 48}));
    EXPECT_EQ(ops.errors.size(), 1u);
}

// A late reply comes in while the controller purges the port for its next request, in one
// turn of the event loop: the loop's poll sees the reply's bytes, a posted event (here the
// click; in a copy the handling of the reply before) purges the port and writes the request,
// and then the port's read notifier runs and reads nothing. That is no lost port: the logger
// is still there and answers the request.
struct PurgeRace : SerialPty {
    // With `staleErrno` set, errno holds it when the notifier reads, as an earlier failed call
    // may leave it; Qt then reports a ResourceError and stops watching the port.
    void PurgeWhileAReplyArrives(int staleErrno) {
        // The dispatcher runs posted events after its poll and before the socket notifiers.
        if (!QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib"))
            GTEST_SKIP() << "the race is staged through the GLib event loop's order";
        device.WatchSlave();
        OpenPort();
        const Bytes lateReply{7, 248, 3, 7, 9, 5, 3, 24};
        device.Send(lateReply);
        ASSERT_TRUE(device.SlaveHolds(lateReply.size()));
        QMetaObject::invokeMethod(
            &App(),
            [this, staleErrno] {
                c.Click("bClock");
                if (staleErrno != 0) errno = staleErrno;
            },
            Qt::QueuedConnection);
        QCoreApplication::processEvents();
        EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 0, 48}));

        // The logger answers the request.
        device.Send(lateReply);
        ASSERT_TRUE(RunUntil([&] { return c.Clock().ClockRead() || !ops.errors.empty(); }));
        EXPECT_TRUE(ops.errors.empty()) << ops.errors[0];
        EXPECT_TRUE(port.IsOpen());
        EXPECT_TRUE(c.Link().PortOpen);
        EXPECT_TRUE(c.Clock().ClockRead());
        EXPECT_EQ(port.ReadErrorsOutlived(), 1) << "the staged read error happened";
    }
};

TEST_F(PurgeRace, AReplyPurgedBeforeThePortReadsItIsNoLostPort) {
    PurgeWhileAReplyArrives(0);
}

TEST_F(PurgeRace, AfterAResourceErrorThePortIsWatchedAgain) {
    PurgeWhileAReplyArrives(EAGAIN);
}

TEST_F(PurgeRace, TheFarEndGoingAwayAfterAPurgedReplyIsStillReportedOnce) {
    PurgeWhileAReplyArrives(0);
    if (IsSkipped() || HasFailure()) return;
    device.CloseMaster();
    ASSERT_TRUE(RunUntil([&] { return !ops.errors.empty(); }, 1000));
    RunUntil([] { return false; }, 100);
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("потеряна"), std::string::npos) << ops.errors[0];
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPty, ClosingTheWindowSendsPowerDownAndClosesThePort) {
    OpenPort();
    c.FormClose();
    EXPECT_EQ(device.Receive(4), (Bytes{0, 2, 0, 8}));
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortCandidates, AreSerialDevicesThatExist) {
    for (const std::string& name : SerialPortCandidates()) {
        EXPECT_TRUE(name.starts_with("/dev/tty") || name.starts_with("/dev/rfcomm")) << name;
        EXPECT_EQ(::access(name.c_str(), F_OK), 0) << name;
    }
}

// A port that another program holds is called that, not "no such file": in the window with the
// button to press again, without one with no instruction.
TEST_F(SerialPty, APortHeldByAnotherProgramIsSaidToBeInUse) {
    QtSerialPort other;
    ASSERT_NO_THROW(other.Open(device.slave));
    try {
        port.Open(device.slave);
        FAIL() << "a held port opened";
    } catch (const SerialPortError& e) {
        EXPECT_EQ(e.SystemError(), EBUSY);
    }

    c.MutableModel().portDevice.text = device.slave;
    c.Click("bSetPort");
    EXPECT_FALSE(c.Link().PortOpen);
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("порт занят другой программой"), std::string::npos)
        << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("Установка"), std::string::npos) << "the window says what next";

    struct NoWindow : FakeOperator {
        bool SeesWindow() const override { return false; }
    } headless;
    Controller run(clock, headless);
    run.SetSerialPortOpener(&port);
    run.FormCreate(1024, 768);
    EXPECT_FALSE(run.Work().OpenSerialPort(device.slave));
    ASSERT_EQ(headless.errors.size(), 1u);
    EXPECT_EQ(headless.errors[0], "Не удалось открыть последовательный порт " + device.slave +
                                      ": порт занят другой программой.");
}

}  // namespace
}  // namespace qm::test
