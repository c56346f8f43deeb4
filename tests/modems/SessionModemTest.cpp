// Loggers behind a USB modem reached through the session, as a run without a window does it:
// a radio address selected, a Bluetooth address dialled a limited number of times.
#include <gtest/gtest.h>

#include "sim/Modems.h"
#include "sim/VirtualLogger.h"
#include "tests/modems/ModemTestSupport.h"
#include "tests/support/Heard.h"

namespace qm::test {
namespace {

struct ModemRig {
    explicit ModemRig(sim::Device& modem) : rig(modem) {
        rig.StartUsb();
        rig.RunFor(1000);
        heard.Hear(rig.controller.MutableSession());
    }
    Rig rig;
    Heard heard;
};

TEST(SessionModems, ARadioAddressIsReachedOrFoundSilent) {
    FakePcClock pc;
    sim::VirtualLogger logger({}, [&pc] { return pc.Now(); });
    sim::RadioModem modem(logger, {.loggerAddress = 7, .loggerInRange = true});
    {
        ModemRig r(modem);
        EXPECT_TRUE(r.rig.Work().ThroughModemAdapter());
        EXPECT_FALSE(r.rig.Work().ReachRadioAddress(255)) << "one logger's address, not all";
        ASSERT_TRUE(r.rig.Work().ReachRadioAddress(7));
        r.rig.RunUntilIdle();
        EXPECT_EQ(modem.SelectedAddress(), 7);
        EXPECT_EQ(r.rig.Identified(), "QM-Controller/R-modem [84.5]");
        EXPECT_FALSE(r.rig.Logger().directories.empty());
        EXPECT_EQ(r.heard.readOuts, 1);
        EXPECT_TRUE(r.rig.ops.errors.empty());
        // A logger behind a radio modem is never powered down, its clock read or not.
        const std::size_t before = r.rig.link.Written().size();
        r.rig.controller.FormClose();
        EXPECT_EQ(r.rig.link.Written().size(), before);
    }
    {
        // Nobody at address 9: the identification is asked again, then given up; nothing is
        // known of a logger.
        ModemRig r(modem);
        ASSERT_TRUE(r.rig.Work().ReachRadioAddress(9));
        r.rig.RunUntilIdle(120'000);
        EXPECT_EQ(modem.SelectedAddress(), 9);
        EXPECT_TRUE(r.rig.Work().Idle());
        EXPECT_FALSE(r.rig.Logger().identity && r.rig.Logger().identity->version != 0);
    }
}

TEST(SessionModems, ABluetoothAddressIsDialledAtMostTheCallsGiven) {
    FakePcClock pc;
    sim::VirtualLogger logger({}, [&pc] { return pc.Now(); });
    sim::BtModem modem(
        logger,
        {.noCarrierBeforeConnect = 2, .echo = true, .reachableAddresses = {"00AABBCCDDEE"}});
    {
        ModemRig r(modem);
        EXPECT_FALSE(r.rig.Work().ReachRadioAddress(7)) << "not a radio modem";
        ASSERT_TRUE(r.rig.Work().DialBluetooth("00AABBCCDDEE", 4));
        EXPECT_FALSE(r.rig.Work().DialBluetooth("00AABBCCDDEE", 4)) << "already dialling";
        r.rig.RunUntilIdle(120'000);
        EXPECT_EQ(modem.Calls(), 3);
        EXPECT_EQ(r.heard.dials, std::vector<bool>{true});
        EXPECT_EQ(r.rig.Identified(), "QM-Controller/BT-modem [84.5]");
        EXPECT_FALSE(r.rig.Logger().directories.empty());
        EXPECT_EQ(r.heard.readOuts, 1);
        EXPECT_TRUE(r.rig.ops.errors.empty());
        EXPECT_EQ(modem.Lines().front(), "AT");
        EXPECT_EQ(modem.Lines().back(), "CALL 00AABBCCDDEE 1101 RFCOMM");
    }
    {
        // An address the modem never connects: four calls, then the dial is given up a round
        // after the last, and the modem may dial again.
        const int callsBefore = modem.Calls();
        ModemRig r(modem);
        ASSERT_TRUE(r.rig.Work().DialBluetooth("001122334455", 4));
        r.rig.RunFor(300 + 3 * 15000 + 14000);
        EXPECT_TRUE(r.heard.dials.empty()) << "the fourth call still has its round";
        r.rig.RunFor(2000);
        EXPECT_EQ(modem.Calls() - callsBefore, 4);
        EXPECT_EQ(r.heard.dials, std::vector<bool>{false});
        EXPECT_FALSE(r.rig.Logger().identity && r.rig.Logger().identity->version != 0);
        EXPECT_TRUE(r.rig.Work().DialBluetooth("001122334455", 1));
        int events = 0;
        r.rig.controller.Work().SetAfterEachEvent([&events] { ++events; });
        EXPECT_FALSE(r.rig.Work().DialBluetooth("001122334455", 1));
        EXPECT_EQ(events, 0) << "a dial refused is no event: a visit asking again waits for one";
        r.rig.controller.Work().SetAfterEachEvent({});
    }
}

}  // namespace
}  // namespace qm::test
