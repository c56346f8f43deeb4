#include <gtest/gtest.h>

#include "tests/modems/ModemTestSupport.h"

namespace qm::test {
namespace {

// A logger behind the modem that answers the read-out up to its clock.
void ScriptLogger(ScriptedDevice& logger) {
    logger.On(0, {F({3, 248, 79, 5})});
    logger.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
}

// A Bluetooth modem with a device list, brought to the point where the operator can dial.
struct BtRig {
    explicit BtRig(const std::string& deviceList = "001122334455\n00AABBCCDDEE\n",
                   std::size_t reportLength = 65)
        : modem(2, logger), rig(modem, reportLength) {
        folder.WriteDeviceList(deviceList);
        ScriptLogger(logger);
        rig.controller.SetUpFolders(folder.Path());
    }
    void Start() {
        rig.StartUsb();
        rig.RunFor(1000);
    }
    // The text lines written so far, without their line feeds.
    std::vector<std::string> TextsSent() const {
        std::vector<std::string> texts;
        for (const auto& r : rig.link.Written())
            if (r[2] == 0 && r[1] >= 2 && r[3 + r[1] - 2] == '\n')
                texts.push_back(ReportText(r, r[1] - 2u));
        return texts;
    }

    StartFolder folder;
    ScriptedDevice logger;
    FakeModem modem;
    Rig rig;
};

TEST(BtDialogue, CommandModeStartsAfter300msAndTheReadyLineEnablesTheDialButton) {
    BtRig t;
    t.rig.StartUsb();
    t.rig.RunFor(300 + 299);  // StartTimer, then BTtimer's 300 ms not yet over
    EXPECT_FALSE(t.rig.State().Link().TextMode);
    EXPECT_FALSE(t.rig.State().Bluetooth().DialReady());
    t.rig.RunFor(1);
    EXPECT_TRUE(t.rig.State().Link().TextMode);
    EXPECT_EQ(static_cast<int>(t.rig.State().Bluetooth().ModemMode()), 1);
    const auto& last = t.rig.link.Written().back();
    EXPECT_EQ((std::vector<int>(last.begin(), last.begin() + 5)),
              (std::vector<int>{0, 3, 255, 130, 1}));
    EXPECT_TRUE(t.rig.State().Bluetooth().DialReady());
    EXPECT_FALSE(t.rig.Timers().BTtimer.Enabled());
}

TEST(BtDialogue, TheAnswerToCommandModeIsATextLineNotADispatcherReply) {
    BtRig t;
    t.modem.readyLine.clear();  // the modem only answers the mode request
    t.Start();
    // Read as a text line the answer is "\xF8\x01": not the ready line, and no dispatcher row
    // (which would enable the dial button for mode 1) runs.
    EXPECT_TRUE(t.rig.State().Link().TextMode);
    EXPECT_FALSE(t.rig.State().Bluetooth().DialReady());
}

TEST(BtDialogue, OnlyTheExactReadyLineEnablesDialling) {
    for (const std::string line : {"READY. ", "ready.", "READY", " READY."}) {
        BtRig t;
        t.modem.readyLine = line;
        t.Start();
        EXPECT_FALSE(t.rig.State().Bluetooth().DialReady()) << '"' << line << '"';
    }
}

TEST(BtDialogue, AModeStepAnsweredWithoutSuccessStopsTheDialogue) {
    BtRig t;
    t.modem.modeStatus = 250;
    t.Start();
    EXPECT_FALSE(t.rig.Timers().BTtimer.Enabled());
    EXPECT_FALSE(t.rig.State().Link().TextMode);
    EXPECT_EQ(t.rig.SentCodes(), (std::vector<int>{0, 1, 130}));
}

TEST(BtDialogue, CallsEvery15SecondsUntilConnectThenIdentifiesTheLoggerThroughTheModem) {
    BtRig t;
    t.modem.callAnswers = {"NO CARRIER", "\r\nNO CARRIER\r", "CONNECT 001122334455"};
    t.Start();
    t.rig.controller.Selected("RadioGroup1", 1);
    t.rig.link.ClearWritten();
    const std::int64_t t0 = t.rig.now;
    t.rig.controller.Click("Button6");

    EXPECT_FALSE(t.rig.State().Bluetooth().DialReady());
    EXPECT_EQ(t.TextsSent(), std::vector<std::string>{"AT"});
    t.rig.RunFor(299);
    EXPECT_EQ(t.TextsSent().size(), 1u);
    t.rig.RunFor(1);  // 300 ms after the click: the first call
    EXPECT_EQ(t.TextsSent().back(), "CALL 00AABBCCDDEE 1101 RFCOMM");
    EXPECT_EQ(t.rig.State().Bluetooth().Calls(), 1);
    EXPECT_EQ(t.rig.State().Bluetooth().NoCarriers(), 1);

    t.rig.RunFor(15000 - 1);
    EXPECT_EQ(t.TextsSent().size(), 2u);
    t.rig.RunFor(1);  // t0 + 15300: second call, answered by a NO CARRIER with line ends
    EXPECT_EQ(t.TextsSent().size(), 3u);
    EXPECT_EQ(t.rig.State().Bluetooth().Calls(), 2);
    EXPECT_EQ(t.rig.State().Bluetooth().NoCarriers(), 2);
    EXPECT_TRUE(t.rig.Timers().Timer1.Enabled());

    t.rig.RunFor(15000);  // t0 + 30300: third call, CONNECT
    EXPECT_EQ(t.rig.now - t0, 30300);
    EXPECT_EQ(t.rig.State().Bluetooth().Calls(), 3);
    EXPECT_EQ(t.rig.State().Bluetooth().NoCarriers(), 2);
    EXPECT_EQ(t.rig.Model().Label9.caption, "2") << "the operator sees the count of NO CARRIER";
    EXPECT_EQ(t.rig.Model().Label10.caption, "3") << "and of the calls";
    EXPECT_FALSE(t.rig.Timers().Timer1.Enabled());
    EXPECT_FALSE(t.rig.State().Link().TextMode);
    EXPECT_EQ(static_cast<int>(t.rig.State().Bluetooth().ModemMode()), 2);
    EXPECT_TRUE(t.rig.Timers().Timer4.Enabled());  // the answer to mode 2 reached the dispatcher

    t.rig.RunFor(999);
    EXPECT_TRUE(t.logger.requests.empty());
    t.rig.RunFor(1);
    ASSERT_FALSE(t.logger.requests.empty());
    EXPECT_EQ((std::vector<int>(t.logger.requests[0].begin(), t.logger.requests[0].begin() + 4)),
              (std::vector<int>{0, 2, 0, 0}));
    ASSERT_TRUE(t.rig.State().LoggerSession().Logger().identity);
    EXPECT_EQ(t.rig.State().LoggerSession().Logger().identity->title,
              "QM-Controller/BT-modem [79.5]");
    EXPECT_FALSE(t.rig.Timers().Timer4.Enabled());
    EXPECT_TRUE(t.rig.State().Clock().ClockRead());
    EXPECT_EQ(t.modem.textLines.size(), 4u);  // AT and three calls, nothing after CONNECT
}

TEST(BtDialogue, ALineWithBothWordsCountsAsNoCarrier) {
    BtRig t;
    t.modem.callAnswers = {"NO CARRIER / CONNECT"};
    t.Start();
    t.rig.controller.Click("Button6");
    t.rig.RunFor(300);
    EXPECT_EQ(t.rig.State().Bluetooth().NoCarriers(), 1);
    EXPECT_TRUE(t.rig.Timers().Timer1.Enabled());
    EXPECT_TRUE(t.rig.State().Link().TextMode);
    EXPECT_EQ(static_cast<int>(t.rig.State().Bluetooth().ModemMode()), 1);
}

TEST(BtDialogue, TheCallReportCarriesTheTextAndALineFeed) {
    BtRig t;
    t.modem.callAnswers = {"NO CARRIER"};
    t.Start();
    t.rig.controller.Click("Button6");
    t.rig.RunFor(300);
    const auto& r = t.rig.link.Written().back();
    ASSERT_EQ(r.size(), 65u);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 31);
    EXPECT_EQ(r[2], 0);
    EXPECT_EQ(ReportText(r, 29), "CALL 001122334455 1101 RFCOMM");
    EXPECT_EQ(r[32], 10);
}

TEST(BtDialogue, AnAddressLineTooLongForTheReportIsRefusedAndNamed) {
    // 65-byte reports carry 61 characters: "CALL " + 44 + " 1101 RFCOMM" just fits.
    const std::string fits(44, 'A');
    const std::string tooLong(45, 'B');
    BtRig t(fits + "\n" + tooLong + "\n");
    t.modem.callAnswers = {"NO CARRIER"};
    t.Start();
    t.rig.controller.Selected("RadioGroup1", 1);
    const std::size_t before = t.rig.link.Written().size();
    t.rig.controller.Click("Button6");
    t.rig.RunFor(20000);

    EXPECT_EQ(t.rig.link.Written().size(), before);  // neither AT nor CALL
    ASSERT_EQ(t.rig.ops.errors.size(), 1u);
    EXPECT_NE(t.rig.ops.errors[0].find("Строка 2 файла Device.txt"), std::string::npos);
    EXPECT_TRUE(t.rig.State().Bluetooth().DialReady());
    EXPECT_EQ(static_cast<int>(t.rig.State().Bluetooth().DialState()), 0);

    t.rig.controller.Selected("RadioGroup1", 0);
    t.rig.controller.Click("Button6");
    t.rig.RunFor(300);
    EXPECT_EQ(t.TextsSent().back(), "CALL " + fits + " 1101 RFCOMM");
    EXPECT_EQ(t.rig.link.Written().back()[3 + 61], 10);
}

TEST(BtDialogue, PowerDownAtCloseFollowsCheckBox2OnceTheClockWasRead) {
    for (const bool checked : {true, false}) {
        BtRig t;
        t.Start();
        t.rig.controller.Click("Button6");
        t.rig.RunFor(2000);
        ASSERT_TRUE(t.rig.State().Clock().ClockRead());
        t.rig.controller.Checked("CheckBox2", checked);
        t.rig.controller.MutableModel().CheckBox3.checked = true;  // the port box plays no part
        t.logger.requests.clear();
        t.rig.controller.FormClose();
        if (checked) {
            ASSERT_EQ(t.logger.requests.size(), 1u);
            EXPECT_EQ(
                (std::vector<int>(t.logger.requests[0].begin(), t.logger.requests[0].begin() + 4)),
                (std::vector<int>{0, 2, 0, 8}));
        } else {
            EXPECT_TRUE(t.logger.requests.empty());
        }
    }
}

TEST(BtDialogue, NoPowerDownBeforeTheLoggersClockWasRead) {
    BtRig t;
    t.Start();
    const std::size_t before = t.rig.link.Written().size();
    t.rig.controller.FormClose();
    EXPECT_EQ(t.rig.link.Written().size(), before);
}

}  // namespace
}  // namespace qm::test
