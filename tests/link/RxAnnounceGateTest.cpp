// When a polling serial reader announces the bytes waiting in the driver queue.
#include <gtest/gtest.h>

#include "link/RxAnnounceGate.h"

namespace qm::test {
namespace {

TEST(RxAnnounceGate, AnnouncesWhatWaitsUntilTheHandlerTakesIt) {
    RxAnnounceGate gate;
    EXPECT_FALSE(gate.Polled(0));
    ASSERT_TRUE(gate.Polled(4));
    // The handler took part of it: what is left is announced at once, with no new byte.
    gate.Handled(4, 3);
    ASSERT_TRUE(gate.Polled(1));
    gate.Handled(1, 1);
    EXPECT_FALSE(gate.Polled(0));
    EXPECT_TRUE(gate.Polled(2));
}

TEST(RxAnnounceGate, AHandlerThatTookNothingIsAskedAgainOnlyWhenMoreArrive) {
    RxAnnounceGate gate;
    ASSERT_TRUE(gate.Polled(3));
    gate.Handled(3, 0);
    EXPECT_FALSE(gate.Polled(3));
    EXPECT_FALSE(gate.Polled(3));
    ASSERT_TRUE(gate.Polled(5));  // two more came, while the handler ran or later
    gate.Handled(5, 5);
    EXPECT_FALSE(gate.Polled(0));
}

TEST(RxAnnounceGate, AQueueEmptiedBehindTheHandlerLetsTheNextByteThrough) {
    RxAnnounceGate gate;
    ASSERT_TRUE(gate.Polled(6));
    gate.Handled(6, 0);
    // A purge before the next write empties the queue; the reply's first byte is new.
    EXPECT_FALSE(gate.Polled(0));
    EXPECT_TRUE(gate.Polled(1));
    // Shrunk but not empty: only bytes beyond what is left count as new.
    gate.Handled(1, 0);
    ASSERT_TRUE(gate.Polled(4));
    gate.Handled(4, 0);
    EXPECT_FALSE(gate.Polled(2));
    EXPECT_TRUE(gate.Polled(3));
}

}  // namespace
}  // namespace qm::test
