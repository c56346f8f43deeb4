// Reading copied data files back as a time series: what good files give, and how every kind of
// damage is reported and skipped without losing the rest.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "store/DataSet.h"
#include "store/LocalFiles.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kNone = 32768;

DataSet Read(std::string_view text, std::string_view fileName = "2024_3.dat") {
    DataSet set;
    ReadDataText(text, fs::path(fileName), FileDateOf(fileName), set);
    Finish(set);
    return set;
}

// One value line holding i / 100.
std::string ValueLinesText(int i) {
    char field[16];
    std::snprintf(field, sizeof field, " %6.2f", i / 100.0);
    return field;
}

std::vector<std::int32_t> ValuesOf(const DataSet& set, std::size_t i) {
    const auto v = set.ValuesOf(set.measurements.at(i));
    return {v.begin(), v.end()};
}

std::vector<ReadProblem> Problems(const DataSet& set) {
    std::vector<ReadProblem> p;
    for (const ReadIssue& i : set.issues) p.push_back(i.problem);
    return p;
}

DateTime At(int y, int mo, int d, int h, int mi) {
    return *DateTime::FromCivil({y, mo, d, h, mi, 0, 0});
}

TEST(DataSetReader, ReadsHeadersValuesAndNotesOfAGoodFile) {
    const auto set = Read(
        "OBJ_A01  2024_3.dat  QM-Controller\r\n"
        "14:30 05.03.2024  N=7\r\n"
        "  12.34  -0.05    -     0.00   2.50\r\n"
        " 327.67 -327.6\r\n"
        "09:05  6.03.2024\r\n"
        "   1.00\r\n"
        "Remark after the values\r\n");
    EXPECT_TRUE(set.issues.empty());
    ASSERT_EQ(set.measurements.size(), 2u);
    EXPECT_EQ(set.measurements[0].time, At(2024, 3, 5, 14, 30));
    EXPECT_EQ(set.measurements[0].text, "N=7");
    EXPECT_EQ(set.measurements[0].line, 2u);
    EXPECT_EQ(ValuesOf(set, 0),
              (std::vector<std::int32_t>{1234, -5, kNone, 0, 250, 32767, -32760}));
    EXPECT_EQ(set.measurements[1].time, At(2024, 3, 6, 9, 5));
    EXPECT_EQ(ValuesOf(set, 1), (std::vector<std::int32_t>{100}));
    EXPECT_EQ(set.sensorCount, 7u);
    EXPECT_EQ(set.Value(1, 6), kNone) << "a measurement with fewer values has none for the rest";
}

TEST(DataSetReader, MonthAndYearComeFromTheFileNameWhenTheHeaderLacksThem) {
    // Bare LF line ends and a Windows-1251 free text are read too.
    const std::string text = "07:15 09 " + Utf8ToCp1251("Скважина 3") + "\n   5.00\n";
    auto set = Read(text, "2010_11.dat");
    ASSERT_EQ(set.measurements.size(), 1u);
    EXPECT_EQ(set.measurements[0].time, At(2010, 11, 9, 7, 15));
    EXPECT_EQ(set.measurements[0].text, "Скважина 3");

    set = Read(text, "2010_11_9.dat");
    ASSERT_EQ(set.measurements.size(), 1u);
    EXPECT_EQ(set.measurements[0].time, At(2010, 11, 9, 7, 15));

    set = Read(text, "notes.dat");
    EXPECT_TRUE(set.measurements.empty());
    EXPECT_EQ(Problems(set), (std::vector{ReadProblem::NoMonthAndYear}))
        << "its values belong to the skipped header and are not reported again";
}

TEST(DataSetReader, FileNamesGiveDatesOnlyInTheCopiesForm) {
    EXPECT_EQ(FileDateOf("2009_3.dat")->month, 3);
    EXPECT_EQ(FileDateOf("2010_11_15.DAT")->day, 15);
    EXPECT_FALSE(FileDateOf("2009_13.dat"));
    EXPECT_FALSE(FileDateOf("2009_2_30.dat"));
    EXPECT_FALSE(FileDateOf("2009_3.txt"));
    EXPECT_FALSE(FileDateOf("2009_.dat"));
    EXPECT_FALSE(FileDateOf("_3.dat"));
    EXPECT_FALSE(FileDateOf("2009_3_1_2.dat"));
    EXPECT_FALSE(FileDateOf("2009.dat"));
    EXPECT_FALSE(FileDateOf(".dat"));
}

TEST(DataSetReader, DamagedHeadersAreReportedWithTheirLineAndTheirValuesSkipped) {
    const auto set = Read(
        "14:30 05.03.2024\r\n"
        "   1.00\r\n"
        "1x:30 05.03.2024\r\n"  // no time
        "   2.00\r\n"
        "25:00 05.03.2024\r\n"  // hour out of range
        "   3.00\r\n"
        "10:00 31.02.2024\r\n"  // no such day
        "   4.00\r\n"
        "12:\r\n"  // too short for a time
        "11:00 06.03.2024\r\n"
        "   5.00\r\n");
    ASSERT_EQ(set.measurements.size(), 2u);
    EXPECT_EQ(ValuesOf(set, 0), (std::vector<std::int32_t>{100}));
    EXPECT_EQ(ValuesOf(set, 1), (std::vector<std::int32_t>{500}));
    ASSERT_EQ(set.issues.size(), 4u);
    for (const ReadIssue& i : set.issues) EXPECT_EQ(i.problem, ReadProblem::BadHeader);
    EXPECT_EQ(set.issues[0].line, 3u);
    EXPECT_EQ(set.issues[1].line, 5u);
    EXPECT_EQ(set.issues[2].line, 7u);
    EXPECT_EQ(set.issues[3].line, 9u);
    EXPECT_EQ(IssueText(set.issues[0], Language::English),
              "2024_3.dat:3: unreadable measurement header; its values skipped");
    EXPECT_EQ(IssueText(set.issues[0], Language::Russian),
              "2024_3.dat:3: нечитаемый заголовок измерения; его значения пропущены");
}

TEST(DataSetReader, DamagedShortAndLongValueLinesKeepTheOtherSensorsInPlace) {
    const auto set = Read(
        "14:30 05.03.2024\r\n"
        "   1.00   2.00   3.00   4.00   5.00\r\n"
        "   6.00   7.00\r\n"  // short, yet more lines follow
        "  11.00  12.00  13.00  14.00  15.00\r\n"
        "  16.0x  17.00  18.00  19.00  20.00\r\n"         // damaged: not a value
        "  21.00  22.00  23.00  24.00  25.00  26.00\r\n"  // six values in one line
        "  31.00\r\n"
        "Values without a header follow\r\n"
        "   9.00\r\n"
        "   9.00\r\n");
    ASSERT_EQ(set.measurements.size(), 1u);
    const auto v = ValuesOf(set, 0);
    ASSERT_EQ(v.size(), 26u);
    EXPECT_EQ(v[6], 700);
    EXPECT_EQ(v[7], kNone);
    EXPECT_EQ(v[10], 1100) << "sensor 11 stays sensor 11";
    EXPECT_EQ(v[15], kNone);
    EXPECT_EQ(v[24], kNone);
    EXPECT_EQ(v[25], 3100);
    EXPECT_EQ(Problems(set),
              (std::vector{ReadProblem::ShortValueLine, ReadProblem::DamagedValueLine,
                           ReadProblem::LongValueLine, ReadProblem::ValuesWithoutHeader}));
    EXPECT_EQ(set.issues[0].line, 3u);
    EXPECT_EQ(set.issues[3].line, 9u) << "a run of such lines is reported once";
}

TEST(DataSetReader, ADamagedLineCostsOnlyWhatIsDamagedAndIsReportedWithItsLine) {
    const auto set = Read(
        "14:30 05.03.2024\r\n"
        "   1.00   2.00   3.00   4.00   5.00\r\n"
        "  -2.51  abc  -1.65  -1.70  -1.80\r\n"  // a field cut short: off the layout
        "  11.00  12.00  13.00  14.00  15.00\r\n"
        "  16.00\r\n"
        "15:30 05.03.2024\r\n"
        "#~ noise\r\n"  // junk right after the time line
        "   1.00   2.00   3.00   4.00   5.00\r\n"
        "\r\n"  // an empty line among the values
        "   6.00   7.00\r\n"
        "Remark after the values\r\n"
        "16:30 05.03.2024\r\n"
        "   1.00\r\n");
    ASSERT_EQ(set.measurements.size(), 3u);
    EXPECT_EQ(ValuesOf(set, 0),
              (std::vector<std::int32_t>{100, 200, 300, 400, 500, -251, kNone, -165, -170, -180,
                                         1100, 1200, 1300, 1400, 1500, 1600}));
    EXPECT_EQ(ValuesOf(set, 1), (std::vector<std::int32_t>{100, 200, 300, 400, 500, 600, 700}));
    EXPECT_EQ(ValuesOf(set, 2), (std::vector<std::int32_t>{100}));
    ASSERT_EQ(set.issues.size(), 3u);
    EXPECT_EQ(set.issues[0].line, 3u);
    EXPECT_EQ(set.issues[1].line, 7u);
    EXPECT_EQ(set.issues[2].line, 9u);
    EXPECT_EQ(IssueText(set.issues[0], Language::English),
              "2024_3.dat:3: damaged value line; what cannot be read in it taken as missing");
}

TEST(DataSetReader, PaddingAtTheEndOfABlockAddsNoSensors) {
    const auto set = Read(
        "14:30 05.03.2024\r\n"
        "   1.00   2.00\r\n"
        "   1.x0   2.x0\r\n");
    ASSERT_EQ(set.measurements.size(), 1u);
    EXPECT_EQ(ValuesOf(set, 0), (std::vector<std::int32_t>{100, 200}));
    EXPECT_EQ(set.sensorCount, 2u);
    EXPECT_EQ(set.issues.size(), 2u);
}

TEST(DataSetReader, AMeasurementOfMoreValuesThanSensorsIsCut) {
    std::string text = "14:30 05.03.2024\r\n";
    for (int i = 0; i < 60; ++i) text += "   1.00   1.00   1.00   1.00   1.00\r\n";
    const auto set = Read(text);
    ASSERT_EQ(set.measurements.size(), 1u);
    EXPECT_EQ(set.measurements[0].count, kMaxSensors);
    EXPECT_EQ(Problems(set), (std::vector{ReadProblem::TooManyValues}));
}

TEST(DataSetReader, BinaryJunkNeverPassesForAMeasurement) {
    std::mt19937 random(7);
    std::string junk;
    for (int i = 0; i < 20000; ++i) junk += static_cast<char>(random() % 256);
    const auto set = Read(junk);
    for (const Measurement& m : set.measurements) {
        const CivilDateTime c = m.time.ToCivil();
        EXPECT_EQ((c.year), 2024);
        EXPECT_LE(m.count, kMaxSensors);
    }
    EXPECT_LE(set.issues.size(), kIssueLimit);
}

// Many measurements of one time (a damaged clock) are all kept and do not slow the merge down to
// comparing each with every other.
TEST(DataSetReader, ManyMeasurementsOfOneTimeAreKeptInOrder) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "10:00 01.03.2024\r\n" + std::string(i % 2 ? "   1.00" : "   2.00") +
                std::string(i % 3 ? "" : "   3.00") + "\r\n";
    const auto set = Read(text);
    EXPECT_EQ(set.measurements.size(), 4u) << "duplicates among the neighbours are dropped";
    DataSet distinct;
    text.clear();
    for (int i = 0; i < 20000; ++i)
        text += "10:00 01.03.2024\r\n" + std::string(ValueLinesText(i)) + "\r\n";
    distinct = Read(text);
    EXPECT_EQ(distinct.measurements.size(), 20000u);
    EXPECT_EQ(distinct.issueCount, 19999u);
    EXPECT_EQ(ValuesOf(distinct, 19999), (std::vector<std::int32_t>{19999}));
}

TEST(DataSetReader, IssuesBeyondTheLimitAreCountedNotKept) {
    std::string text;
    for (std::size_t i = 0; i < kIssueLimit + 10; ++i) text += "1x:00\r\n";
    const auto set = Read(text);
    EXPECT_EQ(set.issues.size(), kIssueLimit);
    EXPECT_EQ(set.issueCount, kIssueLimit + 10);
}

class DataSetFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("qm_dataset_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }
    fs::path folder;
};

TEST_F(DataSetFolder, FilesMergeInTimeOrderAndADayFileBesideItsMonthCountsOnce) {
    Write("2024_3.dat", "t\r\n10:00 01.03.2024\r\n   1.00\r\n10:00 02.03.2024\r\n   2.00\r\n");
    Write("2024_2.dat", "t\r\n10:00 29.02.2024\r\n   0.50\r\n");
    Write("2024_3_2.dat", "10:00 02.03.2024\r\n   2.00\r\n");
    // A different measurement at a time already held is kept, and reported.
    Write("2024_3_1.dat", "10:00  1\r\n   7.00\r\n");
    Write("Temp.bin", "2024_3.dat\r\n5\r\n");
    Write("2024_3.dat.part", "10:00 03.03.2024\r\n   9.00\r\n");
    const auto set = ReadDataSet(folder);
    ASSERT_EQ(set.measurements.size(), 4u);
    EXPECT_EQ(set.files.size(), 4u);
    EXPECT_EQ(set.measurements[0].time, At(2024, 2, 29, 10, 0));
    EXPECT_EQ(set.measurements[1].time, At(2024, 3, 1, 10, 0));
    EXPECT_EQ(set.measurements[2].time, At(2024, 3, 1, 10, 0));
    EXPECT_EQ(set.measurements[3].time, At(2024, 3, 2, 10, 0));
    EXPECT_EQ(ValuesOf(set, 3), (std::vector<std::int32_t>{200}));
    ASSERT_EQ(Problems(set), (std::vector{ReadProblem::SameTimeDiffers}));
    EXPECT_EQ(IssueText(set.issues[0], Language::English).substr(0, 13), "2024_3_1.dat:");
}

TEST_F(DataSetFolder, AMissingFolderOrFileIsAnErrorAndASingleFileIsRead) {
    EXPECT_THROW(ReadDataSet(folder / "absent"), FileError);
    Write("2024_3.dat", "10:00 01.03.2024\r\n   1.00\r\n");
    const auto one = ReadDataSet(folder / "2024_3.dat");
    EXPECT_EQ(one.measurements.size(), 1u);
}

// What the copy writes is what the reader reads: the virtual logger's demo data, copied whole.
TEST_F(DataSetFolder, ACopiedDemoDirectoryReadsBackWithoutIssues) {
    const fs::path& start = folder;
    {
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        FakePcClock clock;
        sim::VirtualLogger logger(config, [&clock] { return clock.Now(); });
        Rig rig(logger);
        rig.controller.SetUpFolders(start);
        rig.StartUsb();
        rig.RunFor(5000);
        ASSERT_EQ(Cp1251ToUtf8(rig.State().Directories().DirectoryNames().at(0)), "Котельная");
        rig.controller.Click("bAllData");
        rig.RunUntilIdle();
    }
    const fs::path boiler = start / "DATA" / LocalName(Utf8ToCp1251("Котельная"));
    ASSERT_TRUE(fs::is_directory(boiler));
    const auto set = ReadDataSet(boiler);
    EXPECT_TRUE(set.issues.empty()) << IssueText(set.issues.at(0), Language::English);
    EXPECT_EQ(set.files.size(), 2u);
    EXPECT_EQ(set.measurements.size(), 2u * 3u * 3u);
    EXPECT_EQ(set.sensorCount, 7u);
    for (std::size_t i = 1; i < set.measurements.size(); ++i)
        EXPECT_LT(set.measurements[i - 1].time, set.measurements[i].time);
}

}  // namespace
}  // namespace qm::test
