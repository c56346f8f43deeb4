// Replies that come when nothing is awaited, the reply watchdog, and what a missed reply does for
// the steps outside the copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "protocol/CommandCode.h"
#include "sim/FaultyDevice.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

constexpr std::int64_t kWatch = ReplyWait::kInitialMs;

// A virtual logger with a small data store, on a clock of its own.
// Copies go to a start folder of its own.
struct SmallLogger {
    explicit SmallLogger(sim::LoggerConfig config = Small())
        : logger(config, [this] { return pc.Now(); }),
          start(std::filesystem::temp_directory_path() /
                ("qm_watchdog_" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(start);
    }
    ~SmallLogger() {
        std::error_code ec;
        std::filesystem::remove_all(start, ec);
    }
    void Use(Rig& rig) const { rig.controller.SetUpFolders(start); }
    static sim::LoggerConfig Small() {
        sim::LoggerConfig c;
        c.demoShape = sim::DemoStoreShape::Small();
        return c;
    }
    FakePcClock pc;
    sim::VirtualLogger logger;
    std::filesystem::path start;
};

// The small logger behind a faulty link (without faults until the test sets them), and the
// program using its start folder; the test starts the link, or has it read out (Ready).
struct FaultyRig {
    SmallLogger small;
    sim::FaultyDevice faults{small.logger};
    Rig rig{faults};
    FaultyRig() { small.Use(rig); }
    Rig& Ready() {
        rig.StartUsb();
        rig.RunUntilIdle();
        return rig;
    }
};

int Count(const std::vector<int>& codes, int code) {
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
}

// A value reply left over from a killed run, before the first request.
TEST(NothingAwaited, AStaleReplyOverUsbIsNeverTakenForAnAnswer) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 79, 5})});
    Rig rig(dev);
    rig.StartUsb();
    rig.controller.HidCtlDeviceData("QM Controller", std::vector<std::uint8_t>{3, 248, 44, 7});
    EXPECT_EQ(rig.Identified(), "");
    EXPECT_TRUE(rig.link.Written().empty());
    rig.RunFor(300);
    EXPECT_EQ(rig.Identified(), "QM-Controller [ 79.5 ]");
}

TEST(NothingAwaited, NoCopyStartsBeforeTheReadOutHasEnded) {
    FaultyRig t;
    Rig& rig = t.rig;
    rig.StartUsb();
    rig.RunFor(5000);
    const WindowModel& m = rig.Model();
    ASSERT_TRUE(m.GroupBox1.visible);
    // A new connection of the same logger: its read-out is about to start.
    rig.controller.UsbLoggerFound(&rig.link);
    const std::size_t before = rig.SentCodes().size();
    rig.controller.Click("bAllData");
    EXPECT_EQ(rig.SentCodes().size(), before);
    EXPECT_FALSE(rig.State().Copy().CopyRunning());
    // Once the read-out has ended the copy runs, and gives the controls back.
    rig.RunFor(10000);
    rig.controller.Click("bAllData");
    rig.RunUntilIdle();
    EXPECT_GT(rig.SentCodes().size(), before + 3);
    EXPECT_FALSE(rig.State().Copy().CopyRunning());
    EXPECT_TRUE(m.bTest.enabled);
    EXPECT_TRUE(m.bClock.enabled);
    EXPECT_TRUE(rig.ops.errors.empty());
}

// Over a slow link, a copy of the second directory clicked once the read-out has ended and
// before the line value's one-shot tick, which then comes while the copy is under way.
void ClickCopyBeforeTheLineValue(Rig& rig) {
    rig.link.SetReplyDelay(std::chrono::milliseconds(150));
    rig.StartUsb();
    while (rig.State().Sequence().ReadingOut() || rig.Timers().StartTimer.Enabled()) rig.RunFor(10);
    ASSERT_TRUE(rig.Timers().Timer3.Enabled());
    rig.controller.Selected("ComboBox1", 1);
    rig.controller.Click("bAllData");
}

TEST(NothingAwaited, TheLineValueAfterTheReadOutWaitsForACopyClickedBeforeIt) {
    FaultyRig t;
    Rig& rig = t.rig;
    ASSERT_NO_FATAL_FAILURE(ClickCopyBeforeTheLineValue(rig));
    const WindowModel& m = rig.Model();
    rig.RunUntilIdle();
    EXPECT_TRUE(rig.ops.errors.empty()) << rig.ops.errors.front();
    EXPECT_FALSE(rig.State().Copy().CopyRunning());
    const std::string dir = rig.State().Directories().DirectoryNames()[1];
    const auto files = t.small.logger.Store().FileNames(dir);
    ASSERT_FALSE(files.empty());
    for (const std::string& name : files)
        EXPECT_TRUE(std::filesystem::exists(rig.State().Copy().Files().copyFolder /
                                            PathText(LocalName(name))))
            << name;
    // The line value went out once, after the copy's last request.
    const std::vector<int> codes = rig.SentCodes();
    ASSERT_EQ(Count(codes, CommandCode::LineValue), 1);
    const auto lastCopyRequest = std::find_if(codes.rbegin(), codes.rend(), [](int c) {
        return c == CommandCode::NextLine || c == CommandCode::NextValues ||
               c == CommandCode::OpenFile;
    });
    EXPECT_EQ(codes.back(), CommandCode::LineValue);
    EXPECT_NE(lastCopyRequest, codes.rend());
    EXPECT_NE(m.window.title.find("Line"), std::string::npos) << m.window.title;

    // While the line value is awaited, a copy click sends nothing; its requests follow the
    // line value's reply.
    rig.Timers().Timer3.Start();
    while (!rig.State().Link().Outstanding) rig.RunFor(1);
    const std::size_t before = rig.SentCodes().size();
    rig.controller.Click("bAllData");
    EXPECT_EQ(rig.SentCodes().size(), before);
    rig.RunUntilIdle();
    const std::vector<int> after = rig.SentCodes();
    ASSERT_GT(after.size(), before + 3);
    EXPECT_EQ(after[before], CommandCode::ListFirst);
    EXPECT_EQ(Count(after, CommandCode::LineValue), 2);
    EXPECT_FALSE(rig.State().Copy().CopyRunning());
    EXPECT_TRUE(rig.ops.errors.empty());
}

// A copy clicked before the read-out's line value, and the logger goes silent: the copy ends
// with its message, and the line value that was waiting does not ask the silent logger again
// for a second message about the same failure.
TEST(NothingAwaited, ALinkThatDiedInACopyIsReportedOnceNotAgainByTheLineValue) {
    FaultyRig t;
    Rig& rig = t.rig;
    ASSERT_NO_FATAL_FAILURE(ClickCopyBeforeTheLineValue(rig));
    rig.RunFor(400);
    t.faults.SetSilent(true);
    rig.RunFor(120'000);
    ASSERT_EQ(rig.ops.errors.size(), 1u) << rig.ops.errors.back();
    EXPECT_NE(rig.ops.errors[0].find("копирование"), std::string::npos) << rig.ops.errors[0];
    EXPECT_FALSE(rig.State().Copy().CopyRunning());
    EXPECT_FALSE(rig.Timers().Timer3.Enabled());
}

TEST(Watchdog, ArmedByEveryAnsweredRequestAndNeverFiringOnAHealthyLink) {
    // The same read-out and copy over a prompt link and over one slower than any real one.
    std::vector<int> prompt;
    for (std::int64_t delay : {std::int64_t{0}, kWatch * 3 / 4}) {
        FaultyRig t;
        Rig& rig = t.rig;
        rig.link.SetReplyDelay(std::chrono::milliseconds(delay));
        rig.StartUsb();
        rig.RunFor(300);
        EXPECT_EQ(rig.Timers().ReplyTimer.Enabled(), delay > 0);
        // Nothing is known of a new link: its first request waits long.
        if (delay > 0) {
            EXPECT_EQ(rig.Timers().ReplyTimer.Interval(), kWatch);
        }
        rig.RunUntilIdle(120'000);
        rig.controller.Click("bAllData");
        rig.RunUntilIdle(600'000);
        EXPECT_FALSE(rig.Timers().ReplyTimer.Enabled());
        EXPECT_FALSE(rig.Model().lRetry.visible);
        EXPECT_TRUE(rig.ops.errors.empty())
            << delay << ": " << (rig.ops.errors.empty() ? "" : rig.ops.errors[0]);
        EXPECT_TRUE(rig.Model().bNewData.enabled);
        if (delay == 0)
            prompt = rig.SentCodes();
        else
            EXPECT_EQ(rig.SentCodes(), prompt) << "a request was sent again";
    }
}

TEST(Watchdog, IsStoppedByTheReplyAndNotArmedByAnUnansweredRequest) {
    FaultyRig t;
    Rig& rig = t.rig;
    rig.StartUsb();
    rig.RunUntilIdle();
    EXPECT_FALSE(rig.Timers().ReplyTimer.Enabled());
    EXPECT_TRUE(rig.Model().GroupBox1.visible);
    rig.controller.MutableLink().Send(requests::Plain(CommandCode::PowerDown));
    EXPECT_FALSE(rig.Timers().ReplyTimer.Enabled());
    EXPECT_FALSE(rig.State().Link().Outstanding);
}

TEST(Watchdog, AMissedReadIsAskedAgainWithTheRetryShownInTheOperatorsLanguage) {
    FaultyRig t;
    sim::FaultyDevice& faults = t.faults;
    Rig& rig = t.Ready();
    const std::size_t before = rig.SentCodes().size();
    const int seen = faults.RepliesSeen();
    faults.DropReply(seen + 1);
    faults.DropReply(seen + 2);
    rig.controller.Click("bClock");
    rig.RunFor(rig.State().Link().WaitMs(CommandCode::ReadClock));
    EXPECT_EQ(rig.Model().lRetry.caption, "Нет ответа, повтор 1 из 3");
    EXPECT_TRUE(rig.Model().lRetry.visible);
    rig.controller.Click("pmEng");
    rig.RunFor(rig.State().Link().WaitMs(CommandCode::ReadClock));
    EXPECT_EQ(rig.Model().lRetry.caption, "No answer, retry 2 of 3");
    rig.RunFor(100);
    EXPECT_FALSE(rig.Model().lRetry.visible);
    const auto codes = rig.SentCodes();
    EXPECT_EQ(std::vector<int>(codes.begin() + static_cast<long>(before), codes.end()),
              (std::vector<int>{48, 48, 48}));
    EXPECT_TRUE(rig.State().Clock().ClockRead());
    EXPECT_TRUE(rig.ops.errors.empty());
}

// Each kind of request and what its miss sends next.
TEST(Watchdog, WritesAreReadBackAndSequencesStartOverFromTheirAnchor) {
    struct Case {
        const char* click;
        int lost;  // the request whose reply goes missing
        int next;  // what the watchdog sends then
    };
    for (const Case& k : {Case{"bSynch", 49, 48}, Case{"bTest", 32, 32}, Case{"bDelete", 76, 64}}) {
        FaultyRig t;
        sim::FaultyDevice& faults = t.faults;
        Rig& rig = t.Ready();
        const std::size_t before = rig.SentCodes().size();
        faults.DropReply(faults.RepliesSeen() + 1);
        rig.controller.Click(k.click);
        rig.RunFor(kWatch + 1);
        const auto codes = rig.SentCodes();
        ASSERT_GE(codes.size(), before + 2) << k.click;
        EXPECT_EQ(codes[before], k.lost) << k.click;
        EXPECT_EQ(codes[before + 1], k.next) << k.click;
        rig.RunUntilIdle();
        EXPECT_TRUE(rig.ops.errors.empty()) << k.click;
    }
    // Calibration blocks are numbered by the logger: a missed 62 starts over from 60.
    FaultyRig t;            // type 84 reads its table in blocks
    t.faults.DropReply(3);  // 0, 60, then the first 62
    Rig& rig = t.Ready();
    const auto codes = rig.SentCodes();
    ASSERT_GE(codes.size(), 5u);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 5),
              (std::vector<int>{0, 60, 62, 60, 62}));
    EXPECT_TRUE(rig.ops.errors.empty());
    EXPECT_TRUE(rig.Model().GroupBox1.visible);
}

TEST(DeadLink, EachStepEndsWithItsMessageAfterItsRetriesAndUnlocks) {
    struct Case {
        const char* click;  // nullptr: the read-out itself
        const char* what;
    };
    for (const Case& k : {Case{nullptr, "опознание"}, Case{"bClock", "часов"},
                          Case{"bSynch", "часов"}, Case{"bTest", "тест-измерение"}}) {
        FaultyRig t;
        Rig& rig = k.click ? t.Ready() : t.rig;
        const std::string name = k.click ? k.click : "read-out";
        t.faults.SetSilent(true);
        if (k.click) {
            rig.controller.Click(k.click);
        } else {
            rig.StartUsb();
            rig.RunFor(300);
        }
        rig.RunFor(Controller::kGiveUpWithinMs);
        ASSERT_EQ(rig.ops.errors.size(), 1u) << name;
        EXPECT_NE(rig.ops.errors[0].find(k.what), std::string::npos) << rig.ops.errors[0];
        EXPECT_NE(rig.ops.errors[0].find("по USB"), std::string::npos) << rig.ops.errors[0];
        const WindowModel& m = rig.Model();
        EXPECT_FALSE(rig.Timers().ReplyTimer.Enabled()) << name;
        EXPECT_FALSE(m.lRetry.visible) << name;
        EXPECT_FALSE(m.ProgressBar1.visible) << name;
        if (k.click) {
            EXPECT_TRUE(m.bTest.enabled) << name;
            EXPECT_TRUE(m.bClock.enabled) << name;
            EXPECT_TRUE(m.bSynch.enabled) << name;
            EXPECT_TRUE(m.GroupBox1.enabled) << name;
        }
        // Quiet afterwards: nothing more goes out.
        const std::size_t sent = rig.SentCodes().size();
        rig.RunFor(60'000);
        EXPECT_LE(rig.SentCodes().size(), sent + 1) << name;  // the line value timer at most
        EXPECT_EQ(rig.ops.errors.size(), 1u) << name;
    }
}

TEST(Bounds, ALoggerThatNeverTakesTheClockIsSetOnlyAFewTimesThenNamed) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 20, 5})});
    dev.On(48, {F({7, 0, 0, 0, 0, 0, 0, 0})});
    dev.On(49, {F({1, 248})});
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(10'000);
    const auto codes = dev.Codes();
    EXPECT_LE(Count(codes, 49), 5);
    EXPECT_GE(Count(codes, 49), 1);
    ASSERT_FALSE(rig.ops.errors.empty());
    EXPECT_NE(rig.ops.errors[0].find("не принимает установку часов"), std::string::npos);
    // The read-out goes on without the clock.
    EXPECT_GT(Count(codes, 50), 0);
}

TEST(Bounds, AListingThatNeverEndsStopsAtWhatTheTableHolds) {
    ScriptedDevice dev;
    dev.On(0, {F({3, 248, 20, 5})});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
    dev.On(52, {F({2, 248, 53})});
    dev.On(64, {TextFrame(248, "DIR")});
    dev.On(65, {TextFrame(248, "MORE")});
    dev.On(16, {F({5, 248, 0x80, 0x00, 0x01, 0x90})});
    Rig rig(dev);
    rig.StartUsb();
    rig.RunUntilIdle();
    const auto codes = dev.Codes();
    EXPECT_EQ(Count(codes, 65), static_cast<int>(CopySession::kMaxFileNames) - 1);
    EXPECT_EQ(rig.Model().ComboBox1.items.size(), CopySession::kMaxFileNames);
    ASSERT_EQ(rig.ops.warnings.size(), 1u);
    EXPECT_TRUE(rig.Model().GroupBox1.visible);
    EXPECT_FALSE(rig.State().Sequence().ReadingOut());
}

}  // namespace
}  // namespace qm::test
