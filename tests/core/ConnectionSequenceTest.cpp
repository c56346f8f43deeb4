#include <gtest/gtest.h>

#include "tests/support/Rig.h"

namespace qm::test {
namespace {

sim::Frame F(std::initializer_list<int> bytes) {
    sim::Frame f;
    for (int b : bytes) f.push_back(static_cast<std::uint8_t>(b));
    return f;
}

TEST(ConnectionSequence, TypeBelow80ReadsClockScheduleBatteryListingAndLineValue) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 79, 5})});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
    dev.On(52, {F({2, 248, 53})});
    dev.On(64, {F({6, 248, 'D', 'I', 'R', '1', 0})});
    dev.On(65, {F({3, 248, 0, 0})});
    dev.On(16, {F({5, 248, 0x80, 0x00, 0x01, 0x90})});
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);

    EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 48, 50, 52, 64, 65, 16}));
    EXPECT_EQ(rig.Model().window.title, "QM-Controller [ 79.5 ]  Line  [25]");
    EXPECT_EQ(rig.Model().ComboBox1.items, std::vector<std::string>{"DIR1"});
    EXPECT_TRUE(rig.Model().GroupBox1.visible);
    EXPECT_TRUE(rig.Model().GroupBox2.visible);
    EXPECT_EQ(rig.Model().TimeStart.fontColour, Colour::Navy);
    EXPECT_TRUE(rig.Model().bTest.enabled);
    EXPECT_FALSE(rig.State().InitialSequence);
    EXPECT_TRUE(rig.ops.errors.empty());
}

}  // namespace
}  // namespace qm::test
