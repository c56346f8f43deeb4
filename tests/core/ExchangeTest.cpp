// How requests go out and replies come in: HID reports, serial framing, the product-string
// filter and the routing of text lines.
#include <gtest/gtest.h>

#include <deque>

#include "protocol/CommandCode.h"
#include "protocol/SerialFraming.h"
#include "session/ReplyWait.h"
#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// A serial port whose received bytes the test supplies; records purges and writes.
class FakeSerial : public SerialLink {
public:
    std::deque<std::uint8_t> rx;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::string> log;
    bool failWrites = false;
    void PurgeBuffers() override {
        log.push_back("purge");
        rx.clear();
    }
    void Write(std::span<const std::uint8_t> b) override {
        if (failWrites) throw SerialFailed(SerialFailure::Write, 5);
        log.push_back("write");
        writes.emplace_back(b.begin(), b.end());
    }
    std::size_t Read(std::span<std::uint8_t> b) override {
        std::size_t n = 0;
        while (n < b.size() && !rx.empty()) {
            b[n++] = rx.front();
            rx.pop_front();
        }
        return n;
    }
    void Close() override { log.push_back("close"); }
    void Arrive(std::initializer_list<int> bytes) {
        for (int b : bytes) rx.push_back(static_cast<std::uint8_t>(b));
    }
};

// A serial port opened with `waiting` in its queue.
struct SerialRig {
    ScriptedDevice unused;
    Rig rig{unused};
    FakeSerial port;
    explicit SerialRig(std::initializer_list<int> waiting = {}) {
        rig.controller.FormCreate(1024, 768);
        port.Arrive(waiting);
        rig.controller.SerialPortOpened(&port, "/dev/ttyUSB0");
    }
    void Receive(std::initializer_list<int> bytes) {
        port.Arrive(bytes);
        rig.controller.ComPort1RxChar(bytes.size());
    }
};

TEST(SerialLink, APlainRequestIsPurgeThenExactlyItsFourBytes) {
    SerialRig t;
    t.rig.RunFor(2'999);
    EXPECT_TRUE(t.port.writes.empty()) << "a serial connection starts after 3 s";
    t.rig.RunFor(1);
    ASSERT_EQ(t.port.writes.size(), 1u);
    EXPECT_EQ(t.port.writes[0], (std::vector<std::uint8_t>{0, 2, 255, 0}));
    // The first purge is the port's opening.
    EXPECT_EQ(t.port.log, (std::vector<std::string>{"purge", "purge", "write"}));
    EXPECT_FALSE(t.rig.State().Link().UsbStarted);
}

TEST(SerialLink, AReplyArrivingInPiecesIsDispatchedOnceComplete) {
    SerialRig t;
    t.rig.RunFor(3'000);
    t.Receive({3, 248});
    EXPECT_EQ(t.rig.State().Link().serialReply.RxCount(), 2);
    EXPECT_EQ(t.port.writes.size(), 1u);
    t.Receive({79, 5});
    EXPECT_EQ(t.rig.State().Link().serialReply.RxCount(), 0);
    ASSERT_EQ(t.port.writes.size(), 2u);
    EXPECT_EQ(t.port.writes[1], (std::vector<std::uint8_t>{0, 2, 0, 48}));
    EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
}

TEST(SerialLink, AReplyCutByARetryIsStillWholeWhenItsTailComes) {
    // The wait ends while the identification is on its way; the retry goes out over the same
    // buffer the reply is gathered in.
    SerialRig t;
    t.rig.RunFor(3'000);
    t.Receive({3, 248});
    // The wait, and as long again for the rest of a reply that had started.
    t.rig.RunFor(2 * ReplyWait::kInitialMs + 50);
    ASSERT_EQ(t.port.writes.size(), 2u);
    EXPECT_EQ(t.port.writes[1], t.port.writes[0]) << "the identification is asked again";
    EXPECT_EQ(t.port.log, (std::vector<std::string>{"purge", "purge", "write", "write"}))
        << "no purge before the retry: the first reply may be on its way";
    t.Receive({79, 5});
    EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
    // The answer to the retry is still to come: the clock is asked once it has, and the
    // duplicate answers nothing.
    EXPECT_EQ(t.port.writes.size(), 2u);
    t.Receive({3, 248, 79, 5});
    EXPECT_EQ(t.rig.State().Link().Tally().late, 1);
    ASSERT_EQ(t.port.writes.size(), 3u);
    EXPECT_EQ(t.port.writes[2], (std::vector<std::uint8_t>{0, 2, 0, 48}));
    EXPECT_FALSE(t.rig.Logger().clock);
    EXPECT_TRUE(t.rig.ops.errors.empty());

    // The first reply and the retry's come in one read: each is judged, neither is lost.
    SerialRig both;
    both.rig.RunFor(3'000 + ReplyWait::kInitialMs);
    ASSERT_EQ(both.port.writes.size(), 2u);
    both.Receive({3, 248, 79, 5, 3, 248, 79, 5});
    EXPECT_EQ(both.rig.Identified(), "QM-Controller [ 79.5 ]");
    EXPECT_EQ(both.rig.State().Link().Tally().answers, 1);
    EXPECT_EQ(both.rig.State().Link().Tally().late, 1);
    ASSERT_EQ(both.port.writes.size(), 3u) << "the clock is asked at once";
    EXPECT_EQ(both.port.writes[2][3], CommandCode::ReadClock);
}

TEST(SerialLink, AReplyOnItsWayWhenTheWaitEndsIsWaitedForAndNoiseIsNotWaitedForEver) {
    {
        SerialRig t;
        t.rig.RunFor(3'000);
        t.rig.RunFor(ReplyWait::kInitialMs - 1);
        t.Receive({3, 248});  // the line pauses within the reply as the wait ends
        t.rig.RunFor(2);
        EXPECT_EQ(t.port.writes.size(), 1u) << "no retry while the reply is coming";
        t.Receive({79, 5});
        EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
        EXPECT_EQ(t.port.writes.size(), 2u) << "nothing is owed: the clock is asked at once";
    }
    {
        // A PC that paused past the wait finds the reply in the port with its announcement
        // still to come: the wait's end takes it as the answer, nothing is asked again.
        SerialRig t;
        t.rig.RunFor(3'000);
        t.port.Arrive({3, 248, 79, 5});
        t.rig.RunFor(ReplyWait::kInitialMs);
        EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
        EXPECT_EQ(t.rig.State().Link().Tally().resent, 0);
        ASSERT_EQ(t.port.writes.size(), 2u);
        EXPECT_EQ(t.port.writes[1][3], CommandCode::ReadClock);
    }
    {
        // A reply that trickles in, slower than the port (a radio hop at a low rate).
        SerialRig t;
        t.rig.RunFor(3'000 + ReplyWait::kInitialMs - 1);
        for (int b : {3, 248, 79}) {
            t.Receive({b});
            t.rig.RunFor(8);
        }
        EXPECT_EQ(t.port.writes.size(), 1u) << "no retry while the reply is coming";
        t.Receive({5});
        EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
        EXPECT_EQ(t.port.writes.size(), 2u);
    }
    {
        // A reply that stops half-way is a miss once its rest has had its time: as long as
        // the reply took to start.
        SerialRig t;
        t.rig.RunFor(3'000 + ReplyWait::kInitialMs - 1);
        t.Receive({3, 248});
        t.rig.RunFor(ReplyWait::kInitialMs - 10);
        EXPECT_EQ(t.port.writes.size(), 1u);
        t.rig.RunFor(50);
        EXPECT_EQ(t.port.writes.size(), 2u) << "the identification is asked again";
    }
    {
        // Noise that never makes a reply keeps the wait going only up to its ceiling.
        SerialRig t;
        t.rig.RunFor(3'000);
        for (int ms = 0; ms < ReplyWait::kCeilingMs + 100 && t.port.writes.size() == 1; ms += 2) {
            t.Receive({200});
            t.rig.RunFor(2);
        }
        EXPECT_EQ(t.port.writes.size(), 2u);
    }
}

// What the port holds at opening is purged, and noise shaped like a reply (first byte = its
// length - 1) while nothing is awaited is dropped, not kept as the head of the next reply.
TEST(SerialLink, AStaleOrNoisyReplyIsNeverTakenForAnAnswer) {
    SerialRig t({3, 248, 44, 7});
    EXPECT_TRUE(t.port.rx.empty());
    t.Receive({2, 248, 1});
    EXPECT_EQ(t.rig.Identified(), "");
    EXPECT_TRUE(t.port.writes.empty());
    t.Receive({9, 248});
    t.rig.RunFor(3000);
    ASSERT_EQ(t.port.writes.size(), 1u);
    t.Receive({3, 248, 79, 5});
    EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
}

TEST(SerialLink, AStrayByteAfterAReplyDoesNotSpoilTheNextReply) {
    SerialRig t;
    t.rig.RunFor(3'000);
    t.Receive({3, 248, 79, 5, 0xAA});  // the identification and one byte of noise
    EXPECT_EQ(t.rig.Identified(), "QM-Controller [ 79.5 ]");
    ASSERT_EQ(t.port.writes.size(), 2u);
    EXPECT_EQ(t.port.writes[1], (std::vector<std::uint8_t>{0, 2, 0, 48}));
    t.Receive({7, 248, 3, 7, 9, 5, 3, 24});
    EXPECT_EQ(t.rig.State().Link().serialReply.RxCount(), 0);
    EXPECT_EQ(t.rig.Model().Label2.caption, Controller::ClockText(9, 7, 3, 5, 3, 24));
    EXPECT_EQ(t.port.writes.size(), 3u) << "the read-out goes on after the clock";
}

TEST(SerialLink, AModemAnswerOnASerialPortIsReportedAsNoLogger) {
    SerialRig t;
    t.rig.RunFor(3'000);
    t.Receive({3, 248, 7, 0});
    EXPECT_EQ(t.port.writes.size(), 1u) << "the modem question exists only on USB";
    ASSERT_EQ(t.rig.ops.errors.size(), 1u);
    EXPECT_NE(t.rig.ops.errors[0].find("/dev/ttyUSB0"), std::string::npos);
}

TEST(SerialLink, AFailedWriteIsShownAndEndsTheStep) {
    SerialRig t;
    t.port.failWrites = true;
    t.rig.RunFor(3'000);
    ASSERT_EQ(t.rig.ops.errors.size(), 1u);
    EXPECT_EQ(t.rig.ops.errors[0], "Не удалось записать в порт (ошибка 5)");
    // What never went out is not awaited: no retries, no second message.
    EXPECT_FALSE(t.rig.State().Link().Outstanding);
    t.rig.RunFor(20'000);
    EXPECT_EQ(t.rig.ops.errors.size(), 1u);
}

TEST(SerialFraming, IsFramedByTheLengthByteAlone) {
    PacketBuffer b{};
    SerialReplyAssembler a;
    const std::uint8_t first[] = {5, 248};
    const std::uint8_t rest[] = {1, 2, 3, 4};
    EXPECT_EQ(a.Feed(b, first), SerialReplyAssembler::Result::Incomplete);
    EXPECT_EQ(a.RxCount(), 2);
    EXPECT_EQ(a.Feed(b, rest), SerialReplyAssembler::Result::Complete);
    EXPECT_EQ(a.RxCount(), 0);
    EXPECT_EQ(a.LastReplySize(), 6u);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[6], 4);

    const std::uint8_t lengthOnly[] = {7};
    SerialReplyAssembler one;
    EXPECT_EQ(one.Feed(b, lengthOnly), SerialReplyAssembler::Result::Incomplete);
    const std::uint8_t zero[] = {0};
    SerialReplyAssembler z;
    EXPECT_EQ(z.Feed(b, zero), SerialReplyAssembler::Result::Incomplete)
        << "a length of 0 never completes";
}

TEST(SerialFraming, AReplyIsCompleteAtItsLastByteAndWhatFollowsIsHeldApart) {
    PacketBuffer b{};
    SerialReplyAssembler a;
    const std::uint8_t replyAndStray[] = {2, 248, 9, 0x55};
    ASSERT_EQ(a.Feed(b, replyAndStray), SerialReplyAssembler::Result::Complete);
    EXPECT_EQ(a.LastReplySize(), 3u);
    EXPECT_EQ(a.RxCount(), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(a.Surplus().begin(), a.Surplus().end()),
              (std::vector<std::uint8_t>{0x55}));
    // The next reply, on its own, is not appended to the stray byte.
    const std::uint8_t next[] = {3, 248, 1, 2};
    ASSERT_EQ(a.Feed(b, next), SerialReplyAssembler::Result::Complete);
    EXPECT_TRUE(a.Surplus().empty());
    EXPECT_EQ(b[1], 3);
    EXPECT_EQ(b[4], 2);

    // Two whole replies in one step: the first is taken, the second is surplus.
    const std::uint8_t two[] = {1, 250, 2, 248, 7};
    ASSERT_EQ(a.Feed(b, two), SerialReplyAssembler::Result::Complete);
    EXPECT_EQ(a.LastReplySize(), 2u);
    EXPECT_EQ(a.Surplus().size(), 3u);
    // A reset (a new request) forgets the surplus as well as a partial reply.
    a.Reset();
    EXPECT_TRUE(a.Surplus().empty());
}

TEST(SerialFraming, AStreamThatNeverCompletesIsDroppedBeforeItOverrunsTheBuffer) {
    PacketBuffer b{};
    b.fill(0xEE);
    SerialReplyAssembler a;
    // A length byte of 0 never completes a reply, so zeros only ever grow the partial one.
    std::vector<std::uint8_t> noise(5000, 0x00);
    const auto r = a.Feed(b, noise);
    EXPECT_EQ(r, SerialReplyAssembler::Result::Dropped);
    EXPECT_LE(a.RxCount(), 256);
    EXPECT_EQ(b[300], 0xEE) << "nothing past the largest packet is written";
    // After the garbage, a good reply still gets through once the partial one is dropped.
    SerialReplyAssembler fresh;
    const std::uint8_t good[] = {2, 248, 9};
    EXPECT_EQ(fresh.Feed(b, good), SerialReplyAssembler::Result::Complete);
}

TEST(SerialLink, ReadsAtMost2048BytesPerStep) {
    SerialRig t;
    for (int i = 0; i < 5000; ++i) t.port.rx.push_back(0x11);
    t.rig.controller.ComPort1RxChar(5000);
    EXPECT_EQ(t.port.rx.size(), 5000u - 2048u);
}

TEST(HidLink, ReportsFromOtherDevicesAreIgnoredAndTextLinesBypassTheDispatcher) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 79, 5})});
    Rig rig(dev);
    rig.StartUsb();
    rig.link.SetUnplugged(true);
    rig.RunFor(300);
    const std::vector<std::uint8_t> reply{3, 248, 79, 5};
    rig.controller.HidCtlDeviceData("QM Controller ", reply);
    rig.controller.HidCtlDeviceData("qm controller", reply);
    EXPECT_EQ(rig.link.Written().size(), 1u);
    EXPECT_EQ(rig.Identified(), "");

    rig.controller.MutableLink().TextMode = true;
    rig.controller.HidCtlDeviceData("QM Controller", reply);
    EXPECT_EQ(rig.link.Written().size(), 1u) << "a text line is not a reply";

    rig.controller.MutableLink().TextMode = false;
    rig.controller.HidCtlDeviceData("QM Controller", reply);
    EXPECT_EQ(rig.link.Written().size(), 2u);
    EXPECT_EQ(rig.Identified(), "QM-Controller [ 79.5 ]");
}

TEST(HidLink, WritesWholeOutputReportsWithWhateverTheBufferHeldAfterThePacket) {
    ScriptedDevice dev;
    Rig rig(dev, 65);
    rig.StartUsb();
    rig.controller.MutableLink().PacketBuffer[10] = 0xAB;  // left over from an earlier packet
    rig.controller.bClockClick();
    const auto& report = rig.link.Written().back();
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ((std::vector<int>(report.begin(), report.begin() + 4)),
              (std::vector<int>{0, 2, 0, 48}));
    EXPECT_EQ(report[10], 0xAB);
}

TEST(LineValue, TakesTheFirstWordThatHasAValue) {
    auto text = [](std::initializer_list<int> frame) {
        PacketBuffer b{};
        std::size_t i = 1;
        for (int v : frame) b[i++] = static_cast<std::uint8_t>(v);
        return Controller::LineText(Reply(b, i - 1));
    };
    EXPECT_EQ(text({5, 248, 0x80, 0x00, 0x01, 0x90}), "25");
    EXPECT_EQ(text({3, 248, 0x8A, 0x05}), "10.5");
    EXPECT_EQ(text({3, 248, 0x81, 0x0A}), "1.10");
    EXPECT_EQ(text({5, 248, 0x80, 0x00, 0x80, 0x00}), "-");
    EXPECT_EQ(text({1, 248}), "-");
    EXPECT_EQ(text({9, 248, 0x01}), "-") << "words past the received bytes are not read";
}

TEST(Close, PowersDownOnlyThroughTheLinkTheRulesName) {
    // A Bluetooth modem whose logger's clock was read: one request 8 over USB, port untouched.
    {
        ScriptedDevice dev;
        Rig rig(dev);
        rig.StartUsb();
        FakeSerial port;
        rig.controller.MutableBluetooth().SetBtModemLink(true);
        rig.controller.MutableClock().SetClockRead(true);
        Exchange& s = rig.controller.MutableLink();
        s.PortOpen = true;
        s.serialPort = &port;
        rig.controller.FormClose();
        ASSERT_EQ(dev.Codes(), std::vector<int>{8});
        EXPECT_TRUE(port.log.empty());
    }
    // A serial connection: request 8 then close when CheckBox3 is checked; nothing otherwise.
    for (bool checked : {true, false}) {
        SerialRig t;
        t.rig.Model().CheckBox3.checked = checked;
        t.rig.controller.FormClose();
        if (checked) {
            ASSERT_EQ(t.port.writes.size(), 1u);
            EXPECT_EQ(t.port.writes[0], (std::vector<std::uint8_t>{0, 2, 0, 8}));
            EXPECT_EQ(t.port.log.back(), "close");
        } else {
            EXPECT_TRUE(t.port.writes.empty());
            EXPECT_NE(t.port.log.back(), "close");
        }
    }
    // A direct USB logger is never powered down.
    ScriptedDevice dev;
    Rig rig(dev);
    rig.StartUsb();
    rig.controller.MutableClock().SetClockRead(true);
    rig.controller.FormClose();
    EXPECT_TRUE(dev.requests.empty());
}

}  // namespace
}  // namespace qm::test
