// Reading and setting the logger's clock, and the test measurement's locking of the controls.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// A logger of type 79 whose read-out is over (clock, schedule, battery, one directory, line).
void ScriptIdle(ScriptedDevice& dev) {
    dev.On(0, {F({3, 248, 79, 5})});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(49, {F({1, 248})});
    dev.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
    dev.On(52, {F({2, 248, 60})});
    dev.On(64, {TextFrame(248, "D")});
    dev.On(65, {F({3, 248, 0, 0})});
    dev.On(16, {F({3, 248, 0x8A, 0x05})});
}

struct IdleRig {
    ScriptedDevice dev;
    Rig rig{dev};
    IdleRig() {
        ScriptIdle(dev);
        rig.StartUsb();
        rig.RunFor(5'000);
        dev.requests.clear();
    }
};

TEST(Clock, TextHasZeroPaddedTimeAndBlankPaddedDayAndMonth) {
    EXPECT_EQ(Controller::ClockText(9, 7, 3, 5, 3, 24), "09:07:03  5. 3.2024");
    EXPECT_EQ(Controller::ClockText(0, 0, 0, 12, 11, 9), "00:00:00 12.11.2009");
}

TEST(Clock, AReadClockIsShownInNavyForOneSecondAndReEnablesSynchronisation) {
    IdleRig t;
    t.rig.Model().bSynch.enabled = false;
    t.rig.controller.bClockClick();
    t.rig.RunFor(10);
    EXPECT_EQ(t.dev.Codes(), std::vector<int>{48});
    EXPECT_EQ(t.rig.Model().Label2.caption, "09:07:03  5. 3.2024");
    EXPECT_EQ(t.rig.Model().Label2.fontColour, Colour::Navy);
    EXPECT_TRUE(t.rig.Model().Label2.visible);
    EXPECT_TRUE(t.rig.Model().bSynch.enabled);
    t.rig.RunFor(995);
    EXPECT_FALSE(t.rig.Model().Label2.visible);
}

TEST(Clock, SynchronisingSendsThePcClockAndShowsTheResultInRed) {
    IdleRig t;
    t.rig.clock.start = *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0});
    t.rig.clock.elapsedMs = 0;
    t.rig.now = 0;
    t.rig.controller.bSynchClick();
    EXPECT_FALSE(t.rig.Model().bSynch.enabled);
    t.rig.RunFor(10);
    ASSERT_EQ(t.dev.Codes(), (std::vector<int>{49, 48}));
    EXPECT_EQ(std::vector<int>(t.dev.requests[0].begin(), t.dev.requests[0].begin() + 10),
              (std::vector<int>{0, 8, 0, 49, 3, 7, 9, 5, 3, 24}));
    EXPECT_EQ(t.rig.Model().Label2.fontColour, Colour::Red);
    EXPECT_FALSE(t.rig.State().Clock().ClockJustSet());
}

TEST(Clock, AClockReplyThatIsNot248SetsTheClockFromThePcAndReadsItAgain) {
    ScriptedDevice dev;
    ScriptIdle(dev);
    dev.script[48] = {{F({7, 249, 0, 0, 0, 1, 1, 0})}, {F({7, 248, 3, 7, 9, 5, 3, 24})}};
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(400);
    const std::vector<int> codes = dev.Codes();
    ASSERT_GE(codes.size(), 5u);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 5),
              (std::vector<int>{0, 48, 49, 48, 50}));
    EXPECT_EQ(rig.Model().Label2.fontColour, Colour::Red);
    EXPECT_TRUE(rig.State().Clock().ClockRead());
}

TEST(Clock, TheYearTravelsAsYearMinus2000Modulo256) {
    IdleRig t;
    t.rig.clock.start = *DateTime::FromCivil({2000, 1, 2, 0, 0, 0, 0});
    t.rig.controller.bSynchClick();
    EXPECT_EQ(t.dev.requests[0][9], 0);
    t.rig.clock.start = *DateTime::FromCivil({1999, 12, 31, 0, 0, 0, 0});
    t.rig.controller.bSynchClick();
    EXPECT_EQ(t.dev.requests[1][9], 255);
}

sim::Frame ReadingsBlock(int status, int words, std::uint16_t first) {
    sim::Frame f{static_cast<std::uint8_t>(2 * words + 1), static_cast<std::uint8_t>(status)};
    for (int i = 0; i < words; ++i) {
        const auto w = static_cast<std::uint16_t>(first + i);
        f.push_back(static_cast<std::uint8_t>(w >> 8));
        f.push_back(static_cast<std::uint8_t>(w & 0xFF));
    }
    return f;
}

TEST(TestMeasurement, LocksTheControlsUntilTheLastBlockThenReadsBatteryAndLine) {
    IdleRig t;
    t.dev.On(32, {ReadingsBlock(249, 30, 2560)});
    t.dev.On(68, {ReadingsBlock(249, 30, 2600)});
    t.dev.On(68, {ReadingsBlock(248, 30, 2700)});  // readings beyond the 63rd are ignored
    WindowModel& m = t.rig.Model();
    t.rig.link.SetUnplugged(true);  // hold the replies back to look at the locked window
    t.rig.controller.bTestClick();
    for (const Control* c : std::initializer_list<const Control*>{
             &m.bSynch, &m.bClock, &m.GroupBox2, &m.pComment, &m.GroupBox1, &m.bTest})
        EXPECT_FALSE(c->enabled);
    EXPECT_TRUE(m.ProgressBar1.visible);
    EXPECT_EQ(m.window.title, "QM-Controller [ 79.5 ]") << "the line value leaves the title";
    t.rig.RunFor(250);
    EXPECT_EQ(m.ProgressBar1.position, 2) << "the busy bar steps every 100 ms";

    t.rig.link.SetUnplugged(false);
    t.rig.controller.bTestClick();
    t.rig.RunFor(10);
    EXPECT_EQ(t.dev.Codes(), (std::vector<int>{32, 68, 68, 52, 16}));
    EXPECT_EQ(t.rig.State().Test().Readings().ReadingCount, 63);
    for (const Control* c : std::initializer_list<const Control*>{
             &m.bSynch, &m.bClock, &m.GroupBox2, &m.pComment, &m.GroupBox1, &m.bTest})
        EXPECT_TRUE(c->enabled);
    EXPECT_FALSE(m.ProgressBar1.visible);
    EXPECT_TRUE(m.GroupBox3.visible);
    EXPECT_EQ(m.window.title, "QM-Controller [ 79.5 ]  Line  [10.5]");
    EXPECT_EQ(m.Chart1.series1.size(), 63u);
}

TEST(TestMeasurement, ARefusedBlockEndsTheMeasurementAndGivesTheWindowBack) {
    IdleRig t;
    t.dev.On(32, {ReadingsBlock(250, 0, 0)});
    t.rig.controller.bTestClick();
    t.rig.RunFor(500);
    EXPECT_EQ(t.dev.Codes(), std::vector<int>{32});
    EXPECT_TRUE(t.rig.Model().bTest.enabled);
    EXPECT_TRUE(t.rig.Model().bClock.enabled);
    EXPECT_FALSE(t.rig.Model().ProgressBar1.visible) << "nothing more comes: the bar stops";
    EXPECT_EQ(t.rig.ops.errors.size(), 1u);
}

// The day copy's mode, clicked while the deletion of the last directory is awaited, waits for
// the reply; by then the relisting has found no directory and hidden the data group with its
// cancel button. Armed then, the mode would lock the clock and test buttons with nothing left
// to unlock them.
TEST(ClockAndTestButtons, StayUsableWhenADayCopyClickedDuringADeleteFindsNoDirectoryLeft) {
    IdleRig t;
    t.dev.On(76, {F({1, 248})});
    t.dev.script[64] = {{F({3, 248, 0, 0})}};  // the root is empty after the deletion
    Controller& c = t.rig.controller;
    const WindowModel& m = t.rig.Model();
    ASSERT_TRUE(m.GroupBox1.visible);
    t.rig.link.SetReplyDelay(std::chrono::milliseconds(10));
    c.Click("bDelete");
    c.Click("bSelect");
    ASSERT_TRUE(c.ClickDeferred());
    t.rig.RunFor(1'000);
    EXPECT_EQ(t.dev.Codes(), (std::vector<int>{76, 64}));
    EXPECT_FALSE(m.GroupBox1.visible);
    EXPECT_FALSE(t.rig.State().Day().Active());
    for (const Button* b : {&m.bTest, &m.bClock, &m.bSynch}) EXPECT_TRUE(b->enabled);
    EXPECT_TRUE(t.rig.ops.errors.empty());
}

}  // namespace
}  // namespace qm::test
