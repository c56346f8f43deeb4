// The progress line of a copy (file i of n, measurements, time left) and stopping a copy, against
// the virtual logger over a link whose replies take time in proportion to their bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "session/CopyProgress.h"
#include "sim/DemoStore.h"
#include "sim/ValueLines.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

// A logger behind a line of about 115200 baud: each reply is held for its bytes' time. It can
// also fall silent, or hold every reply for a fixed time.
class PacedDevice : public sim::Device {
public:
    explicit PacedDevice(sim::Device& inner) : inner_(inner) {}
    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override {
        ++requests;
        if (silent || dropAt.count(requests)) return {};
        auto frames = inner_.Handle(request);
        std::size_t bytes = request.size();
        for (const auto& f : frames) bytes += f.size();
        if (link)
            link->SetReplyDelay(std::chrono::milliseconds(
                fixedDelayMs > 0 ? fixedDelayMs : 1 + static_cast<int>(bytes) / 12));
        return frames;
    }
    sim::InProcessHidLink* link = nullptr;
    int fixedDelayMs = 0;
    bool silent = false;
    std::set<int> dropAt;  // numbers of requests that go unanswered
    int requests = 0;

private:
    sim::Device& inner_;
};

class CopyProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        start = fs::temp_directory_path() /
                ("qm_store_progress_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
    }
    void TearDown() override {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    Rig& Connect(const sim::DemoStoreShape& shape) {
        sim::LoggerConfig config;
        config.demoShape = shape;
        if (!logger) {
            logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
            paced = std::make_unique<PacedDevice>(*logger);
        }
        if (rig) rig->controller.FormClose();
        rig = std::make_unique<Rig>(*paced);
        paced->link = &rig->link;
        rig->controller.SetUpFolders(start);
        rig->StartUsb();
        rig->RunFor(5000);
        return *rig;
    }

    std::map<std::string, std::string> LoggerFiles(const std::string& dir) {
        std::map<std::string, std::string> files;
        for (const std::string& name : logger->Store().FileNames(dir)) {
            std::string text;
            for (const std::string& line : logger->Store().Content(dir, name)->lines)
                text += line + "\r\n";
            files[PathText(LocalName(name))] = text;
        }
        return files;
    }
    std::map<std::string, std::string> LocalFiles(const std::string& dir) {
        auto files = StoreTest::Files(start / "DATA" / LocalName(dir));
        files.erase("Temp.bin");
        return files;
    }

    // Runs a "Копировать" copy to its end in steps of 200 ms, and checks the time left that was
    // shown against the time the copy really took, from `fromShare` of the copy on.
    void ExpectEstimateWithin(double tolerance, double fromShare) {
        Rig& r = *rig;
        r.controller.Click("bAllData");
        const std::int64_t begin = r.now;
        std::vector<std::pair<std::int64_t, CopyProgressView>> samples;
        while (!r.Timers().Timer2.Enabled() && r.now - begin < 3'600'000) {
            r.RunFor(200);
            samples.emplace_back(r.now, r.State().Progress());
        }
        ASSERT_TRUE(r.Timers().Timer2.Enabled()) << "the copy did not end";
        const double total = static_cast<double>(r.now - begin);
        int checked = 0;
        for (const auto& [t, view] : samples) {
            const double elapsed = static_cast<double>(t - begin);
            if (elapsed < fromShare * total || elapsed > 0.9 * total) continue;
            const double actual = (total - elapsed) / 1000.0;
            ASSERT_TRUE(view.secondsLeft) << "no estimate at " << elapsed / total;
            EXPECT_NEAR(*view.secondsLeft, actual, tolerance * actual)
                << "at " << 100 * elapsed / total << " % of the copy";
            ++checked;
        }
        EXPECT_GT(checked, 50);
        r.RunUntilIdle();
        EXPECT_FALSE(r.State().Progress().active);
        EXPECT_TRUE(r.ops.errors.empty());
    }

    // A logger whose directory "D" holds hourly measurements of seven sensors from `firstDay` to
    // `lastDay` of each month given.
    struct LoggedMonth {
        int year, month, firstDay, lastDay;
    };
    void HourlyLogger(const std::vector<LoggedMonth>& months) {
        sim::LoggerConfig config;
        config.demoData = false;
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        paced = std::make_unique<PacedDevice>(*logger);
        const std::vector<sim::StoredValue> values{1, 2, 3, 4, 5, 6, 7};
        for (const LoggedMonth& m : months) {
            sim::LoggerStore::Lines lines{"QM-Controller"};
            for (int day = m.firstDay; day <= m.lastDay; ++day)
                for (int hour = 0; hour < 24; ++hour) {
                    char header[32];
                    std::snprintf(header, sizeof header, "%02d:00 %02d.%02d.%04d", hour, day,
                                  m.month, m.year);
                    lines.emplace_back(header);
                    for (auto& line : sim::FormatValueLines(values)) lines.push_back(line);
                }
            logger->Store().AddFile("D", sim::MonthlyFileName(m.year, m.month), lines);
        }
    }

    FakePcClock clock;
    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<PacedDevice> paced;
    std::unique_ptr<Rig> rig;
};

TEST_F(CopyProgressTest, TimeLeftIsWithinAFifthAfterATenthOfTheCopy) {
    // Five whole months and the days of the current one, hourly.
    Connect({6, 60, 7, 0, true});
    ExpectEstimateWithin(0.2, 0.1);
}

TEST_F(CopyProgressTest, TimeLeftLearnsHowMuchOfEachMonthTheDataFill) {
    // Only the first ten days of every month hold data: once a month has been copied whole the
    // estimate knows the rest end early too.
    Connect({6, 60, 7, 10, true});
    ExpectEstimateWithin(0.2, 0.25);
}

TEST_F(CopyProgressTest, ProgressLineShowsFileCountAndTimeLeftInBothLanguages) {
    Rig& r = Connect({3, 60, 7, 0, true});
    EXPECT_FALSE(r.Model().lProgress.visible);
    r.controller.Click("bAllData");
    EXPECT_TRUE(r.Model().lProgress.visible);
    EXPECT_EQ(r.Model().lProgress.caption, "Чтение списка файлов…");
    r.RunFor(3000);
    CopyProgressView v = r.State().Progress();
    EXPECT_TRUE(v.active);
    EXPECT_EQ(v.file, 1);
    EXPECT_EQ(v.files, 3);
    EXPECT_GT(v.measurements, 2);
    const std::string& caption = r.Model().lProgress.caption;
    EXPECT_EQ(caption.rfind("Файл 1 из 3 · измерений: " + std::to_string(v.measurements), 0), 0u)
        << caption;
    EXPECT_NE(caption.find("\nОсталось около "), std::string::npos) << caption;
    // lMeasureCounter keeps its own caption.
    EXPECT_EQ(r.Model().lMeasureCounter.caption, "Измерений: " + std::to_string(v.measurements));

    r.controller.Click("pmEng");
    EXPECT_EQ(r.Model().lProgress.caption.rfind("File 1 of 3 · measurements: ", 0), 0u);
    EXPECT_NE(r.Model().lProgress.caption.find(" left"), std::string::npos);
    while (r.State().Progress().file < 2) r.RunFor(500);
    EXPECT_EQ(r.Model().lProgress.caption.rfind("File 2 of 3", 0), 0u);
    r.RunUntilIdle();
    EXPECT_FALSE(r.Model().lProgress.visible);
    EXPECT_FALSE(r.State().Progress().active);

    // The day copy: one file, the chosen day.
    r.controller.Click("bSelect");
    EXPECT_FALSE(r.Model().bStop.visible);
    r.Model().DateData.value = *DateTime::FromDate(2024, 2, 10);
    r.controller.Click("bCopy");
    for (int i = 0; i < 500 && r.State().Progress().measurements == 0; ++i) r.RunFor(10);
    v = r.State().Progress();
    EXPECT_EQ(v.file, 1);
    EXPECT_EQ(v.files, 1);
    EXPECT_GT(v.measurements, 0);
    EXPECT_TRUE(r.Model().lProgress.visible);
    EXPECT_EQ(r.Model().lProgress.caption.rfind("File 1 of 1", 0), 0u);
    r.RunUntilIdle();
    EXPECT_FALSE(r.Model().lProgress.visible);
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(CopyProgressTest, TimeLeftNeverClaimsNothingIsLeftWhileTheCopyGoesOnOrWaits) {
    // January holds data on its first three days only, February on every day: once February's
    // data run past the share of the month January filled, the estimate has run out.
    HourlyLogger({{2009, 1, 1, 3}, {2009, 2, 1, 28}});
    Rig& r = Connect({});
    r.controller.Click("bAllData");
    const std::int64_t begin = r.now;
    auto expectNoZero = [&] {
        const CopyProgressView v = r.State().Progress();
        if (!v.active) return;
        EXPECT_TRUE(!v.secondsLeft || *v.secondsLeft >= 0.5)
            << *v.secondsLeft << " s at " << v.measurements << " measurements";
        EXPECT_EQ(r.Model().lProgress.caption.find("около 0 с"), std::string::npos)
            << r.Model().lProgress.caption;
    };
    while (r.State().Progress().file < 2 || r.State().Progress().measurements < 72 + 10 * 24) {
        r.RunFor(100);
        expectNoZero();
        ASSERT_LT(r.now - begin, 600'000) << "the copy did not reach February's 11th";
    }
    // Past where January's share ended, February's data may fill their month: an estimate again.
    EXPECT_TRUE(r.State().Progress().secondsLeft);
    // The logger falls silent for two requests: the line stands while they are asked again.
    paced->silent = true;
    const int sent = paced->requests;
    while (paced->requests < sent + 2) {
        r.RunFor(50);
        expectNoZero();
    }
    paced->silent = false;
    while (!r.Timers().Timer2.Enabled()) {
        r.RunFor(100);
        expectNoZero();
        ASSERT_LT(r.now - begin, 600'000) << "the copy did not end";
    }
    EXPECT_TRUE(r.ops.errors.empty());
    EXPECT_EQ(LocalFiles("D"), LoggerFiles("D"));
}

TEST_F(CopyProgressTest, DayCopyCountsUpOnlyAndEndsWithTheSummarysCount) {
    Rig& r = Connect({3, 60, 7, 0, true});
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    r.controller.Click("bSelect");
    r.Model().DateData.value = *DateTime::FromDate(2024, 2, 10);
    // Two replies go missing: the day is copied again from its start, twice.
    paced->dropAt = {paced->requests + 20, paced->requests + 45};
    r.controller.Click("bCopy");
    std::int64_t shown = 0;
    int fallbacks = 0;
    const std::int64_t begin = r.now;
    while (r.State().Progress().active) {
        r.RunFor(5);
        const CopyProgressView v = r.State().Progress();
        if (!v.active) break;
        if (v.measurements < shown) ++fallbacks;
        shown = v.measurements;
        const std::string& caption = r.Model().lProgress.caption;
        EXPECT_NE(caption.find("измерений: " + std::to_string(shown)), std::string::npos)
            << caption;
        ASSERT_LT(r.now - begin, 600'000) << "the day copy did not end";
    }
    EXPECT_GT(paced->requests, *paced->dropAt.rbegin()) << "both replies went missing";
    EXPECT_EQ(fallbacks, 0);
    EXPECT_EQ(shown, 24);
    EXPECT_EQ(r.State().Copy().MeasurementCount(), 24);
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(CopyProgressTest, HeaderTimesFileMonthsAndDurations) {
    EXPECT_EQ(CopyProgress::HeaderTime("14:30 05.03.2009  N=7"),
              DateTime::FromCivil({2009, 3, 5, 14, 30, 0, 0}));
    EXPECT_EQ(CopyProgress::HeaderTime("00:00  5.12.2024"),
              DateTime::FromCivil({2024, 12, 5, 0, 0, 0, 0}));
    for (const char* bad : {"14:30 31.02.2009", "25:00 05.03.2009", "14:30 05.03.20", "title",
                            "14:30 5.03.2009x", "14:30 0x.03.2009"})
        EXPECT_FALSE(CopyProgress::HeaderTime(bad)) << bad;

    using Month = std::optional<std::pair<int, int>>;
    EXPECT_EQ(CopyProgress::MonthOfFileName("2024_3.dat"), (Month{{2024, 3}}));
    EXPECT_EQ(CopyProgress::MonthOfFileName("2023_12.DAT"), (Month{{2023, 12}}));
    for (const char* bad : {"2024_13.dat", "2024_0.dat", "2024_3.txt", "_3.dat", "2024_3_5.dat",
                            "notes.dat", "2024_123.dat"})
        EXPECT_FALSE(CopyProgress::MonthOfFileName(bad)) << bad;

    EXPECT_EQ(CopyProgress::DurationText(42.4, Language::Russian), "42 с");
    EXPECT_EQ(CopyProgress::DurationText(130, Language::Russian), "2 мин 10 с");
    EXPECT_EQ(CopyProgress::DurationText(65, Language::English), "1 min 05 s");
    EXPECT_EQ(CopyProgress::DurationText(724, Language::English),
              "12 min 00 s");  // tens of seconds
    EXPECT_EQ(CopyProgress::DurationText(3 * 3600 + 5 * 60 + 40, Language::Russian), "3 ч 06 мин");
    EXPECT_EQ(CopyProgress::DurationText(-3, Language::English), "0 s");
}

TEST_F(CopyProgressTest, StoppedCopiesLeaveCompleteFilesAndNewDataCarriesOnExactly) {
    Rig& r = Connect({4, 60, 7, 3, true});
    const std::string dir = r.State().Directories().DirectoryNames()[0];
    const fs::path folder = start / "DATA" / LocalName(dir);
    const auto names = logger->Store().FileNames(dir);
    ASSERT_EQ(names.size(), 4u);

    // "Копировать" stopped in the middle of the second file.
    r.controller.Click("bAllData");
    EXPECT_TRUE(r.Model().bStop.visible);
    EXPECT_TRUE(r.Model().bStop.enabled);
    while (r.State().Progress().file < 2 || r.State().Copy().Files().LinesWritten < 20)
        r.RunFor(20);
    r.controller.Click("bStop");
    EXPECT_FALSE(r.Model().bStop.enabled);
    EXPECT_EQ(r.Model().lProgress.caption, "Копирование останавливается…");
    r.RunUntilIdle();
    EXPECT_TRUE(r.ops.errors.empty());
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_FALSE(r.Model().bStop.visible);
    EXPECT_FALSE(r.Model().lProgress.visible);
    EXPECT_TRUE(r.Model().bNewData.enabled);
    auto local = LocalFiles(dir);
    const auto loggerFiles = LoggerFiles(dir);
    const std::string first = PathText(LocalName(names[0]));
    ASSERT_EQ(local.size(), 1u);  // the unfinished file is dropped, the staging folder is empty
    EXPECT_EQ(local[first], loggerFiles.at(first));
    EXPECT_EQ(ReadResumeRecord(folder).name, names[0]);

    // "Новые" stopped in the middle of the third file, after the logger measured more.
    const std::vector<sim::StoredValue> values{1, 2, 3, 4, 5, 6, 7};
    logger->Store().AddMeasurement(dir, names.back(), "12:00 05.03.2024", values);
    r.controller.Click("bNewData");
    while (r.State().Progress().file < 3 || r.State().Copy().Files().LinesWritten < 10)
        r.RunFor(20);
    r.controller.Click("bStop");
    r.RunUntilIdle();
    EXPECT_TRUE(r.ops.errors.empty());
    EXPECT_EQ(LocalFiles(dir).size(), 2u);
    EXPECT_EQ(ReadResumeRecord(folder).name, names[1]);

    // A new run of the program carries on exactly.
    Rig& again = Connect({4, 60, 7, 3, true});
    again.controller.Click("bNewData");
    again.RunUntilIdle();
    EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir));
    EXPECT_TRUE(again.ops.errors.empty());
}

TEST_F(CopyProgressTest, StopWaitsForTheReplyInFlightAndTakesNothingFromIt) {
    Rig& r = Connect({2, 60, 7, 2, true});
    paced->fixedDelayMs = 60;  // within the shortest wait of a USB link
    r.controller.Click("bAllData");
    while (r.State().Progress().measurements < 3) r.RunFor(50);
    const int sent = paced->requests;
    r.controller.Click("bStop");
    // The request in flight keeps its watchdog, and the window stays locked until it is
    // answered: nothing else can be asked meanwhile.
    EXPECT_TRUE(r.State().Link().Outstanding);
    EXPECT_TRUE(r.Timers().ReplyTimer.Enabled());
    EXPECT_FALSE(r.Model().ComboBox1.enabled);
    EXPECT_FALSE(r.Model().bClock.enabled);
    r.RunFor(400);
    EXPECT_EQ(paced->requests, sent);  // the reply came and asked for nothing more
    EXPECT_FALSE(r.State().Link().Outstanding);
    EXPECT_FALSE(r.Timers().ReplyTimer.Enabled());
    r.RunUntilIdle();
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_TRUE(LocalFiles(r.State().Directories().DirectoryNames()[0]).empty());

    // The next request gets its own reply.
    paced->fixedDelayMs = 0;
    r.controller.Click("bClock");
    r.RunFor(50);
    EXPECT_TRUE(r.Model().Label2.visible);
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(CopyProgressTest, StopWhileTheLoggerIsSilentEndsWithoutRetryOrMessage) {
    Rig& r = Connect({2, 60, 7, 2, true});
    r.controller.Click("bAllData");
    while (r.State().Progress().measurements < 3) r.RunFor(20);
    paced->silent = true;
    r.RunFor(500);  // the request now awaited goes unanswered
    const int sent = paced->requests;
    r.controller.Click("bStop");
    r.RunUntilIdle();
    EXPECT_EQ(paced->requests, sent);
    EXPECT_FALSE(r.State().Link().Outstanding);
    EXPECT_FALSE(r.Timers().ReplyTimer.Enabled());
    EXPECT_FALSE(r.Model().lRetry.visible);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_TRUE(r.ops.errors.empty());
}

}  // namespace
}  // namespace qm::test
