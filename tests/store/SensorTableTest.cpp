// The sensor table of a data-set folder: what is read from the operator's file, what is refused
// line by line, and the table written back reading the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "store/FileSteps.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

std::vector<SensorTableProblem> Problems(const SensorTable& t) {
    std::vector<SensorTableProblem> out;
    for (const auto& i : t.issues) out.push_back(i.problem);
    return out;
}

TEST(SensorTable, ReadsDepthsLabelsAndEmptyFieldsInNumberOrder) {
    const SensorTable t = ParseSensorTable(
        "\xEF\xBB\xBFsensor,depth_m,label\r\n"
        "3,2.5,\"Глубина, нижняя\"\r\n"
        "1,0.25,Поверхность\r\n"
        "2,,\r\n"
        "\r\n"
        "4,-0.5,\"air \"\"mast\"\"\"\n");
    EXPECT_TRUE(t.issues.empty());
    ASSERT_EQ(t.sensors.size(), 4u);
    EXPECT_EQ(t.sensors[0], (SensorInfo{1, 0.25, "Поверхность"}));
    EXPECT_EQ(t.sensors[1], (SensorInfo{2, std::nullopt, ""}));
    EXPECT_EQ(t.sensors[2], (SensorInfo{3, 2.5, "Глубина, нижняя"}));
    EXPECT_EQ(t.sensors[3], (SensorInfo{4, -0.5, "air \"mast\""}));
    EXPECT_TRUE(t.HasDepths());
    EXPECT_EQ(t.Find(5), nullptr);
}

TEST(SensorTable, BadLinesAreReportedWithTheirNumbersAndTheRestIsRead) {
    const SensorTable t = ParseSensorTable(
        "sensor,depth_m,label\n"
        "0,1.0,zero\n"        // 2: numbers start at 1
        "256,1.0,too many\n"  // 3
        "x,1.0,\n"            // 4
        "1,1,5,comma\n"       // 5: four fields
        "1,1.5m,\n"           // 6
        "1,nan,\n"            // 7
        "1,1e9,\n"            // 8
        "2,\"open,\n"         // 9
        "2,3.0,ok\n"          // 10
        "2,4.0,again\n"       // 11
        "1,1.0\n");           // 12: two fields
    EXPECT_EQ(Problems(t),
              (std::vector{SensorTableProblem::BadSensor, SensorTableProblem::BadSensor,
                           SensorTableProblem::BadSensor, SensorTableProblem::BadFields,
                           SensorTableProblem::BadDepth, SensorTableProblem::BadDepth,
                           SensorTableProblem::BadDepth, SensorTableProblem::BadFields,
                           SensorTableProblem::RepeatedSensor, SensorTableProblem::BadFields}));
    EXPECT_EQ(t.issues.front().line, 2u);
    EXPECT_EQ(t.issues.back().line, 12u);
    ASSERT_EQ(t.sensors.size(), 1u);
    EXPECT_EQ(t.sensors[0], (SensorInfo{2, 3.0, "ok"}));
    EXPECT_EQ(SensorTableIssueText(t.issues[8], Language::English),
              "sensors.csv:11: this sensor is already given above; line skipped");
    EXPECT_NE(SensorTableIssueText(t.issues[0], Language::Russian).find("255"), std::string::npos);
}

TEST(SensorTable, WithoutItsHeaderLineNothingIsTaken) {
    for (const char* text : {"", "1,1.0,a\n2,2.0,b\n", "sensor;depth_m;label\n1;1.0;a\n"}) {
        const SensorTable t = ParseSensorTable(text);
        EXPECT_TRUE(t.sensors.empty()) << text;
        EXPECT_EQ(Problems(t), std::vector{SensorTableProblem::NoHeader}) << text;
        EXPECT_FALSE(t.HasDepths());
    }
    EXPECT_EQ(SensorTableIssueText(ParseSensorTable("x\n").issues.at(0), Language::Russian),
              "sensors.csv:1: первая строка должна быть «sensor,depth_m,label»; таблица датчиков "
              "не прочитана");
}

TEST(SensorTable, AnyBytesNeverCrashTheReader) {
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::string text = "sensor,depth_m,label\n";
        const int n = static_cast<int>(random() % 80);
        for (int i = 0; i < n; ++i) text += "0123456789.,-\"\r\n e"[random() % 18];
        const SensorTable t = ParseSensorTable(text);
        for (const SensorInfo& s : t.sensors) EXPECT_TRUE(s.sensor >= 1 && s.sensor <= 255);
    }
}

class SensorTableFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("qm_sensors_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        SetFileStepHook(nullptr);
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    fs::path folder;
};

TEST_F(SensorTableFolder, AWrittenTableReadsBackTheSame) {
    EXPECT_TRUE(ReadSensorTable(folder).sensors.empty());
    const std::vector<SensorInfo> sensors = {
        {2, std::nullopt, "a, \"quoted\" label"}, {1, 0.1, " leading blank"}, {3, 12.75, ""}};
    WriteSensorTable(folder, sensors);
    EXPECT_EQ(ReadWholeFile(folder / kSensorTableName),
              "sensor,depth_m,label\r\n"
              "1,0.1,\" leading blank\"\r\n"
              "2,,\"a, \"\"quoted\"\" label\"\r\n"
              "3,12.75,\r\n");
    const SensorTable back = ReadSensorTable(folder);
    EXPECT_TRUE(back.issues.empty());
    EXPECT_EQ(back.sensors, (std::vector<SensorInfo>{sensors[1], sensors[0], sensors[2]}));
}

TEST_F(SensorTableFolder, AHugeFileIsRefusedUnread) {
    std::ofstream(folder / kSensorTableName, std::ios::binary) << "sensor,depth_m,label\n"
                                                               << std::string(2 * 1024 * 1024, 'x');
    EXPECT_THROW(ReadSensorTable(folder), FileError);
}

// A folder in the table's place opens as a file and fails on reading: a FileError that names
// it, as every file the program reads, never an exception of the stream's own.
TEST_F(SensorTableFolder, AFolderInTheTablesPlaceIsAFileError) {
    fs::create_directories(folder / kSensorTableName);
    try {
        ReadSensorTable(folder);
        ADD_FAILURE() << "a folder was read as a table";
    } catch (const FileError& e) {
        EXPECT_NE(e.Text(Language::English).find(kSensorTableName), std::string::npos)
            << e.Text(Language::English);
    }
}

TEST_F(SensorTableFolder, AWriteCutShortLeavesTheOldTable) {
    WriteSensorTable(folder, std::vector<SensorInfo>{{1, 1.0, "old"}});
    SetFileStepHook([](FileStep step, const fs::path&) { return step != FileStep::Replace; });
    EXPECT_THROW(WriteSensorTable(folder, std::vector<SensorInfo>{{1, 2.0, "new"}}), FileError);
    SetFileStepHook(nullptr);
    EXPECT_EQ(ReadSensorTable(folder).sensors, (std::vector<SensorInfo>{{1, 1.0, "old"}}));
}

}  // namespace
}  // namespace qm::test
