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
