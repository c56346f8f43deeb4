// The work on the logger asked of the session and told by its events, with no control named:
// what a run without a window (or any other client) relies on.
#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "sim/FaultyDevice.h"
#include "sim/VirtualLogger.h"
#include "store/CollectionLog.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

// Utf8Path("Котельная") (sent in Windows-1251): two monthly files of two and one measurements.
class SessionWorkTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        dev.directories = {
            {"\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF",
             {{"2009_3.dat",
               {Text("header"), Measurement("10:00  5.03.2009", {100, 200}),
                Measurement("11:00  5.03.2009", {300})}},
              {"2009_4.dat", {Text("header"), Measurement("10:00  1.04.2009", {1})}}}}};
    }
};

TEST_F(SessionWorkTest, CopiesReportHowTheyEndedWithTheirFilesAndMeasurements) {
    Connect();
    ASSERT_TRUE(rig->Logger().identity);
    EXPECT_EQ(rig->Logger().identity->deviceType, 79);
    ASSERT_EQ(rig->Logger().directories.size(), 1u);
    EXPECT_FALSE(rig->Work().ReadingOut());
    EXPECT_TRUE(rig->Work().Idle());

    // Nothing copied before: "new" copies everything and says so.
    EXPECT_EQ(rig->Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::StartedWhole);
    EXPECT_TRUE(rig->Work().CopyRunning());
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    const CopyResult& all = heard.copies[0];
    EXPECT_EQ(all.end, CopyResult::End::Done);
    EXPECT_EQ(all.directory, "\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF");
    EXPECT_EQ(all.measurements, 3);
    EXPECT_EQ(all.totals.files, 2);
    EXPECT_GT(all.totals.bytes, 0u);
    EXPECT_EQ(all.totals.retries, 0);
    EXPECT_FALSE(rig->Work().CopyRunning());
    EXPECT_TRUE(fs::exists(rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_4.dat"));

    // A measurement more in the last file: "new" carries on from the last copy.
    dev.directories[0].files[1].second.push_back(Measurement("11:00  1.04.2009", {2}));
    EXPECT_EQ(rig->Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 2u);
    EXPECT_EQ(heard.copies[1].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[1].totals.files, 1) << "only the file that grew";
    EXPECT_EQ(heard.copies[1].measurements, 1);
    EXPECT_EQ(heard.copies.size(), 2u) << "each copy ends once";
    EXPECT_EQ(heard.copies[1].totals.bytes, 14u + 2 + 9 + 2) << "the bytes added, not the file's";

    // Nothing new: nothing is counted, and the local file is left alone.
    const fs::path last = rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_4.dat";
    const auto before = Files(rig->Work().DataFolder());
    fs::last_write_time(last, fs::last_write_time(last) - std::chrono::hours(1));
    const auto stamp = fs::last_write_time(last);
    EXPECT_EQ(rig->Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 3u);
    EXPECT_EQ(heard.copies[2].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[2].totals.files, 0);
    EXPECT_EQ(heard.copies[2].totals.bytes, 0u);
    EXPECT_EQ(heard.copies[2].measurements, 0);
    EXPECT_EQ(Files(rig->Work().DataFolder()), before);
    EXPECT_EQ(fs::last_write_time(last), stamp) << "not rewritten";

    // Each copy left its line in the collection log, in the order they ran.
    const CollectionLogRead log =
        ReadCollectionLog(rig->Work().DataFolder() / Utf8Path("Котельная"));
    ASSERT_EQ(log.records.size(), 3u);
    EXPECT_EQ(log.skipped, 0u);
    const CollectionRecord& first = log.records[0];
    EXPECT_EQ(first.station, "window");
    EXPECT_EQ(first.mode, CollectedMode::All) << "nothing to carry on from";
    EXPECT_EQ(first.directory, "Котельная");
    EXPECT_EQ(first.files, 2);
    EXPECT_EQ(first.measurements, 3);
    EXPECT_EQ(first.result, CollectionResult::Done);
    EXPECT_EQ(first.deviceType, 79);
    EXPECT_TRUE(first.clockOffsetSeconds);
    EXPECT_FALSE(first.clockSet);
    EXPECT_EQ(log.records[1].mode, CollectedMode::New);
    EXPECT_EQ(log.records[1].measurements, 1);
    EXPECT_EQ(log.records[2].files, 0);
}

TEST_F(SessionWorkTest, ACopyWhoseLogCannotBeWrittenStandsAndSaysSo) {
    Connect();
    // Something that is no file stands where the log goes.
    fs::create_directories(Data() / Utf8Path("Котельная") / "collection.jsonl" / "x");
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Done);
    EXPECT_TRUE(fs::exists(Data() / Utf8Path("Котельная") / "2009_4.dat"));
    ASSERT_EQ(rig->ops.warnings.size(), 1u);
    EXPECT_NE(rig->ops.warnings[0].find("журнал"), std::string::npos) << rig->ops.warnings[0];
}

TEST_F(SessionWorkTest, ADayCopyReportsTheDaysMeasurements) {
    Connect();
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Started);
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Done);
    EXPECT_EQ(heard.copies[0].measurements, 2);
    EXPECT_TRUE(fs::exists(rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_3_5.dat"));

    // A copy named for a station, into a folder of its own.
    const fs::path station = start / Utf8Path("Станции") / Utf8Path("Скважина 7");
    ASSERT_TRUE(rig->Work().UseDataFolder(station));
    rig->Work().NameStation("Скважина 7");
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::Day, *DateTime::FromDate(2009, 4, 1)),
              CopyStart::Started);
    rig->RunUntilIdle();
    const CollectionLogRead log = ReadCollectionLog(station / Utf8Path("Котельная"));
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].station, "Скважина 7");
    EXPECT_EQ(log.records[0].mode, CollectedMode::Day);
    EXPECT_EQ(log.records[0].measurements, 1);
    EXPECT_TRUE(fs::exists(station / Utf8Path("Котельная") / "2009_4_1.dat"));
}

TEST_F(SessionWorkTest, ACopyThatCannotStartIsRefusedAndSendsNothing) {
    Connect();
    dev.requests.clear();
    EXPECT_EQ(rig->Work().StartCopy("Склад", CopyMode::All, {}), CopyStart::Refused);
    rig->RunUntilIdle();
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_TRUE(heard.copies.empty());
    EXPECT_FALSE(rig->Work().CopyRunning());

    // A name that cannot be a local folder: refused with a message, for a day as for all.
    dev.directories[0].name = "CON";
    Connect();
    dev.requests.clear();
    rig->ops.errors.clear();
    EXPECT_EQ(rig->Work().StartCopy("CON", CopyMode::All, {}), CopyStart::Refused);
    EXPECT_EQ(rig->Work().StartCopy("CON", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Refused);
    rig->RunUntilIdle();
    EXPECT_EQ(rig->ops.errors.size(), 2u);
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_FALSE(rig->Work().CopyRunning()) << "the day copy is not left armed";
    EXPECT_EQ(rig->Work().StartCopy("CON", CopyMode::All, {}), CopyStart::Refused)
        << "and the next copy is not locked out";
    // The name of a station's visit log, beside the folders of its data sets.
    dev.directories[0].name = "Visits.JSONL";
    Connect();
    EXPECT_EQ(rig->Work().StartCopy("Visits.JSONL", CopyMode::All, {}), CopyStart::Refused);
}

TEST_F(SessionWorkTest, AStoppedCopyKeepsTheFilesItCompleted) {
    Connect();
    rig->link.SetReplyDelay(std::chrono::milliseconds(10));
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    // Until the first file is in place and the second has begun.
    for (int i = 0; i < 200 && rig->Work().CopySoFar().totals.files == 0; ++i) rig->RunFor(10);
    ASSERT_EQ(rig->Work().CopySoFar().totals.files, 1);
    rig->Work().StopCopy();
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    const CopyResult& r = heard.copies[0];
    EXPECT_EQ(r.end, CopyResult::End::Stopped);
    EXPECT_EQ(r.totals.files, 1);
    EXPECT_EQ(r.measurements, 2) << "the kept file's, not the dropped one's";
    EXPECT_EQ(r.droppedFile, "2009_4.dat");
    EXPECT_EQ(r.filesLeft, 0);
    EXPECT_GT(r.seconds, 0);
    EXPECT_TRUE(fs::exists(rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_3.dat"));
    EXPECT_FALSE(fs::exists(rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_4.dat"));

    // The window's result line says what was kept and what was dropped, in both languages.
    EXPECT_TRUE(rig->Model().lCopyResult.visible);
    EXPECT_EQ(rig->Model().lCopyResult.caption,
              "Остановлено. Сохранено файлов: 1, измерений: 2\nза 1 с, повторов: 0\n"
              "незаконченный файл «2009_4.dat» не сохранён");
    rig->controller.ChooseLanguage(Language::English);
    EXPECT_EQ(rig->Model().lCopyResult.caption,
              "Stopped. Kept 1 files, 2 measurements\nin 1 s, 0 retries\n"
              "the unfinished file \"2009_4.dat\" was not kept");
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::New, {}), CopyStart::Started);
    EXPECT_FALSE(rig->Model().lCopyResult.visible) << "the next copy's progress takes its place";
    rig->RunUntilIdle();
}

TEST_F(SessionWorkTest, ADayCopyCanBeStoppedAndLeavesNoDayFile) {
    Connect();
    rig->link.SetReplyDelay(std::chrono::milliseconds(10));
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::Day, *DateTime::FromDate(2009, 3, 5)),
              CopyStart::Started);
    rig->RunFor(25);
    EXPECT_TRUE(rig->Model().bStop.visible && rig->Model().bStop.enabled);
    EXPECT_FALSE(rig->Model().bCancel.visible);
    rig->Work().StopCopy();
    rig->RunUntilIdle();
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Stopped);
    EXPECT_EQ(heard.copies[0].measurements, 0);
    EXPECT_FALSE(fs::exists(rig->Work().DataFolder() / Utf8Path("Котельная") / "2009_3_5.dat"));
    EXPECT_FALSE(rig->Work().CopyRunning());
    EXPECT_TRUE(rig->Model().bAllData.visible && rig->Model().bAllData.enabled)
        << "the data group is back";
}

TEST_F(SessionWorkTest, ACopyWhoseLoggerFallsSilentEndsFailed) {
    Connect();
    dev.repliesLeft = 3;  // the listing, then silence in the first file
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    rig->RunUntilIdle(120'000);
    ASSERT_EQ(heard.copies.size(), 1u);
    EXPECT_EQ(heard.copies[0].end, CopyResult::End::Failed);
    EXPECT_EQ(heard.copies[0].totals.files, 0);
    ASSERT_FALSE(rig->ops.errors.empty()) << "the silence is told";
    // The log says why, in the words the operator was shown.
    const CollectionLogRead log =
        ReadCollectionLog(rig->Work().DataFolder() / Utf8Path("Котельная"));
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].result, CollectionResult::Failed);
    EXPECT_EQ(log.records[0].error, rig->ops.errors.back());
}

// Where the work stands is the session's own knowledge, as no window shows it: the link found,
// the read-out, ready, busy with a copy, ready again.
TEST_F(SessionWorkTest, TheWorkKnowsItsPhaseAndRefusesWhatItCannotDoNow) {
    rig = std::make_unique<Rig>(dev);
    heard.Hear(rig->controller.MutableSession());
    rig->controller.SetUpFolders(start);
    SessionWork& work = rig->Work();
    EXPECT_EQ(work.Phase(), WorkPhase::NoLink);
    rig->StartUsb();
    EXPECT_EQ(work.Phase(), WorkPhase::Linking);
    ASSERT_TRUE(rig->RunUntil([&] { return rig->Logger().identity.has_value(); }, 5000));
    EXPECT_EQ(work.Phase(), WorkPhase::ReadingOut);
    EXPECT_FALSE(work.MeasureOnce());
    EXPECT_FALSE(work.SetClock());
    rig->RunUntilIdle();
    EXPECT_EQ(work.Phase(), WorkPhase::Ready);
    ASSERT_EQ(work.StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    EXPECT_EQ(work.Phase(), WorkPhase::Busy);
    EXPECT_FALSE(work.ReadClock());
    EXPECT_FALSE(work.WriteSchedule({}, {}, 0, 1, 0));
    rig->RunUntilIdle();
    EXPECT_EQ(work.Phase(), WorkPhase::Ready);
}

TEST_F(SessionWorkTest, SettingTheClockEndsWithTheReadingOrWithSilence) {
    dev.connection.On(49, {{1, 248}});
    Connect();
    const int before = rig->Logger().clock ? rig->Logger().clock->number : 0;
    ASSERT_TRUE(rig->Work().SetClock());
    rig->RunUntilIdle();
    ASSERT_EQ(heard.clockSettings, std::vector<bool>{true});
    ASSERT_TRUE(rig->Logger().clock);
    EXPECT_GT(rig->Logger().clock->number, before);

    // A logger that takes no clock any more: the setting gives up and says so.
    dev.connection.script[49] = {};
    dev.connection.script[48] = {};
    ASSERT_TRUE(rig->Work().SetClock());
    rig->RunUntilIdle(120'000);
    EXPECT_EQ(heard.clockSettings, (std::vector<bool>{true, false}));

    // Not while a copy runs.
    ASSERT_EQ(rig->Work().StartCopy("Котельная", CopyMode::All, {}), CopyStart::Started);
    EXPECT_FALSE(rig->Work().SetClock());
    rig->RunUntilIdle();
}

TEST_F(SessionWorkTest, ADirectoryIsDeletedWithoutAskingAndTheListingConfirmsIt) {
    dev.directories.push_back({"B", {}});
    Connect();
    ASSERT_EQ(rig->Logger().directories.size(), 2u);
    ASSERT_TRUE(rig->Work().DeleteDirectory("Котельная"));
    rig->RunUntilIdle();
    EXPECT_TRUE(rig->ops.confirmations.empty()) << "the caller has decided";
    ASSERT_EQ(heard.deletes.size(), 1u);
    EXPECT_EQ(heard.deletes[0],
              std::make_pair(std::string("\xCA\xEE\xF2\xE5\xEB\xFC\xED\xE0\xFF"), true));
    EXPECT_EQ(rig->Logger().directories, std::vector<std::string>{"B"});
    EXPECT_FALSE(rig->Work().DeleteDirectory("Котельная")) << "no longer listed";

    // The clock is read on request.
    const int before = heard.clockReadings;
    ASSERT_TRUE(rig->Work().ReadClock());
    rig->RunUntilIdle();
    EXPECT_EQ(heard.clockReadings, before + 1);
}

// A listed name too long for the deletion's request: refused at once and told, as no end of the
// deletion would ever come.
TEST_F(SessionWorkTest, ADirectoryTooLongForItsRequestIsNotDeleted) {
    const std::string name(253, 'd');
    dev.directories = {{name, {}}};
    Rig& r = Connect(300);
    ASSERT_EQ(rig->Logger().directories, std::vector<std::string>{name});
    dev.requests.clear();
    EXPECT_FALSE(rig->Work().DeleteDirectory(name));
    r.RunUntilIdle();
    EXPECT_EQ(r.ops.errors.size(), 1u);
    EXPECT_TRUE(dev.requests.empty());
}

// A virtual logger of the given type, read out, with what its session reports recorded.
struct VirtualRig {
    explicit VirtualRig(std::uint8_t type)
        : logger(Config(type), [this] { return live ? live->clock.Now() : DateTime{}; }) {
        rig = std::make_unique<Rig>(faults);
        live = rig.get();
        rig->StartUsb();
        rig->RunFor(5000);
        heard.Hear(rig->controller.MutableSession());
    }
    static sim::LoggerConfig Config(std::uint8_t type) {
        sim::LoggerConfig c;
        c.deviceType = type;
        c.demoData = false;
        return c;
    }

    Rig* live = nullptr;  // the rig, once it exists: the logger's clock is the rig's PC clock
    sim::VirtualLogger logger;
    sim::FaultyDevice faults{logger};
    std::unique_ptr<Rig> rig;
    Heard heard;
};

TEST(SessionWrites, AScheduleIsWrittenAndConfirmedByItsReadBack) {
    VirtualRig v(84);
    const DateTime start = *DateTime::FromCivil({2024, 3, 6, 8, 0, 0, 0});
    const DateTime stop = *DateTime::FromCivil({2024, 4, 6, 8, 0, 0, 0});
    ASSERT_TRUE(v.rig->Work().WriteSchedule(start, stop, 0, 2, 30));
    v.rig->RunUntilIdle();
    ASSERT_EQ(v.heard.writes,
              (std::vector<std::pair<LoggerWrite, bool>>{{LoggerWrite::Schedule, true}}));
    const LoggerState& logger = v.rig->Logger();
    ASSERT_TRUE(logger.schedule);
    EXPECT_EQ(logger.schedule->fields.StartHour, 8);
    EXPECT_EQ(logger.schedule->fields.StopMonth, 4);
    EXPECT_EQ(logger.schedule->fields.IntervalHours, 2);
    EXPECT_EQ(logger.schedule->fields.IntervalMinutes, 30);
    EXPECT_FALSE(v.rig->Work().WriteRemarks("a", "b")) << "this model keeps a schedule";

    // A logger that goes silent: the write ends unconfirmed, once.
    v.faults.SetSilent(true);
    ASSERT_TRUE(v.rig->Work().WriteSchedule(start, stop, 1, 0, 0));
    v.rig->RunUntilIdle(120'000);
    ASSERT_EQ(v.heard.writes.size(), 2u);
    EXPECT_EQ(v.heard.writes[1], std::make_pair(LoggerWrite::Schedule, false));
}

TEST(SessionWrites, RemarksAreConfirmedByTheAcknowledgementOrTheReadBack) {
    VirtualRig v(88);
    ASSERT_TRUE(v.rig->Work().WriteRemarks("Скважина 7", "глубина 12 м"));
    v.rig->RunUntilIdle();
    ASSERT_EQ(v.heard.writes,
              (std::vector<std::pair<LoggerWrite, bool>>{{LoggerWrite::Remarks, true}}));
    EXPECT_TRUE(Cp1251ToUtf8(v.logger.Remark(1)).starts_with("Скважина 7")) << v.logger.Remark(1);
    const auto& remarks = v.rig->Logger().remarks;
    ASSERT_TRUE(remarks);
    EXPECT_TRUE(remarks->first.starts_with("Скважина 7")) << remarks->first;

    // The acknowledgement is lost: the lines read back confirm the write.
    v.faults.DropReply(v.faults.RepliesSeen() + 1);
    ASSERT_TRUE(v.rig->Work().WriteRemarks("Скважина 8", ""));
    v.rig->RunUntilIdle(120'000);
    ASSERT_EQ(v.heard.writes.size(), 2u);
    EXPECT_EQ(v.heard.writes[1], std::make_pair(LoggerWrite::Remarks, true));

    // Refused: not confirmed.
    v.faults.RefuseCommand(CommandCode::WriteRemarks, 0xFF);
    ASSERT_TRUE(v.rig->Work().WriteRemarks("Скважина 9", ""));
    v.rig->RunUntilIdle(120'000);
    ASSERT_EQ(v.heard.writes.size(), 3u);
    EXPECT_EQ(v.heard.writes[2], std::make_pair(LoggerWrite::Remarks, false));
}

TEST(SessionWrites, ATestMeasurementLeavesEverySensorsReadingOrSaysItFailed) {
    VirtualRig v(84);
    ASSERT_TRUE(v.rig->Work().MeasureOnce());
    EXPECT_FALSE(v.rig->Work().MeasureOnce()) << "one measurement at a time";
    v.rig->RunUntilIdle();
    ASSERT_EQ(v.heard.measurements, std::vector<bool>{true});
    const auto& readings = v.rig->Logger().readings;
    ASSERT_TRUE(readings);
    ASSERT_EQ(readings->size(), 64u) << "63 sensors, numbered from 1";
    EXPECT_FALSE((*readings)[0]);
    EXPECT_TRUE(std::any_of(readings->begin(), readings->end(), [](auto r) { return r; }));

    // The logger falls silent in mid-measurement: it ends failed, and the window is given back.
    v.faults.SetSilent(true);
    ASSERT_TRUE(v.rig->Work().MeasureOnce());
    v.rig->RunUntilIdle(120'000);
    EXPECT_EQ(v.heard.measurements, (std::vector<bool>{true, false}));
    v.faults.SetSilent(false);
    EXPECT_TRUE(v.rig->Work().MeasureOnce());
}

}  // namespace
}  // namespace qm::test
