// The data viewer over a small data set with a missing value and a pause in the measurements,
// and the program's --export command line.
#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "store/CollectionLog.h"
#include "store/Export.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/SensorTable.h"
#include "tests/qt/QtTestApp.h"
#include "ui/viewer/ColourMaps.h"
#include "ui/viewer/DataViewer.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// Four hourly measurements of three sensors, then a pause of three hours; sensor 2 has no value
// at 11:00.
constexpr const char* kMarch =
    "OBJ  2024_3.dat\r\n"
    "10:00 01.03.2024  A\r\n"
    "   1.00   2.00   3.00\r\n"
    "11:00 01.03.2024  B\r\n"
    "   1.50    -     3.50\r\n"
    "12:00 01.03.2024\r\n"
    "   2.00   2.50   4.00\r\n"
    "16:00 01.03.2024\r\n"
    "   3.00   3.00   5.00\r\n";

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        data = fs::temp_directory_path() / ("qm_viewer_" + std::to_string(std::random_device{}()));
        fs::create_directories(data / "OBJ");
        fs::create_directories(data / "Empty");
        std::ofstream(data / "OBJ" / "2024_3.dat", std::ios::binary) << kMarch;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(data, ec);
    }
    // A viewer on screen with the data set open.
    std::unique_ptr<DataViewer> Open(Language language = Language::Russian) {
        auto v = std::make_unique<DataViewer>(data, language);
        v->resize(1000, 700);
        EXPECT_TRUE(v->Open(data / "OBJ"));
        v->show();
        v->Plot()->replot(QCustomPlot::rpImmediateRefresh);
        return v;
    }
    static double Key(int hour) {
        return DataViewer::TimeKey(*DateTime::FromCivil({2024, 3, 1, hour, 0, 0, 0}));
    }
    fs::path data;
};

TEST_F(ViewerTest, HeatMapIsTimeBySensorWithSensorOneAtTheTopAndGapsEmpty) {
    auto v = Open();
    QCPColorMapData* cells = v->HeatMap()->data();
    // Hourly columns from 10:00 to 16:00; the hours without a measurement stay empty.
    ASSERT_EQ(cells->keySize(), 7);
    ASSERT_EQ(cells->valueSize(), 3);
    EXPECT_DOUBLE_EQ(cells->keyRange().lower, Key(10));
    EXPECT_DOUBLE_EQ(cells->keyRange().upper, Key(16));
    EXPECT_EQ(cells->cell(0, 0), 1.0);
    EXPECT_EQ(cells->cell(1, 0), 1.5);
    EXPECT_TRUE(std::isnan(cells->cell(1, 1))) << "the missing value";
    EXPECT_TRUE(std::isnan(cells->cell(3, 0))) << "the pause";
    EXPECT_EQ(cells->cell(6, 2), 5.0);
    EXPECT_TRUE(v->Plot()->yAxis->rangeReversed());
    // 0 °C in the middle of the scale, as far down as the warmest value is up.
    EXPECT_EQ(v->HeatMap()->dataRange(), QCPRange(-5.0, 5.0));
}

TEST_F(ViewerTest, PickedSensorsAreDrawnAsSeriesWithGapsForMissingValuesAndPauses) {
    auto v = Open();
    EXPECT_EQ(v->PickedSensors(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(v->Plot()->graphCount(), 3);
    v->PickSensors({1});
    ASSERT_EQ(v->Plot()->graphCount(), 1);
    QCPGraph* g = v->Plot()->graph(0);
    EXPECT_EQ(g->name(), QString::fromUtf8("Датчик 2"));
    EXPECT_EQ(g->keyAxis(), v->SeriesRect()->axis(QCPAxis::atBottom));
    // Four measurements and one gap point inside the pause.
    ASSERT_EQ(g->data()->size(), 5);
    EXPECT_EQ(g->data()->at(0)->value, 2.0);
    EXPECT_TRUE(std::isnan(g->data()->at(1)->value));
    EXPECT_EQ(g->data()->at(2)->value, 2.5);
    EXPECT_TRUE(std::isnan(g->data()->at(3)->value));
    EXPECT_GT(g->data()->at(3)->key, Key(12));
    EXPECT_LT(g->data()->at(3)->key, Key(16));
    EXPECT_EQ(v->Plot()->legend->itemCount(), 1);
}

TEST_F(ViewerTest, AClickOnTheMapShowsTheProfileAtThatTimeAndADragDoesNot) {
    auto v = Open();
    EXPECT_EQ(v->ProfileIndex(), 3u) << "the latest measurement at first";
    QCustomPlot* plot = v->Plot();
    const int y = plot->axisRect()->rect().center().y();
    const int x = static_cast<int>(plot->xAxis->coordToPixel(Key(11) + 600));
    QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(x, y));
    ASSERT_EQ(v->ProfileIndex(), 1u);
    const auto* profile = v->ProfileCurve()->data().data();
    ASSERT_EQ(profile->size(), 3);
    EXPECT_EQ(profile->at(0)->key, 1.5);
    EXPECT_EQ(profile->at(0)->value, 1.0) << "sensor numbers down the value axis";
    EXPECT_TRUE(std::isnan(profile->at(1)->key));
    EXPECT_EQ(profile->at(2)->value, 3.0);
    EXPECT_TRUE(v->ProfilePlot()->yAxis->rangeReversed());

    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(x + 100, y));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(x + 160, y));
    EXPECT_EQ(v->ProfileIndex(), 1u);
}

TEST_F(ViewerTest, ZoomAndPanOfTheTimeAxisAreSharedByMapAndSeries) {
    auto v = Open();
    QCPAxis* mapTime = v->Plot()->xAxis;
    QCPAxis* seriesTime = v->SeriesRect()->axis(QCPAxis::atBottom);
    const double before = mapTime->range().size();
    EXPECT_EQ(seriesTime->range(), mapTime->range());
    v->ZoomTime(0.5);
    EXPECT_NEAR(mapTime->range().size(), before / 2, 1e-6);
    EXPECT_EQ(seriesTime->range(), mapTime->range());
    seriesTime->moveRange(1800);
    EXPECT_EQ(mapTime->range(), seriesTime->range());
    // The wheel zooms time only, on either plot area.
    EXPECT_EQ(v->SeriesRect()->rangeZoom(), Qt::Horizontal);
    EXPECT_EQ(v->Plot()->axisRect()->rangeDrag(), Qt::Horizontal);
}

TEST_F(ViewerTest, TextsFollowTheLanguage) {
    auto v = Open(Language::English);
    EXPECT_EQ(v->windowTitle(), "Data on disk");
    EXPECT_EQ(v->Plot()->graph(0)->name(), "Sensor 1");
    auto* summary = v->findChild<QLabel*>("summary");
    EXPECT_TRUE(summary->text().startsWith("Measurements: 4, sensors: 3, 2024-03-01 10:00"))
        << summary->text().toStdString();
    v->SetLanguage(Language::Russian);
    EXPECT_EQ(v->windowTitle(), QString::fromUtf8("Данные на диске"));
    EXPECT_EQ(v->Plot()->graph(0)->name(), QString::fromUtf8("Датчик 1"));
    EXPECT_TRUE(summary->text().startsWith(
        QString::fromUtf8("Измерений: 4, датчиков: 3, 2024-03-01 10:00")))
        << summary->text().toStdString();
}

TEST_F(ViewerTest, DownloadsOfTheLogAndGapsInTheDataAreMarkedOnBothTimeAxes) {
    // Two downloads logged, the second failed; the data pause three hours after hourly
    // readings: one gap.
    CollectionRecord r;
    r.time = std::chrono::sys_seconds{std::chrono::seconds{1709290800}};  // 2024-03-01 11:00 UTC
    r.station = "window";
    ASSERT_FALSE(AppendCollectionRecord(data / "OBJ", r));
    r.time += std::chrono::hours(2);
    r.result = CollectionResult::Failed;
    ASSERT_FALSE(AppendCollectionRecord(data / "OBJ", r));
    auto v = Open(Language::English);
    std::map<QString, std::vector<QCPAbstractItem*>> marks;
    for (int i = 0; i < v->Plot()->itemCount(); ++i)
        marks[v->Plot()->item(i)->objectName()].push_back(v->Plot()->item(i));
    EXPECT_EQ(marks["gap"].size(), 2u) << "one gap, on the map and on the series";
    ASSERT_EQ(marks["download"].size(), 4u);
    auto* gap = static_cast<QCPItemRect*>(marks["gap"][0]);
    EXPECT_DOUBLE_EQ(gap->topLeft->coords().x(), Key(12));
    EXPECT_DOUBLE_EQ(gap->bottomRight->coords().x(), Key(16));
    auto* label = v->findChild<QLabel*>("marks");
    ASSERT_TRUE(label);
    EXPECT_TRUE(label->isVisibleTo(v.get()));
    EXPECT_TRUE(label->text().startsWith("Downloads logged: 2")) << label->text().toStdString();
    EXPECT_TRUE(label->text().contains("gaps in the data: 1"));
    v->SetLanguage(Language::Russian);
    EXPECT_TRUE(label->text().startsWith(QString::fromUtf8("Загрузок в журнале: 2")));

    // A folder without a log or gaps shows no marks.
    fs::remove(data / "OBJ" / "collection.jsonl");
    std::ofstream(data / "OBJ" / "2024_3.dat", std::ios::binary)
        << "OBJ  2024_3.dat\r\n10:00 01.03.2024\r\n   1.00\r\n11:00 01.03.2024\r\n   2.00\r\n";
    ASSERT_TRUE(v->Open(data / "OBJ"));
    for (int i = 0; i < v->Plot()->itemCount(); ++i)
        EXPECT_NE(v->Plot()->item(i)->objectName(), "gap");
    EXPECT_FALSE(label->isVisibleTo(v.get()));
}

TEST_F(ViewerTest, FoldersAreOfferedAndAMissingOneIsShownNotFatal) {
    auto v = Open();
    auto* folders = v->findChild<QComboBox*>("folders");
    ASSERT_EQ(folders->count(), 2);
    EXPECT_EQ(folders->itemText(0), "Empty");
    EXPECT_EQ(folders->currentText(), "OBJ");

    EXPECT_FALSE(v->Open(data / "absent"));
    EXPECT_TRUE(v->Data().measurements.empty());
    EXPECT_FALSE(v->HeatMap()->visible());
    EXPECT_EQ(v->Plot()->graphCount(), 0);
    EXPECT_FALSE(v->ProfileIndex());
    v->Plot()->replot(QCustomPlot::rpImmediateRefresh);

    // The DATA folder itself opens its first data set.
    EXPECT_TRUE(v->Open(data));
    EXPECT_EQ(v->Data().measurements.size(), 4u);
}

// The viewer the window makes on the DATA folder: until a data set is read its box names no
// folder and nothing can be exported; then it shows the first folder that holds data.
TEST_F(ViewerTest, TheBoxNamesOnlyAFolderThatWasReadAndNothingIsExportedBefore) {
    DataViewer v(data, Language::English);
    v.show();
    auto* folders = v.findChild<QComboBox*>("folders");
    auto* summary = v.findChild<QLabel*>("summary");
    ASSERT_EQ(folders->count(), 2);
    EXPECT_EQ(folders->currentIndex(), -1);
    EXPECT_EQ(folders->placeholderText(), "choose a folder");
    EXPECT_FALSE(v.findChild<QPushButton*>("exportCsv")->isEnabled());
    EXPECT_FALSE(v.findChild<QPushButton*>("exportXlsx")->isEnabled());
    EXPECT_FALSE(v.HeatMap()->visible());
    EXPECT_FALSE(v.Plot()->xAxis->tickLabels()) << "no times of 1970";
    EXPECT_FALSE(v.Plot()->yAxis->tickLabels());
    v.ExportTo(data / "nothing.csv", ExportFormat::Csv);
    EXPECT_FALSE(fs::exists(data / "nothing.csv"));
    EXPECT_EQ(summary->text(), "Nothing to export: open a folder with measurements");

    // "Empty" comes first by name but holds no data file.
    ASSERT_TRUE(v.OpenFirstDataSet());
    EXPECT_EQ(folders->currentText(), "OBJ");
    EXPECT_EQ(v.CurrentFolder(), data / "OBJ");
    EXPECT_EQ(v.findChild<QListWidget*>("sensors")->count(), 3);
    EXPECT_TRUE(v.Plot()->xAxis->tickLabels());
    EXPECT_TRUE(v.findChild<QPushButton*>("exportCsv")->isEnabled());
    v.ExportTo(data / "obj.csv", ExportFormat::Csv);
    EXPECT_EQ(ReadWholeFile(data / "obj.csv").substr(0, 12), "time,1,2,3\r\n");

    // A folder that cannot be read leaves the box naming none, not the last one.
    EXPECT_FALSE(v.Open(data / "absent"));
    EXPECT_EQ(folders->currentIndex(), -1);
    EXPECT_FALSE(v.findChild<QPushButton*>("exportCsv")->isEnabled());

    DataViewer none(data / "Empty", Language::Russian);
    EXPECT_FALSE(none.OpenFirstDataSet());
    EXPECT_TRUE(none.CurrentFolder().empty());
}

TEST_F(ViewerTest, ZoomStaysOnTheDataAndComesBackToTheWholePeriod) {
    auto v = Open(Language::English);
    QCPAxis* mapTime = v->Plot()->xAxis;
    QCPAxis* seriesTime = v->SeriesRect()->axis(QCPAxis::atBottom);
    // Half an hour before the first measurement to half an hour after the last.
    const QCPRange whole(Key(10) - 1800, Key(16) + 1800);
    EXPECT_EQ(v->WholeTime(), whole);
    EXPECT_EQ(mapTime->range(), whole);
    v->ZoomTime(4);
    EXPECT_EQ(mapTime->range(), whole) << "zoomed out no further than the data";
    EXPECT_EQ(seriesTime->range(), whole);

    v->ZoomTime(0.25);
    seriesTime->moveRange(-10 * 3600.0);
    EXPECT_DOUBLE_EQ(mapTime->range().lower, whole.lower) << "panned no further than the data";
    EXPECT_NEAR(mapTime->range().size(), whole.size() / 4, 1e-6);
    mapTime->moveRange(10 * 3600.0);
    EXPECT_DOUBLE_EQ(seriesTime->range().upper, whole.upper);
    v->ZoomTime(1e-6);
    EXPECT_NEAR(mapTime->range().size(), 3600, 1e-6) << "one usual interval at the closest";

    v->ResetZoom();
    EXPECT_EQ(mapTime->range(), whole);
    v->ZoomTime(0.5);
    auto* button = v->findChild<QPushButton*>("wholePeriod");
    EXPECT_EQ(button->text(), "Whole period");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(seriesTime->range(), whole);
    v->ZoomTime(0.5);
    QTest::mouseDClick(v->Plot(), Qt::LeftButton, {}, v->SeriesRect()->rect().center());
    EXPECT_EQ(seriesTime->range(), whole);
    v->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    for (const auto& keys : {QKeyCombination(Qt::Key_Home), Qt::CTRL | Qt::Key_0}) {
        v->ZoomTime(0.5);
        QTest::keyClick(v.get(), keys.key(), keys.keyboardModifiers());
        EXPECT_EQ(mapTime->range(), whole);
    }
}

TEST_F(ViewerTest, TheStatusLineNamesTimeSensorAndValueUnderTheMouse) {
    auto v = Open(Language::English);
    QCustomPlot* plot = v->Plot();
    const auto onMap = [&](int hour, double sensor) {
        return QPoint(static_cast<int>(plot->xAxis->coordToPixel(Key(hour))),
                      static_cast<int>(plot->yAxis->coordToPixel(sensor)));
    };
    EXPECT_EQ(v->DescribeAt(onMap(11, 1)), "2024-03-01 11:00, sensor 1: 1.50 °C");
    EXPECT_EQ(v->DescribeAt(onMap(11, 2.3)), "2024-03-01 11:00, sensor 2: no value");
    EXPECT_EQ(v->DescribeAt(onMap(16, 3)), "2024-03-01 16:00, sensor 3: 5.00 °C");
    EXPECT_EQ(v->DescribeAt(onMap(14, 1)), "") << "the pause has no measurement";
    EXPECT_EQ(v->DescribeAt(QPoint(1, 1)), "") << "outside the plot areas";

    // On the series: the picked sensor whose point is nearest, up or down.
    QCPAxis* time = v->SeriesRect()->axis(QCPAxis::atBottom);
    QCPAxis* values = v->SeriesRect()->axis(QCPAxis::atLeft);
    const QPoint nearThird(static_cast<int>(time->coordToPixel(Key(12) + 300)),
                           static_cast<int>(values->coordToPixel(3.9)));
    EXPECT_EQ(v->DescribeAt(nearThird), "2024-03-01 12:00, sensor 3: 4.00 °C");
    v->PickSensors({1});
    EXPECT_EQ(v->DescribeAt(nearThird), "2024-03-01 12:00, sensor 2: 2.50 °C");

    auto* pointed = v->findChild<QLabel*>("pointed");
    QMouseEvent move(QEvent::MouseMove, QPointF(onMap(10, 3)),
                     plot->mapToGlobal(QPointF(onMap(10, 3))), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    EXPECT_EQ(pointed->text(), "2024-03-01 10:00, sensor 3: 3.00 °C");
    // The wheel moves the time under a mouse that stays put, and the line follows: with a
    // quarter of the period about 16:00 shown, where 12:00 was lies the pause.
    const QPointF at(onMap(12, 3));
    QMouseEvent moveOn(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
    QApplication::sendEvent(plot, &moveOn);
    EXPECT_EQ(pointed->text(), "2024-03-01 12:00, sensor 3: 4.00 °C");
    plot->xAxis->scaleRange(0.25, Key(16));
    EXPECT_EQ(pointed->text(), "");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(plot, &leave);
    EXPECT_EQ(pointed->text(), "");
    v->SetLanguage(Language::Russian);
    EXPECT_EQ(v->DescribeAt(onMap(10, 1)),
              QString::fromUtf8("2024-03-01 10:00, датчик 1: 1.00 °C"));
}

TEST_F(ViewerTest, DamagedLinesAreCountedWithTheirPlaceInTheTip) {
    std::ofstream(data / "OBJ" / "2024_4.dat", std::ios::binary)
        << "10:00 01.04.2024\r\n   1.00   2.x0   3.00\r\n1x:00 02.04.2024\r\n";
    auto v = Open(Language::English);
    auto* issues = v->findChild<QLabel*>("issues");
    EXPECT_FALSE(issues->isHidden());
    EXPECT_EQ(issues->text(), "Lines skipped or damaged: 2");
    EXPECT_TRUE(issues->toolTip().startsWith("2024_4.dat:2: damaged value line"))
        << issues->toolTip().toStdString();
    EXPECT_EQ(v->Data().measurements.size(), 5u);
}

// What an operator sees: "no value" in a colour of its own, named beside the scale; the series
// named by label and depth; the time axis on to the last download; the window on a 1,280 x 800
// screen however many lines were skipped; a collection's DATA as its data sets, here and from
// --summary.
TEST_F(ViewerTest, ADataSetIsReadAsMeantOnA1280By800ScreenAndACollectionByDataSet) {
    const std::vector<SensorInfo> table{{1, 0.5, "T01"}, {2, 1.0, "T02"}, {3, 1.5, "T03"}};
    WriteSensorTable(data / "OBJ", table);
    CollectionRecord r;
    r.time = std::chrono::sys_seconds{std::chrono::seconds{1709289000}};  // 2024-03-01 10:30 UTC
    ASSERT_FALSE(AppendCollectionRecord(data / "OBJ", r));
    r.time += std::chrono::days(1);
    ASSERT_FALSE(AppendCollectionRecord(data / "OBJ", r));
    std::string junk;
    for (int i = 0; i < 400; ++i) junk += "1x:00 02.04.2024\r\n";
    std::ofstream(data / "OBJ" / "2024_4.dat", std::ios::binary) << junk;
    auto v = Open();
    v->resize(1280, 800);
    QCustomPlot* plot = v->Plot();
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QImage image = plot->toPixmap().toImage();
    const auto at = [&](int hour, double depth) {
        return image.pixelColor(static_cast<int>(plot->xAxis->coordToPixel(Key(hour))),
                                static_cast<int>(plot->yAxis->coordToPixel(depth)));
    };
    EXPECT_EQ(at(11, 1.0), kNoValueColour) << "sensor 2 (1 m) at 11:00";
    EXPECT_LT(at(14, 1.0).lightness(), 200) << "a measurement lost in the pause, under its band";
    EXPECT_EQ(at(20, 1.0), kNoValueColour) << "after the last measurement, on to the download";
    EXPECT_NE(at(10, 1.0), kNoValueColour);
    QObject* key = plot->findChild<QObject*>("noValueKey");
    EXPECT_EQ(key ? key->property("text").toString() : "", QString::fromUtf8("нет значения"));
    auto* unit = plot->findChild<QCPTextElement*>("scaleUnit");
    EXPECT_EQ(unit ? unit->text() : "", QString::fromUtf8("°C")) << "upright above the scale";
    EXPECT_EQ(plot->findChild<QCPColorScale*>()->axis()->label(), "");
    EXPECT_EQ(plot->graph(0)->name(), QString::fromUtf8("T01 (0,5 м)"));
    EXPECT_GT(v->WholeTime().upper, Key(16) + 3 * 3600) << "the download a day later";
    for (Language language : {Language::Russian, Language::English}) {
        v->SetLanguage(language);
        QApplication::processEvents();
        EXPECT_LE(v->minimumSizeHint().width(), 1280);
        EXPECT_LE(v->minimumSizeHint().height(), 800);
        for (const char* name : {"exportCsv", "issues", "pointed"}) {
            auto* w = v->findChild<QWidget*>(name);
            EXPECT_TRUE(v->rect().contains(QRect(w->mapTo(v.get(), QPoint()), w->size()))) << name;
        }
    }

    const fs::path site = data / "DATA";
    for (const char* set : {"Borehole 1/T1", "Borehole 1/T2", "Pond/T1"})
        fs::create_directories(site / fs::u8path(set));
    std::ofstream(site / "Borehole 1" / "T1" / "2024_3.dat", std::ios::binary) << kMarch;
    std::ofstream(site / "Pond" / "T1" / "2024_3.dat", std::ios::binary) << kMarch;
    ASSERT_FALSE(AppendCollectionRecord(site / "Borehole 1" / "T1", r));
    r.result = CollectionResult::Failed;
    r.error = "no answer";
    ASSERT_FALSE(AppendCollectionRecord(site / "Borehole 1" / "T2", r));
    ASSERT_TRUE(v->Open(site));
    EXPECT_TRUE(v->findChild<QLabel*>("summary")->text().contains("3 data sets"));
    QStringList rows;
    for (int i = 0; i < v->Overview()->topLevelItemCount(); ++i)
        for (int c = 0; c < 3; ++c) rows << v->Overview()->topLevelItem(i)->text(c);
    EXPECT_EQ(rows.join('|').toStdString(),
              "Borehole 1 / T1|2024-03-02 10:30:00|done|Borehole 1 / T2|2024-03-02 10:30:00|"
              "failed: no answer|Pond / T1||no download logged");
    auto* folders = v->findChild<QComboBox*>("folders");
    EXPECT_EQ(folders->count(), 3);
    ASSERT_TRUE(v->Open(site / "Pond" / "T1"));
    EXPECT_EQ(folders->currentText(), "Pond / T1");
    EXPECT_EQ(v->Data().measurements.size(), 4u);
#ifdef QMC_CONTROLLER
    QProcess p;
    p.start(QMC_CONTROLLER, {"--summary", QString::fromStdString(PathText(site)), "--lang=en"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    // Windows ends the lines with CR LF.
    const QString err = QString::fromUtf8(p.readAllStandardError()).replace("\r\n", "\n");
    EXPECT_TRUE(err.endsWith("\nBorehole 1/T1\nBorehole 1/T2\nPond/T1\n")) << err.toStdString();
#endif
}

#ifdef QMC_CONTROLLER
// The command line: exit status and files as a script would see them.
TEST_F(ViewerTest, ExportFromTheCommandLineWritesTheTableAndReportsDamage) {
    const auto run = [](const QStringList& args) {
        QProcess p;
        p.start(QMC_CONTROLLER, args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    };
    const QString folder = QString::fromStdString(PathText(data / "OBJ"));
    const QString csv = QString::fromStdString(PathText(data / "out.csv"));
    auto [status, err] = run({"--export", folder, "--csv", csv});
    EXPECT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(ReadWholeFile(data / "out.csv").substr(0, 45),
              "time,1,2,3\r\n2024-03-01 10:00,1.00,2.00,3.00\r\n");

    // Messages are Russian unless --lang asks for English, as in the window.
    const QString absent = QString::fromStdString(PathText(data / "absent"));
    std::tie(status, err) = run({"--export", absent, "--csv", csv});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("не существует")) << err.toStdString();
    std::tie(status, err) = run({"--export", absent, "--csv", csv, "--lang", "en"});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("does not exist")) << err.toStdString();

    std::tie(status, err) = run({"--export", QString::fromStdString(PathText(data / "Empty")),
                                 "--csv", QString::fromStdString(PathText(data / "e.csv"))});
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(fs::exists(data / "e.csv"));

    std::ofstream(data / "OBJ" / "2024_4.dat", std::ios::binary) << "1x:00 02.04.2024\r\n";
    std::tie(status, err) = run({"--export", folder, "--csv", csv, "--lang=en"});
    EXPECT_EQ(status, 3) << "written, but a line was skipped";
    EXPECT_TRUE(err.contains("2024_4.dat:1: unreadable measurement header")) << err.toStdString();

    std::tie(status, err) = run({"--export", folder});
    EXPECT_EQ(status, 2);
}

// Names as typed in a shell: bare file names land in the working folder, both of them; a folder
// of headers without a value is nothing to export and leaves no file.
TEST_F(ViewerTest, ExportFromTheCommandLineTakesBareNamesAndRefusesAnEmptyTable) {
    const auto run = [this](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(PathText(data)));
        p.start(QMC_CONTROLLER, args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    };
    QStringList all = {"--export", "OBJ", "--csv", "k.csv"};
    if (XlsxExportAvailable())
        all << "--xlsx"
            << "k.xlsx";
    if (NetcdfExportAvailable())
        all << "--netcdf"
            << "k.nc";
    auto [status, err] = run(all);
    EXPECT_EQ(status, 0) << err.toStdString();
    EXPECT_EQ(ReadWholeFile(data / "k.csv").substr(0, 12), "time,1,2,3\r\n");
    EXPECT_EQ(fs::exists(data / "k.xlsx"), XlsxExportAvailable());
    EXPECT_EQ(fs::exists(data / "k.nc"), NetcdfExportAvailable());
    EXPECT_FALSE(fs::exists(data / kStagingFolderName));

    std::ofstream(data / "Empty" / "2024_3.dat", std::ios::binary)
        << "10:00 01.03.2024\r\n11:00 01.03.2024\r\n";
    std::tie(status, err) = run({"--export", "Empty", "--csv", "e.csv", "--lang", "en"});
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(err.contains("nothing written")) << err.toStdString();
    EXPECT_FALSE(fs::exists(data / "e.csv"));
    if (!NetcdfExportAvailable()) {
        std::tie(status, err) = run({"--export", "OBJ", "--netcdf", "k.nc", "--lang", "en"});
        EXPECT_EQ(status, 2);
        EXPECT_TRUE(err.contains("no NetCDF export")) << err.toStdString();
    }
}

// The sensor table of the folder names the columns of the viewer's exports; a damaged table
// leaves the sensors by number and the export is still written.
TEST_F(ViewerTest, ExportsTakeTheSensorTableOfTheFolder) {
    auto v = Open(Language::English);
    auto* netcdf = v->findChild<QPushButton*>("exportNetcdf");
    ASSERT_NE(netcdf, nullptr);
    EXPECT_EQ(netcdf->text(), "Export NetCDF…");
    EXPECT_EQ(netcdf->isVisibleTo(v.get()), NetcdfExportAvailable());
    EXPECT_TRUE(netcdf->isEnabled());
    std::ofstream(data / "OBJ" / "sensors.csv", std::ios::binary)
        << "sensor,depth_m,label\r\n1,0.0,top\r\n3,1.5,\"low, wet\"\r\n";
    v->ExportTo(data / "labels.csv", ExportFormat::Csv);
    const std::string csv = ReadWholeFile(data / "labels.csv");
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "time,top,2,\"low, wet\"");
    if (NetcdfExportAvailable()) {
        v->ExportTo(data / "obj.nc", ExportFormat::Netcdf);
        EXPECT_TRUE(fs::exists(data / "obj.nc"));
        EXPECT_EQ(v->findChild<QLabel*>("summary")->text().toStdString(),
                  "Written: " + PathText(data / "obj.nc"));
    }
    std::ofstream(data / "OBJ" / "sensors.csv", std::ios::binary) << "no table\r\n";
    v->ExportTo(data / "labels.csv", ExportFormat::Csv);
    EXPECT_EQ(ReadWholeFile(data / "labels.csv").substr(0, 12), "time,1,2,3\r\n");
}
#endif

}  // namespace
}  // namespace qm::test
