// The automatic read-out after a logger is found, as the operator sees it and as it goes over
// the wire.
#include <gtest/gtest.h>

#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// A logger of the given type that answers every read-out request once.
void ScriptReadOut(ScriptedDevice& dev, int type, int version) {
    dev.On(0, {F({3, 248, type, version})});
    sim::Frame cal{61, 248};
    for (int i = 0; i < 30; ++i) {
        cal.push_back(static_cast<std::uint8_t>(i + 1));  // entry i+1 = i+1 hundredths
        cal.push_back(0);
    }
    dev.On(60, {cal});
    dev.On(62, {cal});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
    sim::Frame remarks{42, 248};
    for (int i = 0; i < 40; ++i) remarks.push_back(static_cast<std::uint8_t>('a' + i % 20));
    dev.On(144, {remarks});
    dev.On(52, {F({2, 248, 53})});
    dev.On(64, {TextFrame(248, "DIR1")});
    dev.On(65, {TextFrame(248, "SYSTEM~1")});
    dev.On(65, {TextFrame(248, "DIR2")});
    dev.On(65, {F({3, 248, 0, 0})});
    dev.On(16, {F({5, 248, 0x80, 0x00, 0x01, 0x90})});
}

struct ReadOut {
    int type;
    std::vector<int> codes;
    const char* title;
};

class ReadOutByType : public ::testing::TestWithParam<ReadOut> {};

TEST_P(ReadOutByType, RunsTheRequestsInOrderAndEndsWithTheLineInTheTitle) {
    ScriptedDevice dev;
    ScriptReadOut(dev, GetParam().type, 5);
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(299);
    EXPECT_TRUE(dev.requests.empty()) << "the first request waits 300 ms";
    rig.RunFor(10'000);

    EXPECT_EQ(dev.Codes(), GetParam().codes);
    EXPECT_EQ(rig.Model().window.title, GetParam().title);
    EXPECT_EQ(rig.Model().ComboBox1.items, (std::vector<std::string>{"DIR1", "DIR2"}));
    EXPECT_EQ(rig.Model().ComboBox1.text, "DIR1");
    EXPECT_TRUE(rig.Model().GroupBox1.visible);
    EXPECT_EQ(rig.Model().window.width, 370);
    for (const Button* b : {&rig.Model().bTest, &rig.Model().bClock, &rig.Model().bSynch}) {
        EXPECT_TRUE(b->visible);
        EXPECT_TRUE(b->enabled);
    }
    EXPECT_FALSE(rig.Model().Label2.visible) << "the clock is shown for one second only";
    EXPECT_TRUE(rig.Model().GroupBox3.visible) << "the battery of the read-out is shown";
    EXPECT_TRUE(rig.ops.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    DeviceTypes, ReadOutByType,
    ::testing::Values(
        ReadOut{79, {0, 48, 50, 52, 64, 65, 65, 65, 16}, "QM-Controller [ 79.5 ]  Line  [25]"},
        ReadOut{80, {0, 60, 48, 50, 52, 64, 65, 65, 65, 16}, "QM-Controller [ 80.5 ]  Line  [25]"},
        ReadOut{84,
                {0, 60, 62, 62, 48, 50, 52, 64, 65, 65, 65, 16},
                "QM-Controller [ 84.5 ]  Line  [25]"},
        ReadOut{
            88, {0, 60, 62, 62, 48, 144, 52, 64, 65, 65, 65, 16}, "Pathrex [ 88.5 ]  Line  [25]"}),
    [](const auto& p) { return "Type" + std::to_string(p.param.type); });

TEST(ConnectionSequence, FirstRequestIsIdentificationWithTheAdapterStatusAsAFullReport) {
    ScriptedDevice dev;
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(300);
    ASSERT_EQ(rig.link.Written().size(), 1u);
    const auto& report = rig.link.Written()[0];
    EXPECT_EQ(report.size(), 65u);
    EXPECT_EQ((std::vector<int>(report.begin(), report.begin() + 4)),
              (std::vector<int>{0, 2, 255, 0}));
    EXPECT_TRUE(rig.State().Link().UsbStarted);
    EXPECT_EQ(rig.Model().window.title, "QM-Controller");
    EXPECT_FALSE(rig.Model().pmBluetooth.enabled);
}

TEST(ConnectionSequence, AnEmptyRootListingShowsTheNoDataLabelForThreeSeconds) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 79, 5);
    dev.script[64] = {{F({3, 248, 0, 0})}};
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(1'500);  // read-out done; the clock label is hidden again at this point
    EXPECT_TRUE(rig.Model().Label6.visible);
    EXPECT_FALSE(rig.Model().GroupBox1.visible);
    EXPECT_TRUE(rig.Model().GroupBox2.visible);
    EXPECT_TRUE(rig.Model().bTest.enabled);
    rig.RunFor(1'700);  // 3 s after the listing ended at 300 ms
    EXPECT_TRUE(rig.Model().Label6.visible);
    rig.RunFor(200);
    EXPECT_FALSE(rig.Model().Label6.visible);
}

TEST(ConnectionSequence, ARefusedListingEndsTheReadOutWithoutTheDataGroup) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 79, 5);
    dev.script[64] = {{F({2, 249, 0})}};
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(10'000);
    EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 48, 50, 52, 64, 16}));
    EXPECT_FALSE(rig.Model().GroupBox1.visible);
    EXPECT_FALSE(rig.State().Sequence().ReadingOut());
    // The clock and the test measurement do not need the listing: the window is not left
    // without a control to use.
    EXPECT_TRUE(rig.Model().bTest.enabled);
    EXPECT_TRUE(rig.Model().bClock.enabled);
    EXPECT_TRUE(rig.Model().bSynch.enabled);
}

TEST(ConnectionSequence, AModemAdapterIsAskedWhichModemItIsWithoutTouchingTheWindow) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 7, 0})});
    dev.On(1, {F({2, 248, 0})});  // a kind the program does not know
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(1'000);
    ASSERT_EQ(dev.Codes(), (std::vector<int>{0, 1}));
    EXPECT_EQ(dev.requests[1][1], 2);
    EXPECT_EQ(dev.requests[1][2], 255);
    EXPECT_EQ(rig.Model().window.title, "QM-Controller");
    EXPECT_FALSE(rig.Model().bTest.visible);
}

TEST(ConnectionSequence, TheWindowIsNarrowAndAsHighAsTheScreenAllowsAtStart) {
    ScriptedDevice dev;
    Rig rig(dev);
    rig.controller.FormCreate(1366, 768);
    EXPECT_EQ(rig.Model().window.width, 370);
    EXPECT_EQ(rig.Model().window.height, 708);
    EXPECT_EQ(rig.Model().Label7.caption, "ver 5.1");
    EXPECT_FALSE(rig.Model().Chart1.visible);
    EXPECT_EQ(rig.Model().pComment.geometry.top, rig.Model().GroupBox2.geometry.top);
    EXPECT_TRUE(rig.State().Sequence().ReadingOut());
    EXPECT_TRUE(rig.State().Sequence().FirstListing());
}

}  // namespace
}  // namespace qm::test
