// The work on the logger asked of the session and told by its events, with no control named:
// what a run without a window (or any other client) relies on.
#include <gtest/gtest.h>

#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

// Records what the session reports.
struct Heard : SessionEvents {
    std::vector<CopyResult> copies;
    std::vector<bool> clockSettings;
    int readOuts = 0;
    void ReadOutEnded() override { ++readOuts; }
    void CopyEnded(const CopyResult& r) override { copies.push_back(r); }
    void ClockSetEnded(bool set) override { clockSettings.push_back(set); }
};

class SessionWorkTest : public StoreTest {
protected:
    Rig& Start() {
        Rig& r = Connect();
        r.controller.MutableSession().Listen(heard);
        return r;
    }
    SessionWork& Work() { return rig->controller.MutableSession().Work(); }
    const LoggerState& Logger() { return rig->controller.LoggerSession().Logger(); }
    void TearDown() override {
        if (rig) rig->controller.MutableSession().StopListening(heard);
        StoreTest::TearDown();
    }
    Heard heard;
};

// "Котельная" (sent in Windows-1251): two monthly files of two and one measurements.
void TwoMonths(StoreDevice& dev) {
    dev.directories = {{"\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF",
                        {{"2009_3.dat",
                          {Text("header"), Measurement("10:00  5.03.2009", {100, 200}),
                           Measurement("11:00  5.03.2009", {300})}},
                         {"2009_4.dat", {Text("header"), Measurement("10:00  1.04.2009", {1})}}}}};
}

TEST_F(SessionWorkTest, CopiesReportHowTheyEndedWithTheirFilesAndMeasurements) {
    TwoMonths(dev);
    Start();
    ASSERT_TRUE(Logger().identity);
    EXPECT_EQ(Logger().identity->deviceType, 79);
    ASSERT_EQ(Logger().directories.size(), 1u);
    EXPECT_FALSE(Work().ReadingOut());
    EXPECT_TRUE(Work().Idle());

    // Nothing copied before: "new" copies everything and says so.
    EXPECT_EQ(Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::StartedWhole);
    EXPECT_TRUE(Work().CopyRunning());
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    const CopyResult& all = heard.copies[0];
    EXPECT_EQ(all.end, CopyResult::End::Done);
    EXPECT_EQ(all.directory, "\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF");
    EXPECT_EQ(all.measurements, 3);
    EXPECT_EQ(all.totals.files, 2);
    EXPECT_GT(all.totals.bytes, 0u);
    EXPECT_EQ(all.totals.retries, 0);
    EXPECT_FALSE(Work().CopyRunning());
    EXPECT_TRUE(fs::exists(Work().DataFolder() / "Котельная" / "2009_4.dat"));

    // A measurement more in the last file: "new" carries on from the last copy.
    dev.directories[0].files[1].second.push_back(Measurement("11:00  1.04.2009", {2}));
    EXPECT_EQ(Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 2u);
    EXPECT_EQ(heard.copies[1].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[1].totals.files, 1) << "only the file that grew";
    EXPECT_EQ(heard.copies[1].measurements, 1);
    EXPECT_EQ(heard.copies.size(), 2u) << "each copy ends once";
    EXPECT_EQ(heard.copies[1].totals.bytes, 14u + 2 + 9 + 2) << "the bytes added, not the file's";

    // Nothing new: nothing is counted, and the local file is left alone.
    const fs::path last = Work().DataFolder() / "Котельная" / "2009_4.dat";
    const auto before = Files(Work().DataFolder());
    fs::last_write_time(last, fs::last_write_time(last) - std::chrono::hours(1));
    const auto stamp = fs::last_write_time(last);
    EXPECT_EQ(Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 3u);
    EXPECT_EQ(heard.copies[2].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[2].totals.files, 0);
    EXPECT_EQ(heard.copies[2].totals.bytes, 0u);
    EXPECT_EQ(heard.copies[2].measurements, 0);
    EXPECT_EQ(Files(Work().DataFolder()), before);
    EXPECT_EQ(fs::last_write_time(last), stamp) << "not rewritten";
}

TEST_F(SessionWorkTest, ADayCopyReportsTheDaysMeasurements) {
    TwoMonths(dev);
    Start();
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[0].measurements, 2);
    EXPECT_TRUE(fs::exists(Work().DataFolder() / "Котельная" / "2009_3_5.dat"));
}

TEST_F(SessionWorkTest, ACopyThatCannotStartIsRefusedAndSendsNothing) {
    TwoMonths(dev);
    Start();
    dev.requests.clear();
    EXPECT_EQ(Work().StartCopy("Склад", CopyMode::All, {}), CopyStart::Refused);
    rig->RunUntilIdle();
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_TRUE(heard.copies.empty());
    EXPECT_FALSE(Work().CopyRunning());

    // A name that cannot be a local folder: refused with a message, for a day as for all.
    dev.directories[0].name = "CON";
    Start();
    dev.requests.clear();
    rig->ops.errors.clear();
    EXPECT_EQ(Work().StartCopy("CON", CopyMode::All, {}), CopyStart::Refused);
    EXPECT_EQ(Work().StartCopy("CON", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Refused);
    rig->RunUntilIdle();
    EXPECT_EQ(rig->ops.errors.size(), 2u);
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_FALSE(Work().CopyRunning()) << "the day copy is not left armed";
    EXPECT_EQ(Work().StartCopy("CON", CopyMode::All, {}), CopyStart::Refused)
        << "and the next copy is not locked out";
}

TEST_F(SessionWorkTest, AStoppedCopyKeepsTheFilesItCompleted) {
    TwoMonths(dev);
    Start();
    rig->link.SetReplyDelay(std::chrono::milliseconds(10));
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    // Until the first file is in place and the second has begun.
    for (int i = 0; i < 200 && Work().CopySoFar().totals.files == 0; ++i) rig->RunFor(10);
    ASSERT_EQ(Work().CopySoFar().totals.files, 1);
    Work().StopCopy();
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    const CopyResult& r = heard.copies[0];
    EXPECT_EQ(r.end, CopyResult::End::Stopped);
    EXPECT_EQ(r.totals.files, 1);
    EXPECT_EQ(r.measurements, 2) << "the kept file's, not the dropped one's";
    EXPECT_EQ(r.droppedFile, "2009_4.dat");
    EXPECT_EQ(r.filesLeft, 0);
    EXPECT_GT(r.seconds, 0);
    EXPECT_TRUE(fs::exists(Work().DataFolder() / "Котельная" / "2009_3.dat"));
    EXPECT_FALSE(fs::exists(Work().DataFolder() / "Котельная" / "2009_4.dat"));

    // The window's result line says what was kept and what was dropped, in both languages.
    EXPECT_TRUE(rig->Model().lCopyResult.visible);
    EXPECT_EQ(rig->Model().lCopyResult.caption,
              "Остановлено. Сохранено файлов: 1, измерений: 2\nза 1 с, повторов: 0\n"
              "незаконченный файл «2009_4.dat» не сохранён");
    rig->controller.ChooseLanguage(Language::English);
    EXPECT_EQ(rig->Model().lCopyResult.caption,
              "Stopped. Kept 1 files, 2 measurements\nin 1 s, 0 retries\n"
              "the unfinished file \"2009_4.dat\" was not kept");
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    EXPECT_FALSE(rig->Model().lCopyResult.visible) << "the next copy's progress takes its place";
    rig->RunUntilIdle();
}

TEST_F(SessionWorkTest, ADayCopyCanBeStoppedAndLeavesNoDayFile) {
    TwoMonths(dev);
    Start();
    rig->link.SetReplyDelay(std::chrono::milliseconds(10));
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Started);
    rig->RunFor(25);
    EXPECT_TRUE(rig->Model().bStop.visible && rig->Model().bStop.enabled);
    EXPECT_FALSE(rig->Model().bCancel.visible);
    Work().StopCopy();
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Stopped);
    EXPECT_EQ(heard.copies[0].measurements, 0);
    EXPECT_FALSE(fs::exists(Work().DataFolder() / "Котельная" / "2009_3_5.dat"));
    EXPECT_FALSE(Work().CopyRunning());
    EXPECT_TRUE(rig->Model().bAllData.visible && rig->Model().bAllData.enabled)
        << "the data group is back";
}

TEST_F(SessionWorkTest, ACopyWhoseLoggerFallsSilentEndsFailed) {
    TwoMonths(dev);
    Start();
    dev.repliesLeft = 3;  // the listing, then silence in the first file
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    rig->RunUntilIdle(120'000);
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Failed);
    EXPECT_EQ(heard.copies[0].totals.files, 0);
    EXPECT_FALSE(rig->ops.errors.empty()) << "the silence is told";
}

TEST_F(SessionWorkTest, SettingTheClockEndsWithTheReadingOrWithSilence) {
    TwoMonths(dev);
    dev.connection.On(49, {{1, 248}});
    Start();
    const int before = Logger().clock ? Logger().clock->number : 0;
    ASSERT_TRUE(Work().SetClock());
    rig->RunUntilIdle();
    ASSERT_EQ(heard.clockSettings, std::vector<bool>{true});
    ASSERT_TRUE(Logger().clock);
    EXPECT_GT(Logger().clock->number, before);

    // A logger that takes no clock any more: the setting gives up and says so.
    dev.connection.script[49] = {};
    dev.connection.script[48] = {};
    ASSERT_TRUE(Work().SetClock());
    rig->RunUntilIdle(120'000);
    EXPECT_EQ(heard.clockSettings, (std::vector<bool>{true, false}));

    // Not while a copy runs.
    ASSERT_EQ(Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    EXPECT_FALSE(Work().SetClock());
    rig->RunUntilIdle();
}

}  // namespace
}  // namespace qm::test
