// Replies that come late: every reply must answer its own request, whatever crosses on the line.
// Against the virtual logger, whose link delivers replies in order and late as a test decides.
#include <gtest/gtest.h>

#include <random>

#include "protocol/CommandCode.h"
#include "sim/FaultyDevice.h"
#include "sim/ValueLines.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

namespace C = CommandCode;
using std::chrono::milliseconds;

// A logger whose replies wait as the test says: by request code, by the request's number, or
// by a drifting delay of its own. Requests are numbered from 1.
class LateLogger : public sim::Device {
public:
    explicit LateLogger(sim::Device& inner) : inner_(inner) {}
    void Attach(sim::InProcessHidLink& link) { link_ = &link; }
    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override {
        ++requests;
        const std::uint8_t code = request.size() > 3 ? request[3] : 0;
        codes.push_back(code);
        std::int64_t ms = 0;
        if (const auto it = byCode.find(code); it != byCode.end()) ms = it->second;
        if (const auto it = byNumber.find(requests); it != byNumber.end()) ms = it->second;
        const int nth = ++seen[code];
        if (const auto it = byOccurrence.find({code, nth}); it != byOccurrence.end())
            ms = it->second;
        if (delay) ms = delay(code);
        if (link_) link_->SetReplyDelay(milliseconds(ms));
        return inner_.Handle(request);
    }
    std::map<std::uint8_t, std::int64_t> byCode;
    std::map<int, std::int64_t> byNumber;
    std::map<std::pair<std::uint8_t, int>, std::int64_t> byOccurrence;  // (code, nth request)
    std::map<std::uint8_t, int> seen;
    std::function<std::int64_t(std::uint8_t)> delay;
    int requests = 0;
    std::vector<int> codes;

private:
    sim::Device& inner_;
    sim::InProcessHidLink* link_ = nullptr;
};

class LateRepliesTest : public ::testing::Test {
protected:
    void SetUp() override {
        start = fs::temp_directory_path() / ("qm_late_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
    }
    void TearDown() override {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }
    // The small logger behind `late`, read out.
    Rig& Connect(std::int64_t readOutMs = 5'000) {
        rig = std::make_unique<Rig>(late);
        late.Attach(rig->link);
        rig->controller.SetUpFolders(start);
        rig->StartUsb();
        rig->RunFor(readOutMs);
        return *rig;
    }
    std::map<std::string, std::string> LoggerFiles(const std::string& dir) {
        std::map<std::string, std::string> files;
        for (const std::string& name : logger.Store().FileNames(dir)) {
            std::string text;
            for (const std::string& line : logger.Store().Content(dir, name)->lines)
                text += line + "\r\n";
            files[PathText(LocalName(name))] = text;
        }
        return files;
    }
    std::map<std::string, std::string> LocalFiles(const std::string& dir) {
        auto files = StoreTest::Files(start / "DATA" / LocalName(dir));
        files.erase("Temp.bin");
        return files;
    }
    std::string DayLines(const std::string& dir, int day) {
        std::string expected;
        bool inDay = false;
        for (const std::string& line : logger.Store().Content(dir, "2024_3.dat")->lines) {
            if (sim::IsHeaderLine(line)) inDay = sim::HeaderDay(line) == day;
            if (inDay) expected += line + "\r\n";
        }
        return expected;
    }
    const Exchange::Counts& Tally() const { return rig->State().Link().Tally(); }

    FakePcClock clock;
    fs::path start;
    sim::VirtualLogger logger{[] {
                                  sim::LoggerConfig c;
                                  c.demoShape = sim::DemoStoreShape::Small();
                                  return c;
                              }(),
                              [this] { return clock.Now(); }};
    sim::FaultyDevice faults{logger};
    LateLogger late{faults};
    std::unique_ptr<Rig> rig;
};

// Pair: the reply to a delete (never inspected) and the end of the listing that follows it.
TEST_F(LateRepliesTest, ADeletesLateReplyIsNotTakenForTheEndOfTheRelisting) {
    Rig& r = Connect();
    const auto before = r.State().Directories().DirectoryNames();
    ASSERT_EQ(before.size(), 4u);
    r.controller.Selected("ComboBox1", 2);
    late.byCode[C::DeleteDirectory] = 2'500;  // beyond the first wait of a delete
    r.controller.Click("bDelete");
    r.RunUntilIdle(60'000);
    EXPECT_EQ(r.State().Directories().DirectoryNames().size(), 3u);
    EXPECT_TRUE(r.Model().GroupBox1.visible);
    EXPECT_TRUE(r.ops.errors.empty());
    EXPECT_EQ(Tally().late, 1);
    EXPECT_GE(Tally().held, 1) << "the relisting waited for the line to be quiet";
}

// Pair: a missed line and the same line asked again after the lines copied (69).
TEST_F(LateRepliesTest, ALateLineAndTheSameLineAfterReopeningAreWrittenOnce) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    for (int shift : {3, 8, 20}) {
        fs::remove_all(start / "DATA" / LocalName(dir));
        fs::create_directories(start / "DATA" / LocalName(dir));
        // A line, well into the copy, comes late enough to be asked again, twice.
        const int n = late.requests + shift;
        late.byNumber[n] = 350;
        r.controller.Selected("ComboBox1", 0);
        r.controller.Click("bAllData");
        r.RunUntilIdle(60'000);
        EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir)) << shift;
        EXPECT_TRUE(r.ops.errors.empty()) << shift;
    }
    // Each late reply was recognised as one, or could not be the awaited request's.
    EXPECT_GE(Tally().late + Tally().dropped, 3);
    EXPECT_GE(Tally().resent, 3);
}

// Pair: a block of values and the header line the file reopened at its measurement gives again.
TEST_F(LateRepliesTest, ALateBlockOfValuesIsNotTakenForTheHeaderGivenAgain) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    late.byOccurrence[{C::FirstValues, 3}] = 350;
    late.byOccurrence[{C::FirstValues, 9}] = 350;
    r.controller.Click("bAllData");
    r.RunUntilIdle(60'000);
    EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir));
    EXPECT_TRUE(r.ops.errors.empty());
    // Each block, and each reopening while it was still to come, was asked again; every one
    // of their replies was known for a late one.
    EXPECT_GE(Tally().resent, 2);
    EXPECT_EQ(Tally().late, Tally().resent);
    EXPECT_EQ(Tally().held, 0) << "the header is known: no wait for a quiet line";
}

// Pair: a block of readings and the next block, when the first block comes late.
TEST_F(LateRepliesTest, ALateFirstBlockOfReadingsIsNotMixedWithAnotherMeasurement) {
    Rig& r = Connect();
    r.controller.Click("bTest");
    r.RunUntilIdle(60'000);
    const int readings = r.State().Test().Readings().ReadingCount;
    const auto series = r.Model().Chart1.series1.size();
    ASSERT_GT(readings, 30);

    late.byCode[C::StartTest] = 2'500;
    late.codes.clear();
    r.controller.Click("bTest");
    r.RunUntilIdle(60'000);
    EXPECT_EQ(r.State().Test().Readings().ReadingCount, readings);
    EXPECT_EQ(r.Model().Chart1.series1.size(), series);
    EXPECT_TRUE(r.ops.errors.empty());
    EXPECT_TRUE(r.Model().bTest.enabled);
    // From prompt to slow: the step costs its retries, the readings are one measurement's.
    const auto starts = std::count(late.codes.begin(), late.codes.end(), C::StartTest);
    EXPECT_GE(starts, 2);
    EXPECT_LE(starts, 4);
    EXPECT_GE(Tally().late, 1);
    EXPECT_FALSE(r.Logger().line.empty());
}

// The logger read its clock somewhere in the round trip: the reading stands for its middle, not
// for when the reply came in.
TEST_F(LateRepliesTest, ASlowClockReadingStandsForTheMiddleOfItsRoundTrip) {
    Rig& r = Connect();
    late.byCode[C::ReadClock] = 4'000;
    const std::int64_t sent = r.now;
    r.controller.Click("bClock");
    r.RunUntilIdle(30'000);
    const auto& reading = r.State().Clock().LastReading();
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->pc.Milliseconds(), r.clock.start.Milliseconds() + sent + 2'000);
    EXPECT_TRUE(r.ops.errors.empty());
}

// A logger that takes seconds over every reply is served from its first exchange.
TEST_F(LateRepliesTest, ALoggerSlowOnEveryReplyIsReadOutAndCopiedWithoutARetry) {
    for (std::int64_t ms : {2'500, 8'000}) {
        late.byCode.clear();
        late.delay = [ms](std::uint8_t) { return ms; };
        Rig& r = Connect(60 * ms);
        EXPECT_FALSE(r.State().Sequence().ReadingOut()) << ms;
        ASSERT_EQ(r.State().Directories().DirectoryNames().size(), 4u) << ms;
        const std::string dir = r.State().Directories().DirectoryNames()[3];
        r.controller.Selected("ComboBox1", 3);
        r.controller.Click("bAllData");
        r.RunUntilIdle(4'000 * ms);
        EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir)) << ms;
        EXPECT_TRUE(r.ops.errors.empty()) << ms;
        EXPECT_EQ(Tally().resent, 0) << ms;
        fs::remove_all(start / "DATA");
    }
}

// One to three replies in a row late by any amount, at any point of a copy from its listing to
// its last line: the copy has every file exactly as the logger holds it, or says it failed. A
// late reply may come after the line has been quiet for long enough to be taken for lost, and
// the request sent then be given up on in its turn.
TEST_F(LateRepliesTest, LateRepliesAnywhereInACopyNeverGiveAWrongFile) {
    Rig& first = Connect();
    const std::string dir = first.State().Directories().DirectoryNames()[2];
    const int before = late.requests;
    first.controller.Selected("ComboBox1", 2);
    first.controller.Click("bAllData");
    first.RunUntilIdle(60'000);
    const int copyRequests = late.requests - before;
    ASSERT_GT(copyRequests, 20);
    ASSERT_EQ(LocalFiles(dir), LoggerFiles(dir));

    int wrong = 0, failed = 0;
    for (int n = 1; n <= copyRequests && wrong < 3; ++n) {
        for (const std::int64_t ms : {300, 800, 2'000, 3'500}) {
            for (const int inRow : {1, 3}) {
                late.byNumber.clear();
                fs::remove_all(start / "DATA");
                Rig& r = Connect();
                for (int k = 0; k < inRow; ++k) late.byNumber[late.requests + n + k] = ms;
                r.controller.Selected("ComboBox1", 2);
                r.controller.Click("bAllData");
                r.RunUntilIdle(120'000);
                if (!r.ops.errors.empty()) {
                    ++failed;
                } else if (LocalFiles(dir) != LoggerFiles(dir)) {
                    ++wrong;
                    ADD_FAILURE() << "reply " << n << " of the copy and " << inRow - 1
                                  << " after it " << ms << " ms late: a wrong file";
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // Delays within the longest wait are waited out, not failed.
    EXPECT_LT(failed, copyRequests);
}

// Every reply seconds late, give or take the few milliseconds a real line and its timers add.
TEST_F(LateRepliesTest, SlowRepliesThatJitterAreNeverTakenForEachOther) {
    for (std::int64_t ms : {2'500, 8'000}) {
        // Alike for long, then one a little slower.
        int n = 0;
        late.delay = [&n, ms](std::uint8_t) { return ms + (++n % 25 == 0 ? 40 : 0); };
        Rig& r = Connect(60 * ms);
        ASSERT_EQ(r.State().Directories().DirectoryNames().size(), 4u) << ms;
        const std::string dir = r.State().Directories().DirectoryNames()[3];
        r.controller.Selected("ComboBox1", 3);
        r.controller.Click("bAllData");
        r.RunUntilIdle(4'000 * ms);
        EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir)) << ms;
        EXPECT_TRUE(r.ops.errors.empty()) << ms;
        EXPECT_EQ(Tally().resent, 0) << ms << ": the wait has room for the jitter";
        fs::remove_all(start / "DATA");
    }
}

// The open and the day search take seconds while the rest is prompt: the day file is there.
TEST_F(LateRepliesTest, ADayCopyWhoseOpenAndSearchComeLateHoldsTheDay) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    late.byCode[C::OpenFile] = 3'000;
    late.byCode[C::FindDay] = 3'000;
    r.controller.Click("bSelect");
    r.controller.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 2));
    r.controller.Click("bCopy");
    r.RunUntilIdle(120'000);
    const std::string expected = DayLines(dir, 2);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(LocalFiles(dir), (std::map<std::string, std::string>{{"2024_3_2.dat", expected}}));
    EXPECT_TRUE(r.ops.errors.empty());
}

// Delays that drift over the run, loss and stray bytes: whatever it costs, the files are the
// logger's, and a copy that says nothing went wrong has every file.
TEST_F(LateRepliesTest, DriftingDelaysLossAndNoiseNeverGiveAWrongResult) {
    int copied = 0, measured = 0;
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        // A delay that walks between 0 and 10 s, a step of at most 10 % at a time.
        double delay = std::uniform_real_distribution<double>(0, 3'000)(rng);
        late.delay = [&rng, &delay](std::uint8_t) {
            delay = std::clamp(delay * std::uniform_real_distribution<double>(0.9, 1.1)(rng) +
                                   std::uniform_real_distribution<double>(-20, 20)(rng),
                               0.0, 10'000.0);
            return static_cast<std::int64_t>(delay);
        };
        sim::LinkFaults f;
        f.lossRate = std::uniform_real_distribution<double>(0, 0.05)(rng);
        f.seed = seed;
        f.strayAfterEveryNthReply = 17 + static_cast<int>(seed);
        faults.SetFaults(f);
        Rig& r = Connect(300'000);
        const auto dirs = r.State().Directories().DirectoryNames();
        if (dirs.size() != 4u) {
            // A read-out that gave up says so.
            EXPECT_FALSE(r.ops.errors.empty());
            continue;
        }
        r.controller.Selected("ComboBox1", 1);
        for (int round = 0; round < 6; ++round) {
            r.ops.errors.clear();
            r.controller.Click(round > 0 && r.Model().bNewData.enabled ? "bNewData" : "bAllData");
            r.RunUntilIdle(3'600'000);
            if (r.ops.errors.empty()) break;
        }
        if (r.ops.errors.empty()) {
            EXPECT_EQ(LocalFiles(dirs[1]), LoggerFiles(dirs[1]));
            ++copied;
        }
        r.ops.errors.clear();
        r.controller.Click("bTest");
        r.RunUntilIdle(600'000);
        // One measurement's readings, never blocks of several.
        if (r.ops.errors.empty()) {
            EXPECT_EQ(r.State().Test().Readings().ReadingCount, 63);
            ++measured;
        }
        fs::remove_all(start / "DATA");
        faults.SetFaults({});
        late.delay = nullptr;
    }
    // The faults leave most runs able to finish.
    EXPECT_GE(copied, 3);
    EXPECT_GE(measured, 3);
}

}  // namespace
}  // namespace qm::test
