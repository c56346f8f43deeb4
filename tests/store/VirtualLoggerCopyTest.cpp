// Copies end to end against the virtual logger and its data store: what lands in the data
// folder must be the logger's files line for line.
#include <gtest/gtest.h>

#include <random>

#include "protocol/Cp1251.h"
#include "sim/FaultyDevice.h"
#include "sim/ValueLines.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

class VirtualLoggerCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        start =
            fs::temp_directory_path() / ("qm_store_vl_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        faults = std::make_unique<sim::FaultyDevice>(*logger);
    }
    void TearDown() override {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    Rig& Connect() {
        if (rig) rig->controller.FormClose();
        rig = std::make_unique<Rig>(*faults);
        rig->controller.SetUpFolders(start);
        rig->StartUsb();
        rig->RunFor(5000);
        return *rig;
    }

    // The logger's files of a directory as the local copy must hold them, by local name.
    std::map<std::string, std::string> LoggerFiles(const std::string& dir) {
        std::map<std::string, std::string> files;
        std::string last;
        for (const std::string& name : logger->Store().FileNames(dir)) {
            std::string text;
            for (const std::string& line : logger->Store().Content(dir, name)->lines)
                text += line + "\r\n";
            files[PathText(LocalName(name))] = text;
            last = name;
        }
        return files;
    }
    std::map<std::string, std::string> LocalFiles(const std::string& dir) {
        auto files = StoreTest::Files(start / "DATA" / LocalName(dir));
        files.erase("Temp.bin");
        return files;
    }

    FakePcClock clock;
    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<sim::FaultyDevice> faults;
    std::unique_ptr<Rig> rig;
};

TEST_F(VirtualLoggerCopyTest, FullCopyOfEveryDirectoryGivesTheLoggersFiles) {
    Rig& r = Connect();
    const auto dirs = r.State().Directories().DirectoryNames();
    ASSERT_EQ(dirs.size(), 4u);  // the system directory is not offered
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        r.controller.Selected("ComboBox1", static_cast<int>(i));
        r.controller.Click("bAllData");
        r.RunUntilIdle();
        EXPECT_EQ(LocalFiles(dirs[i]), LoggerFiles(dirs[i])) << Cp1251ToUtf8(dirs[i]);
        EXPECT_TRUE(r.Model().bNewData.enabled);
    }
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(VirtualLoggerCopyTest, NewDataAfterTheLoggerMeasuredMoreAddsExactlyTheNewLines) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    r.controller.Click("bAllData");
    r.RunUntilIdle();
    const std::string lastFile = logger->Store().FileNames(dir).back();
    const std::vector<sim::StoredValue> values{1, std::nullopt, -250, 32767, 5, 6, 7};
    logger->Store().AddMeasurement(dir, lastFile, "23:00 05.03.2024", values);
    logger->Store().AddMeasurement(dir, "2024_4.dat", "00:10 01.04.2024", values);

    const int before = faults->Requests();
    r.controller.Click("bNewData");
    r.RunUntilIdle();
    EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir));
    // One resume request, then only the new file is opened.
    EXPECT_LT(faults->Requests() - before, 20);
}

TEST_F(VirtualLoggerCopyTest, CopyCutAtAnyReplyThenNewDataGivesTheLoggersFiles) {
    Rig& first = Connect();
    const std::string dir = first.State().Directories().DirectoryNames()[1];
    const std::string lastFile = logger->Store().FileNames(dir).back();
    const std::vector<sim::StoredValue> values{11, 12, 13, 14, 15, 16};
    for (int cut = 1;; ++cut) {
        fs::remove_all(start / "DATA");
        logger = std::make_unique<sim::VirtualLogger>(
            [] {
                sim::LoggerConfig c;
                c.demoShape = sim::DemoStoreShape::Small();
                return c;
            }(),
            [this] { return clock.Now(); });
        faults = std::make_unique<sim::FaultyDevice>(*logger);
        Rig& r = Connect();
        r.controller.Selected("ComboBox1", 1);
        r.controller.Click("bAllData");
        r.RunUntilIdle();
        logger->Store().AddMeasurement(dir, lastFile, "23:00 05.03.2024", values);
        logger->Store().AddMeasurement(dir, "2024_4.dat", "00:10 01.04.2024", values);

        const int seen = faults->RepliesSeen();
        // The reply and those of its three retries lost: the copy gives up there.
        for (int k = 0; k < 4; ++k) faults->DropReply(seen + cut + k);
        r.controller.Click("bNewData");
        r.RunUntilIdle();
        // A copy that got every reply has finished without a word.
        EXPECT_TRUE(r.Work().Idle()) << "cut at reply " << cut;
        const bool finished = r.ops.errors.empty();
        faults->KeepReplies();

        Rig& again = Connect();
        again.controller.Selected("ComboBox1", 1);
        again.controller.Click(again.Model().bNewData.enabled ? "bNewData" : "bAllData");
        again.RunUntilIdle();
        ASSERT_EQ(LocalFiles(dir), LoggerFiles(dir)) << "cut at reply " << cut;
        EXPECT_TRUE(again.ops.errors.empty()) << "cut at reply " << cut;
        if (finished) {
            EXPECT_GT(cut, 5);  // listing, resume, the new file
            break;
        }
    }
}

TEST_F(VirtualLoggerCopyTest, DayCopyHoldsThatDaysLinesOfTheMonthlyFile) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    r.controller.Click("bSelect");
    r.controller.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 2));
    r.controller.Click("bCopy");
    r.RunUntilIdle();

    std::string expected;
    bool inDay = false;
    for (const std::string& line : logger->Store().Content(dir, "2024_3.dat")->lines) {
        if (sim::IsHeaderLine(line)) inDay = sim::HeaderDay(line) == 2;
        if (inDay) expected += line + "\r\n";
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(LocalFiles(dir), (std::map<std::string, std::string>{{"2024_3_2.dat", expected}}));
    EXPECT_FALSE(fs::exists(start / "DATA" / LocalName(dir) / "Temp.bin"));
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(VirtualLoggerCopyTest, DeletedDirectoryIsGoneFromTheLoggerAndTheSelector) {
    Rig& r = Connect();
    const std::string dir = r.State().Directories().DirectoryNames()[2];
    r.controller.Selected("ComboBox1", 2);
    r.controller.Click("bDelete");
    r.RunFor(100);
    EXPECT_FALSE(logger->Store().HasDirectory(dir));
    EXPECT_EQ(r.State().Directories().DirectoryNames().size(), 3u);
    EXPECT_EQ(r.Model().ComboBox1.itemIndex, 0);
}

}  // namespace
}  // namespace qm::test
