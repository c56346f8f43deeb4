// Randomized robustness: bad replies under every command code, in every state the program can be
// in, never crash it, never touch a file outside the DATA folder, never leave a half line in a
// local file, and leave a controller that still answers a normal exchange. Seeds are fixed, so a
// failure repeats; the seed and step are part of every message.
#include <gtest/gtest.h>

#include "tests/robustness/RobustnessSupport.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// Feeds `steps` random events: replies under a chosen code, reports from other devices, time
// passing (timers fire, the logger answers what it is asked while the gate lets it).
void Shake(ProgramRun& s, std::mt19937& rng, int steps, const std::string& where) {
    Controller& c = s.rig->controller;
    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE(where + " step " + std::to_string(step));
        const int what = Pick(rng, 0, 9);
        if (what < 6) {
            if (Pick(rng, 0, 3) != 0)
                c.MutableLink().InFlightForTest(
                    kCodes[static_cast<std::size_t>(Pick(rng, 0, int(kCodes.size()) - 1))]);
            const auto reply = RandomReply(rng);
            c.HidCtlDeviceData("QM Controller", reply);
        } else if (what == 6) {
            if (Pick(rng, 0, 1))
                c.HidCtlDeviceData("Some Keyboard", RandomReply(rng));
            else
                ClickIfAvailable(c, kButtons[static_cast<std::size_t>(
                                        Pick(rng, 0, static_cast<int>(kButtons.size()) - 1))]);
        } else if (what == 7) {
            s.gate.budget += Pick(rng, 0, 4);
        } else {
            s.rig->RunFor(Pick(rng, 0, 3000));
        }
    }
}

// A clock read-out goes through and is shown.
void ExpectNormalExchange(ProgramRun& s) {
    Controller& c = s.rig->controller;
    s.gate.budget = 1'000'000;
    s.rig->RunUntilIdle(20'000);
    if (c.Link().TextMode) return;  // the modem takes text lines, not requests
    c.MutableClock().SetClockRead(false);
    c.MutableModel().Label2.caption.clear();
    c.bClockClick();
    s.rig->RunFor(20);
    EXPECT_TRUE(c.Clock().ClockRead());
    EXPECT_EQ(c.Model().Label2.caption, Controller::ClockText(9, 7, 3, 5, 3, 24));
}

// The session is where it was meant to be, so that the replies below meet that state.
void ExpectInPhase(ProgramRun& s, Phase phase) {
    const Controller& st = s.rig->controller;
    switch (phase) {
        case Phase::Initial:
            EXPECT_TRUE(st.Sequence().ReadingOut());
            break;
        case Phase::Idle:
            EXPECT_FALSE(st.Sequence().ReadingOut());
            break;
        case Phase::FullCopy:
        case Phase::NewCopy:
            EXPECT_TRUE(st.Copy().ListingFiles() || st.Copy().DataFileOpen());
            break;
        case Phase::DayCopy:
            EXPECT_TRUE(st.Day().Active());
            break;
        case Phase::BtText:
            EXPECT_TRUE(st.Link().TextMode);
            break;
        case Phase::Radio:
            EXPECT_TRUE(st.Radio().RadioModemLink());
            break;
    }
}

class RandomReplies : public ::testing::TestWithParam<Phase> {};

TEST_P(RandomReplies, NeverCrashNorWriteOutsideDataAndLeaveTheLinkUsable) {
    const Phase phase = GetParam();
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        std::mt19937 rng(seed * 7919 + static_cast<std::uint32_t>(phase));
        const std::string where = std::string(PhaseName(phase)) + " seed " + std::to_string(seed);
        SCOPED_TRACE(where);
        Sandbox box;
        ProgramRun s(box, phase, rng);
        ExpectInPhase(s, phase);
        Shake(s, rng, 300, where);
        EXPECT_EQ(s.box.Changed(), std::vector<std::string>{});
        ExpectNormalExchange(s);
        s.rig->controller.FormClose();
        EXPECT_EQ(BrokenFiles(box.Data()), std::vector<std::string>{});
        EXPECT_EQ(s.box.Changed(), std::vector<std::string>{});
        if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPhase, RandomReplies,
                         ::testing::Values(Phase::Initial, Phase::Idle, Phase::FullCopy,
                                           Phase::NewCopy, Phase::DayCopy, Phase::BtText,
                                           Phase::Radio),
                         [](const auto& p) { return std::string(PhaseName(p.param)); });

}  // namespace
}  // namespace qm::test
