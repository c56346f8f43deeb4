// The trumpet curve and the years overlaid by day of year, over two years (2023, and 2024 a leap
// year with a fifth more swing) of a borehole whose sensors are numbered out of depth order, with a
// dead sensor, a stuck one, a spike and a sensor without a depth; and the tabs of the viewer.
#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <QComboBox>
#include <QTabWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "store/Health.h"
#include "store/Summary.h"
#include "store/ValueLines.h"
#include "tests/qt/QtTestApp.h"
#include "ui/viewer/DataViewer.h"
#include "ui/viewer/TrumpetPlot.h"
#include "ui/viewer/YearsPlot.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

DateTime At(int year, int month, int day, int hour = 0) {
    return *DateTime::FromCivil({year, month, day, hour, 0, 0, 0});
}

// Sensor number -> depth; sensor 3 is stuck, 8 dead, 9 has no depth.
constexpr double kDepths[] = {3.0, 0.5, 1.5, 1.0, 12.0, 2.0, 8.0, 5.0, -1};
constexpr std::size_t kSensors = std::size(kDepths);
constexpr std::size_t kStuckSensor = 2;  // 0-based
constexpr std::size_t kDeadSensor = 7;

SensorTable Table(bool depths) {
    SensorTable table;
    for (std::size_t s = 0; s < kSensors; ++s) {
        SensorInfo info{s + 1, std::nullopt, {}};
        if (depths && kDepths[s] >= 0) info.depthMetres = kDepths[s];
        if (s == 1) info.label = "T0.5";
        table.sensors.push_back(info);
    }
    return table;
}

// Every six hours, a yearly wave about −2 °C dying out with depth (a fifth larger in 2024); one
// spike of 30 °C on the shallowest sensor in 2023.
DataSet Borehole() {
    DataSet set;
    set.sensorCount = kSensors;
    for (DateTime t = At(2023, 1, 1); t < At(2025, 1, 1);
         t = t + DateTime::FromMilliseconds(6 * DateTime::kMsPerHour)) {
        Measurement m;
        m.time = t;
        m.first = static_cast<std::uint32_t>(set.values.size());
        m.count = kSensors;
        const double day = YearsPlot::DayOfYear(t);
        const bool later = t.ToCivil().year == 2024;
        for (std::size_t s = 0; s < kSensors; ++s) {
            const double depth = kDepths[s] < 0 ? 0.7 : kDepths[s];
            const double wave = (later ? 12.0 : 10.0) * std::exp(-depth / 1.5) *
                                std::sin(2 * std::numbers::pi * (day - 110) / 365.0);
            const double v = -2.0 + wave;
            std::int32_t value = static_cast<std::int32_t>(std::lround(v * 100));
            if (s == kStuckSensor) value = 500;
            if (s == kDeadSensor) value = kMissingValue;
            if (s == 1 && t == At(2023, 6, 1, 12)) value = 3000;
            set.values.push_back(value);
        }
        set.measurements.push_back(m);
    }
    return set;
}

Summary SummaryOf(const DataSet& set, const SensorTable& table, std::optional<int> year) {
    Period period{0, set.measurements.size()};
    if (year) period = PeriodOf(set, At(*year, 1, 1), At(*year, 12, 31));
    return Summarize(set, table, period);
}

std::vector<std::pair<double, double>> Points(const QCPCurve* curve) {
    std::vector<std::pair<double, double>> out;  // (depth or number, temperature)
    for (auto it = curve->data()->constBegin(); it != curve->data()->constEnd(); ++it)
        out.emplace_back(it->value, it->key);
    return out;
}

// The curve's points are the summary's values of the sensors to be trusted, going down.
void ExpectCurvesHold(const TrumpetPlot& plot, const Summary& summary, bool byDepth) {
    std::vector<const SensorSummary*> expected;
    for (const SensorSummary& s : summary.sensors)
        if (!(s.flags & (kDead | kStuck)) && s.mean && (!byDepth || s.depthMetres))
            expected.push_back(&s);
    const auto where = [byDepth](const SensorSummary* s) {
        return byDepth ? *s->depthMetres : static_cast<double>(s->sensor);
    };
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const auto* a, const auto* b) { return where(a) < where(b); });
    const auto lo = Points(plot.MinimumCurve());
    const auto mid = Points(plot.MeanCurve());
    const auto hi = Points(plot.MaximumCurve());
    ASSERT_EQ(lo.size(), expected.size());
    ASSERT_EQ(mid.size(), expected.size());
    ASSERT_EQ(hi.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(expected[k]->sensor);
        EXPECT_DOUBLE_EQ(lo[k].first, where(expected[k]));
        EXPECT_DOUBLE_EQ(mid[k].first, where(expected[k]));
        EXPECT_DOUBLE_EQ(hi[k].first, where(expected[k]));
        EXPECT_DOUBLE_EQ(lo[k].second, *expected[k]->min);
        EXPECT_DOUBLE_EQ(mid[k].second, *expected[k]->mean);
        EXPECT_DOUBLE_EQ(hi[k].second, *expected[k]->max);
    }
}

class TrumpetTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    const DataSet set = Borehole();
};

TEST_F(TrumpetTest, CurvesHoldTheSummaryDownTheDepthsWithoutFailedSensorsOrSpikes) {
    const SensorTable table = Table(true);
    const Summary whole = SummaryOf(set, table, std::nullopt);
    // What the data is made to show, or the test would prove nothing.
    ASSERT_TRUE(whole.sensors[kStuckSensor].flags & kStuck);
    ASSERT_TRUE(whole.sensors[kDeadSensor].flags & kDead);
    ASSERT_TRUE(whole.sensors[1].flags & kSpikes);
    ASSERT_TRUE(whole.activeLayerMetres);
    ASSERT_TRUE(whole.zeroAmplitudeMetres);

    TrumpetPlot plot(Language::Russian);
    plot.resize(400, 600);
    plot.SetData(set, table);
    EXPECT_TRUE(plot.ByDepth());
    EXPECT_FALSE(plot.ChosenYear());
    ExpectCurvesHold(plot, whole, true);
    // Six sensors: not the stuck, the dead or the one without a depth.
    ASSERT_EQ(plot.MaximumCurve()->dataCount(), 6);
    // Down the string: the first point is the shallowest sensor, whose spike is left out.
    const auto hi = Points(plot.MaximumCurve());
    EXPECT_DOUBLE_EQ(hi.front().first, 0.5);
    EXPECT_LT(hi.front().second, 10.0);
    EXPECT_DOUBLE_EQ(hi.back().first, 12.0);
    EXPECT_TRUE(plot.Plot()->yAxis->rangeReversed());
    EXPECT_EQ(plot.Plot()->yAxis->label(), "Глубина, м");
}

TEST_F(TrumpetTest, ActiveLayerAndZeroAmplitudeAreLinesAtTheSummarysDepthsAndZeroIsMarked) {
    const SensorTable table = Table(true);
    TrumpetPlot plot(Language::English);
    plot.SetData(set, table);
    const Summary& shown = plot.Shown();
    ASSERT_TRUE(shown.activeLayerMetres);
    ASSERT_TRUE(shown.zeroAmplitudeMetres);
    // The wave crosses 0 °C between 2 and 3 m and settles between 8 and 12 m.
    EXPECT_GT(*shown.activeLayerMetres, 2.0);
    EXPECT_LT(*shown.activeLayerMetres, 3.0);
    EXPECT_GT(*shown.zeroAmplitudeMetres, 8.0);
    EXPECT_LT(*shown.zeroAmplitudeMetres, 12.0);

    const auto* active = plot.ActiveLayerLine();
    ASSERT_TRUE(active->visible());
    EXPECT_DOUBLE_EQ(active->point1->coords().y(), *shown.activeLayerMetres);
    EXPECT_DOUBLE_EQ(active->point2->coords().y(), *shown.activeLayerMetres);
    EXPECT_NE(active->point1->coords().x(), active->point2->coords().x());
    EXPECT_DOUBLE_EQ(plot.ActiveLayerText()->position->coords().y(), *shown.activeLayerMetres);
    char metres[16];
    std::snprintf(metres, sizeof metres, "%.2f", *shown.activeLayerMetres);
    EXPECT_EQ(plot.ActiveLayerText()->text(), QString("Active layer: %1 m").arg(metres));

    ASSERT_TRUE(plot.ZeroAmplitudeLine()->visible());
    EXPECT_DOUBLE_EQ(plot.ZeroAmplitudeLine()->point1->coords().y(), *shown.zeroAmplitudeMetres);
    EXPECT_TRUE(plot.ZeroAmplitudeText()->text().startsWith("Zero annual amplitude"));

    // 0 °C: a vertical line.
    EXPECT_DOUBLE_EQ(plot.ZeroLine()->point1->coords().x(), 0.0);
    EXPECT_DOUBLE_EQ(plot.ZeroLine()->point2->coords().x(), 0.0);
    EXPECT_NE(plot.ZeroLine()->point1->coords().y(), plot.ZeroLine()->point2->coords().y());

    plot.SetLanguage(Language::Russian);
    EXPECT_TRUE(plot.ActiveLayerText()->text().startsWith("Сезонно-талый слой: "));
    EXPECT_EQ(plot.MeanCurve()->name(), "Среднее");
    plot.SetLanguage(Language::English);
    EXPECT_EQ(plot.MinimumCurve()->name(), "Minimum");
    EXPECT_EQ(plot.MaximumCurve()->name(), "Maximum");
    EXPECT_EQ(plot.YearBox()->itemText(0), "Whole period");
}

TEST_F(TrumpetTest, AYearChosenInTheBoxSummarizesThatYearOnly) {
    const SensorTable table = Table(true);
    TrumpetPlot plot(Language::Russian);
    plot.SetData(set, table);
    ASSERT_EQ(plot.Years(), (std::vector<int>{2023, 2024}));
    ASSERT_EQ(plot.YearBox()->count(), 3);
    EXPECT_EQ(plot.YearBox()->itemText(0), "Весь период");

    plot.YearBox()->setCurrentIndex(plot.YearBox()->findText("2024"));
    EXPECT_EQ(plot.ChosenYear(), 2024);
    const Summary later = SummaryOf(set, table, 2024);
    EXPECT_EQ(plot.Shown().measurements, later.measurements);
    ExpectCurvesHold(plot, later, true);
    const double max2024 = Points(plot.MaximumCurve()).front().second;

    plot.ChooseYear(2023);
    EXPECT_EQ(plot.YearBox()->currentText(), "2023");
    ExpectCurvesHold(plot, SummaryOf(set, table, 2023), true);
    // At 0.5 m the swing of 2024 is a fifth larger.
    EXPECT_NEAR(max2024 - Points(plot.MaximumCurve()).front().second,
                0.2 * 10.0 * std::exp(-0.5 / 1.5), 0.05);

    // A year the data lacks is the whole period; new data without the chosen year too.
    plot.ChooseYear(1999);
    EXPECT_FALSE(plot.ChosenYear());
    EXPECT_EQ(plot.YearBox()->currentIndex(), 0);
    plot.ChooseYear(2024);
    DataSet firstYear = set;
    firstYear.measurements.resize(PeriodOf(set, {}, At(2023, 12, 31)).end);
    plot.SetData(firstYear, table);
    EXPECT_FALSE(plot.ChosenYear());
    EXPECT_EQ(plot.Years(), std::vector<int>{2023});
}

TEST_F(TrumpetTest, WithoutDepthsSensorsAreNumberedAndNoDepthIsMarked) {
    TrumpetPlot plot(Language::English);
    plot.SetData(set, Table(false));
    EXPECT_FALSE(plot.ByDepth());
    ExpectCurvesHold(plot, plot.Shown(), false);
    // By number: the sensor without a depth is drawn, the stuck and the dead ones are not.
    std::vector<double> numbers;
    for (const auto& [number, value] : Points(plot.MeanCurve())) numbers.push_back(number);
    EXPECT_EQ(numbers.front(), 1.0);
    EXPECT_EQ(numbers.back(), 9.0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), kStuckSensor + 1.0), 0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), kDeadSensor + 1.0), 0);
    EXPECT_FALSE(plot.ActiveLayerLine()->visible());
    EXPECT_FALSE(plot.ZeroAmplitudeLine()->visible());
    EXPECT_EQ(plot.Plot()->yAxis->label(), "Sensor");
}

TEST_F(TrumpetTest, NothingToDrawIsSaidNotFatal) {
    TrumpetPlot plot(Language::English);
    plot.SetData(DataSet{}, SensorTable{});
    EXPECT_EQ(plot.MeanCurve()->dataCount(), 0);
    EXPECT_FALSE(plot.YearBox()->isEnabled());
    plot.ChooseYear(2023);
    EXPECT_FALSE(plot.ChosenYear());

    // Only a dead sensor.
    DataSet dead;
    dead.sensorCount = 1;
    dead.measurements.push_back({At(2023, 5, 1), {}, 0, 1, 0, 0});
    dead.values.push_back(kMissingValue);
    plot.SetData(dead, SensorTable{});
    EXPECT_EQ(plot.MeanCurve()->dataCount(), 0);
    plot.resize(300, 300);
    plot.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    EXPECT_FALSE(plot.Plot()->xAxis->tickLabels());
}

TEST_F(TrumpetTest, EachYearIsALineAgainstTheDayOfTheYear) {
    EXPECT_DOUBLE_EQ(YearsPlot::DayOfYear(At(2024, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(YearsPlot::DayOfYear(At(2024, 2, 29)), 60.0);
    EXPECT_DOUBLE_EQ(YearsPlot::DayOfYear(At(2023, 3, 1)), 60.0);
    EXPECT_DOUBLE_EQ(YearsPlot::DayOfYear(At(2024, 12, 31, 12)), 366.5);

    YearsPlot plot(Language::Russian);
    plot.SetData(set, Table(true));
    ASSERT_EQ(plot.YearsDrawn(), (std::vector<int>{2023, 2024}));
    ASSERT_EQ(plot.Plot()->graphCount(), 2);
    EXPECT_EQ(plot.Plot()->graph(0)->name(), "2023");
    EXPECT_EQ(plot.Plot()->graph(1)->name(), "2024");
    EXPECT_EQ(plot.Plot()->graph(0)->dataCount(), 365 * 4);
    EXPECT_EQ(plot.Plot()->graph(1)->dataCount(), 366 * 4);
    EXPECT_EQ(plot.Plot()->legend->itemCount(), 2);

    plot.ChooseSensor(5);  // 2 m
    EXPECT_EQ(plot.SensorBox()->currentIndex(), 5);
    const auto valueAt = [&](int graph, double day) {
        const auto data = plot.Plot()->graph(graph)->data();
        const auto it = data->findBegin(day, false);
        EXPECT_DOUBLE_EQ(it->key, day);
        return it->value;
    };
    const auto valueOf = [&](DateTime t) {
        const auto it = std::find_if(set.measurements.begin(), set.measurements.end(),
                                     [t](const Measurement& m) { return m.time == t; });
        return set.Value(static_cast<std::size_t>(it - set.measurements.begin()), 5) / 100.0;
    };
    // Day 60 is 29 February in the leap year, 1 March in the other.
    EXPECT_DOUBLE_EQ(valueAt(1, 60.0), valueOf(At(2024, 2, 29)));
    EXPECT_DOUBLE_EQ(valueAt(0, 60.0), valueOf(At(2023, 3, 1)));
    EXPECT_DOUBLE_EQ(valueAt(1, 366.75), valueOf(At(2024, 12, 31, 18)));
    EXPECT_LT((plot.Plot()->graph(0)->data()->constEnd() - 1)->key, 366.0);
}

TEST_F(TrumpetTest, TheYearsPlotNamesSensorsByLabelAndShowsADeadOneAsGaps) {
    YearsPlot plot(Language::English);
    plot.SetData(set, Table(true));
    ASSERT_EQ(plot.SensorBox()->count(), static_cast<int>(kSensors));
    EXPECT_EQ(plot.SensorBox()->itemText(0), "Sensor 1");
    EXPECT_EQ(plot.SensorBox()->itemText(1), "T0.5");
    plot.SensorBox()->setCurrentIndex(static_cast<int>(kDeadSensor));
    EXPECT_EQ(plot.ChosenSensor(), kDeadSensor);
    ASSERT_EQ(plot.Plot()->graphCount(), 2);
    const auto data = plot.Plot()->graph(0)->data();
    EXPECT_TRUE(std::all_of(data->constBegin(), data->constEnd(),
                            [](const QCPGraphData& d) { return std::isnan(d.value); }));
    EXPECT_FALSE(plot.Plot()->yAxis->tickLabels());
    plot.SetLanguage(Language::Russian);
    EXPECT_EQ(plot.SensorBox()->itemText(0), "Датчик 1");
    EXPECT_EQ(plot.ChosenSensor(), kDeadSensor);

    // Fewer sensors: the one shown falls back to the first; none at all leaves nothing drawn.
    DataSet narrow;
    narrow.sensorCount = 1;
    narrow.measurements.push_back({At(2023, 5, 1), {}, 0, 1, 0, 0});
    narrow.values.push_back(150);
    plot.SetData(narrow, SensorTable{});
    EXPECT_EQ(plot.ChosenSensor(), 0u);
    EXPECT_EQ(plot.Plot()->graphCount(), 1);
    plot.ChooseSensor(40);
    EXPECT_EQ(plot.ChosenSensor(), 0u);
    plot.SetData(DataSet{}, SensorTable{});
    EXPECT_EQ(plot.Plot()->graphCount(), 0);
    EXPECT_EQ(plot.SensorBox()->count(), 0);
}

TEST_F(TrumpetTest, TheViewerShowsTheFolderInItsTabsWithTheSensorTable) {
    const fs::path data =
        fs::temp_directory_path() / ("qm_trumpet_" + std::to_string(std::random_device{}()));
    fs::create_directories(data / "OBJ");
    std::ofstream(data / "OBJ" / "2024_3.dat", std::ios::binary)
        << "OBJ  2024_3.dat\r\n"
           "10:00 01.03.2024\r\n   1.00  -0.50  -2.00\r\n"
           "11:00 01.03.2024\r\n   3.00  -0.10  -2.00\r\n";
    std::ofstream(data / "OBJ" / "sensors.csv", std::ios::binary)
        << "sensor,depth_m,label\r\n1,0.5,\r\n2,1.5,\r\n3,2.5,bottom\r\n";
    {
        DataViewer viewer(data, Language::Russian);
        ASSERT_TRUE(viewer.Open(data / "OBJ"));
        ASSERT_EQ(viewer.Tabs()->count(), 3);
        EXPECT_EQ(viewer.Tabs()->widget(0), viewer.ProfilePlot());
        EXPECT_EQ(viewer.Tabs()->tabText(0), "Профиль");
        EXPECT_EQ(viewer.Tabs()->tabText(1), "Огибающие");
        EXPECT_EQ(viewer.Tabs()->tabText(2), "По годам");
        // Summarized only once one of their tabs is shown.
        EXPECT_EQ(viewer.Trumpet()->MaximumCurve()->dataCount(), 0);
        viewer.Tabs()->setCurrentIndex(1);
        EXPECT_TRUE(viewer.Trumpet()->ByDepth());
        EXPECT_EQ(viewer.Trumpet()->MaximumCurve()->dataCount(), 3);
        ASSERT_TRUE(viewer.Trumpet()->Shown().activeLayerMetres);
        // Maxima 3.00 at 0.5 m and −0.10 at 1.5 m.
        EXPECT_NEAR(*viewer.Trumpet()->Shown().activeLayerMetres, 0.5 + 3.0 / 3.1, 0.001);
        EXPECT_EQ(viewer.Years()->SensorBox()->itemText(2), "bottom");
        viewer.SetLanguage(Language::English);
        EXPECT_EQ(viewer.Tabs()->tabText(1), "Trumpet curve");
        EXPECT_EQ(viewer.Tabs()->tabText(2), "Years");
        EXPECT_EQ(viewer.Trumpet()->MeanCurve()->name(), "Mean");
        EXPECT_EQ(viewer.Years()->SensorBox()->itemText(0), "Sensor 1");
        // Another folder while they are shown, and one that cannot be read, which empties them.
        fs::create_directories(data / "Other");
        std::ofstream(data / "Other" / "2024_3.dat", std::ios::binary)
            << "OBJ  2024_3.dat\r\n10:00 01.03.2024\r\n   1.00\r\n";
        ASSERT_TRUE(viewer.Open(data / "Other"));
        EXPECT_FALSE(viewer.Trumpet()->ByDepth());
        EXPECT_EQ(viewer.Years()->SensorBox()->count(), 1);
        EXPECT_FALSE(viewer.Open(data / "missing"));
        EXPECT_EQ(viewer.Trumpet()->MeanCurve()->dataCount(), 0);
        EXPECT_EQ(viewer.Years()->Plot()->graphCount(), 0);
    }
    std::error_code ec;
    fs::remove_all(data, ec);
}

}  // namespace
}  // namespace qm::test
