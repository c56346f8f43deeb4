#include <gtest/gtest.h>

#include "tests/modems/ModemTestSupport.h"

namespace qm::test {
namespace {

TEST(ModemDetection, RadioModemShowsItsGroupAndWaitsForTheOperator) {
    ScriptedDevice logger;
    FakeModem modem(1, logger);
    Rig rig(modem);
    rig.StartUsb();
    rig.RunFor(5000);

    const auto& written = rig.link.Written();
    ASSERT_EQ(written.size(), 2u);  // identification, then the modem-kind question: nothing more
    EXPECT_EQ((std::vector<int>(written[1].begin(), written[1].begin() + 4)),
              (std::vector<int>{0, 2, 255, 1}));
    const WindowModel& m = rig.Model();
    EXPECT_EQ(m.window.title, "QM-Controller  [ R-modem ]");
    EXPECT_TRUE(rig.State().Radio().RadioModemLink());
    EXPECT_FALSE(rig.State().Bluetooth().BtModemLink());
    EXPECT_FALSE(m.pmBluetooth.enabled);
    EXPECT_EQ(rig.State().Radio().RadioAddress(), 255);
    EXPECT_TRUE(m.gbR_Modem.visible);
    EXPECT_EQ(m.gbR_Modem.geometry.left, 32);
    EXPECT_EQ(m.gbR_Modem.geometry.top, 32);
    EXPECT_FALSE(m.BTmodem.visible);
    EXPECT_FALSE(m.bTest.visible);
}

TEST(ModemDetection, BluetoothModemListsTheDevicesAndTakesTheFirstModeStep) {
    StartFolder folder;
    folder.WriteDeviceList("001122334455\r\n00AABBCCDDEE\r\n0123456789AB");
    ScriptedDevice logger;
    FakeModem modem(2, logger);
    modem.readyLine.clear();
    Rig rig(modem);
    rig.controller.SetUpFolders(folder.Path());
    rig.StartUsb();
    rig.RunFor(310);  // identification and modem kind, not yet the command mode

    const WindowModel& m = rig.Model();
    EXPECT_EQ(m.window.title, "QM-Controller  [ BT-modem ]");
    EXPECT_TRUE(rig.State().Bluetooth().BtModemLink());
    EXPECT_FALSE(rig.State().Radio().RadioModemLink());
    EXPECT_FALSE(m.pmBluetooth.enabled);
    EXPECT_EQ(m.RadioGroup1.items,
              (std::vector<std::string>{"1   ( 001122334455 )", "2   ( 00AABBCCDDEE )",
                                        "3   ( 0123456789AB )"}));
    EXPECT_EQ(m.RadioGroup1.itemIndex, 0);
    EXPECT_EQ(rig.State().BluetoothView().BluetoothAddress(1), "00AABBCCDDEE");
    EXPECT_TRUE(m.BTmodem.visible);
    EXPECT_EQ(m.BTmodem.geometry.left, 10);
    EXPECT_EQ(m.BTmodem.geometry.top, 10);
    const auto& last = rig.link.Written().back();
    EXPECT_EQ((std::vector<int>(last.begin(), last.begin() + 5)),
              (std::vector<int>{0, 3, 255, 130, 0}));
    EXPECT_TRUE(rig.Timers().BTtimer.Enabled());
    EXPECT_EQ(rig.Timers().BTtimer.Interval(), 300);
    EXPECT_TRUE(rig.ops.confirmations.empty());
}

TEST(ModemDetection, WithoutADeviceListTheModemStillEntersCommandMode) {
    StartFolder folder;
    ScriptedDevice logger;
    FakeModem modem(2, logger);
    Rig rig(modem);
    rig.controller.SetUpFolders(folder.Path());
    rig.StartUsb();
    rig.RunFor(2000);

    EXPECT_EQ(rig.ops.confirmations, std::vector<std::string>{"Нет файла Device.txt"});
    EXPECT_FALSE(rig.Model().BTmodem.visible);
    EXPECT_TRUE(rig.Model().RadioGroup1.items.empty());
    EXPECT_TRUE(rig.State().Link().TextMode);
    EXPECT_EQ(static_cast<int>(rig.State().Bluetooth().ModemMode()), 1);
    EXPECT_TRUE(rig.Model().Button6.enabled);  // ready, though there is nothing to dial
}

TEST(ModemDetection, AnotherModemKindEndsTheSequence) {
    for (int kind : {0, 3, 255}) {
        ScriptedDevice logger;
        FakeModem modem(kind, logger);
        Rig rig(modem);
        rig.StartUsb();
        rig.RunFor(5000);
        EXPECT_EQ(rig.SentCodes(), (std::vector<int>{0, 1})) << kind;
        EXPECT_EQ(rig.Identified(), "") << kind;
        EXPECT_FALSE(rig.State().Radio().RadioModemLink() || rig.State().Bluetooth().BtModemLink())
            << kind;
        EXPECT_TRUE(rig.Model().gbR_Modem.geometry.left == 496) << kind;
    }
}

}  // namespace
}  // namespace qm::test
