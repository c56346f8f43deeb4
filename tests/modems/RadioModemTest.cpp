#include <gtest/gtest.h>

#include "tests/modems/ModemTestSupport.h"

namespace qm::test {
namespace {

// A radio modem with the operator's group on screen, and a logger behind it.
struct RadioRig {
    RadioRig() : modem(1, logger), rig(modem) {
        rig.StartUsb();
        rig.RunFor(1000);
        rig.link.ClearWritten();
    }
    void StartWith(const std::string& address, int mode = -1) {
        rig.controller.TextEdited("eRAddress", address);
        if (mode >= 0) rig.controller.Selected("cbR_Modem", mode);
        rig.controller.Click("bRStart");
    }
    // Who answered, as the title shows it.
    std::string Title() const {
        const auto& id = rig.State().LoggerSession().Logger().identity;
        return id ? id->title : "";
    }
    std::vector<int> Head(std::size_t i, std::size_t n) const {
        const auto& r = rig.link.Written().at(i);
        return std::vector<int>(r.begin(), r.begin() + static_cast<long>(n));
    }

    ScriptedDevice logger;
    FakeModem modem;
    Rig rig;
};

TEST(RadioModem, TheDesignAddressIdentifiesAtOnceWithout131) {
    RadioRig t;
    t.logger.On(0, {F({3, 248, 79, 5})});
    t.rig.controller.Click("bRStart");  // check box checked, text "255"
    ASSERT_EQ(t.rig.link.Written().size(), 1u);
    EXPECT_EQ(t.Head(0, 4), (std::vector<int>{0, 2, 0, 0}));
    EXPECT_FALSE(t.rig.State().Radio().StartOpen());
    t.rig.RunFor(10);
    EXPECT_EQ(t.Title(), "QM-Controller/R-modem [79.5]");

    // An address compares by its low byte: 511 is the design address too.
    RadioRig low;
    low.StartWith("511");
    ASSERT_EQ(low.rig.link.Written().size(), 1u);
    EXPECT_EQ(low.Head(0, 4), (std::vector<int>{0, 2, 0, 0}));
}

TEST(RadioModem, AnotherAddressIsSetFirstAndTheLoggerIdentifiedAfterSuccess) {
    RadioRig t;
    t.logger.On(0, {F({3, 248, 88, 3})});
    t.StartWith("263");  // low byte 7
    ASSERT_GE(t.rig.link.Written().size(), 1u);
    EXPECT_EQ(t.Head(0, 5), (std::vector<int>{0, 3, 255, 131, 7}));
    t.rig.RunFor(10);
    ASSERT_GE(t.rig.link.Written().size(), 2u);
    EXPECT_EQ(t.Head(1, 4), (std::vector<int>{0, 2, 0, 0}));
    // A Pathrex logger behind a radio modem keeps the modem title and is read as any other.
    EXPECT_EQ(t.Title(), "QM-Controller/R-modem [88.3]");
    EXPECT_FALSE(t.rig.State().Sequence().PathrexDevice());
    EXPECT_FALSE(t.rig.Model().gbR_Modem.visible) << "the modem's group goes once it answered";
}

TEST(RadioModem, AnAddressRequestWithoutSuccessEndsTheAttempt) {
    RadioRig t;
    t.modem.addressStatus = 249;
    t.StartWith("7");
    t.rig.RunFor(5000);
    EXPECT_EQ(t.rig.SentCodes(), std::vector<int>{131});
    EXPECT_FALSE(t.rig.State().Radio().StartOpen());
}

TEST(RadioModem, ATextThatIsNotAWholeNumberIsReplacedAndBeeped) {
    for (const std::string text : {"", "12a", " 5", "5 ", "+-5", "0x10", "99999999999"}) {
        RadioRig t;
        t.StartWith(text);
        EXPECT_TRUE(t.rig.link.Written().empty()) << '"' << text << '"';
        EXPECT_EQ(t.rig.Model().eRAddress.text, "255") << '"' << text << '"';
        EXPECT_EQ(t.rig.ops.beeps, 1) << '"' << text << '"';
        EXPECT_TRUE(t.rig.State().Radio().StartOpen()) << '"' << text << '"';
    }
}

TEST(RadioModem, EverySecondModeRepeatsWithABeepUntilALoggerAnswers) {
    RadioRig t;
    t.logger.On(0, {});  // silent twice, then a logger answers
    t.logger.On(0, {});
    t.logger.On(0, {F({3, 248, 79, 5})});
    t.StartWith("255", 1);
    EXPECT_EQ(t.rig.SentCodes(), std::vector<int>{0});
    EXPECT_EQ(t.rig.ops.beeps, 0);
    t.rig.RunFor(999);
    EXPECT_EQ(t.rig.SentCodes().size(), 1u);
    t.rig.RunFor(1);
    EXPECT_EQ(t.rig.SentCodes(), (std::vector<int>{0, 0}));
    EXPECT_EQ(t.rig.ops.beeps, 1);
    t.rig.RunFor(1000);  // the third identification is answered
    EXPECT_EQ(t.rig.ops.beeps, 2);
    EXPECT_FALSE(t.rig.Timers().RadioRepeat.Enabled());
    EXPECT_EQ(t.Title(), "QM-Controller/R-modem [79.5]");
    t.rig.RunFor(10000);
    EXPECT_EQ(t.rig.ops.beeps, 2);
    const auto codes = t.rig.SentCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0), 3);
}

TEST(RadioModem, TheStartButtonStopsTheEverySecondIdentification) {
    RadioRig t;
    t.logger.On(0, {});  // nobody answers
    t.StartWith("255", 1);
    const Button& start = t.rig.Model().bRStart;
    EXPECT_TRUE(start.enabled);
    EXPECT_EQ(start.caption, "Стоп");
    t.rig.controller.Click("pmEng");
    EXPECT_EQ(start.caption, "Stop");
    t.rig.RunFor(2000);
    EXPECT_EQ(t.rig.ops.beeps, 2);

    t.rig.controller.Click("bRStart");
    EXPECT_FALSE(t.rig.Timers().RadioRepeat.Enabled());
    // The last identification is not left awaited with nothing to end the wait.
    EXPECT_FALSE(t.rig.controller.Link().Outstanding && !t.rig.Timers().ReplyTimer.Enabled());
    EXPECT_EQ(start.caption, "Старт");
    EXPECT_TRUE(start.enabled);
    const std::size_t sent = t.rig.SentCodes().size();
    t.rig.RunFor(5000);
    EXPECT_EQ(t.rig.SentCodes().size(), sent);
    EXPECT_EQ(t.rig.ops.beeps, 2);
    t.rig.controller.Click("pmRus");
    EXPECT_EQ(start.caption, "Старт");

    // Stopped, it can be started again, once this time.
    t.rig.controller.Selected("cbR_Modem", 0);
    t.rig.controller.Click("bRStart");
    EXPECT_EQ(t.rig.SentCodes().size(), sent + 1);
    EXPECT_FALSE(start.enabled);
}

TEST(RadioModem, SingleModesRetryThreeTimesThenSaySoAndLetTheOperatorStartAgain) {
    for (int mode : {-1, 0, 2}) {
        RadioRig t;
        t.StartWith("255", mode);
        t.rig.RunFor(Controller::kGiveUpWithinMs);
        EXPECT_EQ(t.rig.SentCodes(), (std::vector<int>{0, 0, 0, 0})) << mode;
        EXPECT_EQ(t.rig.ops.beeps, 0) << mode;
        ASSERT_EQ(t.rig.ops.errors.size(), 1u) << mode;
        EXPECT_NE(t.rig.ops.errors[0].find("через радиомодем"), std::string::npos);
        EXPECT_TRUE(t.rig.State().Radio().StartOpen());
    }
}

TEST(RadioModem, TheAddressFieldShowsExactlyWhileTheBoxIsUnchecked) {
    RadioRig t;
    EXPECT_FALSE(t.rig.Model().eRAddress.visible);
    t.rig.controller.Checked("cbRAddress", false);
    EXPECT_TRUE(t.rig.Model().eRAddress.visible);
    t.rig.controller.Checked("cbRAddress", true);
    EXPECT_FALSE(t.rig.Model().eRAddress.visible);
}

}  // namespace
}  // namespace qm::test
