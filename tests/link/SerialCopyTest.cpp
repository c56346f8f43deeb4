// The copies end to end over a real serial line: the program's serial backend on the slave side
// of a pseudo-terminal, a virtual logger (sim::SerialEndpoint) on the master side served from the
// same event loop, so the test can read and change the logger's store between steps. What lands
// in the data folder must be the logger's files line for line, CRLF-terminated. Timers run in
// virtual time, advanced whenever the line has been quiet for a moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QProcess>
#include <QSocketNotifier>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "core/Controller.h"
#include "link/backends/QtSerialPort.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "sim/SerialEndpoint.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "tests/link/PtyDevice.h"
#include "tests/link/QtApp.h"
#include "tests/link/QuietLineTime.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class SerialCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        (void)App();
        start =
            fs::temp_directory_path() / ("qm_serialcopy_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        logger = std::make_unique<sim::VirtualLogger>(config, [this] { return clock.Now(); });
        endpoint = std::make_unique<sim::SerialEndpoint>(*logger);

        // The logger's side: every request that arrives is answered at once.
        line = std::make_unique<PtyDevice>();
        notifier = std::make_unique<QSocketNotifier>(line->MasterFd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(line->MasterFd(), buffer, sizeof buffer);
            if (n <= 0) return;
            for (const sim::SerialChunk& chunk :
                 endpoint->Receive({buffer, static_cast<std::size_t>(n)}))
                line->Send(chunk.bytes);
        });

        port.SetRxHandler([this](std::size_t n) {
            time.ByteArrived();
            c.ComPort1RxChar(n);
        });
        c.SetSerialPortOpener(&port);
        c.SetUpFolders(start);
        c.FormCreate(1024, 768);
        c.Click("pmBluetooth");
        c.MutableModel().portDevice.text = line->slave;
        c.Click("bSetPort");
        ASSERT_TRUE(c.Link().PortOpen) << line->slave;
        ASSERT_TRUE(RunUntil([&] {
            return !c.Sequence().ReadingOut() && !c.Directories().DirectoryNames().empty();
        }));
    }
    void TearDown() override {
        port.Close();
        notifier.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    template <typename Pred>
    bool RunUntil(Pred done) {
        return time.RunUntil(done);
    }
    // A copy has ended when the session is idle again.
    bool RunCopy(std::string_view button) {
        c.Click(button);
        EXPECT_TRUE(c.LoggerSession().Work().CopyRunning()) << button << " did not start a copy";
        return RunUntil([&] { return c.LoggerSession().Work().Idle(); });
    }

    // The logger's files of a directory as the local copy must hold them, by local name.
    std::map<std::string, std::string> LoggerFiles(const std::string& dir) {
        std::map<std::string, std::string> files;
        for (const std::string& name : logger->Store().FileNames(dir)) {
            std::string text;
            for (const std::string& l : logger->Store().Content(dir, name)->lines)
                text += l + "\r\n";
            files[PathText(LocalName(name))] = text;
        }
        return files;
    }
    std::map<std::string, std::string> LocalFiles(const std::string& dir) {
        std::map<std::string, std::string> files;
        const fs::path folder = start / "DATA" / LocalName(dir);
        if (!fs::exists(folder)) return files;
        for (const auto& e : fs::directory_iterator(folder)) {
            // The collection log records the downloads; it is no copy of the logger's.
            if (!e.is_regular_file() || e.path().filename() == kCollectionLogName) continue;
            std::ifstream in(e.path(), std::ios::binary);
            files[PathText(e.path().filename())] =
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        files.erase("Temp.bin");  // the resume record
        return files;
    }

    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    QtSerialPort port;
    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<sim::SerialEndpoint> endpoint;
    std::unique_ptr<PtyDevice> line;
    std::unique_ptr<QSocketNotifier> notifier;
    QuietLineTime time{c, clock};
};

TEST_F(SerialCopyTest, FullCopyOfEveryDirectoryGivesTheLoggersFiles) {
    const auto dirs = c.Directories().DirectoryNames();
    ASSERT_EQ(dirs.size(), 4u);
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        c.Selected("ComboBox1", static_cast<int>(i));
        ASSERT_TRUE(RunCopy("bAllData")) << i;
        const auto expected = LoggerFiles(dirs[i]);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_EQ(LocalFiles(dirs[i]), expected) << Cp1251ToUtf8(dirs[i]);
        EXPECT_TRUE(c.Model().bNewData.enabled);
    }
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
    EXPECT_EQ(endpoint->SkippedBytes(), 0u);
}

TEST_F(SerialCopyTest, NewDataAfterTheLoggerMeasuredMoreAddsExactlyTheNewLines) {
    const std::string dir = c.Directories().DirectoryNames()[1];
    c.Selected("ComboBox1", 1);
    ASSERT_TRUE(RunCopy("bAllData"));
    ASSERT_EQ(LocalFiles(dir), LoggerFiles(dir));

    // The logger measures on: two more in the month last copied, one in a new month.
    const std::string lastFile = logger->Store().FileNames(dir).back();
    const std::vector<sim::StoredValue> values{1, std::nullopt, -250, 32767, -32767, 6, 7, 8};
    logger->Store().AddMeasurement(dir, lastFile, "22:00 05.03.2024", values);
    logger->Store().AddMeasurement(dir, lastFile, "23:00 05.03.2024", values);
    logger->Store().AddMeasurement(dir, "2024_4.dat", "00:10 01.04.2024", values);

    const int before = endpoint->Requests();
    ASSERT_TRUE(c.Model().bNewData.enabled);
    ASSERT_TRUE(RunCopy("bNewData"));
    EXPECT_EQ(LocalFiles(dir), LoggerFiles(dir));
    // Listing, the resume of the last file past its old lines, then the new file: the old lines
    // do not travel again.
    EXPECT_LT(endpoint->Requests() - before, 30);
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
    EXPECT_TRUE(ops.warnings.empty()) << ops.warnings.front();
}

TEST_F(SerialCopyTest, DayCopyHoldsThatDaysLinesOfTheMonthlyFile) {
    const std::string dir = c.Directories().DirectoryNames()[0];
    c.Selected("ComboBox1", 0);
    c.Click("bSelect");
    c.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 2));
    c.Click("bCopy");
    ASSERT_TRUE(RunUntil([&] { return c.Model().bSelect.visible; }));

    std::string expected;
    bool inDay = false;
    for (const std::string& l : logger->Store().Content(dir, "2024_3.dat")->lines) {
        if (sim::IsHeaderLine(l)) inDay = sim::HeaderDay(l) == 2;
        if (inDay) expected += l + "\r\n";
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(LocalFiles(dir), (std::map<std::string, std::string>{{"2024_3_2.dat", expected}}));
    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
}

// The benchmark of the copy over a paced line measures against this: at 2400 baud a request of 4
// bytes and its reply cannot be through sooner than their bytes' line time.
TEST(LoggerSimPacing, ARequestAndItsReplyTakeAtLeastTheirLineTime) {
    (void)App();
    QProcess sim;
    sim.start(QStringLiteral(QMC_LOGGER_SIM), {"--pty", "--pace", "2400"});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const std::string device = sim.readLine().trimmed().toStdString();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << device;
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);

    const std::uint8_t request[] = {0, 2, 0, CommandCode::ReadClock};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(::write(fd, request, sizeof request), static_cast<ssize_t>(sizeof request));
    std::vector<std::uint8_t> reply;
    while (reply.empty() || reply.size() < reply[0] + 1u) {
        pollfd p{fd, POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 5000), 0) << "reply incomplete after " << reply.size() << " bytes";
        std::uint8_t buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        reply.insert(reply.end(), buffer, buffer + got);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    ::close(fd);
    EXPECT_GE(reply.size(), 4u);
    EXPECT_GE(took, sim::LineTime(sizeof request + reply.size(), 2400));
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}

}  // namespace
}  // namespace qm::test
