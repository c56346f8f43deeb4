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
    gate.Handled(4, true);
    ASSERT_TRUE(gate.Polled(1));
    gate.Handled(1, true);
    EXPECT_FALSE(gate.Polled(0));
    EXPECT_TRUE(gate.Polled(2));
}

TEST(RxAnnounceGate, AHandlerThatTookNothingIsAskedAgainOnlyWhenMoreArrive) {
    RxAnnounceGate gate;
    ASSERT_TRUE(gate.Polled(3));
    gate.Handled(3, false);
    EXPECT_FALSE(gate.Polled(3));
    EXPECT_FALSE(gate.Polled(3));
    ASSERT_TRUE(gate.Polled(5));  // two more came, while the handler ran or later
    gate.Handled(5, true);
    EXPECT_FALSE(gate.Polled(0));
}

TEST(RxAnnounceGate, AQueueTouchedBehindTheHandlerIsAnnouncedAgain) {
    RxAnnounceGate gate;
    ASSERT_TRUE(gate.Polled(4));
    gate.Handled(4, false);
    // Purged and refilled by the next reply between two polls: the same count, new bytes.
    EXPECT_FALSE(gate.Polled(4));
    gate.Touched();
    EXPECT_TRUE(gate.Polled(4));
    // A queue seen shrinking lowers the mark: bytes beyond what is left count as new.
    gate.Handled(4, false);
    EXPECT_FALSE(gate.Polled(2));
    EXPECT_TRUE(gate.Polled(3));
}

TEST(RxAnnounceGate, AHandlerThatPurgedWithoutReadingIsAskedAgain) {
    RxAnnounceGate gate;
    ASSERT_TRUE(gate.Polled(5));
    gate.Handled(5, true);
    EXPECT_TRUE(gate.Polled(5));
}

}  // namespace
}  // namespace qm::test
