// What can answer a request, and how long its reply is waited for.
#include <gtest/gtest.h>

#include "protocol/CommandCode.h"
#include "session/Dispatcher.h"
#include "session/Exchange.h"
#include "session/ReplyWait.h"

namespace qm {
namespace {

namespace C = CommandCode;

bool Accepts(std::uint8_t code, std::vector<std::uint8_t> frame) {
    PacketBuffer buffer{};
    std::copy(frame.begin(), frame.end(), buffer.begin() + 1);
    return dispatch::For(code).Accepts(Reply(buffer, frame.size()));
}

TEST(Answers, AReplyMustHaveTheShapeItsRequestFixes) {
    // A line: text bytes and a terminator; a 0 inside is no text (a block of values is).
    EXPECT_TRUE(Accepts(C::NextLine, {4, 249, 'a', 'b', 0}));
    EXPECT_FALSE(Accepts(C::NextLine, {4, 249, 0, 'b', 0}));
    EXPECT_FALSE(Accepts(C::NextLine, {1, 249})) << "no terminator";
    EXPECT_TRUE(Accepts(C::ResumeFile, {1, 250})) << "the end of the file carries no line";
    EXPECT_FALSE(Accepts(C::OpenFile, {6, 248, 'a', 'b'})) << "cut short";
    // A listing: an entry, the end (Data[0] = 0), or a refusal of any length.
    EXPECT_TRUE(Accepts(C::ListNext, {5, 248, 'D', 'I', 'R', 0}));
    EXPECT_TRUE(Accepts(C::ListFirst, {2, 248, 0}));
    EXPECT_FALSE(Accepts(C::ListFirst, {1, 248})) << "neither an entry nor the end";
    EXPECT_TRUE(Accepts(C::ListFirst, {1, 7}));
    // The clock's six bytes, the identification's two, the battery's one.
    EXPECT_TRUE(Accepts(C::ReadClock, {7, 248, 3, 7, 9, 5, 3, 24}));
    EXPECT_FALSE(Accepts(C::ReadClock, {3, 248, 3, 7}));
    EXPECT_TRUE(Accepts(C::ReadClock, {1, 249})) << "any other status sets the clock";
    EXPECT_FALSE(Accepts(C::Identify, {2, 248, 80}));
    EXPECT_TRUE(Accepts(C::Identify, {3, 248, 80, 2}));
    EXPECT_FALSE(Accepts(C::ReadBattery, {1, 248}));
    // Every reply has at least its status; a delete's reply is not inspected beyond it.
    EXPECT_FALSE(Accepts(C::DeleteDirectory, {0}));
    EXPECT_TRUE(Accepts(C::DeleteDirectory, {1, 3}));
}

TEST(Answers, OnlyTheLineAfterReopeningStandsForTheLineAMissedRequestAskedFor) {
    EXPECT_EQ(dispatch::For(C::ResumeFile).group, dispatch::For(C::NextLine).group);
    for (std::uint8_t code : {C::OpenFile, C::FirstValues, C::NextValues, C::ListFirst, C::ListNext,
                              C::StartTest, C::NextReadings, C::DeleteDirectory})
        EXPECT_NE(dispatch::For(code).group, dispatch::For(C::NextLine).group) << int(code);
}

TEST(ReplyWait, LearnsFromRoundTripsBacksOffOnMissesAndKeepsToItsBounds) {
    ReplyWait w(40);
    EXPECT_EQ(w.WaitMs(), ReplyWait::kInitialMs) << "a logger may take seconds at first";
    w.Sample(8);
    EXPECT_EQ(w.WaitMs(), 40) << "8 + 4 * 4 is below the line's floor";
    for (int i = 0; i < 20; ++i) w.Sample(100);
    EXPECT_GE(w.WaitMs(), 100);
    EXPECT_LT(w.WaitMs(), 200);
    const std::int64_t settled = w.WaitMs();
    w.Backoff();
    EXPECT_EQ(w.WaitMs(), 2 * settled);
    for (int i = 0; i < 10; ++i) w.Backoff();
    EXPECT_EQ(w.WaitMs(), ReplyWait::kCeilingMs);
    w.Sample(100);
    EXPECT_LT(w.WaitMs(), ReplyWait::kCeilingMs) << "a new sample ends the backoff";
    // A jittery line waits for its slow replies too.
    ReplyWait j(40);
    for (int i = 0; i < 50; ++i) j.Sample(i % 2 ? 50 : 450);
    EXPECT_GT(j.WaitMs(), 450);
    // A reply that starts after 42 ms every time on a line of 8.3 ms a byte (1200 Bd behind a
    // faster port) may be held back by a few bytes' time now and then.
    ReplyWait slow(6);
    for (int i = 0; i < 50; ++i) slow.Sample(42, 8.3);
    EXPECT_GT(slow.WaitMs(), 42 + 80);
    ReplyWait fast(6);
    for (int i = 0; i < 50; ++i) fast.Sample(42, 0.09);
    EXPECT_LT(fast.WaitMs(), 60);
    // A reply that came late to a retried exchange lifts the wait above what it took.
    ReplyWait late(40);
    late.Sample(10);
    late.AtLeast(3'000);
    EXPECT_GT(late.WaitMs(), 3'000);
}

TEST(ReplyWait, TheFloorIsTheLongestReplysTimeOnTheLine) {
    EXPECT_GT(Exchange::FloorMs(115200), 30);
    EXPECT_LT(Exchange::FloorMs(115200), 50);
    EXPECT_GT(Exchange::FloorMs(1200), 2'500);
}

}  // namespace
}  // namespace qm
