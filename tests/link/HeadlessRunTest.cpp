// The program's runs without a window, end to end: qm-controller --info / --copy over a
// pseudo-terminal to the virtual logger (qm-logger-sim --pty), with no display in the
// environment. What lands in DATA must be the logger's files byte for byte; the JSON on standard
// output and the exit status must say what happened.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"
#include "tests/link/ProgramRuns.h"
#include "tests/link/PtyDevice.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// qm-logger-sim on a pseudo-terminal of its own, with the small store.
class Sim {
public:
    explicit Sim(QStringList extra = {}) {
        sim_.start(QStringLiteral(QMC_LOGGER_SIM), QStringList{"--pty", "--small-store"} + extra);
        if (sim_.waitForStarted(5000) && sim_.waitForReadyRead(5000))
            device = sim_.readLine().trimmed().toStdString();
    }
    ~Sim() { Stop(); }
    // The far end goes away at once, as a logger unplugged.
    void Kill() {
        sim_.kill();
        sim_.waitForFinished(5000);
    }
    void Stop() {
        if (sim_.state() == QProcess::NotRunning) return;
        sim_.terminate();
        if (!sim_.waitForFinished(5000)) Kill();
    }
    std::string device;

private:
    QProcess sim_;
};

using Result = ProgramResult;

class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        (void)App();
        ASSERT_TRUE(dir_.isValid());
    }

    void Start(QProcess& p, const QStringList& args) { StartProgram(p, dir_.path(), args, home); }
    Result Finish(QProcess& p) { return FinishProgram(p, 60'000); }
    Result Run(const QStringList& args) {
        QProcess p;
        Start(p, args);
        return Finish(p);
    }

    fs::path Data() const { return fs::path(dir_.path().toStdString()) / "DATA"; }

    static std::map<std::string, std::string> LoggerFiles(const std::string& dirUtf8) {
        return SmallStoreFiles(dirUtf8);
    }
    std::map<std::string, std::string> LocalFiles(const std::string& dirUtf8) const {
        return CopiedFiles(Data() / Utf8Path(dirUtf8));
    }
    static std::uint64_t Bytes(const std::map<std::string, std::string>& files) {
        std::uint64_t n = 0;
        for (const auto& [name, text] : files) n += text.size();
        return n;
    }

    QTemporaryDir dir_;
    QString home;  // the home folder the program is given, when set
};

TEST_F(HeadlessRunTest, InfoPrintsTheReadOutAsJson) {
    Sim sim;
    ASSERT_FALSE(sim.device.empty());
    const Result r = Run({"--port", QString::fromStdString(sim.device), "--info", "--lang", "en"});
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    const QJsonObject& j = r.json;
    EXPECT_EQ(j["deviceType"].toInt(), 84);
    EXPECT_EQ(j["version"].toInt(), 5);
    EXPECT_EQ(j["title"].toString(), "QM-Controller [ 84.5 ]");
    EXPECT_EQ(j["line"], QJsonValue(25)) << "a number, the title's text beside it";
    EXPECT_EQ(j["lineText"].toString(), "25");
    EXPECT_TRUE(ParseUtcText(j["time"].toString().toStdString())) << "when the run began";
    EXPECT_EQ(j["link"].toString().toStdString(), sim.device);
    // The simulator's clock runs 37 s behind the PC's; a reading straddles a second.
    EXPECT_NEAR(j["clockOffsetSeconds"].toDouble(), -37, 1);
    EXPECT_EQ(j["clock"].toString().size(), 19) << j["clock"].toString().toStdString();
    EXPECT_GT(j["batteryVolts"].toDouble(), 0);
    const QJsonObject schedule = j["schedule"].toObject();
    EXPECT_TRUE(schedule.contains("start") && schedule.contains("stop"));
    EXPECT_EQ(schedule["intervalDays"].toDouble() * 24 * 60 +
                  schedule["intervalHours"].toDouble() * 60 +
                  schedule["intervalMinutes"].toDouble(),
              60);
    QStringList directories;
    for (const auto& d : j["directories"].toArray()) directories << d.toString();
    EXPECT_EQ(directories, (QStringList{"Котельная", "Склад_3", "OBJ_A01", "Теплица"}));
    EXPECT_TRUE(j["errors"].toArray().isEmpty());
    EXPECT_TRUE(r.errors.isEmpty()) << r.errors.toStdString();
    // A read-out writes nothing.
    EXPECT_TRUE(!fs::exists(Data()) || fs::is_empty(Data()));

    // Setting the clock brings the offset to the PC's.
    const Result sync = Run({"--port", QString::fromStdString(sim.device), "--sync-clock"});
    ASSERT_EQ(sync.status, 0) << sync.errors.toStdString();
    EXPECT_NEAR(sync.json["before"].toObject()["offsetSeconds"].toDouble(), -37, 1);
    EXPECT_NEAR(sync.json["after"].toObject()["offsetSeconds"].toDouble(), 0, 1);
    EXPECT_NE(sync.json["before"].toObject()["clock"], sync.json["after"].toObject()["clock"]);
    EXPECT_TRUE(ParseUtcText(sync.json["time"].toString().toStdString()));
}

TEST_F(HeadlessRunTest, FullAndNewCopiesGiveTheLoggersFiles) {
    Sim sim;
    ASSERT_FALSE(sim.device.empty());
    const QString port = QString::fromStdString(sim.device);
    const std::string dir = "Склад_3";
    const auto expected = LoggerFiles(dir);
    ASSERT_EQ(expected.size(), 2u);

    const Result full = Run({"--port", port, "--copy", QString::fromStdString(dir)});
    ASSERT_EQ(full.status, 0) << full.errors.toStdString();
    EXPECT_EQ(LocalFiles(dir), expected);
    EXPECT_EQ(full.json["directory"].toString().toStdString(), dir);
    EXPECT_EQ(full.json["mode"].toString(), "all");
    EXPECT_EQ(full.json["files"].toInt(), 2);
    EXPECT_EQ(full.json["measurements"].toInt(), 18);
    EXPECT_EQ(full.json["bytes"].toDouble(), static_cast<double>(Bytes(expected)));
    // A clean line needs no retry, but a busy machine may answer late: counted, never a failure.
    EXPECT_GE(full.json["retries"].toInt(-1), 0);
    EXPECT_EQ(full.json["result"].toString(), "done");
    EXPECT_TRUE(full.json["errors"].toArray().isEmpty());
    EXPECT_GE(full.json["seconds"].toDouble(), 0);
    EXPECT_TRUE(ParseUtcText(full.json["time"].toString().toStdString()));

    // Nothing new on the logger: the last file is reopened after its lines and stays as it is.
    const Result again = Run({"--port", port, "--copy", QString::fromStdString(dir), "--new"});
    ASSERT_EQ(again.status, 0) << again.errors.toStdString();
    EXPECT_EQ(again.json["mode"].toString(), "new");
    EXPECT_EQ(again.json["measurements"].toInt(), 0);
    EXPECT_EQ(again.json["files"].toInt(), 0) << "nothing was added";
    EXPECT_EQ(again.json["bytes"].toDouble(), 0);
    EXPECT_EQ(LocalFiles(dir), expected);

    // Every directory, each never copied before copied whole; nightly runs look like this. An
    // archive out of reach leaves the copies standing and what they added queued.
    QStringList archive;
#ifdef QMC_HAVE_ARCHIVE
    archive = {"--archive", "postgresql:///qm?host=/nonexistent"};
#endif
    const Result all =
        Run(QStringList{"--port", port, "--copy-all", "--new", "--lang", "en"} + archive);
    ASSERT_EQ(all.status, 0) << all.errors.toStdString();
    if (!archive.isEmpty()) {
        const QJsonObject a = all.json["archive"].toObject();
        EXPECT_GT(a["queued"].toInt(), 3 * 18);
        EXPECT_EQ(a["pushed"].toInt(-1), 0);
        EXPECT_EQ(all.errors.count("The archive did not take the data"), 1);
    }
    const QJsonArray copies = all.json["copies"].toArray();
    ASSERT_EQ(copies.size(), 4);
    for (const auto& v : copies) {
        const QJsonObject c = v.toObject();
        const std::string name = c["directory"].toString().toStdString();
        EXPECT_EQ(LocalFiles(name), LoggerFiles(name)) << name;
        EXPECT_EQ(c["mode"].toString(), name == dir ? "new" : "all") << name;
    }
    EXPECT_EQ(all.json["measurements"].toInt(), 3 * 18);
    EXPECT_TRUE(ParseUtcText(all.json["time"].toString().toStdString()));
    EXPECT_EQ(all.errors.count("has not been copied before"), 3) << all.errors.toStdString();
}

// A working directory that cannot hold DATA (here a file has its name): the copy goes where the
// window would put it, and the run says where.
TEST_F(HeadlessRunTest, AStartFolderThatCannotHoldDataSendsTheCopyToTheDocumentsFolder) {
    Sim sim;
    ASSERT_FALSE(sim.device.empty());
    std::ofstream(Data()) << "not a folder";
    QTemporaryDir homeDir;
    home = homeDir.path();
    const Result r =
        Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01", "--lang", "en"});
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    const fs::path expected =
        fs::path(home.toStdString()) / "Documents" / "QM Controller" / "DATA" / "OBJ_A01";
    EXPECT_EQ(r.json["folder"].toString().toStdString(), expected.string());
    EXPECT_EQ(r.json["files"].toInt(), 2);
    EXPECT_TRUE(fs::is_regular_file(Data())) << "the file in the way is left alone";
    EXPECT_TRUE(
        r.errors.contains(QString::fromStdString((expected.parent_path().parent_path()).string())))
        << r.errors.toStdString();
}

TEST_F(HeadlessRunTest, DayCopyWritesTheDayFile) {
    Sim sim;
    ASSERT_FALSE(sim.device.empty());
    // A day without a measurement: a warning of the copy, in its JSON too.
    const Result none = Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01",
                             "--day", "2001-01-01", "--lang", "en"});
    ASSERT_EQ(none.status, 0) << none.errors.toStdString();
    ASSERT_EQ(none.json["warnings"].toArray().size(), 1);
    EXPECT_TRUE(none.json["warnings"][0].toString().contains("2001-01-01"));
    // The small store holds the first three days of this month and of the one before.
    const CivilDateTime now = LocalNow().ToCivil();
    if (now.day <= 2) GTEST_SKIP() << "the logger holds the 2nd of this month only in part";
    char day[16];
    std::snprintf(day, sizeof day, "%04d-%02d-02", now.year, now.month);
    const Result r =
        Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01", "--day", day});
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    const std::string file = std::to_string(now.year) + "_" + std::to_string(now.month) + "_2.dat";
    const auto local = LocalFiles("OBJ_A01");
    ASSERT_EQ(local.size(), 1u);
    EXPECT_EQ(local.begin()->first, file);
    EXPECT_EQ(r.json["mode"].toString(), "day");
    EXPECT_EQ(r.json["files"].toInt(), 1);
    EXPECT_EQ(r.json["measurements"].toInt(), 3);
    EXPECT_EQ(r.json["bytes"].toDouble(), static_cast<double>(local.begin()->second.size()));
}

TEST_F(HeadlessRunTest, NoLoggerReachedEndsWithStatusTwo) {
    // A port that does not exist; the message in Russian unless --lang asks for English.
    Result missing = Run({"--port", "/dev/qm-no-such-port", "--info", "--lang", "en"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.json.isEmpty());
    EXPECT_TRUE(missing.errors.contains("Cannot open the serial port /dev/qm-no-such-port"))
        << missing.errors.toStdString();
    missing = Run({"--port", "/dev/qm-no-such-port", "--info"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.errors.contains("Не удалось открыть последовательный порт"))
        << missing.errors.toStdString();

    // A port nobody answers on: the identification is asked again three times, then the run
    // ends.
    PtyDevice silent;
    const Result quiet =
        Run({"--port", QString::fromStdString(silent.slave), "--copy", "OBJ_A01", "--lang", "en"});
    EXPECT_EQ(quiet.status, 2);
    EXPECT_TRUE(quiet.errors.contains("the identification — the request and three retries"))
        << quiet.errors.toStdString();
    EXPECT_FALSE(fs::exists(Data() / "OBJ_A01"));

    // The time limit ends a run that waits for a logger.
    const auto start = std::chrono::steady_clock::now();
    const Result limited = Run({"--port", QString::fromStdString(silent.slave), "--info",
                                "--time-limit", "1", "--lang", "en"});
    EXPECT_EQ(limited.status, 2);
    EXPECT_TRUE(limited.errors.contains("The time limit (1 s) has run out"))
        << limited.errors.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    // A command line that cannot be used reaches no logger either.
    EXPECT_EQ(Run({"--info"}).status, 2);
    EXPECT_EQ(Run({"--usb", "--port", "/dev/null", "--info"}).status, 2);
    EXPECT_EQ(Run({"--port", "/dev/null", "--copy", "X", "--day", "2024-02-30"}).status, 2);
}

TEST_F(HeadlessRunTest, ACopyCutByTheFarEndIsCompletedExactlyByNew) {
    const std::string dir = "OBJ_A01";
    const auto expected = LoggerFiles(dir);
    ASSERT_EQ(expected.size(), 2u);
    {
        // A paced line, so that the cut falls inside the second file: the first is complete by
        // then and the resume record names it.
        const QString log = QDir(dir_.path()).filePath("requests.log");
        Sim sim({"--pace", "19200", "--log", log});
        ASSERT_FALSE(sim.device.empty());
        QProcess p;
        Start(p,
              {"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01", "--lang", "en"});
        const auto opens = [&] {
            QFile f(log);
            if (!f.open(QIODevice::ReadOnly)) return 0;
            int n = 0;
            // Request 66 (open a file): lead byte 0, length, status 0, code 0x42.
            for (const QByteArray& line : f.readAll().split('\n'))
                if (line.size() > 12 && line.mid(6, 5) == "00 42") ++n;
            return n;
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (opens() < 2 && std::chrono::steady_clock::now() < until) QThread::msleep(5);
        ASSERT_EQ(opens(), 2);
        sim.Kill();
        const Result cut = Finish(p);
        EXPECT_EQ(cut.status, 1) << cut.errors.toStdString();
        EXPECT_TRUE(cut.errors.contains("is lost")) << cut.errors.toStdString();
        EXPECT_EQ(cut.json["files"].toInt(), 1);
        ASSERT_EQ(cut.json["errors"].toArray().size(), 1);
        // The collection log says why, as the JSON does.
        const CollectionLogRead logged = ReadCollectionLog(Data() / dir);
        ASSERT_EQ(logged.records.size(), 1u);
        EXPECT_EQ(logged.records[0].result, CollectionResult::Failed);
        EXPECT_EQ(logged.records[0].error, cut.json["errors"][0].toString().toStdString());
        // The first file is complete, the second not there at all.
        const auto first = *expected.begin();
        EXPECT_EQ(LocalFiles(dir), (std::map<std::string, std::string>{first}));
    }
    Sim sim;
    ASSERT_FALSE(sim.device.empty());
    const Result resumed =
        Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01", "--new"});
    ASSERT_EQ(resumed.status, 0) << resumed.errors.toStdString();
    EXPECT_EQ(resumed.json["mode"].toString(), "new");
    EXPECT_EQ(resumed.json["measurements"].toInt(), 9);
    EXPECT_EQ(LocalFiles(dir), expected);
}

TEST_F(HeadlessRunTest, ACopyCutByTheTimeLimitLeavesItsLineInTheCollectionLog) {
    // The read-out takes some 4 s; the logger then holds back its answer to the first open of a
    // file (request 66) past the limit.
    Sim sim({"--faults", "delay-on=66:9000"});
    ASSERT_FALSE(sim.device.empty());
    const Result cut = Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01",
                            "--time-limit", "7", "--lang", "en"});
    EXPECT_EQ(cut.status, 1) << cut.errors.toStdString();
    EXPECT_EQ(cut.json["result"].toString(), "failed");
    const CollectionLogRead logged = ReadCollectionLog(Data() / "OBJ_A01");
    ASSERT_EQ(logged.records.size(), 1u);
    EXPECT_EQ(logged.records[0].result, CollectionResult::Failed);
    EXPECT_EQ(logged.records[0].error, cut.json["errors"][0].toString().toStdString());
}

TEST_F(HeadlessRunTest, RetriesOfALossyLineAreCountedAndTheFilesStayExact) {
    Sim sim({"--faults", "lose-reply=40"});
    ASSERT_FALSE(sim.device.empty());
    const Result r = Run({"--port", QString::fromStdString(sim.device), "--copy", "OBJ_A01"});
    ASSERT_EQ(r.status, 0) << r.errors.toStdString();
    EXPECT_GE(r.json["retries"].toInt(), 1);
    EXPECT_EQ(LocalFiles("OBJ_A01"), LoggerFiles("OBJ_A01"));
}

}  // namespace
}  // namespace qm::test
