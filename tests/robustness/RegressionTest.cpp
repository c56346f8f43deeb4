// Faults the randomized tests found, each in the smallest situation that shows it.
#include <gtest/gtest.h>

#include "protocol/CommandCode.h"
#include "tests/robustness/RobustnessSupport.h"

namespace qm::test {
namespace {

// A logger with a data store, connected and read out, writing under a sandboxed DATA folder.
class StoreRegression : public ::testing::Test {
protected:
    StoreRegression() {
        FillLogger(dev);
        c.SetUpFolders(box.Start());
        rig.StartUsb();
        rig.RunFor(5000);
    }
    Sandbox box;
    StoreDevice dev;
    Rig rig{dev};
    Controller& c = rig.controller;
};

// A reply to a line request that comes after the copy it belonged to had ended (a repeated or
// late report) used to be taken as the end of a file of the file list: with no list it indexed
// before its start, otherwise it rewrote the resume record.
TEST_F(StoreRegression, ALineReplyAfterADayCopyEndedIsIgnored) {
    c.Click("bSelect");
    c.DateTimeEdited("DateData", *DateTime::FromDate(2023, 1, 1));  // no such monthly file
    c.Click("bCopy");
    rig.RunUntilIdle();
    ASSERT_EQ(c.Link().LastRequest.code, CommandCode::OpenFile);
    ASSERT_FALSE(c.Day().Active());
    const std::size_t written = rig.link.Written().size();
    for (int status : {250, 248, 249}) {
        const std::vector<std::uint8_t> late = {4, static_cast<std::uint8_t>(status), 'a', 'b', 0};
        c.HidCtlDeviceData("QM Controller", late);
        c.MutableLink().InFlightForTest(CommandCode::NextValues);
        c.HidCtlDeviceData("QM Controller", late);
        c.MutableLink().InFlightForTest(CommandCode::OpenFile);
    }
    EXPECT_EQ(rig.link.Written().size(), written);  // nothing asked for
    EXPECT_EQ(FilesUnder(box.Data()), (std::map<std::string, std::string>{}));
    EXPECT_TRUE(rig.ops.errors.empty());
}

// A day search reply that came after the day copy had ended used to open a day file outside any
// copy; its values then ended "the file" as if it were one of a file list (indexing before the
// start of an empty list).
TEST_F(StoreRegression, ADaySearchReplyAfterTheDayCopyEndedIsIgnored) {
    c.Click("bSelect");
    c.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 9));  // no measurement that day
    c.Click("bCopy");
    rig.RunUntilIdle();
    ASSERT_EQ(c.Link().LastRequest.code, CommandCode::FindDay);
    ASSERT_FALSE(c.Day().Active());
    const std::size_t written = rig.link.Written().size();
    c.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{4, 249, 'a', 'b', 0});
    c.MutableLink().InFlightForTest(CommandCode::FirstValues);
    c.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{4, 250, 1, 0, 0});
    EXPECT_EQ(rig.link.Written().size(), written);
    EXPECT_EQ(FilesUnder(box.Data()), (std::map<std::string, std::string>{}));
}

// After a full copy, a repeated end-of-file reply used to rewrite the resume record.
TEST_F(StoreRegression, ARepeatedEndOfFileAfterACopyChangesNoFile) {
    c.Click("bAllData");
    rig.RunUntilIdle();
    const auto files = FilesUnder(box.Data());
    ASSERT_TRUE(files.count("D1/Temp.bin"));
    c.MutableCopy().StateForTest().LinesWritten = 12345;
    c.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{2, 250});
    rig.RunUntilIdle();
    EXPECT_EQ(FilesUnder(box.Data()), files);
}

// The line value is asked for a second after the read-out. On a slow link, a copy or test
// measurement clicked within that second used to have its request replaced by the line value's:
// its reply was taken for the line value and the window stayed locked.
TEST(Regression, TheLineValueAfterTheReadOutWaitsForACopyOrTestClickedBeforeIt) {
    for (const char* button : {"bAllData", "bTest"}) {
        SCOPED_TRACE(button);
        Sandbox box;
        StoreDevice dev;
        FillLogger(dev);
        dev.connection.On(CommandCode::StartTest, {{2, 248}});
        Rig rig(dev);
        rig.link.SetReplyDelay(std::chrono::milliseconds(400));  // a slow link
        Controller& c = rig.controller;
        c.SetUpFolders(box.Start());
        rig.StartUsb();
        while (c.Sequence().ReadingOut() || rig.Timers().StartTimer.Enabled()) rig.RunFor(10);
        ASSERT_TRUE(rig.Timers().Timer3.Enabled());
        c.Click(button);
        rig.RunUntilIdle();
        EXPECT_FALSE(rig.Model().ProgressBar1.visible);
        EXPECT_TRUE(rig.Model().GroupBox1.enabled);
        EXPECT_TRUE(rig.Model().bAllData.enabled);
        EXPECT_TRUE(rig.Model().bTest.enabled);
        EXPECT_EQ(rig.ops.errors, std::vector<std::string>{});
        EXPECT_EQ(rig.SentCodes().back(), CommandCode::LineValue);
        if (std::string_view(button) == "bAllData") {
            EXPECT_EQ(c.Copy().LastOutcome(), CopySession::Outcome::Complete);
        }
    }
}

// A copy clicked while another request was awaited (here the line value after the read-out)
// used to send its listing request at once: the other request's reply was taken for the first
// entry, and a file of the directory was never copied. The click now waits for that reply.
TEST(Regression, ACopyClickedWhileARequestIsAwaitedWaitsForItsReply) {
    Sandbox box;
    StoreDevice dev;
    FillLogger(dev);
    Rig rig(dev);
    rig.link.SetReplyDelay(std::chrono::milliseconds(400));
    Controller& c = rig.controller;
    c.SetUpFolders(box.Start());
    rig.StartUsb();
    while (c.Link().LastRequest.code != CommandCode::LineValue) rig.RunFor(10);
    ASSERT_TRUE(c.Link().Outstanding);
    c.Click("bAllData");
    EXPECT_TRUE(c.ClickDeferred());
    rig.RunUntilIdle();
    EXPECT_EQ(c.Copy().LastOutcome(), CopySession::Outcome::Complete);
    const auto files = FilesUnder(box.Data() / "D1");
    for (const auto& [name, file] : dev.Directory("D1")->files) {
        ASSERT_TRUE(files.count(name)) << name;
        EXPECT_EQ(files.at(name), LocalCopyOf(file)) << name;
    }
}

// A line or value reply of a copy with a status of no meaning (a garbled byte) used to be written
// and then answered with no request: the copy stood still. It stops with a message, the file
// being copied is left as it was and the files completed before it stay.
TEST_F(StoreRegression, ACopyReplyWithAStatusOfNoMeaningStopsTheCopy) {
    rig.link.SetReplyDelay(std::chrono::milliseconds(10));  // to stop at one request
    // The values of the first file's first measurement, then the second line of the second file.
    for (auto [code, index] : {std::pair{CommandCode::FirstValues, std::size_t{1}},
                               std::pair{CommandCode::NextLine, std::size_t{2}}}) {
        SCOPED_TRACE(int(code));
        rig.ops.errors.clear();
        c.Click("bAllData");
        while (c.Link().LastRequest.code != code || c.Copy().Files().CurrentFileIndex != index)
            rig.RunFor(1);
        while (rig.link.HasReport()) rig.link.TakeReport();  // its reply comes garbled
        c.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{3, 61, 'z', 0});
        rig.RunUntilIdle();
        EXPECT_EQ(c.Copy().LastOutcome(), CopySession::Outcome::Failed);
        EXPECT_EQ(rig.ops.errors.size(), 1u);
        EXPECT_TRUE(rig.Model().bAllData.enabled);
        const auto files = FilesUnder(box.Data() / "D1");
        if (index == 1) {
            EXPECT_FALSE(files.count("2024_3.dat"));
        } else {
            EXPECT_EQ(files.at("2024_3.dat"), LocalCopyOf(*dev.File("D1\\2024_3.dat")));
            EXPECT_FALSE(files.count("b.dat"));
        }
    }
}

// A copy whose file listing the logger refused (a status other than 248) used to stand still
// with the data group locked: it stops with a message and the data group comes back.
TEST_F(StoreRegression, ARefusedFileListingStopsTheCopyWithAMessage) {
    c.Click("bAllData");
    ASSERT_EQ(c.Link().LastRequest.code, CommandCode::ListFirst);
    while (rig.link.HasReport()) rig.link.TakeReport();  // the logger's answer is a refusal
    c.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{2, 249, 0});
    rig.RunUntilIdle();
    EXPECT_EQ(c.Copy().LastOutcome(), CopySession::Outcome::Failed);
    ASSERT_EQ(rig.ops.errors.size(), 1u);
    EXPECT_NE(rig.ops.errors[0].find("D1"), std::string::npos) << rig.ops.errors[0];
    EXPECT_TRUE(rig.Model().bAllData.enabled);
    EXPECT_TRUE(rig.Model().ComboBox1.enabled);
}

// Bytes of a reply that never completed (noise, a cut line) used to stay at the head of the
// receive buffer, so that no later reply on the serial line completed again.
TEST(Regression, APartialSerialReplyDoesNotBlockTheNextExchange) {
    Sandbox box;
    StoreDevice dev;
    FillLogger(dev);
    Rig rig(dev);
    Controller& c = rig.controller;
    c.FormCreate(1024, 768);
    QueueSerialLink port;
    c.SerialPortOpened(&port, "COM3");
    c.bClockClick();
    port.rx = {9, 248, 1};  // three bytes of a ten-byte reply, then nothing
    c.ComPort1RxChar(3);
    ASSERT_EQ(c.Link().serialReply.RxCount(), 3);
    c.bClockClick();
    ASSERT_EQ(port.written.size(), 2u);
    for (const auto& frame : dev.Handle(port.written[1]))
        port.rx.insert(port.rx.end(), frame.begin(), frame.end());
    c.ComPort1RxChar(port.rx.size());
    EXPECT_TRUE(c.Clock().ClockRead());
    EXPECT_EQ(c.Model().Label2.caption, Controller::ClockText(9, 7, 3, 5, 3, 24));
}

}  // namespace
}  // namespace qm::test
