// The Win32 serial port on a live line: QMC_TEST_SERIAL_PORT names a COM port with the logger
// simulator at its far end (scripts/wine-checks.sh maps one onto the simulator's
// pseudo-terminal). Without it these tests are skipped.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/backends/WinSerialPort.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

const std::vector<std::uint8_t> kIdentify{0, 2, 0xff, 0};

std::string LineUnderTest() {
    const char* name = std::getenv("QMC_TEST_SERIAL_PORT");
    return name ? name : "";
}

// Runs the event loop until `done` or `ms` have passed; true when done.
template <typename Done>
bool PumpUntil(Done done, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

class WinSerialPortLine : public testing::Test {
protected:
    void SetUp() override {
        name_ = LineUnderTest();
        if (name_.empty()) GTEST_SKIP() << "QMC_TEST_SERIAL_PORT names no serial line";
        (void)App();
        port_.Open(name_);
        port_.PurgeBuffers();
    }

    // Reads what the handler was told of, appending to `got`.
    void TakeAll(std::size_t n) {
        std::vector<std::uint8_t> buffer(n);
        buffer.resize(port_.Read(buffer));
        got_.insert(got_.end(), buffer.begin(), buffer.end());
    }

    // A whole reply: its first byte counts the bytes after it.
    bool WholeReply() const { return !got_.empty() && got_.size() >= got_[0] + 1u; }

    std::string name_;
    WinSerialPort port_;
    std::vector<std::uint8_t> got_;
};

TEST_F(WinSerialPortLine, TheBytesOfAReplyAreAnnouncedOnTheUiThreadAndReadThere) {
    const auto ui = std::this_thread::get_id();
    int calls = 0;
    port_.SetRxHandler([&](std::size_t n) {
        ++calls;
        EXPECT_EQ(std::this_thread::get_id(), ui);
        EXPECT_GT(n, 0u);
        TakeAll(n);
    });
    for (int round = 0; round < 3; ++round) {
        got_.clear();
        port_.PurgeBuffers();
        port_.Write(kIdentify);
        ASSERT_TRUE(PumpUntil([&] { return WholeReply(); })) << "round " << round;
        Pump(50);
        EXPECT_EQ(got_.size(), got_[0] + 1u) << "nothing after the reply";
    }
    EXPECT_GE(calls, 3);
}

TEST_F(WinSerialPortLine, AHandlerThatTakesNothingIsAskedAgainOnlyWhenMoreArrive) {
    std::vector<std::size_t> told;
    bool take = false;
    port_.SetRxHandler([&](std::size_t n) {
        told.push_back(n);
        if (take) TakeAll(n);
    });
    port_.Write(kIdentify);
    ASSERT_TRUE(PumpUntil([&] { return !told.empty(); }));
    Pump(300);
    // At most once per piece the reply came in, each time with more bytes waiting.
    ASSERT_LE(told.size(), 4u);
    for (std::size_t i = 1; i < told.size(); ++i) EXPECT_GT(told[i], told[i - 1]);
    const std::size_t waiting = told.back();

    // A second reply behind the first: asked again, now with both waiting; taken this time.
    take = true;
    port_.Write(kIdentify);
    ASSERT_TRUE(PumpUntil([&] { return got_.size() >= 2 * waiting; }));
    EXPECT_GT(told.back(), waiting);
}

TEST_F(WinSerialPortLine, APurgeDropsWhatWaitsAndTheNextReplyIsAnnouncedWhole) {
    std::size_t told = 0;
    port_.SetRxHandler([&](std::size_t n) { told = n; });  // takes nothing
    port_.Write(kIdentify);
    ASSERT_TRUE(PumpUntil([&] { return told > 0; }));
    Pump(100);
    port_.PurgeBuffers();
    port_.SetRxHandler([&](std::size_t n) { TakeAll(n); });
    port_.Write(kIdentify);
    ASSERT_TRUE(PumpUntil([&] { return WholeReply(); }));
    Pump(50);
    EXPECT_EQ(got_.size(), got_[0] + 1u) << "only the second reply";
}

TEST_F(WinSerialPortLine, TheHandlerMayCloseThePortAndItOpensAgain) {
    int calls = 0;
    port_.SetRxHandler([&](std::size_t) {
        ++calls;
        port_.Close();
    });
    port_.Write(kIdentify);
    ASSERT_TRUE(PumpUntil([&] { return calls > 0; }));
    Pump(100);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(port_.IsOpen());

    port_.Open(name_);
    port_.PurgeBuffers();
    port_.SetRxHandler([&](std::size_t n) { TakeAll(n); });
    port_.Write(kIdentify);
    EXPECT_TRUE(PumpUntil([&] { return WholeReply(); }));
}

}  // namespace
}  // namespace qm::test
