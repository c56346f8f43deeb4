#include <gtest/gtest.h>

#include "sim/Modems.h"
#include "sim/VirtualLogger.h"
#include "tests/modems/ModemTestSupport.h"

namespace qm::test {
namespace {

// A virtual logger on the PC clock of the rig it is wired to.
struct Logger {
    explicit Logger(FakePcClock& clock) : logger({}, [&clock] { return clock.Now(); }) {}
    sim::VirtualLogger logger;
};

// The read-out through a modem ends like a direct one: title with the line value, the data
// group listed, the buttons enabled, the initial sequence over.
void ExpectReadOutDone(Rig& rig, const std::string& titleStart) {
    const WindowModel& m = rig.Model();
    EXPECT_EQ(m.window.title.rfind(titleStart + "  Line  [", 0), 0u) << m.window.title;
    EXPECT_FALSE(rig.State().Sequence().ReadingOut());
    EXPECT_TRUE(rig.State().Clock().ClockRead());
    EXPECT_FALSE(m.ComboBox1.items.empty());
    EXPECT_TRUE(m.GroupBox1.visible);
    EXPECT_TRUE(m.bTest.enabled);
    EXPECT_TRUE(rig.ops.errors.empty()) << rig.ops.errors.front();
}

TEST(VirtualModems, AFullReadOutThroughTheBluetoothModem) {
    StartFolder folder;
    folder.WriteDeviceList("0012F3A4B5C6\r\n00AABBCCDDEE\r\n");
    FakePcClock pc;
    Logger logger(pc);
    sim::BtModem modem(
        logger.logger,
        {.noCarrierBeforeConnect = 2, .echo = true, .reachableAddresses = {"00AABBCCDDEE"}});
    Rig rig(modem);
    rig.controller.SetUpFolders(folder.Path());
    rig.StartUsb();
    rig.RunFor(1000);
    ASSERT_TRUE(rig.Model().Button6.enabled);

    rig.controller.Selected("RadioGroup1", 1);
    rig.controller.Click("Button6");
    rig.RunFor(300 + 2 * 15000);  // two NO CARRIER, the third call connects
    EXPECT_EQ(modem.Calls(), 3);
    EXPECT_TRUE(modem.Connected());
    EXPECT_EQ(rig.Model().Label9.caption, "2");
    EXPECT_EQ(rig.Model().Label10.caption, "3");
    rig.RunUntilIdle();

    ExpectReadOutDone(rig, "QM-Controller/BT-modem [84.5]");
    EXPECT_EQ(modem.Lines().front(), "AT");
    EXPECT_EQ(modem.Lines().back(), "CALL 00AABBCCDDEE 1101 RFCOMM");

    const std::size_t before = rig.link.Written().size();
    rig.controller.FormClose();  // CheckBox2 is checked by design
    ASSERT_EQ(rig.link.Written().size(), before + 1);
    EXPECT_EQ(rig.link.Written().back()[3], 8);
}

TEST(VirtualModems, AFullReadOutThroughTheRadioModemAtTheLoggersAddress) {
    FakePcClock pc;
    Logger logger(pc);
    sim::RadioModem modem(logger.logger, {.loggerAddress = 7, .loggerInRange = true});
    Rig rig(modem);
    rig.StartUsb();
    rig.RunFor(1000);
    rig.controller.Checked("cbRAddress", false);
    rig.controller.TextEdited("eRAddress", "7");
    rig.controller.Click("bRStart");
    rig.RunUntilIdle();

    EXPECT_EQ(modem.SelectedAddress(), 7);
    ExpectReadOutDone(rig, "QM-Controller/R-modem [84.5]");
    EXPECT_FALSE(rig.Model().gbR_Modem.visible);

    const std::size_t before = rig.link.Written().size();
    rig.controller.FormClose();  // a logger behind a radio modem is never powered down
    EXPECT_EQ(rig.link.Written().size(), before);
}

TEST(VirtualModems, EverySecondModeReachesALoggerThatComesIntoRange) {
    FakePcClock pc;
    Logger logger(pc);
    sim::RadioModem modem(logger.logger, {.loggerAddress = 1, .loggerInRange = false});
    Rig rig(modem);
    rig.StartUsb();
    rig.RunFor(1000);
    rig.controller.Selected("cbR_Modem", 1);
    rig.controller.Click("bRStart");
    rig.RunFor(3500);
    EXPECT_EQ(rig.ops.beeps, 3);
    EXPECT_TRUE(rig.Model().gbR_Modem.visible);

    modem.SetLoggerInRange(true);
    rig.RunUntilIdle();
    EXPECT_EQ(rig.ops.beeps, 4);
    ExpectReadOutDone(rig, "QM-Controller/R-modem [84.5]");
}

}  // namespace
}  // namespace qm::test
