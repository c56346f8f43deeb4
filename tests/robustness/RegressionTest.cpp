// Faults the randomized tests found, each in the smallest situation that shows
// it.
#include <gtest/gtest.h>

#include "protocol/CommandCode.h"
#include "tests/robustness/RobustnessSupport.h"

namespace qm::test {
namespace {

// Bytes of a reply that never completed (noise, a cut line) used to stay at the
// head of the receive buffer, so that no later reply on the serial line
// completed again.
TEST(Regression, APartialSerialReplyDoesNotBlockTheNextExchange) {
    Sandbox box;
    StoreDevice dev;
    FillLogger(dev);
    Rig rig(dev);
    Controller& c = rig.controller;
    c.FormCreate(1024, 768);
    QueueSerialLink port;
    c.SerialPortOpened(&port, "COM3");
    port.rx = {9, 248, 1};  // three bytes of a ten-byte reply, then nothing
    c.ComPort1RxChar(3);
    ASSERT_EQ(c.State().serialReply.RxCount(), 3);
    c.bClockClick();
    ASSERT_EQ(port.written.size(), 1u);
    for (const auto& frame : dev.Handle(port.written[0]))
        port.rx.insert(port.rx.end(), frame.begin(), frame.end());
    c.ComPort1RxChar(port.rx.size());
    EXPECT_TRUE(c.State().ClockRead);
    EXPECT_EQ(c.Model().Label2.caption, Controller::ClockText(9, 7, 3, 5, 3, 24));
}

}  // namespace
}  // namespace qm::test
