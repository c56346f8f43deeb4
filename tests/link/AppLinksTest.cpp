// The program's link wiring: a port named on the command line is opened at start.
#include <gtest/gtest.h>

#include "app/Links.h"
#include "app/Options.h"
#include "core/Controller.h"
#include "tests/link/PtyDevice.h"
#include "tests/link/QtApp.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

std::optional<std::string> ParsePort(const std::vector<std::string>& args) {
    const Options options = ParseOptions(args);
    EXPECT_FALSE(options.error) << ErrorText(options);
    return options.port;
}

TEST(AppLinks, APortOnTheCommandLineIsOpenedAsIfChosenInThePortGroup) {
    (void)App();
    PtyDevice device;
    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    c.FormCreate(1024, 768);

    EXPECT_EQ(ParsePort({"qm-controller"}), std::nullopt);
    const auto port = ParsePort({"qm-controller", "--port", device.slave});
    auto links = StartLinks(c.Work(), port);
    EXPECT_TRUE(c.Link().PortOpen);
    EXPECT_TRUE(c.Link().SerialLinkActive);
    EXPECT_FALSE(c.Model().GroupBox4.visible);
    EXPECT_EQ(c.Timers().StartTimer.Interval(), 3000);

    // The sequence then starts on that port.
    c.OnTimer(TimerId::StartTimer);
    EXPECT_EQ(device.Receive(4), (std::vector<std::uint8_t>{0, 2, 255, 0}));
    device.Send({3, 248, 79, 5});
    for (int i = 0; i < 200 && c.Model().window.title != "QM-Controller [ 79.5 ]"; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(c.Model().window.title, "QM-Controller [ 79.5 ]");
}

TEST(AppLinks, APortThatCannotBeOpenedLeavesThePortGroupShown) {
    (void)App();
    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    c.FormCreate(1024, 768);
    auto links = StartLinks(c.Work(), std::nullopt);
    EXPECT_FALSE(c.OpenPortGroup("/dev/qm-no-such-port"));
    EXPECT_FALSE(c.Link().PortOpen);
    EXPECT_TRUE(c.Model().GroupBox4.visible);
    EXPECT_TRUE(c.Model().bSetPort.enabled);
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("/dev/qm-no-such-port"), std::string::npos) << ops.errors[0];
    QCoreApplication::processEvents();  // the first HID scan runs; no device here is an error
    EXPECT_EQ(ops.errors.size(), 1u);
}

}  // namespace
}  // namespace qm::test
