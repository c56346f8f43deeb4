// The stations' status: built from the visit log and the data sets, and written as JSON and as a
// page that shows every name as written, staged like every file the program writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <variant>

#include "collect/StationStatus.h"
#include "store/CollectionLog.h"
#include "store/FileSteps.h"
#include "store/Health.h"
#include "store/SensorTable.h"
#include "tests/support/FailingYear.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::chrono::sys_seconds Utc(const char* text) {
    return *ParseUtcText(text);
}

class StationStatusTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(root_); }
    void TearDown() override {
        SetFileStepHook(nullptr);
        fs::remove_all(root_);
    }

    const fs::path root_ =
        fs::temp_directory_path() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The PC three hours ahead of UTC, a little after the failing year's last measurement.
    const StatusNow now_{Utc("2025-01-01T00:00:00Z"), *DateTime::FromCivil({2025, 1, 1, 3, 0})};
};

TEST_F(StationStatusTest, IsMadeFromTheVisitLogTheRunsAttemptAndTheLastDaysOfEachDataSet) {
    const auto plan =
        std::get<StationsPlan>(ParseStationsFile("[[station]]\nname = \"Скважина 7\"\nradio = 3\n\n"
                                                 "[[station]]\nname = \"Новая\"\nusb = true\n",
                                                 root_ / "s.toml"));
    const Station& well = plan.stations[0];
    fs::create_directories(well.folder);
    const auto visit = [&well](const char* time, std::optional<std::string> error) {
        VisitRecord v;
        v.time = Utc(time);
        v.station = well.name;
        v.collected = v.reached = !error;
        v.error = std::move(error);
        if (v.collected) v.batteryVolts = 3.61, v.clockOffsetSeconds = 5;
        ASSERT_FALSE(AppendVisitRecord(well.folder, v));
    };
    visit("2024-12-30T02:30:00Z", {});
    visit("2024-12-31T02:30:00Z", "did not answer");
    std::ofstream(well.folder / kVisitLogName, std::ios::app) << "{\"time\": \"garbled\n";
    visit("2024-12-31T14:30:00Z", "did not answer");
    // A year of a string whose ninth sensor is dead and fourth stuck until September; the first
    // is above its design limit all along.
    const fs::path set = well.folder / "OBJ_A01";
    WriteFailingYear(set);
    std::vector<SensorInfo> sensors = MakeFailingYear().table.sensors;
    sensors[0].limitC = -20.0;
    WriteSensorTable(set, sensors);

    CollectionStatus status = CollectionStatusOf(plan, now_);
    ASSERT_EQ(status.stations.size(), 2u);
    StationStatus s = status.stations[0];
    ASSERT_TRUE(s.lastAttempt);
    EXPECT_EQ(s.lastAttempt->time, Utc("2024-12-31T14:30:00Z"));
    EXPECT_EQ(s.lastAttempt->errors, std::vector<std::string>{"did not answer"});
    EXPECT_EQ(s.lastSuccess, Utc("2024-12-30T02:30:00Z"));
    EXPECT_EQ(s.consecutiveFailures, 2) << "the garbled line costs only itself";
    EXPECT_EQ(s.batteryVolts, 3.61) << "as last learnt";
    EXPECT_EQ(s.clockOffsetSeconds, 5);
    EXPECT_EQ(s.Colour(), StatusColour::Amber);
    // The last measurement, 2024-12-31 23:00 of the logger's (local) clock.
    EXPECT_EQ(s.newestMeasurement, Utc("2024-12-31T20:00:00Z"));
    EXPECT_EQ(s.newestMeasurementAgeHours, 4.0);
    ASSERT_EQ(s.dataSets.size(), 1u);
    const StatusDataSet& d = s.dataSets[0];
    ASSERT_EQ(d.flagged.size(), 1u) << "the stuck stretch ended months before the last days";
    EXPECT_EQ(d.flagged[0].sensor, kDeadSensor);
    EXPECT_EQ(d.flagged[0].flags, unsigned{kDead});
    ASSERT_EQ(d.exceeded.size(), 1u);
    EXPECT_EQ(d.exceeded[0].label, "S1");
    EXPECT_EQ(d.exceeded[0].last, Utc("2024-12-31T20:00:00Z"));
    EXPECT_EQ(status.stations[1].Colour(), StatusColour::None) << "never visited";

    // The run's own attempt stands for the last one, with its warnings; one not tried is in no
    // log but fails all the same.
    s = StationStatusOf(well, now_, StatusAttempt{now_.utc, false, false, {"no folder"}, {}});
    EXPECT_EQ(s.consecutiveFailures, 3);
    EXPECT_EQ(s.Colour(), StatusColour::Amber);
    s = StationStatusOf(well, now_, StatusAttempt{now_.utc, true, true, {}, {"clock off"}});
    EXPECT_EQ(s.lastSuccess, now_.utc);
    EXPECT_EQ(s.lastAttempt->warnings, std::vector<std::string>{"clock off"});
    EXPECT_EQ(s.Colour(), StatusColour::Green);
    s.alarms = {"stale"};
    EXPECT_EQ(s.Colour(), StatusColour::Red);
}

TEST_F(StationStatusTest, FilesShowNamesAsWrittenTimesInUtcAndAreReplacedOnlyWhole) {
    CollectionStatus status;
    status.time = Utc("2026-12-11T02:30:00Z");
    status.stationsFile = root_ / "s.toml";
    StationStatus a;
    a.name = "<b>x</b> & 'y'";
    a.link = "serial";
    a.addressText = "/dev/<tty>";
    a.lastAttempt =
        StatusAttempt{Utc("2026-12-11T02:29:00Z"), true, false, {"<script>alert(1)</script>"}, {}};
    a.dataSets.push_back({"<i>dir</i>", 3, {}, {{2, "<u>T2</u>", kStuck}}, {}});
    status.stations = {a};

    const std::string json = StatusJson(status);
    EXPECT_NE(json.find("\"name\": \"<b>x</b> & 'y'\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"colour\": \"amber\""), std::string::npos);
    EXPECT_NE(json.find("\"time\": \"2026-12-11T02:29:00Z\""), std::string::npos);
    EXPECT_NE(json.find("\"nextDue\": null"), std::string::npos);

    for (const Language language : {Language::English, Language::Russian}) {
        const std::string html = StatusHtml(status, language);
        for (const char* raw : {"<b>x", "<script", "<tty>", "<i>", "<u>"})
            EXPECT_EQ(html.find(raw), std::string::npos) << raw;
        for (const char* escaped :
             {"&lt;b&gt;x&lt;/b&gt; &amp; &#39;y&#39;", "&lt;script&gt;alert(1)&lt;/script&gt;",
              "/dev/&lt;tty&gt;", "&lt;i&gt;dir&lt;/i&gt;", "&lt;u&gt;T2&lt;/u&gt;): stuck"})
            EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
        for (const char* part :
             {"<tr class=\"amber\">", "http-equiv=\"refresh\" content=\"60\"", "name=\"viewport\""})
            EXPECT_NE(html.find(part), std::string::npos) << part;
        EXPECT_EQ(html.find("src="), std::string::npos) << "nothing from elsewhere";
        EXPECT_NE(html.find(language == Language::English ? "Last attempt" : "Последний опрос"),
                  std::string::npos);
    }

    const fs::path data = root_ / "DATA";
    ASSERT_FALSE(WriteStatusFiles(data, status, Language::English));
    EXPECT_EQ(ReadWholeFile(data / kStatusJsonName), json);
    const std::string page = ReadWholeFile(data / kStatusHtmlName);
    // The new page is never put in place unfinished: the old one stays, and nothing is left.
    status.stations[0].name = "renamed";
    SetFileStepHook([](FileStep step, const fs::path& p) {
        return !(step == FileStep::Replace && p.filename() == kStatusHtmlName);
    });
    EXPECT_TRUE(WriteStatusFiles(data, status, Language::English));
    EXPECT_EQ(ReadWholeFile(data / kStatusHtmlName), page);
    EXPECT_FALSE(fs::exists(data / kStagingFolderName));
    EXPECT_NE(ReadWholeFile(data / kStatusJsonName).find("renamed"), std::string::npos);
}

}  // namespace
}  // namespace qm::test
