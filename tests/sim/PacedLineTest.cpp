// A paced line in front of a device: what it counts as having crossed, and how long it has the
// link hold each reply back.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/FaultyDevice.h"
#include "sim/PacedLine.h"
#include "sim/VirtualLogger.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/Rig.h"

namespace qm::sim {
namespace {

using std::chrono::milliseconds;
using test::Request;

// Answers every request with frames of the sizes given.
struct SizedReplies : Device {
    std::vector<std::size_t> sizes;
    std::vector<Frame> Handle(std::span<const std::uint8_t>) override {
        std::vector<Frame> frames;
        for (std::size_t n : sizes) frames.emplace_back(n, std::uint8_t{7});
        return frames;
    }
};

struct PacedLineTest : ::testing::Test {
    SizedReplies device;
    std::vector<milliseconds> waits;
    void Listen(PacedLine& line) {
        line.SetReplyDelayCallback([this](milliseconds wait) { waits.push_back(wait); });
    }
};

TEST_F(PacedLineTest, CountsARequestByItsLengthByteNotTheReportsPadding) {
    device.sizes = {40, 12};
    PacedLine line(device, 9600);
    line.Handle(Request(48));             // lead, length 2, status, code: 4 bytes
    line.Handle(Request(69, {1, 2, 3}));  // 7 bytes
    EXPECT_EQ(line.Crossed().requests, 2);
    EXPECT_EQ(line.Crossed().requestBytes, 11u);
    EXPECT_EQ(line.Crossed().replies, 4);
    EXPECT_EQ(line.Crossed().replyBytes, 104u);
    EXPECT_EQ(line.Crossed().Bytes(), 115u);
    // A request cut short or claiming more than was written counts what was written.
    EXPECT_EQ(PacedLine::RequestBytes(std::vector<std::uint8_t>{0}), 1u);
    EXPECT_EQ(PacedLine::RequestBytes(std::vector<std::uint8_t>{0, 200, 1, 2}), 4u);
    line.ResetCounts();
    EXPECT_EQ(line.Crossed().Bytes(), 0u);
}

TEST_F(PacedLineTest, RepliesWaitTheLineTimeOfTheWholeExchangeAndNoRoundingIsLost) {
    // 7 + 40 bytes at 9600 Bd: 48.958... ms an exchange.
    device.sizes = {40};
    PacedLine line(device, 9600);
    Listen(line);
    for (int i = 0; i < 1000; ++i) line.Handle(Request(69, {1, 2, 3}));
    ASSERT_EQ(waits.size(), 1000u);
    milliseconds total{0};
    for (const milliseconds wait : waits) {
        EXPECT_TRUE(wait == milliseconds{48} || wait == milliseconds{49}) << wait.count();
        total += wait;
    }
    EXPECT_EQ(total, milliseconds{48958});  // 47,000 bytes * 10 bits / 9600 Bd = 48,958.3 ms
}

TEST_F(PacedLineTest, SeveralRepliesShareTheWaitSoTheLastArrivesWhenTheLineIsDone) {
    // 4 + 64 + 64 + 8 bytes at 1200 Bd: 1,166.7 ms, the link holding each reply back in turn.
    device.sizes = {64, 64, 8};
    PacedLine line(device, 1200);
    Listen(line);
    line.Handle(Request(64));
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0], milliseconds{388});
    line.Handle(Request(64));
    ASSERT_EQ(waits.size(), 2u);
    // What rounding left over went into the second exchange's waits: less than a millisecond
    // a reply is still owed.
    const auto both = 3 * (waits[0] + waits[1]);
    EXPECT_LE(both, milliseconds{2333});
    EXPECT_GT(both, milliseconds{2330});
}

TEST_F(PacedLineTest, NothingToHoldBackForALostRequestOrOnAnUnpacedLine) {
    device.sizes = {40};
    LinkFaults faults;
    faults.loseEveryNthRequest = 1;
    FaultyDevice lossy(device, faults);
    PacedLine line(lossy, 9600);
    Listen(line);
    EXPECT_TRUE(line.Handle(Request(48)).empty());
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(line.Crossed().requestBytes, 4u) << "a lost request crossed the line all the same";
    EXPECT_EQ(line.Crossed().replies, 0);

    PacedLine unpaced(device, 0);
    Listen(unpaced);
    EXPECT_EQ(unpaced.Handle(Request(48)).size(), 1u);
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(unpaced.Crossed().replyBytes, 40u);
}

TEST(PacedLineRig, AnExchangeTakesItsLineTimeInTheRigsVirtualTime) {
    qm::test::FakePcClock pc;
    VirtualLogger logger({}, [&pc] { return pc.Now(); });
    PacedLine line(logger, 2400);
    qm::test::Rig rig(line);
    line.SetReplyDelayCallback([&rig](milliseconds wait) { rig.link.SetReplyDelay(wait); });
    rig.StartUsb();
    Controller& c = rig.controller;
    ASSERT_TRUE(rig.RunUntil([&] { return !c.Work().ReadingOut() && c.Work().Idle(); }, 60'000));

    // The clock read: its request and reply on the line, and not a millisecond more; the rig
    // stops at the reply that ends it.
    line.ResetCounts();
    const std::int64_t asked = rig.now;
    ASSERT_TRUE(c.Work().ReadClock());
    ASSERT_TRUE(rig.RunUntil([&] { return !c.Link().Outstanding; }, 60'000));
    ASSERT_EQ(line.Crossed().requests, 1);
    const double lineMs = static_cast<double>(line.Crossed().Bytes()) * 10'000.0 / 2400;
    EXPECT_NEAR(static_cast<double>(rig.now - asked), lineMs, 1.0);

    // Never done: the clock runs to the limit.
    const std::int64_t before = rig.now;
    EXPECT_FALSE(rig.RunUntil([] { return false; }, 500));
    EXPECT_EQ(rig.now, before + 500);
}

}  // namespace
}  // namespace qm::sim
