// The viewer with a sensor table: rows at the sensors' depths, health in the sensor list, the
// colour scale and the 0 °C isotherm, and the editor of the table.
#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>

#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "tests/qt/QtTestApp.h"
#include "tests/support/FailingYear.h"
#include "ui/viewer/DataViewer.h"
#include "ui/viewer/DepthAxis.h"
#include "ui/viewer/SensorTableDialog.h"
#include "ui/viewer/TrumpetPlot.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// A monthly file of hourly measurements from 1 March 2024 00:00; `value(hour, sensor)` gives
// each value (nothing: missing).
std::string HourlyFile(int hours, int sensors,
                       const std::function<std::optional<double>(int, int)>& value) {
    std::string text = "OBJ  2024_3.dat\r\n";
    char line[64];
    for (int h = 0; h < hours; ++h) {
        std::snprintf(line, sizeof line, "%02d:00 %02d.03.2024\r\n", h % 24, 1 + h / 24);
        text += line;
        for (int s = 0; s < sensors; ++s) {
            const auto v = value(h, s);
            if (v)
                std::snprintf(line, sizeof line, "%7.2f", *v);
            else
                std::snprintf(line, sizeof line, "    -  ");
            text += line;
            if (s % 5 == 4 || s == sensors - 1) text += "\r\n";
        }
    }
    return text;
}

class ViewerDepthTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        data = fs::temp_directory_path() / ("qm_depth_" + std::to_string(std::random_device{}()));
        fs::create_directories(data / "OBJ");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(data, ec);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(data / "OBJ" / name, std::ios::binary) << text;
    }
    std::unique_ptr<DataViewer> Open(Language language = Language::Russian) {
        auto v = std::make_unique<DataViewer>(data, language);
        v->resize(1100, 700);
        EXPECT_TRUE(v->Open(data / "OBJ"));
        v->show();
        v->Plot()->replot(QCustomPlot::rpImmediateRefresh);
        return v;
    }
    // The map's value at a time and a position down the vertical axis.
    static double CellAt(DataViewer& v, double key, double y) {
        int k = 0, c = 0;
        v.HeatMap()->data()->coordToCell(key, y, &k, &c);
        return v.HeatMap()->data()->cell(k, c);
    }
    static double Key(int hour) {
        return DataViewer::TimeKey(
            *DateTime::FromCivil({2024, 3, 1 + hour / 24, hour % 24, 0, 0, 0}));
    }
    QString ItemText(DataViewer& v, int row) {
        return v.findChild<QListWidget*>("sensors")->item(row)->text();
    }
    fs::path data;
};

// Three sensors at 0.5, 1 and 3 m reading 2, 1 and -1 °C for eight hours.
constexpr double kWarmToCold[] = {2.0, 1.0, -1.0};

TEST_F(ViewerDepthTest, RowsLieAtTheSensorsDepthsOnTheMapAndInTheProfile) {
    Write("2024_3.dat", HourlyFile(8, 3, [](int, int s) { return kWarmToCold[s]; }));
    Write(kSensorTableName, "sensor,depth_m,label\r\n1,0.5,T-1\r\n2,1,\r\n3,3,deep\r\n");
    auto v = Open(Language::English);
    const SensorRows& rows = v->Rows();
    ASSERT_TRUE(rows.byDepth);
    // Bands half-way to the neighbours; the ends reach as far beyond as to their neighbour.
    EXPECT_DOUBLE_EQ(rows.top, 0.25);
    EXPECT_DOUBLE_EQ(rows.bottom, 4.0);
    EXPECT_EQ(v->Plot()->yAxis->range(), QCPRange(0.25, 4.0));
    EXPECT_EQ(v->Plot()->yAxis->label(), "Depth, m");
    EXPECT_EQ(CellAt(*v, Key(3), 0.3), 2.0);
    EXPECT_EQ(CellAt(*v, Key(3), 0.7), 2.0);
    EXPECT_EQ(CellAt(*v, Key(3), 0.8), 1.0);
    EXPECT_EQ(CellAt(*v, Key(3), 1.9), 1.0) << "sensor 2 owns the band down to 2 m";
    EXPECT_EQ(CellAt(*v, Key(3), 2.1), -1.0);
    EXPECT_EQ(CellAt(*v, Key(3), 3.9), -1.0);

    const auto* profile = v->ProfileCurve()->data().data();
    ASSERT_EQ(profile->size(), 3);
    EXPECT_EQ(profile->at(0)->value, 0.5);
    EXPECT_EQ(profile->at(2)->value, 3.0);
    EXPECT_EQ(profile->at(2)->key, -1.0);
    EXPECT_EQ(v->ProfilePlot()->yAxis->label(), "Depth, m");
    EXPECT_TRUE(v->ProfilePlot()->yAxis->rangeReversed()) << "depth grows downwards";

    const QPoint at(static_cast<int>(v->Plot()->xAxis->coordToPixel(Key(3))),
                    static_cast<int>(v->Plot()->yAxis->coordToPixel(2.5)));
    EXPECT_EQ(v->DescribeAt(at), "2024-03-01 03:00, sensor 3: -1.00 °C");
    EXPECT_EQ(ItemText(*v, 0), "1  (0.5 m) T-1 — 100 %");
    EXPECT_EQ(ItemText(*v, 2), "3  (3.0 m) deep — 100 %");
    v->SetLanguage(Language::Russian);
    EXPECT_EQ(ItemText(*v, 0), QString::fromUtf8("1  (0,5 м) T-1 — 100 %"));
    EXPECT_EQ(v->Plot()->yAxis->label(), QString::fromUtf8("Глубина, м"));
}

TEST_F(ViewerDepthTest, ASensorWithoutADepthIsLeftOffTheMapAndABadTableIsShownNotFatal) {
    Write("2024_3.dat", HourlyFile(8, 3, [](int, int s) { return kWarmToCold[s]; }));
    Write(kSensorTableName, "sensor,depth_m,label\r\n1,abc,\r\n2,1.5,B\r\n3,2.5,\r\n");
    auto v = Open(Language::English);
    ASSERT_EQ(v->Rows().rows.size(), 2u);
    EXPECT_EQ(v->Rows().rows[0].sensor, 1u);
    EXPECT_EQ(v->Rows().RowAt(0.5), nullptr) << "above the first band";
    EXPECT_EQ(CellAt(*v, Key(1), 1.6), 1.0);
    auto* issues = v->findChild<QLabel*>("issues");
    EXPECT_FALSE(issues->isHidden());
    EXPECT_EQ(issues->text(), "Lines skipped or damaged: 1");
    EXPECT_TRUE(issues->toolTip().startsWith("sensors.csv:2:")) << issues->toolTip().toStdString();
    EXPECT_EQ(ItemText(*v, 0), "1 — 100 %");

    // A table that is no file at all is a problem of its own; the data are still shown.
    fs::remove(data / "OBJ" / kSensorTableName);
    fs::create_directory(data / "OBJ" / kSensorTableName);
    ASSERT_TRUE(v->Open(data / "OBJ"));
    EXPECT_FALSE(v->Rows().byDepth);
    EXPECT_EQ(v->Data().measurements.size(), 8u);
    EXPECT_EQ(issues->text(), "Lines skipped or damaged: 1");
    // Linux reads a folder and fails; Windows refuses to open it.
    const QString tip = issues->toolTip();
    EXPECT_TRUE((tip.startsWith("Cannot read") || tip.startsWith("Cannot open")) &&
                tip.contains(kSensorTableName))
        << tip.toStdString();
}

// Forty hours of four sensors: 1 cools slowly with one spike of 37 °C, 2 is dead, 3 is stuck at
// 9 °C while 4 warms from 0 to 3.9 °C and once reads 70 °C.
std::optional<double> Faulty(int h, int s) {
    switch (s) {
        case 0:
            return h == 10 ? 37.0 : -3.0 + 0.05 * h;
        case 1:
            return std::nullopt;
        case 2:
            return 9.0;
        default:
            return h == 20 ? 70.0 : 0.1 * h;
    }
}

TEST_F(ViewerDepthTest, TheListShowsEachSensorsFlagsAndCompleteness) {
    Write("2024_3.dat", HourlyFile(40, 4, Faulty));
    auto v = Open();
    EXPECT_EQ(ItemText(*v, 0), QString::fromUtf8("1 — 100 %, выбросы"));
    EXPECT_EQ(ItemText(*v, 1), QString::fromUtf8("2 — 0 %, не работает"));
    EXPECT_EQ(ItemText(*v, 2), QString::fromUtf8("3 — 100 %, залип"));
    EXPECT_EQ(ItemText(*v, 3), QString::fromUtf8("4 — 100 %, вне диапазона"));
    v->SetLanguage(Language::English);
    EXPECT_EQ(ItemText(*v, 1), "2 — 0 %, dead");
    EXPECT_EQ(ItemText(*v, 3), "4 — 100 %, out of range");

    // A sensor with a value missing is not called complete, however near it comes.
    Write("2024_3.dat", HourlyFile(400, 1, [](int h, int) -> std::optional<double> {
              if (h == 7) return std::nullopt;
              return 1.0;
          }));
    ASSERT_TRUE(v->Open(data / "OBJ"));
    EXPECT_EQ(ItemText(*v, 0), "1 — 99 %");
}

TEST_F(ViewerDepthTest, TheColourScaleIgnoresSpikesOutOfRangeValuesAndFaultySensors) {
    Write("2024_3.dat", HourlyFile(40, 4, Faulty));
    auto v = Open();
    // Trusted values run from -3 °C (sensor 1) to 3.9 °C (sensor 4); 0 °C in the middle.
    EXPECT_EQ(v->CurrentColourMap(), ColourMap::ZeroCentred);
    EXPECT_NEAR(v->HeatMap()->dataRange().lower, -3.9, 1e-9);
    EXPECT_NEAR(v->HeatMap()->dataRange().upper, 3.9, 1e-9);
    EXPECT_TRUE(std::isnan(CellAt(*v, Key(10), 1))) << "the spike is a gap";
    EXPECT_TRUE(std::isnan(CellAt(*v, Key(20), 4))) << "so is the value out of range";
    EXPECT_EQ(CellAt(*v, Key(20), 3), 9.0) << "a stuck sensor is still drawn";
    const QColor zero = v->HeatMap()->gradient().color(0.0, v->HeatMap()->dataRange());
    EXPECT_GT(zero.lightness(), 230) << "0 °C is white";
    const QColor cold = v->HeatMap()->gradient().color(-3.0, v->HeatMap()->dataRange());
    EXPECT_GT(cold.blue(), cold.red());

    auto* maps = v->findChild<QComboBox*>("colourMaps");
    ASSERT_EQ(maps->count(), 2);
    EXPECT_EQ(maps->itemText(0), QString::fromUtf8("0 °C по центру"));
    maps->setCurrentIndex(1);
    emit maps->activated(1);
    EXPECT_EQ(v->CurrentColourMap(), ColourMap::Uniform);
    EXPECT_NEAR(v->HeatMap()->dataRange().lower, -3.0, 1e-9);
    EXPECT_NEAR(v->HeatMap()->dataRange().upper, 3.9, 1e-9);
    v->SetLanguage(Language::English);
    EXPECT_EQ(maps->itemText(1), "uniform");
    EXPECT_EQ(maps->currentIndex(), 1);
}

TEST_F(ViewerDepthTest, TheIsothermMarksWhereTheProfileCrossesZero) {
    // At 0.5, 1 and 3 m; from hour 4 on the middle sensor freezes too.
    Write("2024_3.dat",
          HourlyFile(8, 3, [](int h, int s) { return s == 1 && h >= 4 ? -3.0 : kWarmToCold[s]; }));
    Write(kSensorTableName, "sensor,depth_m,label\r\n1,0.5,\r\n2,1,\r\n3,3,\r\n");
    auto v = Open();
    const auto* points = v->Isotherm()->data().data();
    ASSERT_EQ(points->size(), 8);
    // 1 °C at 1 m and -1 °C at 3 m: 0 °C half-way, at 2 m.
    EXPECT_EQ(points->at(0)->key, Key(0));
    EXPECT_DOUBLE_EQ(points->at(0)->value, 2.0);
    // 2 °C at 0.5 m and -3 °C at 1 m: two fifths of the way down.
    EXPECT_EQ(points->at(4)->key, Key(4));
    EXPECT_DOUBLE_EQ(points->at(4)->value, 0.7);
    EXPECT_TRUE(v->Isotherm()->visible());

    auto* box = v->findChild<QCheckBox*>("showIsotherm");
    ASSERT_TRUE(box->isChecked());
    box->click();
    EXPECT_FALSE(v->Isotherm()->visible());
    box->click();
    EXPECT_TRUE(v->Isotherm()->visible());
}

TEST_F(ViewerDepthTest, TheIsothermSkipsFaultySensorsAndFollowsNumbersWithoutDepths) {
    // Sensor 2 is stuck at -5 °C between a warm sensor 1 and a warm sensor 3 that moves: no
    // crossing is made up through it. Sensor 4 is cold: one crossing between 3 and 4.
    Write("2024_3.dat", HourlyFile(40, 4, [](int h, int s) -> std::optional<double> {
              const double values[] = {2.0, -5.0, 1.0 + 0.1 * h, -1.0 - 0.1 * h};
              return values[s];
          }));
    auto v = Open();
    ASSERT_FALSE(v->Rows().byDepth);
    const auto* points = v->Isotherm()->data().data();
    ASSERT_EQ(points->size(), 40);
    // 1 °C at sensor 3, -1 °C at sensor 4 at the first hour.
    EXPECT_DOUBLE_EQ(points->at(0)->value, 3.5);
    for (int i = 0; i < points->size(); ++i) EXPECT_GT(points->at(i)->value, 3.0);
}

TEST_F(ViewerDepthTest, TheEditorWritesATableThatReadsBackAndTheMapFollows) {
    Write("2024_3.dat", HourlyFile(8, 3, [](int, int s) { return kWarmToCold[s]; }));
    auto v = Open();
    ASSERT_FALSE(v->Rows().byDepth);
    auto* button = v->findChild<QPushButton*>("editSensors");
    EXPECT_EQ(button->text(), QString::fromUtf8("Датчики…"));
    QTest::mouseClick(button, Qt::LeftButton);
    auto* dialog = v->findChild<SensorTableDialog*>();
    ASSERT_TRUE(dialog);
    QTableWidget* table = dialog->Table();
    ASSERT_EQ(table->rowCount(), 3) << "one row for each sensor of the data set";
    EXPECT_EQ(table->item(2, 0)->text(), "3");
    table->item(0, 1)->setText("0,5");
    table->item(1, 1)->setText("1 m");
    table->item(1, 2)->setText("B, middle");
    table->item(2, 1)->setText("3");

    // A depth that is no number keeps the dialog open, says which, and writes nothing.
    QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->Problem().contains(QString::fromUtf8("Датчик 2: «1 m»")))
        << dialog->Problem().toStdString();
    EXPECT_FALSE(fs::exists(data / "OBJ" / kSensorTableName));

    table->item(1, 1)->setText(" 1.5 ");
    EXPECT_TRUE(dialog->Problem().isEmpty());
    QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const SensorTable written = ReadSensorTable(data / "OBJ");
    EXPECT_TRUE(written.issues.empty());
    EXPECT_EQ(written.sensors,
              (std::vector<SensorInfo>{{1, 0.5, ""}, {2, 1.5, "B, middle"}, {3, 3.0, ""}}));
    EXPECT_FALSE(fs::exists(data / "OBJ" / kStagingFolderName / kSensorTableName));
    ASSERT_TRUE(v->Rows().byDepth) << "the map follows the new depths";
    EXPECT_EQ(v->Plot()->yAxis->label(), QString::fromUtf8("Глубина, м"));
    EXPECT_EQ(CellAt(*v, Key(2), 2.9), -1.0);
    EXPECT_EQ(ItemText(*v, 1), QString::fromUtf8("2  (1,5 м) B, middle — 100 %"));

    // Again: the table comes back as written, in the operator's decimals; Cancel changes nothing.
    QTest::mouseClick(button, Qt::LeftButton);
    auto dialogs = v->findChildren<SensorTableDialog*>();
    ASSERT_EQ(dialogs.size(), 1) << "the first one closed and went";
    dialog = dialogs.front();
    EXPECT_EQ(dialog->Table()->item(0, 1)->text(), "0,5");
    EXPECT_EQ(dialog->Table()->item(1, 2)->text(), "B, middle");
    dialog->Table()->item(0, 1)->setText("7");
    QTest::mouseClick(dialog->findChild<QPushButton*>("cancel"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(v->findChildren<SensorTableDialog*>().isEmpty());
    EXPECT_EQ(ReadSensorTable(data / "OBJ").sensors, written.sensors);
    EXPECT_DOUBLE_EQ(v->Rows().rows.front().at, 0.5);
}

TEST_F(ViewerDepthTest, TheEditorKeepsTheLimitsAndTheReportButtonWritesTheirReport) {
    Write("2024_3.dat", HourlyFile(8, 3, [](int, int s) { return kWarmToCold[s]; }));
    auto v = Open();
    QTest::mouseClick(v->findChild<QPushButton*>("editSensors"), Qt::LeftButton);
    auto* dialog = v->findChild<SensorTableDialog*>();
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->Table()->columnCount(), 4);
    dialog->Table()->item(1, 3)->setText("warm");
    QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
    EXPECT_TRUE(dialog->Problem().contains(QString::fromUtf8("Датчик 2: «warm»")));
    dialog->Table()->item(1, 3)->setText("0,5");
    QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(
        ReadSensorTable(data / "OBJ").sensors,
        (std::vector<SensorInfo>{{1, std::nullopt, ""}, {2, std::nullopt, "", 0.5}, {3, {}, ""}}));
    QTest::mouseClick(v->findChild<QPushButton*>("editSensors"), Qt::LeftButton);
    dialog = v->findChild<SensorTableDialog*>();
    EXPECT_EQ(dialog->Table()->item(1, 3)->text(), "0,5");
    dialog->reject();

    EXPECT_EQ(v->findChild<QPushButton*>("report")->text(), QString::fromUtf8("Отчёт PDF…"));
    ASSERT_TRUE(v->ReportTo(data / "OBJ.pdf"));
    EXPECT_EQ(ReadWholeFile(data / "OBJ.pdf").substr(0, 5), "%PDF-");
}

TEST(DepthAxis, DepthsAreTypedWithAPointOrACommaAndNothingElse) {
    std::optional<double> d;
    EXPECT_TRUE(ParseDepth("2,5", d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(ParseDepth(" 12.25 ", d));
    EXPECT_EQ(d, 12.25);
    EXPECT_TRUE(ParseDepth("-1", d)) << "above the ground: a mast";
    EXPECT_EQ(d, -1.0);
    EXPECT_TRUE(ParseDepth("  ", d));
    EXPECT_FALSE(d) << "nothing typed: unknown";
    for (const char* bad : {"abc", "1,2,3", "2 m", "1e9", "nan", "inf", ",", "-"})
        EXPECT_FALSE(ParseDepth(bad, d)) << bad;
}

TEST(DepthAxis, EverySensorGetsACellHoweverUnevenTheSpacing) {
    SensorTable table;
    // Close at the top, far apart below, and one sensor without a depth.
    const double depths[] = {0.1, 0.2, 0.3, 10, 30, 31};
    for (std::size_t s = 0; s < std::size(depths); ++s)
        table.sensors.push_back({s + 1, depths[s], ""});
    table.sensors.push_back({7, std::nullopt, ""});
    const SensorRows rows = LayOutRows(8, table);
    ASSERT_EQ(rows.rows.size(), 6u);
    const std::vector<int> cells = CellRows(rows);
    EXPECT_LE(cells.size(), kMostDepthCells);
    EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end()));
    EXPECT_EQ(std::set<int>(cells.begin(), cells.end()).size(), 6u);
    EXPECT_EQ(rows.RowAt(19.99)->sensor, 3u) << "10 m owns down to 20 m";
    EXPECT_EQ(rows.RowAt(20)->sensor, 4u) << "30 m from there";
    EXPECT_EQ(rows.RowOf(6), nullptr);
}

TEST(DepthAxis, ZeroIsCrossedOnceWhereAProfileTouchesIt) {
    const DepthValue touching[] = {{1, 2.0}, {2, 0.0}, {3, -1.0}};
    EXPECT_EQ(ZeroCrossings(touching), (std::vector<double>{2.0}));
    const DepthValue twice[] = {{0, -4.0}, {1, 4.0}, {2, 1.0}, {4, -1.0}};
    EXPECT_EQ(ZeroCrossings(twice), (std::vector<double>{0.5, 3.0}));
    EXPECT_TRUE(ZeroCrossings(std::span<const DepthValue>{}).empty());
}

// The year of a string where sensors fail, as the viewer shows it: its list, colour scale,
// isotherm and trumpet curve say what the summary says.
TEST_F(ViewerDepthTest, AYearWhereSensorsFailIsShownAsTheSummarySaysIt) {
    WriteFailingYear(data / "OBJ");
    auto v = Open(Language::English);
    const DataSet& set = v->Data();
    ASSERT_EQ(set.measurements.size(), kFailingYearHours);
    const Summary summary = Summarize(set, v->Sensors(), PeriodOf(set, {}, {}));
    ASSERT_EQ(summary.sensors.size(), kFailingYearSensors);

    // Each sensor's flags and completeness in the list.
    const std::pair<std::size_t, const char*> flags[] = {{kDeadSensor, "dead"},
                                                         {kStuckSensor, "stuck"},
                                                         {kSpikySensor, "spikes"},
                                                         {kRangeSensor, "out of range"}};
    for (const auto& [sensor, word] : flags)
        EXPECT_TRUE(ItemText(*v, static_cast<int>(sensor) - 1).contains(word))
            << ItemText(*v, static_cast<int>(sensor) - 1).toStdString();
    EXPECT_TRUE(ItemText(*v, 0).endsWith("100 %")) << ItemText(*v, 0).toStdString();
    EXPECT_TRUE(ItemText(*v, kGappySensor - 1).contains("— 90 %"))
        << ItemText(*v, kGappySensor - 1).toStdString();

    // The colour scale reaches neither the +37 °C spike nor the 85 °C reading: its bounds are the
    // widest extremes of the sensors the summary trusts, about 0 °C.
    double widest = 0;
    for (const SensorSummary& ss : summary.sensors)
        if (ss.min && !(ss.flags & (kDead | kStuck)))
            widest = std::max({widest, std::abs(*ss.min), std::abs(*ss.max)});
    const QCPRange range = v->HeatMap()->dataRange();
    EXPECT_LT(range.upper, kSpikeHundredths[0] / 100.0);
    EXPECT_NEAR(range.upper, widest, 0.01);
    EXPECT_NEAR(range.lower, -widest, 0.01);

    // The isotherm follows the thaw down to the active layer and no deeper.
    ASSERT_TRUE(summary.activeLayerMetres);
    const auto* isotherm = v->Isotherm()->data().data();
    ASSERT_GT(isotherm->size(), 0);
    double deepest = 0;
    for (auto it = isotherm->constBegin(); it != isotherm->constEnd(); ++it)
        deepest = std::max(deepest, it->value);
    EXPECT_LE(deepest, *summary.activeLayerMetres + 0.01);
    EXPECT_GT(deepest, *summary.activeLayerMetres - 1.0);

    // The trumpet curve of the whole period is the summary's, at the same depths.
    auto* tabs = v->Tabs();
    tabs->setCurrentIndex(1);
    const Summary& shown = v->Trumpet()->Shown();
    ASSERT_EQ(shown.sensors.size(), summary.sensors.size());
    for (std::size_t k = 0; k < summary.sensors.size(); ++k) {
        EXPECT_EQ(shown.sensors[k].min, summary.sensors[k].min) << k;
        EXPECT_EQ(shown.sensors[k].max, summary.sensors[k].max) << k;
        EXPECT_EQ(shown.sensors[k].flags, summary.sensors[k].flags) << k;
    }
    EXPECT_EQ(shown.activeLayerMetres, summary.activeLayerMetres);
    EXPECT_EQ(shown.zeroAmplitudeMetres, summary.zeroAmplitudeMetres);
    // Drawn: a point of the maxima per sensor the summary trusts, none for the dead and stuck.
    EXPECT_EQ(v->Trumpet()->MaximumCurve()->dataCount(), static_cast<int>(kFailingYearSensors) - 2);
}

}  // namespace
}  // namespace qm::test
