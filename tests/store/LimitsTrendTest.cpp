// Design limits in the sensor table, the values above them, and the warming per decade of a
// borehole generated with a known exceedance and a known trend.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "tests/support/WarmingBorehole.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

TEST(SensorLimits, TheFourthColumnIsReadWrittenOnlyWhenUsedAndCheckedLikeTheRest) {
    const SensorTable t = ParseSensorTable(
        "sensor,depth_m,label,limit_c\r\n"
        "1,0.5,a,-0.5\r\n"
        "2,1.0,b,\r\n"
        "3,2.0,c\r\n"       // 4: three fields under a header of four
        "4,3.0,d,warm\r\n"  // 5
        "5,4.0,e,1e9\r\n"   // 6
        "6,5.0,\"f,g\",+1.25\r\n");
    ASSERT_EQ(t.issues.size(), 3u);
    EXPECT_EQ(t.issues[0].problem, SensorTableProblem::BadLimitFields);
    EXPECT_EQ(t.issues[1].problem, SensorTableProblem::BadLimit);
    EXPECT_EQ(t.issues[2].line, 6u);
    EXPECT_EQ(SensorTableIssueText(t.issues[0], Language::English),
              "sensors.csv:4: four fields are needed: sensor, depth, label, limit; line skipped");
    EXPECT_EQ(t.sensors,
              (std::vector<SensorInfo>{{1, 0.5, "a", -0.5}, {2, 1.0, "b"}, {6, 5.0, "f,g", 1.25}}));
    EXPECT_TRUE(t.HasLimits());
    // Four fields under the old header are still refused.
    EXPECT_EQ(ParseSensorTable("sensor,depth_m,label\n1,1,a,2\n").issues.at(0).problem,
              SensorTableProblem::BadFields);

    EXPECT_EQ(SensorTableText(t.sensors),
              "sensor,depth_m,label,limit_c\r\n1,0.5,a,-0.5\r\n"
              "2,1,b,\r\n6,5,\"f,g\",1.25\r\n");
    EXPECT_EQ(ParseSensorTable(SensorTableText(t.sensors)).sensors, t.sensors);
    EXPECT_EQ(SensorTableText(std::vector<SensorInfo>{{2, 1.0, "b"}}),
              "sensor,depth_m,label\r\n2,1,b\r\n");
}

TEST(SensorLimits, AGeneratedBoreholeGivesItsExceedanceAndItsWarming) {
    const fs::path folder =
        fs::temp_directory_path() / ("qm_warming_" + std::to_string(std::random_device{}()));
    WriteWarmingBorehole(folder);
    const DataSet set = ReadDataSet(folder);
    const SensorTable table = ReadSensorTable(folder);
    fs::remove_all(folder);
    ASSERT_EQ(set.issueCount, 0u);

    const Summary all = Summarize(set, table, PeriodOf(set, {}, {}));
    EXPECT_EQ(all.exceeded, 1u);
    const SensorSummary& warm = all.sensors.at(0);
    ASSERT_TRUE(warm.exceedance);
    EXPECT_EQ(warm.exceedance->first, *DateTime::FromDate(2023, 8, 1));
    EXPECT_EQ(warm.exceedance->last, *DateTime::FromDate(2023, 8, 1) +
                                         DateTime::FromMilliseconds(19 * DateTime::kMsPerHour));
    EXPECT_EQ(warm.exceedance->values, kWarmHours);
    EXPECT_DOUBLE_EQ(warm.exceedance->hours, 20.0);
    // The spike of +25 °C is flagged and neither exceeds nor sets the margin.
    EXPECT_DOUBLE_EQ(warm.exceedance->maxC, 6.0);
    EXPECT_DOUBLE_EQ(*warm.marginC, -1.0);
    EXPECT_FALSE(all.sensors[1].exceedance);
    EXPECT_GT(*all.sensors[1].marginC, 0.0);
    EXPECT_FALSE(all.sensors[2].limitC);
    EXPECT_FALSE(all.sensors[2].marginC);
    EXPECT_EQ(all.sensors[0].flags, kSpikes);
    EXPECT_EQ(all.sensors[1].flags | all.sensors[2].flags, 0u);
    for (const std::size_t s : {1u, 2u}) {
        ASSERT_TRUE(all.sensors[s].trendCPerDecade) << s;
        EXPECT_NEAR(*all.sensors[s].trendCPerDecade, kWarmingPerDecade, 0.05) << s;
    }
    const std::string json = SummaryJson(all);
    EXPECT_NE(json.find("\"limitC\": 5, \"marginC\": -1, \"exceedance\": {\"firstTime\": "
                        "\"2023-08-01T00:00\", \"lastTime\": \"2023-08-01T19:00\", \"hours\": 20, "
                        "\"maxC\": 6}, \"trendCPerDecade\": "),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"exceeded\": 1}"), std::string::npos) << json;

    // A year holds too few months for a trend, and no exceedance.
    const Summary year =
        Summarize(set, table,
                  PeriodOf(set, DateTime::FromDate(2022, 1, 1), DateTime::FromDate(2022, 12, 31)));
    EXPECT_EQ(year.exceeded, 0u);
    EXPECT_FALSE(year.sensors[0].trendCPerDecade);
    EXPECT_NE(SummaryJson(year).find("\"exceedance\": null, \"trendCPerDecade\": null"),
              std::string::npos);
}

}  // namespace
}  // namespace qm::test
