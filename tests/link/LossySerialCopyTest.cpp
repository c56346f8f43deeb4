// The copies over a lossy serial line: the program's serial backend on the slave side of a
// pseudo-terminal, a virtual logger behind a faulty device on the master side, both served from
// one event loop. Requests and replies are lost at random (and some replies trail a stray byte);
// each kind of copy must still end with exactly the files of a lossless copy. A far end that goes
// dead must end the copy with its message and leave the controls usable and no file half written.
//
// Timers run in virtual time. The test sees both ends of the line, so it knows when nothing is in
// flight: every byte the program wrote has reached the logger and the line has been quiet for a
// moment. Only then does virtual time move on, so the reply watchdog fires for a reply that was
// lost and never for one still on its way, however loaded the machine is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "protocol/Cp1251.h"
#include "sim/FaultyDevice.h"
#include "sim/SerialEndpoint.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "store/ValueLines.h"
#include "tests/link/CountingPort.h"
#include "tests/link/PtyDevice.h"
#include "tests/link/QtApp.h"
#include "tests/link/QuietLineTime.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

enum class Kind { Full, New, Day };

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Full:
            return "full copy";
        case Kind::New:
            return "\"Новые\"";
        case Kind::Day:
            return "day copy";
    }
    return "?";
}

// One program run against one logger over a fresh pseudo-terminal, in its own start folder.
class ProgramRun {
public:
    explicit ProgramRun(const fs::path& start) : start_(start) {
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        faulty = std::make_unique<sim::FaultyDevice>(*logger);
        endpoint = std::make_unique<sim::SerialEndpoint>(*faulty);

        notifier = std::make_unique<QSocketNotifier>(line.MasterFd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(line.MasterFd(), buffer, sizeof buffer);
            if (n <= 0) return;
            received += static_cast<std::size_t>(n);
            time.ByteArrived();
            const auto chunks = endpoint->Receive({buffer, static_cast<std::size_t>(n)});
            // A byte of noise that trailed the last reply reaches the program only now, after
            // its next request: on a slow line the program answers a reply before the noise
            // behind it has come.
            if (!chunks.empty() && strayAfterNextRequest > 0 &&
                ++replies % strayAfterNextRequest == 0) {
                line.Send(std::vector<std::uint8_t>{sim::FaultyDevice::kStrayByte});
                ++lateStrays;
            }
            for (const sim::SerialChunk& chunk : chunks) line.Send(chunk.bytes);
            if (closeAtRequest > 0 && endpoint->Requests() >= closeAtRequest) {
                notifier->setEnabled(false);
                line.CloseMaster();
            }
        });
        port.SetRxHandler([this](std::size_t n) {
            time.ByteArrived();
            c.ComPort1RxChar(n);
        });
        port.SetLostHandler([this] { c.ComPort1Lost(); });
        c.SetSerialPortOpener(&counted);
        c.SetUpFolders(start_);
        c.FormCreate(1024, 768);
    }
    ~ProgramRun() {
        port.Close();
        notifier.reset();
    }

    // Opens the port and waits for the read-out, over a clean line.
    bool Connect() {
        c.Click("pmBluetooth");
        c.MutableModel().portDevice.text = line.slave;
        c.Click("bSetPort");
        if (!c.Link().PortOpen) return false;
        return RunUntil([&] {
            return !c.Sequence().ReadingOut() && !c.Directories().DirectoryNames().empty();
        });
    }

    template <typename Pred>
    bool RunUntil(Pred done, int limitMs = 30'000) {
        return time.RunUntil(done, limitMs);
    }

    // The directory the copies take: it has two monthly files, the last one made long enough
    // that every seed loses some of its lines and values.
    std::string Directory() const { return c.Directories().DirectoryNames()[1]; }
    void MakeLastFileLong() {
        const std::string dir = Directory();
        const std::string last = logger->Store().FileNames(dir).back();
        std::vector<sim::StoredValue> values;
        for (int v = 0; v < 23; ++v) values.push_back(v * 7 - 40);
        for (int k = 0; k < 30; ++k) {
            char when[32];
            std::snprintf(when, sizeof when, "%02d:%02d 06.03.2024", k / 6, k % 6 * 10);
            logger->Store().AddMeasurement(dir, last, when, values);
        }
    }
    // The logger measures on after a copy: more in its last month, and a new month.
    void MeasureMore() {
        const std::string dir = Directory();
        const std::string last = logger->Store().FileNames(dir).back();
        const std::vector<sim::StoredValue> more{1, 2, 3, 4, 5, 6, 7}, april{8, 9};
        logger->Store().AddMeasurement(dir, last, "23:00 06.03.2024", more);
        logger->Store().AddMeasurement(dir, "2024_4.dat", "00:10 01.04.2024", april);
    }

    // Starts a copy of the second directory as the operator would; `again` after one gave up.
    void Click(Kind kind, bool again) {
        c.Selected("ComboBox1", 1);
        switch (kind) {
            case Kind::Full:
                c.Click(again && c.Model().bNewData.enabled ? "bNewData" : "bAllData");
                break;
            case Kind::New:
                c.Click("bNewData");
                break;
            case Kind::Day:
                c.Click("bSelect");
                c.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 2));
                c.Click("bCopy");
                break;
        }
    }
    // The copy has ended once its finishing step has given the data group back.
    bool Ended() const {
        const WindowModel& m = c.Model();
        return m.ComboBox1.enabled && m.bAllData.visible && !c.Copy().CopyRunning();
    }

    // Every file under DATA, hidden ones included, by path relative to it.
    std::map<std::string, std::string> DataFiles() const {
        std::map<std::string, std::string> files;
        const fs::path data = start_ / "DATA";
        if (!fs::exists(data)) return files;
        for (const auto& e : fs::recursive_directory_iterator(data)) {
            // The collection log records the downloads; it is no copy of the logger's.
            if (!e.is_regular_file() || e.path().filename() == kCollectionLogName) continue;
            std::ifstream in(e.path(), std::ios::binary);
            files[PathText(fs::relative(e.path(), data))] =
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return files;
    }
    // A logger file as its local copy holds it.
    std::string LoggerFile(const std::string& name) const {
        std::string text;
        for (const std::string& l : logger->Store().Content(Directory(), name)->lines)
            text += l + "\r\n";
        return text;
    }

    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    QtSerialPort port;
    CountingPort counted{port};
    PtyDevice line;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<sim::FaultyDevice> faulty;
    std::unique_ptr<sim::SerialEndpoint> endpoint;
    std::unique_ptr<QSocketNotifier> notifier;
    std::size_t received = 0;       // bytes the logger's side has read
    int closeAtRequest = 0;         // the far end goes away once it has answered this request
    int strayAfterNextRequest = 0;  // every Nth reply is preceded by a byte of noise
    int replies = 0;
    int lateStrays = 0;
    // Nothing in flight: all the program wrote has reached the logger's side (or that side is
    // gone).
    QuietLineTime time{c, clock, 20,
                       [this] { return line.MasterFd() < 0 || received == counted.written; }};

private:
    fs::path start_;
};

class LossySerialCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        (void)App();
        start = fs::temp_directory_path() /
                ("qm_lossyserial_" + std::to_string(std::random_device{}()));
    }
    void TearDown() override {
        session.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    // A new logger, program and line in an empty start folder, connected; for "Новые" the
    // directory has been copied once over the clean line and the logger has measured on.
    ProgramRun& Fresh(Kind kind) {
        session.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
        fs::create_directories(start);
        session = std::make_unique<ProgramRun>(start);
        ProgramRun& s = *session;
        EXPECT_TRUE(s.Connect()) << s.line.slave;
        s.MakeLastFileLong();
        if (kind == Kind::New) {
            s.Click(Kind::Full, false);
            EXPECT_TRUE(s.RunUntil([&] { return s.Ended(); }));
            EXPECT_TRUE(s.ops.errors.empty()) << s.ops.errors.front();
            s.MeasureMore();
        }
        return s;
    }

    // Copies until a copy ends without a message, clicking again after each one that gave up.
    // Returns how many gave up.
    int CopyUntilDone(ProgramRun& s, Kind kind) {
        for (int round = 0; round < 8; ++round) {
            s.ops.errors.clear();
            s.Click(kind, round > 0);
            EXPECT_TRUE(s.c.LoggerSession().Work().CopyRunning())
                << KindName(kind) << " did not start";
            if (!s.RunUntil([&] { return s.Ended(); })) {
                ADD_FAILURE() << KindName(kind) << " stood still";
                return round;
            }
            EXPECT_FALSE(s.c.Model().lRetry.visible);
            if (s.ops.errors.empty()) return round;
        }
        ADD_FAILURE() << KindName(kind) << " never finished";
        return 8;
    }

    // The local copy of the directory holds each logger file whole.
    static void ExpectTheLoggersFiles(const ProgramRun& s, const std::string& what) {
        const auto files = s.DataFiles();
        const std::string dir = Cp1251ToUtf8(s.Directory()) + "/";
        for (const std::string& name : s.logger->Store().FileNames(s.Directory())) {
            const auto local = files.find(dir + PathText(LocalName(name)));
            ASSERT_NE(local, files.end()) << what << ": " << name;
            EXPECT_EQ(local->second, s.LoggerFile(name)) << what << ": " << name;
        }
    }

    fs::path start;
    std::unique_ptr<ProgramRun> session;
};

TEST_F(LossySerialCopyTest, EveryKindOfCopyOverALossyLineGivesTheFilesOfACleanOne) {
    int runs = 0, lost = 0, strays = 0, gaveUp = 0;
    for (Kind kind : {Kind::Full, Kind::New, Kind::Day}) {
        ProgramRun& clean = Fresh(kind);
        CopyUntilDone(clean, kind);
        const auto expected = clean.DataFiles();
        ASSERT_FALSE(expected.empty()) << KindName(kind);
        ASSERT_EQ(clean.faulty->RequestsLost() + clean.faulty->RepliesLost(), 0);

        for (int percent = 1; percent <= 5; ++percent) {
            for (std::uint32_t seed = 1; seed <= 2; ++seed) {
                ProgramRun& s = Fresh(kind);
                sim::LinkFaults lossy;
                lossy.lossRate = percent / 100.0;
                lossy.seed = seed * 104729 + static_cast<std::uint32_t>(percent * 10) +
                             static_cast<std::uint32_t>(kind);
                // Every other run, a byte of noise trails some replies in the same write.
                if (seed == 2) lossy.strayAfterEveryNthReply = 3 + percent;
                s.faulty->SetFaults(lossy);
                gaveUp += CopyUntilDone(s, kind);
                ++runs;
                lost += s.faulty->RequestsLost() + s.faulty->RepliesLost();
                strays += s.faulty->StrayBytes();
                ASSERT_EQ(s.DataFiles(), expected)
                    << KindName(kind) << ", " << percent << " %, seed " << lossy.seed;
            }
        }
    }
    RecordProperty("runs", runs);
    RecordProperty("lost", lost);
    RecordProperty("strays", strays);
    RecordProperty("gaveUp", gaveUp);
    EXPECT_GT(lost, runs);  // the line did lose things
    EXPECT_GT(strays, 0);
}

TEST_F(LossySerialCopyTest, ALoggerThatStopsAnsweringEndsEachCopyWithItsMessage) {
    int cuts = 0;
    for (Kind kind : {Kind::Full, Kind::New, Kind::Day}) {
        for (int cutAfter : {2, 6, 40}) {
            ProgramRun& s = Fresh(kind);
            const std::string what =
                std::string(KindName(kind)) + ", cut after " + std::to_string(cutAfter);
            const auto before = s.DataFiles();
            // The logger goes out of range after a number of replies into the copy.
            const int silentFrom = s.faulty->RepliesSeen() + cutAfter + 1;
            s.faulty->SilentFromReply(silentFrom);
            s.Click(kind, false);
            const std::int64_t cut = s.time.Now();
            ASSERT_TRUE(s.RunUntil([&] { return s.Ended(); })) << what;
            if (s.faulty->RepliesSeen() < silentFrom) {
                EXPECT_TRUE(s.ops.errors.empty()) << what;
                continue;  // a copy shorter than that
            }
            ++cuts;
            ASSERT_EQ(s.ops.errors.size(), 1u) << what;
            EXPECT_NE(s.ops.errors[0].find(s.line.slave), std::string::npos) << s.ops.errors[0];
            // Three watchdog times from the copy's start at most (it ran in no time before the
            // cut), and the finishing step's tick.
            EXPECT_LE(s.time.Now() - cut, Controller::kGiveUpWithinMs + 1000) << what;

            const WindowModel& m = s.c.Model();
            EXPECT_TRUE(m.bAllData.enabled && m.bSelect.enabled && m.bDelete.enabled) << what;
            EXPECT_TRUE(m.bTest.enabled && m.bClock.enabled) << what;
            EXPECT_FALSE(m.ProgressBar1.visible) << what;
            EXPECT_FALSE(m.lRetry.visible) << what;
            EXPECT_FALSE(s.c.Link().Outstanding) << what;
            // Nothing half written: each file is as it was, or the logger's whole.
            for (const auto& [path, text] : s.DataFiles()) {
                EXPECT_EQ(path.find(kStagingFolderName), std::string::npos) << what << path;
                const auto old = before.find(path);
                if (old != before.end() && old->second == text) continue;
                if (path.ends_with("Temp.bin")) continue;
                ASSERT_NE(kind, Kind::Day) << what << ": a day file from a broken copy " << path;
                EXPECT_EQ(text, s.LoggerFile(path.substr(path.rfind('/') + 1))) << what << path;
            }
            // Back in range, "Новые" carries on exactly.
            if (kind == Kind::Day) continue;
            s.faulty->SetSilent(false);
            s.ops.errors.clear();
            s.Click(Kind::Full, true);
            ASSERT_TRUE(s.RunUntil([&] { return s.Ended(); })) << what;
            EXPECT_TRUE(s.ops.errors.empty()) << what << ": " << s.ops.errors.front();
            ExpectTheLoggersFiles(s, what);
        }
    }
    EXPECT_GE(cuts, 7);
}

TEST_F(LossySerialCopyTest, TheFarEndGoingAwayInACopyEndsItWithItsMessage) {
    ProgramRun& s = Fresh(Kind::Full);
    const auto before = s.DataFiles();
    // The far end goes away in the middle of the copy.
    s.closeAtRequest = s.endpoint->Requests() + 20;
    s.Click(Kind::Full, false);
    ASSERT_TRUE(s.RunUntil([&] { return s.Ended(); }));
    ASSERT_EQ(s.ops.errors.size(), 1u);
    EXPECT_NE(s.ops.errors[0].find(s.line.slave), std::string::npos) << s.ops.errors[0];
    const WindowModel& m = s.c.Model();
    EXPECT_FALSE(s.c.Link().PortOpen);
    EXPECT_TRUE(m.GroupBox4.visible && m.bSetPort.enabled);
    EXPECT_TRUE(m.bAllData.enabled && m.bSelect.enabled);
    EXPECT_FALSE(m.ProgressBar1.visible);
    // Each file is the logger's whole, or not there at all.
    const auto after = s.DataFiles();
    for (const auto& [path, text] : after) {
        EXPECT_EQ(path.find(kStagingFolderName), std::string::npos) << path;
        if (path.ends_with("Temp.bin")) continue;
        EXPECT_EQ(text, s.LoggerFile(path.substr(path.rfind('/') + 1))) << path;
    }
    EXPECT_TRUE(before.empty());
}

// Noise that trails a reply but reaches the program after its next request has gone out (a
// paced line): taken for the length of the next reply, it must not put the replies after it out
// of step for good. Each such reply costs a retry at most, and the files are exact. A day copy,
// which starts its day again after a miss, cannot get through noise every five replies: it ends
// with its message and no day file instead of starting again for ever.
TEST_F(LossySerialCopyTest, NoiseThatComesAfterTheNextRequestPutsNoReplyOutOfStep) {
    int strays = 0;
    for (Kind kind : {Kind::Full, Kind::New, Kind::Day}) {
        ProgramRun& clean = Fresh(kind);
        CopyUntilDone(clean, kind);
        const auto expected = clean.DataFiles();
        for (int every : {5, 17}) {
            const std::string what =
                std::string(KindName(kind)) + ", every " + std::to_string(every);
            ProgramRun& s = Fresh(kind);
            const auto before = s.DataFiles();
            s.strayAfterNextRequest = every;
            s.ops.errors.clear();
            s.Click(kind, false);
            ASSERT_TRUE(s.RunUntil([&] { return s.Ended(); }, 120'000)) << what;
            strays += s.lateStrays;
            if (kind == Kind::Day && every == 5) {
                ASSERT_EQ(s.ops.errors.size(), 1u) << what;
                EXPECT_EQ(s.DataFiles(), before) << what;
                continue;
            }
            EXPECT_TRUE(s.ops.errors.empty()) << what << ": " << s.ops.errors.front();
            EXPECT_EQ(s.DataFiles(), expected) << what;
        }
    }
    EXPECT_GT(strays, 6);
}

}  // namespace
}  // namespace qm::test
