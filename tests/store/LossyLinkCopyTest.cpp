// Copies over a link that loses requests and replies: they must end with exactly the files a
// lossless copy gives, and a link that goes dead must end the copy with a message and leave
// the local files complete.
#include <gtest/gtest.h>

#include <random>

#include "protocol/Cp1251.h"
#include "sim/FaultyDevice.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "store/ValueLines.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

enum class Kind { Full, New, Day };

class LossyLinkCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        start = fs::temp_directory_path() / ("qm_lossy_" + std::to_string(std::random_device{}()));
    }
    void TearDown() override {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    // A fresh logger and start folder, connected without losses.
    Rig& Fresh() {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
        fs::create_directories(start);
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        faults = std::make_unique<sim::FaultyDevice>(*logger);
        return Connect();
    }
    Rig& Connect() {
        if (rig) rig->controller.FormClose();
        rig = std::make_unique<Rig>(*faults);
        rig->controller.SetUpFolders(start);
        rig->StartUsb();
        rig->RunUntilIdle();
        return *rig;
    }

    // The first day with measurements in the first monthly file of the selected directory.
    void ChooseDay(Rig& r) {
        const std::string dir = r.State().Directories().DirectoryNames()[1];
        for (const std::string& name : logger->Store().FileNames(dir)) {
            int year = 0, month = 0;
            if (std::sscanf(name.c_str(), "%d_%d.dat", &year, &month) != 2) continue;
            for (const std::string& line : logger->Store().Content(dir, name)->lines) {
                if (const auto day = HeaderDay(line)) {
                    r.controller.DateTimeEdited("DateData", *DateTime::FromDate(year, month, *day));
                    return;
                }
            }
        }
        FAIL() << "no measurement to copy by day";
    }

    // Starts the copy of `kind` on the second directory; the day copy arms its mode first.
    void Click(Rig& r, Kind kind, bool again) {
        r.controller.Selected("ComboBox1", 1);
        switch (kind) {
            case Kind::Full:
                r.controller.Click(again && r.Model().bNewData.enabled ? "bNewData" : "bAllData");
                break;
            case Kind::New:
                r.controller.Click("bNewData");
                break;
            case Kind::Day:
                r.controller.Click("bSelect");
                ChooseDay(r);
                r.controller.Click("bCopy");
                break;
        }
    }

    // Copies as the operator would: when the link gave up, "Новые" (or the day copy) again.
    // Returns how many times the copy gave up.
    int CopyUntilDone(Kind kind, const sim::LinkFaults& lossy) {
        Rig& r = *rig;
        {
            // Enough lines and values that every seed loses some of them.
            const std::string dir = r.State().Directories().DirectoryNames()[1];
            const std::string last = logger->Store().FileNames(dir).back();
            std::vector<sim::StoredValue> values;
            for (int v = 0; v < 23; ++v) values.push_back(v * 7 - 40);
            for (int k = 0; k < 40; ++k) {
                char when[32];
                std::snprintf(when, sizeof when, "%02d:%02d 06.03.2024", k / 6, k % 6 * 10);
                logger->Store().AddMeasurement(dir, last, when, values);
            }
        }
        if (kind == Kind::New) {
            // A lossless full copy, then the logger measures more.
            Click(r, Kind::Full, false);
            r.RunUntilIdle();
            const std::string dir = r.State().Directories().DirectoryNames()[1];
            const std::string last = logger->Store().FileNames(dir).back();
            const std::vector<sim::StoredValue> more{1, 2, 3, 4, 5, 6, 7}, april{8, 9};
            logger->Store().AddMeasurement(dir, last, "23:00 05.03.2024", more);
            logger->Store().AddMeasurement(dir, "2024_4.dat", "00:10 01.04.2024", april);
        }
        faults->SetFaults(lossy);
        int gaveUp = 0;
        for (int round = 0; round < 8; ++round) {
            r.ops.errors.clear();
            Click(r, kind, round > 0);
            r.RunUntilIdle(3'600'000);
            EXPECT_FALSE(r.State().Copy().CopyRunning());
            EXPECT_FALSE(r.Model().lRetry.visible);
            if (r.ops.errors.empty()) return gaveUp;
            ++gaveUp;
        }
        ADD_FAILURE() << "the copy never finished";
        return gaveUp;
    }

    std::map<std::string, std::string> DataFiles() const {
        return StoreTest::Files(start / "DATA");
    }

    FakePcClock clock;
    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<sim::FaultyDevice> faults;
    std::unique_ptr<Rig> rig;
};

TEST_F(LossyLinkCopyTest, EveryKindOfCopyOverALossyLinkGivesTheFilesOfALosslessOne) {
    int retries = 0, gaveUp = 0, runs = 0;
    for (Kind kind : {Kind::Full, Kind::New, Kind::Day}) {
        Fresh();
        CopyUntilDone(kind, {});
        const auto expected = DataFiles();
        ASSERT_FALSE(expected.empty());
        for (int percent = 1; percent <= 5; ++percent) {
            for (std::uint32_t seed = 1; seed <= 4; ++seed) {
                Fresh();
                sim::LinkFaults lossy;
                lossy.lossRate = percent / 100.0;
                lossy.seed = seed * 7919 + static_cast<std::uint32_t>(kind);
                gaveUp += CopyUntilDone(kind, lossy);
                retries += faults->RequestsLost() + faults->RepliesLost();
                ++runs;
                ASSERT_EQ(DataFiles(), expected) << "kind " << static_cast<int>(kind) << ", "
                                                 << percent << " %, seed " << lossy.seed;
                for (const auto& [path, text] : DataFiles())
                    EXPECT_EQ(path.find(kStagingFolderName), std::string::npos) << path;
            }
        }
    }
    RecordProperty("runs", runs);
    RecordProperty("lost", retries);
    RecordProperty("gaveUp", gaveUp);
    EXPECT_GT(retries, runs);  // the link did lose things
}

// The tally that the command line reports: files put in place with their bytes, and the copy
// requests asked again.
TEST_F(LossyLinkCopyTest, TheTallyCountsTheFilesBytesAndRetriesOfTheCopies) {
    const auto local = [this] {
        CopyTotals t;
        for (const auto& [path, text] : DataFiles()) {
            if (path.ends_with(kResumeRecordName)) continue;
            t.bytes += text.size();
            ++t.files;
        }
        return t;
    };
    Rig& r = Fresh();
    CopyUntilDone(Kind::Full, {});
    const CopyTotals clean = r.State().Tally().Totals();
    ASSERT_GT(clean.files, 0);
    EXPECT_EQ(clean.files, local().files);
    EXPECT_EQ(clean.bytes, local().bytes);
    EXPECT_EQ(clean.retries, 0);

    // Every 7th reply lost: each one is asked again once, and the files are written whole.
    sim::LinkFaults lossy;
    lossy.loseEveryNthReply = 7;
    const int lostBefore = faults->RepliesLost();
    EXPECT_EQ(CopyUntilDone(Kind::Full, lossy), 0);
    const CopyTotals lossyCopy = r.State().Tally().Totals() - clean;
    EXPECT_GT(lossyCopy.retries, 0);
    EXPECT_EQ(lossyCopy.retries, faults->RepliesLost() - lostBefore);
    EXPECT_EQ(lossyCopy.files, local().files);
    EXPECT_EQ(lossyCopy.bytes, local().bytes);
}

TEST_F(LossyLinkCopyTest, ADeadLinkEndsEachCopyWithItsMessageAndLeavesTheFilesComplete) {
    int cuts = 0;
    for (Kind kind : {Kind::Full, Kind::New, Kind::Day}) {
        for (int cutAfter : {1, 2, 5, 10, 20, 40}) {
            Rig& r = Fresh();
            if (kind == Kind::New) {
                Click(r, Kind::Full, false);
                r.RunUntilIdle();
                const std::string dir = r.State().Directories().DirectoryNames()[1];
                const std::string last = logger->Store().FileNames(dir).back();
                const std::vector<sim::StoredValue> more{1, 2, 3};
                logger->Store().AddMeasurement(dir, last, "23:00 05.03.2024", more);
            }
            const auto before = DataFiles();
            // Replies come 10 ms apart, so the link can go dead in the middle of the copy.
            r.link.SetReplyDelay(std::chrono::milliseconds(10));
            Click(r, kind, false);
            r.RunFor(10 * cutAfter);
            if (!r.State().Copy().DataFileOpen() && !r.State().Copy().ListingFiles() &&
                !r.Model().bCopy.visible)
                continue;  // finished already
            ++cuts;
            faults->SetSilent(true);
            // The message within three watchdog times of the last request (one reply in flight
            // may still come), the data group back after the finishing step's tick.
            r.RunFor(Controller::kGiveUpWithinMs + 50);
            const std::string what = "kind " + std::to_string(static_cast<int>(kind)) +
                                     ", cut after " + std::to_string(cutAfter);
            if (r.ops.errors.empty() && !r.State().Link().Outstanding) {
                // The reply in flight was the copy's last: it finished.
                --cuts;
                continue;
            }
            ASSERT_EQ(r.ops.errors.size(), 1u) << what;
            r.RunFor(1000);
            EXPECT_NE(r.ops.errors[0].find("не ответил по USB"), std::string::npos)
                << r.ops.errors[0];
            const WindowModel& m = r.Model();
            EXPECT_FALSE(r.State().Copy().CopyRunning()) << what;
            EXPECT_TRUE(m.ComboBox1.enabled) << what;
            EXPECT_TRUE(m.bAllData.enabled && m.bAllData.visible) << what;
            EXPECT_TRUE(m.bTest.enabled) << what;
            EXPECT_FALSE(m.ProgressBar1.visible) << what;
            // Nothing half written: every file is as before, or complete.
            const auto after = DataFiles();
            for (const auto& [path, text] : after) {
                EXPECT_EQ(path.find(kStagingFolderName), std::string::npos) << what << path;
                const auto old = before.find(path);
                if (old != before.end() && old->second == text) continue;
                if (path.ends_with("Temp.bin")) continue;
                // A changed file is a logger file in full.
                const std::string name = path.substr(path.rfind('/') + 1);
                const std::string dir = r.State().Directories().DirectoryNames()[1];
                if (kind == Kind::Day) continue;  // a day file is written whole or not at all
                std::string full;
                for (const std::string& line : logger->Store().Content(dir, name)->lines)
                    full += line + "\r\n";
                EXPECT_EQ(text, full) << what << " " << path;
            }
            // "Новые" later carries on exactly.
            faults->SetSilent(false);
            r.link.SetReplyDelay(std::chrono::milliseconds(0));
            r.ops.errors.clear();
            if (kind != Kind::Day) {
                r.controller.Selected("ComboBox1", 1);
                r.controller.Click(m.bNewData.enabled ? "bNewData" : "bAllData");
                r.RunUntilIdle();
                EXPECT_TRUE(r.ops.errors.empty()) << what;
                const std::string dir = r.State().Directories().DirectoryNames()[1];
                for (const std::string& name : logger->Store().FileNames(dir)) {
                    std::string full;
                    for (const std::string& line : logger->Store().Content(dir, name)->lines)
                        full += line + "\r\n";
                    EXPECT_EQ(DataFiles()[Cp1251ToUtf8(dir) + "/" + PathText(LocalName(name))],
                              full)
                        << what;
                }
            }
        }
    }
    EXPECT_GE(cuts, 9);
}

}  // namespace
}  // namespace qm::test
