// The demo's permafrost borehole: only the operator's demo holds it, a year of it shows the
// active layer and the zero annual amplitude where they were designed, and its copy gets the
// demo's sensor table.
#include <gtest/gtest.h>

#include <random>

#include "app/DemoTables.h"
#include "protocol/Cp1251.h"
#include "sim/DemoStore.h"
#include "sim/VirtualLogger.h"
#include "store/DataSet.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

const std::string kBorehole = Utf8ToCp1251(sim::kBoreholeDirectory);

DateTime EndOf2023() {
    return *DateTime::FromCivil({2023, 12, 31, 23, 59, 0, 0});
}

// The borehole's files of a demo store, read as the copies of them would be.
DataSet BoreholeData(const sim::DemoStoreShape& shape) {
    sim::LoggerStore store;
    sim::FillDemoStore(store, shape, EndOf2023());
    DataSet set;
    for (const std::string& name : store.FileNames(kBorehole)) {
        std::string text;
        for (const std::string& line : store.Content(kBorehole, name)->lines) text += line + "\r\n";
        ReadDataText(text, name, FileDateOf(name), set);
    }
    Finish(set);
    return set;
}

TEST(DemoBorehole, OnlyTheOperatorsDemoHoldsIt) {
    const auto names = [](const sim::DemoStoreShape& shape) {
        sim::LoggerStore store;
        sim::FillDemoStore(store, shape, EndOf2023());
        return store.DirectoryNames();
    };
    // The stores of the tests list what they always did.
    EXPECT_EQ(names(sim::DemoStoreShape{}).size(), 5u);
    EXPECT_EQ(names(sim::DemoStoreShape::Small()).size(), 5u);
    EXPECT_EQ(names(sim::DemoStoreShape::Small()), names(sim::LoggerConfig{}.demoShape));
    const auto withBorehole = names(sim::DemoStoreShape::Operator());
    ASSERT_EQ(withBorehole.size(), 6u);
    EXPECT_EQ(withBorehole.back(), kBorehole);
    // A shape of fewer sensors has as many of the borehole's, its headers saying so.
    sim::DemoStoreShape small = sim::DemoStoreShape::Small();
    small.withBorehole = true;
    const DataSet set = BoreholeData(small);
    EXPECT_TRUE(set.issues.empty());
    EXPECT_EQ(set.sensorCount, 7u);
    EXPECT_EQ(sim::BoreholeSensorCount(small), 7u);
    EXPECT_NE(set.measurements.front().text.find("N=7"), std::string::npos);
}

TEST(DemoBorehole, ItsLastYearShowsTheActiveLayerAndTheZeroAmplitudeWhereDesigned) {
    const sim::DemoStoreShape shape = sim::DemoStoreShape::Operator();
    const DataSet set = BoreholeData(shape);
    ASSERT_TRUE(set.issues.empty());
    ASSERT_EQ(set.sensorCount, 15u);
    EXPECT_EQ(set.measurements.size(), 3u * 365u * 24u);
    SensorTable table;
    table.sensors = DemoBoreholeTable(sim::BoreholeSensorCount(shape));
    // Three years warming: the trend shows at depth, and one sensor exceeds its limit.
    const Summary years = Summarize(set, table, PeriodOf(set, {}, {}));
    for (const SensorSummary& sensor : years.sensors) {
        if (*sensor.depthMetres < 4.0) continue;
        EXPECT_NEAR(*sensor.trendCPerDecade, sim::kBoreholeWarmingPerDecade, 0.05) << sensor.sensor;
    }
    EXPECT_EQ(years.exceeded, 1u);
    const auto& over = years.sensors.at(sim::kBoreholeExceedingSensor - 1).exceedance;
    ASSERT_TRUE(over);
    EXPECT_GE(over->last.ToCivil().month, 9);
    const Summary s = Summarize(set, table, PeriodOf(set, DateTime::FromDate(2023, 1, 1), {}));
    for (const SensorSummary& sensor : s.sensors) {
        EXPECT_EQ(sensor.flags, 0u) << "sensor " << sensor.sensor;
        EXPECT_GT(sensor.completeness, 0.99) << "sensor " << sensor.sensor;
        const double depth = *sensor.depthMetres;
        // The deep ground settles between -2 and -1 °C and stops swinging.
        if (depth >= 10.0) {
            EXPECT_GT(*sensor.mean, -2.0) << depth;
            EXPECT_LT(*sensor.mean, -1.0) << depth;
        }
        if (depth >= 12.0) {
            EXPECT_LE(*sensor.max - *sensor.min, 0.1 + 1e-9) << depth;
        }
    }
    // The top sensor thaws and freezes hard.
    EXPECT_GT(*s.sensors.front().max, 5.0);
    EXPECT_LT(*s.sensors.front().min, -5.0);
    // Where they were designed: the active layer to 0.1 m, the zero amplitude (where noise of
    // the last digit weighs on a range of a tenth of a degree) to 0.3 m.
    ASSERT_TRUE(s.activeLayerMetres);
    EXPECT_NEAR(*s.activeLayerMetres, sim::kBoreholeActiveLayerMetres, 0.1);
    ASSERT_TRUE(s.zeroAmplitudeMetres);
    EXPECT_NEAR(*s.zeroAmplitudeMetres, sim::kBoreholeZeroAmplitudeMetres, 0.3);
}

TEST(DemoBorehole, TheTableFollowsTheSensorsOfTheString) {
    const auto table = DemoBoreholeTable(99);
    ASSERT_EQ(table.size(), sim::BoreholeSensors().size());
    for (std::size_t k = 1; k < table.size(); ++k) {
        EXPECT_EQ(table[k].sensor, k + 1);
        EXPECT_GT(*table[k].depthMetres, *table[k - 1].depthMetres);
    }
    EXPECT_DOUBLE_EQ(*table.front().depthMetres, 0.5);
    EXPECT_GE(*table.back().depthMetres, 15.0);
    EXPECT_EQ(DemoBoreholeTable(3).size(), 3u);
    EXPECT_TRUE(DemoBoreholeTable(0).empty());
}

// Copies of the small demo with its borehole, the demo's tables listening.
class DemoBoreholeCopy : public ::testing::Test {
protected:
    void SetUp() override {
        start = fs::temp_directory_path() /
                ("qm_demo_borehole_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        config.demoShape.withBorehole = true;
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        rig = std::make_unique<Rig>(*logger);
        tables = std::make_unique<DemoSensorTables>(rig->controller.MutableSession(),
                                                    rig->controller.Work(),
                                                    sim::BoreholeSensorCount(config.demoShape));
        rig->controller.SetUpFolders(start);
        rig->StartUsb();
        rig->RunFor(5000);
    }
    void TearDown() override {
        tables.reset();
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }
    void CopyAll(const std::string& directory) {
        const auto names = rig->State().Directories().DirectoryNames();
        const auto it = std::find(names.begin(), names.end(), directory);
        ASSERT_NE(it, names.end());
        rig->controller.Selected("ComboBox1", static_cast<int>(it - names.begin()));
        rig->controller.Click("bAllData");
        rig->RunUntilIdle();
    }
    fs::path Folder(const std::string& directory) const {
        return start / "DATA" / LocalName(directory);
    }

    FakePcClock clock;
    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<Rig> rig;
    std::unique_ptr<DemoSensorTables> tables;
};

TEST_F(DemoBoreholeCopy, TheBoreholesCopyGetsItsDepthsAndNoOtherDoes) {
    CopyAll(kBorehole);
    const SensorTable table = ReadSensorTable(Folder(kBorehole));
    EXPECT_TRUE(table.issues.empty());
    EXPECT_EQ(table.sensors, DemoBoreholeTable(7));
    EXPECT_EQ(ReadDataSet(Folder(kBorehole)).sensorCount, 7u);
    const std::string other = Utf8ToCp1251("Котельная");
    CopyAll(other);
    EXPECT_TRUE(fs::exists(Folder(other)));
    EXPECT_FALSE(fs::exists(Folder(other) / kSensorTableName));
    EXPECT_TRUE(rig->ops.errors.empty());
}

TEST_F(DemoBoreholeCopy, ATableAlreadyThereIsKept) {
    CopyAll(kBorehole);
    const std::vector<SensorInfo> own = {{1, 0.4, "верх"}, {2, {}, ""}};
    WriteSensorTable(Folder(kBorehole), own);
    CopyAll(kBorehole);
    EXPECT_EQ(ReadSensorTable(Folder(kBorehole)).sensors, own);
}

}  // namespace
}  // namespace qm::test
