// Health flags and the borehole summary over small hand-made data sets, and over a year of a
// string of eleven sensors where one is dead, one stuck and one spikes three times.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <utility>

#include "store/DataSet.h"
#include "store/Health.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"
#include "tests/support/FailingYear.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t M = kMissingValue;

DateTime Day(int y, int m, int d) {
    return *DateTime::FromDate(y, m, d);
}

DateTime Hours(std::int64_t n) {
    return DateTime::FromMilliseconds(n * DateTime::kMsPerHour);
}

// One measurement an hour from `start`, one row of hundredths each.
DataSet Hourly(const std::vector<std::vector<std::int32_t>>& rows,
               DateTime start = Day(2024, 1, 1)) {
    DataSet set;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Measurement m;
        m.time = start + Hours(static_cast<std::int64_t>(i));
        m.first = static_cast<std::uint32_t>(set.values.size());
        m.count = static_cast<std::uint32_t>(rows[i].size());
        set.values.insert(set.values.end(), rows[i].begin(), rows[i].end());
        set.sensorCount = std::max(set.sensorCount, rows[i].size());
        set.measurements.push_back(m);
    }
    return set;
}

// The rows of sensors given as columns.
std::vector<std::vector<std::int32_t>> Rows(const std::vector<std::vector<std::int32_t>>& columns) {
    std::vector<std::vector<std::int32_t>> rows(columns.front().size());
    for (const auto& c : columns)
        for (std::size_t i = 0; i < c.size(); ++i) rows[i].push_back(c[i]);
    return rows;
}

std::vector<std::int32_t> Ramp(std::size_t n, std::int32_t from = 0, std::int32_t step = 10) {
    std::vector<std::int32_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = from + static_cast<std::int32_t>(i) * step;
    return v;
}

unsigned FlagsOf(const DataSet& set, std::size_t sensor, const SensorTable& table = {}) {
    return AssessHealth(set, PeriodOf(set, {}, {}), table, set.sensorCount)
        .sensors[sensor - 1]
        .flags;
}

std::vector<std::size_t> SpikesOf(const std::vector<std::int32_t>& series) {
    const DataSet set = Hourly(Rows({series}));
    const Health h = AssessHealth(set, PeriodOf(set, {}, {}), {}, 1);
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < series.size(); ++i)
        if (h.FlagOf(i, 0) == ValueFlag::Spike) at.push_back(i);
    return at;
}

TEST(Period, BothDaysAreIncludedWhole) {
    // From 30 Dec 22:00 for 4 days, hourly.
    const DataSet set = Hourly(Rows({Ramp(96)}), Day(2023, 12, 30) + Hours(22));
    const Period p = PeriodOf(set, Day(2023, 12, 31), Day(2024, 1, 1));
    EXPECT_EQ(p.first, 2u);    // 31 Dec 00:00
    EXPECT_EQ(p.Size(), 48u);  // to 1 Jan 23:00
    EXPECT_EQ(PeriodOf(set, {}, Day(2023, 12, 30)).Size(), 2u);
    EXPECT_EQ(PeriodOf(set, Day(2024, 2, 1), {}).Size(), 0u);
    EXPECT_EQ(PeriodOf(set, {}, Day(2020, 1, 1)).Size(), 0u);
}

TEST(StuckSensor, OneValueThirtyReadingsWhileANeighbourChanges) {
    const auto stuckFor = [](std::size_t run) {
        std::vector<std::int32_t> s2 = Ramp(50, 300);
        for (std::size_t i = 10; i < 10 + run; ++i) s2[i] = 150;
        return Hourly(Rows({Ramp(50), s2, std::vector<std::int32_t>(50, 500)}));
    };
    EXPECT_EQ(FlagsOf(stuckFor(30), 2), kStuck);
    EXPECT_EQ(FlagsOf(stuckFor(29), 2), 0u);
    // The deep sensor reads one value all along, but so does its only neighbour by number
    // (sensor 2 is stuck only for part of the time, and the deep one is checked over its run).
    EXPECT_EQ(FlagsOf(Hourly(Rows({Ramp(60), std::vector<std::int32_t>(60, 400),
                                   std::vector<std::int32_t>(60, 400)})),
                      3),
              0u);
}

TEST(StuckSensor, SteadyGroundAndBrokenRunsAreNotStuck) {
    const std::vector<std::int32_t> steady(60, -120);
    EXPECT_EQ(FlagsOf(Hourly(Rows({steady, steady, steady})), 2), 0u);
    // A missing value breaks the run: 25 + gap + 34... but the second run is long enough.
    std::vector<std::int32_t> s2(60, 150);
    s2[25] = M;
    EXPECT_EQ(FlagsOf(Hourly(Rows({Ramp(60), s2})), 2), kStuck);
    std::vector<std::int32_t> broken(50, 150);
    broken[25] = M;
    EXPECT_EQ(FlagsOf(Hourly(Rows({Ramp(50), broken})), 2), 0u);
}

TEST(StuckSensor, NeighboursAreFoundByDepthWhenTheTableGivesThem) {
    // Sensor 3 sits between 1 and 2 in depth; by number its only neighbour is 2.
    const DataSet set = Hourly(
        Rows({Ramp(40), std::vector<std::int32_t>(40, 10), std::vector<std::int32_t>(40, 90)}));
    EXPECT_EQ(FlagsOf(set, 3), 0u);
    const SensorTable table = ParseSensorTable("sensor,depth_m,label\n1,0.0,\n2,10.0,\n3,0.5,\n");
    EXPECT_EQ(NeighboursOf(2, 3, table), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(NeighboursOf(1, 3, table), (std::vector<std::size_t>{2}));
    EXPECT_EQ(FlagsOf(set, 3, table), kStuck);
    // Without depths, by number.
    EXPECT_EQ(NeighboursOf(0, 3, {}), (std::vector<std::size_t>{1}));
    EXPECT_EQ(NeighboursOf(1, 3, {}), (std::vector<std::size_t>{0, 2}));
}

TEST(Spikes, FarFromTheMedianOfTheSevenAround) {
    std::vector<std::int32_t> v = Ramp(30, 0, 20);
    // The median of the seven around reading 15 is 3.20 °C.
    v[15] = 320 + 501;
    v[0] = 2000;  // at the start the window moves inwards
    EXPECT_EQ(SpikesOf(v), (std::vector<std::size_t>{0, 15}));
    v[15] = 320 + 500;  // 5 °C off: no spike
    EXPECT_EQ(SpikesOf(v), (std::vector<std::size_t>{0}));
}

TEST(Spikes, ABurstOfThreeIsCaughtAndAStepIsNot) {
    std::vector<std::int32_t> burst(20, 100);
    burst[8] = burst[9] = burst[10] = 3700;
    EXPECT_EQ(SpikesOf(burst), (std::vector<std::size_t>{8, 9, 10}));
    std::vector<std::int32_t> step(20, 0);
    for (std::size_t i = 10; i < 20; ++i) step[i] = 1500;
    EXPECT_TRUE(SpikesOf(step).empty());
    // Missing readings are stepped over; too few readings judge nothing.
    EXPECT_EQ(SpikesOf({0, M, 0, M, 0, 3000, M, 0, 0}), (std::vector<std::size_t>{5}));
    EXPECT_TRUE(SpikesOf({0, 3000, 0}).empty());
}

TEST(Summary, FlaggedValuesAreCountedButLeftOutOfTheFigures) {
    // Both ends of the range are in it; beyond them a value is flagged.
    const DataSet set = Hourly(Rows({{5900, 6001, 6000, 9000, 5950, M, 5980, 5990},
                                     {-9000, -6000, -6000, -5990, -6001, M, M, M},
                                     {M, M, M, M, M, M, M, 7000}}));
    const SensorTable table = ParseSensorTable("sensor,depth_m,label\n4,1.0,deep\n");
    const Summary s = Summarize(set, table, PeriodOf(set, {}, {}));
    EXPECT_EQ(s.measurements, 8u);
    ASSERT_EQ(s.sensors.size(), 4u);
    const SensorSummary& a = s.sensors[0];
    EXPECT_EQ(a.count, 7u);
    EXPECT_DOUBLE_EQ(a.completeness, 7.0 / 8.0);
    EXPECT_EQ(a.flags, kRange);
    EXPECT_DOUBLE_EQ(*a.min, 59.0);
    EXPECT_DOUBLE_EQ(*a.max, 60.0);
    EXPECT_DOUBLE_EQ(*a.mean, 59.64);
    const SensorSummary& b = s.sensors[1];
    EXPECT_EQ(b.flags, kRange);
    EXPECT_DOUBLE_EQ(*b.min, -60.0);
    EXPECT_DOUBLE_EQ(*b.max, -59.9);
    // Every value flagged: counted, but no figures.
    const SensorSummary& c = s.sensors[2];
    EXPECT_EQ(c.count, 1u);
    EXPECT_EQ(c.flags, kRange);
    EXPECT_FALSE(c.min || c.max || c.mean);
    // In the table only: no value at all.
    const SensorSummary& d = s.sensors[3];
    EXPECT_EQ(d.flags, kDead);
    EXPECT_EQ(d.label, "deep");
    EXPECT_EQ(d.count, 0u);
    EXPECT_FALSE(d.mean);
    EXPECT_FALSE(s.activeLayerMetres);
}

TEST(Summary, CrossingDepthIsInterpolatedBetweenTheFirstPairThatCrosses) {
    const std::vector<DepthValue> maxima = {
        {0.0, 5.0}, {1.0, 1.0}, {2.0, -1.0}, {3.0, 2.0}, {4.0, -2.0}};
    EXPECT_DOUBLE_EQ(*CrossingDepth(maxima, 0.0), 1.5);
    EXPECT_DOUBLE_EQ(*CrossingDepth(std::vector<DepthValue>{{0.5, 2.0}, {1.5, 0.0}}, 0.0), 1.5);
    EXPECT_DOUBLE_EQ(*CrossingDepth(std::vector<DepthValue>{{2.0, 0.3}, {4.0, 0.1}}, 0.1), 4.0);
    // Frozen from the top, thawed all along, or one sensor: no crossing.
    EXPECT_FALSE(CrossingDepth(std::vector<DepthValue>{{0.0, 0.0}, {1.0, -1.0}}, 0.0));
    EXPECT_FALSE(CrossingDepth(std::vector<DepthValue>{{0.0, 3.0}, {1.0, 1.0}}, 0.0));
    EXPECT_FALSE(CrossingDepth(std::vector<DepthValue>{{0.0, 3.0}}, 0.0));
}

TEST(Summary, JsonHoldsEveryKeyAndNullForWhatIsUnknown) {
    const DataSet set = Hourly(Rows({{150, -25}, {M, M}}));
    const SensorTable table = ParseSensorTable("sensor,depth_m,label\n1,0.5,\"top \"\"A\"\"\"\n");
    EXPECT_EQ(SummaryJson(Summarize(set, table, PeriodOf(set, {}, {}))),
              "{\"measurements\": 2, \"expectedMeasurements\": 2, \"gaps\": [], \"sensors\": ["
              "{\"sensor\": 1, \"depthMetres\": 0.5, \"label\": \"top \\\"A\\\"\", \"count\": 2, "
              "\"completeness\": 1, \"min\": -0.25, \"max\": 1.5, \"mean\": 0.625, \"flags\": [], "
              "\"limitC\": null, \"marginC\": null, \"exceedance\": null, "
              "\"trendCPerDecade\": null}, "
              "{\"sensor\": 2, \"depthMetres\": null, \"label\": \"\", \"count\": 0, "
              "\"completeness\": 0, \"min\": null, \"max\": null, \"mean\": null, "
              "\"flags\": [\"dead\"], \"limitC\": null, \"marginC\": null, "
              "\"exceedance\": null, \"trendCPerDecade\": null}], "
              "\"activeLayerMetres\": null, \"zeroAmplitudeMetres\": null, \"warnings\": [], "
              "\"exceeded\": 0}");
}

TEST(Summary, CompletenessIsCountedAgainstTheScheduleAndItsGapsListed) {
    // Three days hourly, with 20 hours lost on the first night.
    DataSet set = Hourly(Rows({Ramp(72)}));
    set.measurements.erase(set.measurements.begin() + 10, set.measurements.begin() + 30);
    set.measurements.pop_back();
    const Summary days = Summarize(set, {}, PeriodOf(set, Day(2024, 1, 1), Day(2024, 1, 3)));
    EXPECT_EQ(days.measurements, 51u);
    EXPECT_DOUBLE_EQ(days.sensors[0].completeness, 51.0 / 72.0) << "00:00 to 24:00, hourly";
    EXPECT_NE(SummaryJson(days).find("\"measurements\": 51, \"expectedMeasurements\": 72, "
                                     "\"gaps\": [{\"from\": \"2024-01-01T09:00\", "
                                     "\"to\": \"2024-01-02T06:00\", \"missing\": 20}]"),
              std::string::npos);
    // Without days asked for, from the first measurement to the last.
    EXPECT_DOUBLE_EQ(Summarize(set, {}, PeriodOf(set, {}, {})).sensors[0].completeness,
                     51.0 / 71.0);
}

TEST(StuckSensor, TheZeroCurtainIsNotStuckAndAStuckStretchCostsOnlyItsValues) {
    std::vector<std::int32_t> curtain = Ramp(480, -300, 1);
    std::fill(curtain.begin(), curtain.begin() + 240, -10);  // ten days at -0.10 °C
    std::vector<std::int32_t> stretch = Ramp(480, -2000, 1);
    std::fill(stretch.begin() + 100, stretch.begin() + 140, 150);  // 40 of 480 readings held
    const DataSet set = Hourly(Rows({Ramp(480), curtain, stretch, Ramp(480, 300)}));
    const Period all = PeriodOf(set, {}, {});
    const Health h = AssessHealth(set, all, {}, 4);
    EXPECT_EQ(h.sensors[1].flags, 0u);
    EXPECT_EQ(h.FlagOf(0, 1), ValueFlag::None);
    EXPECT_EQ(h.sensors[2].flags, 0u);
    EXPECT_NE(h.FlagOf(120, 2), ValueFlag::None);
    EXPECT_EQ(h.FlagOf(99, 2), ValueFlag::None);
    EXPECT_DOUBLE_EQ(*Summarize(set, {}, all).sensors[2].max, -15.21) << "held values left out";
}

TEST(Summary, DepthsAreCheckedAndWideInterpolationIsWarnedOf) {
    const SensorTable bad = ParseSensorTable("sensor,depth_m,label\n1,1e2,\n2,inf,\n3,-0.5,air\n");
    ASSERT_EQ(bad.issues.size(), 2u);
    EXPECT_EQ(bad.issues[0].problem, SensorTableProblem::BadDepth);
    EXPECT_EQ(bad.sensors.size(), 1u);
    // The sensor in the air is warm but above the ground; the thaw reaches between 1 m and 10 m.
    const SensorTable table =
        ParseSensorTable("sensor,depth_m,label\n1,0,\n2,1,\n3,-0.5,air\n4,10,\n");
    const DataSet set = Hourly(
        Rows({Ramp(10, -200), Ramp(10, 100), Ramp(10, 200), std::vector<std::int32_t>(10, -100)}));
    const Summary s = Summarize(set, table, PeriodOf(set, {}, {}));
    EXPECT_DOUBLE_EQ(*s.activeLayerMetres, 6.897);
    EXPECT_DOUBLE_EQ(*s.zeroAmplitudeMetres, 9.0);
    const std::string json = SummaryJson(s);
    for (const char* warning :
         {"\"sensors.csv: the depths do not grow with the sensor numbers: sensor 2 at 1 m, sensor "
          "3 "
          "at -0.5 m\"",
          "\"the active layer is interpolated between sensors 2 (1 m) and 4 (10 m), more than 5 m "
          "apart\"",
          "\"the depth of zero annual amplitude is interpolated between sensors 2 (1 m) and 4 (10 "
          "m), more than 5 m apart\""})
        EXPECT_NE(json.find(warning), std::string::npos) << warning;
}

// The year of tests/support/FailingYear.h: eleven sensors, one dead, one stuck for weeks, one
// that spikes three times, one that misses every tenth reading and one with a reading out of range.
class AYearOfFailingSensors : public ::testing::Test {
protected:
    void SetUp() override {
        summary = Summarize(year.set, year.table, PeriodOf(year.set, {}, {}));
        ASSERT_EQ(summary.sensors.size(), kFailingYearSensors);
    }
    const SensorSummary& Of(std::size_t sensor) const { return summary.sensors[sensor - 1]; }
    // The ground's extremes at a sensor's depth over the year: what a sound sensor reads.
    static std::pair<std::int32_t, std::int32_t> GroundRange(std::size_t sensor) {
        std::int32_t lo = 100000;
        std::int32_t hi = -100000;
        for (std::size_t h = 0; h < kFailingYearHours; ++h) {
            const std::int32_t v = FailingYearGround(kFailingYearDepths[sensor - 1], h);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        return {lo, hi};
    }

    const FailingYear year = MakeFailingYear();
    Summary summary;
};

TEST_F(AYearOfFailingSensors, EachFailingSensorCarriesItsFlagAndNoOtherDoes) {
    for (const SensorSummary& s : summary.sensors) {
        const unsigned expected = s.sensor == kStuckSensor   ? kStuck
                                  : s.sensor == kDeadSensor  ? kDead
                                  : s.sensor == kSpikySensor ? kSpikes
                                  : s.sensor == kRangeSensor ? kRange
                                                             : 0u;
        EXPECT_EQ(s.flags, expected) << "sensor " << s.sensor;
    }
    // The values flagged are the ones planted, and only those.
    const Health h =
        AssessHealth(year.set, PeriodOf(year.set, {}, {}), year.table, kFailingYearSensors);
    std::vector<std::pair<std::size_t, std::size_t>> spikes;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (std::size_t i = 0; i < kFailingYearHours; ++i)
        for (std::size_t s = 0; s < kFailingYearSensors; ++s) {
            if (h.FlagOf(i, s) == ValueFlag::Spike) spikes.emplace_back(i, s + 1);
            if (h.FlagOf(i, s) == ValueFlag::Range) ranges.emplace_back(i, s + 1);
        }
    EXPECT_EQ(spikes,
              (std::vector<std::pair<std::size_t, std::size_t>>{{kSpikeHours[0], kSpikySensor},
                                                                {kSpikeHours[1], kSpikySensor},
                                                                {kSpikeHours[2], kSpikySensor}}));
    EXPECT_EQ(ranges,
              (std::vector<std::pair<std::size_t, std::size_t>>{{kRangeHour, kRangeSensor}}));
}

TEST_F(AYearOfFailingSensors, FlagsFollowThePeriod) {
    // January and February: before the sensor stuck and the reading out of range; one spike.
    const Period winter = PeriodOf(year.set, Day(2024, 1, 1), Day(2024, 2, 29));
    ASSERT_EQ(winter.Size(), 60u * 24u);
    const Summary s = Summarize(year.set, year.table, winter);
    EXPECT_EQ(s.sensors[kStuckSensor - 1].flags, 0u);
    EXPECT_EQ(s.sensors[kRangeSensor - 1].flags, 0u);
    EXPECT_EQ(s.sensors[kSpikySensor - 1].flags, kSpikes);
    EXPECT_EQ(s.sensors[kDeadSensor - 1].flags, kDead);
    // The stuck weeks alone: still stuck, while its neighbours warm.
    const Summary weeks =
        Summarize(year.set, year.table, PeriodOf(year.set, Day(2024, 4, 1), Day(2024, 6, 30)));
    EXPECT_EQ(weeks.sensors[kStuckSensor - 1].flags, kStuck);
}

TEST_F(AYearOfFailingSensors, FiguresLeaveOutFlaggedValuesAndCountWhatIsMissing) {
    EXPECT_EQ(summary.measurements, kFailingYearHours);
    // The spikes are counted but are no extremes: the ground's own are.
    const SensorSummary& spiky = Of(kSpikySensor);
    EXPECT_EQ(spiky.count, kFailingYearHours);
    EXPECT_DOUBLE_EQ(spiky.completeness, 1.0);
    const auto [lo, hi] = GroundRange(kSpikySensor);
    EXPECT_DOUBLE_EQ(*spiky.max, hi / 100.0);
    EXPECT_DOUBLE_EQ(*spiky.min, lo / 100.0);
    EXPECT_LT(*spiky.max, 15.0);
    EXPECT_GT(*spiky.min, -15.0);
    // 85 °C is counted and left out likewise.
    const SensorSummary& ranged = Of(kRangeSensor);
    EXPECT_EQ(ranged.count, kFailingYearHours);
    EXPECT_DOUBLE_EQ(*ranged.max, GroundRange(kRangeSensor).second / 100.0);
    // Every tenth reading missing: 879 of 8,784.
    EXPECT_DOUBLE_EQ(Of(kGappySensor).completeness, 1.0 - 879.0 / kFailingYearHours);
    const SensorSummary& dead = Of(kDeadSensor);
    EXPECT_EQ(dead.count, 0u);
    EXPECT_DOUBLE_EQ(dead.completeness, 0.0);
    EXPECT_FALSE(dead.min || dead.max || dead.mean);
    // The deepest sensor's mean is the ground's: -3 °C.
    EXPECT_NEAR(*Of(11).mean, -3.0, 0.01);
    EXPECT_EQ(Of(11).label, "S11");
}

TEST_F(AYearOfFailingSensors, ActiveLayerAndZeroAmplitudeSkipTheStuckTheDeadAndTheFlagged) {
    // Where the ground's crossings lie between the sensors, to 0.05 m.
    ASSERT_TRUE(summary.activeLayerMetres);
    EXPECT_NEAR(*summary.activeLayerMetres, kFailingYearActiveLayer, 0.05);
    ASSERT_TRUE(summary.zeroAmplitudeMetres);
    EXPECT_NEAR(*summary.zeroAmplitudeMetres, kFailingYearZeroAmplitude, 0.05);
    // Were the stuck sensor (2 m, below 0 °C outside its stuck weeks) taken, the thaw would end
    // above 2 m.
    std::vector<DepthValue> maxima;
    for (const SensorSummary& s : summary.sensors)
        if (s.max && s.depthMetres && s.sensor != kDeadSensor)
            maxima.push_back({*s.depthMetres, *s.max});
    EXPECT_LT(*CrossingDepth(maxima, kThawDegrees), 2.0);
    // Without depths there is neither, and the flags stand by number.
    const Summary noDepths = Summarize(year.set, {}, PeriodOf(year.set, {}, {}));
    EXPECT_FALSE(noDepths.activeLayerMetres);
    EXPECT_FALSE(noDepths.zeroAmplitudeMetres);
    EXPECT_EQ(noDepths.sensors[kStuckSensor - 1].flags, kStuck);
}

TEST(FailingYearFolder, ReadsBackAsTheDataSetItWasWrittenFrom) {
    const fs::path folder =
        fs::temp_directory_path() / ("qm_failing_year_" + std::to_string(std::random_device{}()));
    WriteFailingYear(folder);
    const DataSet read = ReadDataSet(folder);
    const SensorTable table = ReadSensorTable(folder);
    std::error_code ec;
    fs::remove_all(folder, ec);
    EXPECT_TRUE(read.issues.empty()) << IssueText(read.issues.front(), Language::English);
    EXPECT_TRUE(table.issues.empty());
    EXPECT_EQ(read.files.size(), 12u);
    const FailingYear year = MakeFailingYear();
    ASSERT_EQ(read.measurements.size(), year.set.measurements.size());
    EXPECT_EQ(read.values, year.set.values);
    EXPECT_EQ(read.measurements.back().time, year.set.measurements.back().time);
    EXPECT_EQ(table.sensors, year.table.sensors);
}

}  // namespace
}  // namespace qm::test
