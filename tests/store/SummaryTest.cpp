// Health flags and the borehole summary over small hand-made data sets, and over a year of a
// string of eleven sensors where one is dead, one stuck and one spikes three times.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "store/DataSet.h"
#include "store/Health.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"

namespace qm::test {
namespace {

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
        std::vector<std::int32_t> s2 = Ramp(60, 300);
        for (std::size_t i = 10; i < 10 + run; ++i) s2[i] = 150;
        return Hourly(Rows({Ramp(60), s2, std::vector<std::int32_t>(60, 500)}));
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
              "{\"measurements\": 2, \"sensors\": ["
              "{\"sensor\": 1, \"depthMetres\": 0.5, \"label\": \"top \\\"A\\\"\", \"count\": 2, "
              "\"completeness\": 1, \"min\": -0.25, \"max\": 1.5, \"mean\": 0.625, \"flags\": []}, "
              "{\"sensor\": 2, \"depthMetres\": null, \"label\": \"\", \"count\": 0, "
              "\"completeness\": 0, \"min\": null, \"max\": null, \"mean\": null, "
              "\"flags\": [\"dead\"]}], "
              "\"activeLayerMetres\": null, \"zeroAmplitudeMetres\": null}");
}

// A year, hourly, of eleven sensors down to 12 m in ground of mean -3 °C whose yearly swing of
// 15 °C at the surface dies out with depth (damping depth 2 m; the daily one of 3 °C, 0.15 m): the
// maximum reaches 0 °C at 2 ln 5 = 3.2 m, the range falls to 0.1 °C at 2 ln 300 = 11.4 m. Sensor 4
// (2 m) is stuck at -1.5 °C, sensor 9 (8 m) dead, sensor 2 (0.5 m) spikes to 40 °C three times, and
// sensor 7 misses every tenth reading.
class FailingYear : public ::testing::Test {
protected:
    static constexpr double kDepths[] = {0.0, 0.5, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0, 12.0};
    static constexpr std::size_t kHours = 365 * 24;

    static std::int32_t Ground(double depth, std::size_t hour) {
        const double phase = 2 * std::numbers::pi * static_cast<double>(hour) / kHours;
        const double daily = 2 * std::numbers::pi * static_cast<double>(hour % 24) / 24;
        const double t = -3.0 + 15.0 * std::exp(-depth / 2.0) * std::sin(phase - depth / 2.0) +
                         3.0 * std::exp(-depth / 0.15) * std::sin(daily - depth / 0.15);
        return static_cast<std::int32_t>(std::lround(t * 100));
    }

    void SetUp() override {
        std::vector<std::vector<std::int32_t>> rows(kHours);
        for (std::size_t h = 0; h < kHours; ++h)
            for (std::size_t s = 0; s < 11; ++s) rows[h].push_back(Ground(kDepths[s], h));
        for (auto& r : rows) {
            r[3] = -150;
            r[8] = M;
        }
        for (const std::size_t h : {1000, 3000, 5000}) rows[h][1] = 4000;
        for (std::size_t h = 0; h < kHours; h += 10) rows[h][6] = M;
        set = Hourly(rows);
        std::string text = "sensor,depth_m,label\n";
        for (std::size_t s = 0; s < 11; ++s)
            text += std::to_string(s + 1) + "," + std::to_string(kDepths[s]) + ",\n";
        table = ParseSensorTable(text);
        ASSERT_TRUE(table.issues.empty());
        summary = Summarize(set, table, PeriodOf(set, {}, {}));
    }
    DataSet set;
    SensorTable table;
    Summary summary;
};

TEST_F(FailingYear, EachFailingSensorCarriesItsFlagAndNoOtherDoes) {
    ASSERT_EQ(summary.sensors.size(), 11u);
    for (const SensorSummary& s : summary.sensors) {
        const unsigned expected = s.sensor == 4   ? kStuck
                                  : s.sensor == 9 ? kDead
                                  : s.sensor == 2 ? kSpikes
                                                  : 0u;
        EXPECT_EQ(s.flags, expected) << "sensor " << s.sensor;
    }
    const Health h = AssessHealth(set, PeriodOf(set, {}, {}), table, 11);
    EXPECT_EQ(std::count(h.valueFlags.begin(), h.valueFlags.end(), ValueFlag::Spike), 3);
}

TEST_F(FailingYear, FiguresLeaveOutSpikesAndCountWhatIsMissing) {
    const SensorSummary& spiky = summary.sensors[1];
    EXPECT_EQ(spiky.count, kHours);
    std::int32_t highest = -10000;
    for (std::size_t h = 0; h < kHours; ++h)
        if (h != 1000 && h != 3000 && h != 5000) highest = std::max(highest, Ground(0.5, h));
    EXPECT_DOUBLE_EQ(*spiky.max, highest / 100.0);
    EXPECT_LT(*spiky.max, 15.0);
    EXPECT_DOUBLE_EQ(summary.sensors[6].completeness, 1.0 - 876.0 / kHours);
    EXPECT_NEAR(*summary.sensors[10].mean, -3.0, 0.01);
    EXPECT_EQ(summary.measurements, kHours);
}

TEST_F(FailingYear, ActiveLayerAndZeroAmplitudeSkipTheStuckAndTheDead) {
    // Were the stuck sensor (max -1.5 °C at 2 m) used, the thaw would end between 1 and 2 m.
    ASSERT_TRUE(summary.activeLayerMetres);
    EXPECT_GT(*summary.activeLayerMetres, 3.0);
    EXPECT_LT(*summary.activeLayerMetres, 4.0);
    EXPECT_NEAR(*summary.activeLayerMetres, 3.2, 0.2);
    ASSERT_TRUE(summary.zeroAmplitudeMetres);
    EXPECT_GT(*summary.zeroAmplitudeMetres, 10.0);
    EXPECT_LT(*summary.zeroAmplitudeMetres, 12.0);
    // Without depths there is neither.
    const Summary noDepths = Summarize(set, {}, PeriodOf(set, {}, {}));
    EXPECT_FALSE(noDepths.activeLayerMetres);
    EXPECT_FALSE(noDepths.zeroAmplitudeMetres);
    EXPECT_EQ(noDepths.sensors[3].flags, kStuck);
}

}  // namespace
}  // namespace qm::test
