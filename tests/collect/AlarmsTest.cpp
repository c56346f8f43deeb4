// The stations' alarms on virtual time: raised once, repeated after `repeat`, cleared once, and
// rebuilt from their log after a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collect/Alarms.h"
#include "store/CollectionLog.h"
#include "store/Health.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

const sys_seconds kStart = *ParseUtcText("2026-12-01T00:00:00Z");

class AlarmsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(data_); }
    void TearDown() override { fs::remove_all(data_); }

    // The events of one judgement of the station, as "condition event" words.
    std::vector<std::string> Judge(Alarms& alarms, StationStatus& st, sys_seconds now) {
        std::vector<std::string> words;
        const auto judged =
            alarms.Judge(st, settings_, AlarmChannels{true, false}, now, Language::English);
        EXPECT_FALSE(judged.error);
        for (const AlarmRecord& r : judged.events) words.push_back(r.condition + " " + r.event);
        return words;
    }

    const fs::path data_ =
        fs::temp_directory_path() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    AlarmSettings settings_;
    using W = std::vector<std::string>;
};

TEST_F(AlarmsTest, AStaleStationIsRaisedOnceRepeatedAfterRepeatAndClearedOnceEvenAcrossRestarts) {
    settings_.staleHours = 48;
    settings_.repeat = hours(24);
    StationStatus st;
    st.name = "Well 7";
    st.newestMeasurement = kStart;
    auto alarms = std::make_unique<Alarms>(data_);
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(47)), W{});
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(49)), W{"stale raised"});
    EXPECT_EQ(st.alarms, W{"No new measurement for 49.0 h (threshold 48.0 h)"});
    EXPECT_EQ(st.Colour(), StatusColour::Red);
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(60)), W{});

    // A restart, with a line cut short by a kill, raises nothing again and forgets nothing.
    std::ofstream(data_ / kAlarmLogName, std::ios::app) << "{\"time\": \"2026-12-03T0\n";
    alarms = std::make_unique<Alarms>(data_);
    EXPECT_EQ(alarms->SkippedLines(), 1u);
    EXPECT_EQ(alarms->Holding("Well 7"), std::vector{AlarmCondition::Stale});
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(70)), W{});
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(73)), W{"stale repeated"});
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(80)), W{});

    st.newestMeasurement = kStart + hours(79);
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(81)), W{"stale cleared"});
    EXPECT_TRUE(st.alarms.empty());
    EXPECT_EQ(Judge(*alarms, st, kStart + hours(82)), W{});

    const AlarmLogRead log = ReadAlarmLog(data_);
    ASSERT_EQ(log.records.size(), 3u);
    EXPECT_EQ(log.records[0].since, kStart + hours(48));
    EXPECT_EQ(log.records[2].since, kStart + hours(48));
    EXPECT_EQ(log.records[2].event, "cleared");
    EXPECT_EQ(Alarms(data_).Holding("Well 7"), std::vector<AlarmCondition>{});
}

TEST_F(AlarmsTest, FailuresInARowAreRaisedAtTheThresholdAndWaitForDeliveryUntilALineSaysSo) {
    settings_.failures = 3;
    StationStatus st;
    st.name = "Well 7";
    Alarms alarms(data_);
    for (std::int64_t failed = 1; failed <= 4; ++failed) {
        st.consecutiveFailures = failed;
        EXPECT_EQ(Judge(alarms, st, kStart + hours(failed)),
                  failed == 3 ? W{"failures raised"} : W{})
            << failed;
    }
    st.consecutiveFailures = 0;
    EXPECT_EQ(Judge(alarms, st, kStart + hours(5)), W{"failures cleared"});

    ASSERT_EQ(alarms.Undelivered().size(), 2u);
    EXPECT_EQ(alarms.Undelivered()[0].value, 3.0);
    EXPECT_EQ(alarms.Undelivered()[0].mail, false);
    EXPECT_EQ(alarms.Undelivered()[0].command, std::nullopt);
    ASSERT_FALSE(alarms.Delivered(alarms.Undelivered()[0], "mail", kStart + hours(6)));
    EXPECT_EQ(alarms.Undelivered().size(), 1u);
    const Alarms restarted(data_);
    ASSERT_EQ(restarted.Undelivered().size(), 1u);
    EXPECT_EQ(restarted.Undelivered()[0].event, "cleared");
}

TEST_F(AlarmsTest, OnlySensorsNewlyFaultyOrAboveTheirLimitInNewDataRaiseAndOnlyWhenNewDataCame) {
    settings_.flags = settings_.limits = true;
    StationStatus st;
    st.name = "Well 7";
    st.newestMeasurement = kStart;
    st.dataSets.push_back({"2026", 100, kStart, {{1, "", SensorFlag::kDead}}, {}});
    Alarms alarms(data_);
    EXPECT_EQ(Judge(alarms, st, kStart + hours(1)), W{});  // dead before: not news

    st.newestMeasurement = kStart + hours(24);
    st.dataSets[0].flagged.push_back({2, "", SensorFlag::kStuck});
    st.dataSets[0].exceeded.push_back({3, "", 20.0, 21.5, kStart + hours(2), kStart + hours(20)});
    EXPECT_EQ(Judge(alarms, st, kStart + hours(25)), (W{"flags raised", "limits raised"}));
    EXPECT_EQ(st.alarms[0], "Sensors newly faulty: 2026 #2");
    EXPECT_EQ(Judge(alarms, st, kStart + hours(26)), W{});  // nothing new to judge

    st.newestMeasurement = kStart + hours(47);
    EXPECT_EQ(Judge(alarms, st, kStart + hours(48)), W{"limits cleared"});
    st.newestMeasurement = kStart + hours(72);
    st.dataSets[0].flagged.pop_back();
    EXPECT_EQ(Judge(alarms, st, kStart + hours(73)), W{"flags cleared"});
}

}  // namespace
}  // namespace qm::test
