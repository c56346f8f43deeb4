// The collection of many loggers end to end: qm-controller --collect over pseudo-terminals to
// simulated loggers (one silent, one whose clock is five minutes off), and over the virtual
// radio and Bluetooth network of the demo; and the collection that serves on schedule until it is
// stopped.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"
#include "tests/link/ProgramRuns.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

using Result = ProgramResult;

class CollectRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        (void)App();
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        if (sim_.state() != QProcess::NotRunning) {
            sim_.terminate();
            if (!sim_.waitForFinished(5000)) sim_.kill();
        }
    }

    // qm-logger-sim serving one logger per `--logger` argument; their pseudo-terminals.
    std::vector<std::string> StartLoggers(const QStringList& loggers) {
        QStringList args{"--pty"};
        for (const QString& l : loggers) args << "--logger" << l;
        sim_.start(QStringLiteral(QMC_LOGGER_SIM), args);
        std::vector<std::string> ptys;
        EXPECT_TRUE(sim_.waitForStarted(5000));
        while (ptys.size() < static_cast<std::size_t>(loggers.size())) {
            if (!sim_.canReadLine() && !sim_.waitForReadyRead(5000)) break;
            while (sim_.canReadLine()) ptys.push_back(sim_.readLine().trimmed().toStdString());
        }
        EXPECT_EQ(ptys.size(), static_cast<std::size_t>(loggers.size()));
        return ptys;
    }

    fs::path Folder() const { return fs::path(dir_.path().toStdString()); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(Folder() / name, std::ios::binary) << text;
    }

    Result Run(const QStringList& args) {
        QProcess p;
        StartProgram(p, dir_.path(), args);
        return FinishProgram(p, 240'000);
    }

    static QJsonObject Station(const Result& r, const QString& name) {
        for (const auto& v : r.json["stations"].toArray())
            if (v.toObject()["name"].toString() == name) return v.toObject();
        ADD_FAILURE() << "no station " << name.toStdString();
        return {};
    }

    static std::map<std::string, std::string> LoggerFiles(const std::string& dirUtf8) {
        return SmallStoreFiles(dirUtf8);
    }
    static std::map<std::string, std::string> LocalFiles(const fs::path& folder) {
        return CopiedFiles(folder);
    }

    // Waits until a copy into a folder of `station` has put a whole file in place, then stops
    // the run (SIGTERM); that folder.
    static fs::path StopOnceAFileIsCopied(QProcess& run, const fs::path& station) {
        QElapsedTimer waited;
        waited.start();
        fs::path folder;
        while (folder.empty() && waited.elapsed() < 60'000) {
            run.waitForFinished(20);
            std::error_code ec;
            for (const auto& d : fs::directory_iterator(station, ec))
                if (d.is_directory() && !CopiedFiles(d.path()).empty()) folder = d.path();
        }
        run.terminate();
        EXPECT_FALSE(folder.empty()) << "no file was copied";
        return folder;
    }

    QTemporaryDir dir_;
    QProcess sim_;
};

TEST_F(CollectRunTest, SerialStationsAreCollectedExactlyTheSilentOneReportedTheLateClockSet) {
    const auto ptys =
        StartLoggers({"small-store", "silent,small-store", "clock-offset=300,small-store"});
    ASSERT_EQ(ptys.size(), 3u);
    const std::string stations =
        "[defaults]\nclock = \"set\"\ndata = \"Станции\"\n\n"
        "[[station]]\nname = \"Котельная-1\"\nport = \"" +
        ptys[0] +
        "\"\n\n"
        "[[station]]\nname = \"Молчун\"\nport = \"" +
        ptys[1] +
        "\"\n\n"
        "[[station]]\nname = \"Спешат\"\nport = \"" +
        ptys[2] + "\"\ndirectories = [\"Котельная\"]\n";
    Write("stations.toml", stations);

    const Result r = Run({"--collect", "stations.toml"});
    EXPECT_EQ(r.status, 1) << "one station was not reached";
    const QJsonObject first = Station(r, "Котельная-1");
    EXPECT_TRUE(first["reached"].toBool());
    EXPECT_EQ(first["deviceType"].toInt(), 84);
    EXPECT_FALSE(first["clockSet"].toBool()) << "off by less than the limit";
    EXPECT_TRUE(first["clockOffsetAfterSeconds"].isNull());
    const QJsonArray copies = first["copies"].toArray();
    EXPECT_EQ(copies.size(), 4) << "every directory the logger lists";
    const fs::path data = Folder() / Utf8Path("Станции");
    for (const auto& v : copies) {
        const QJsonObject c = v.toObject();
        EXPECT_EQ(c["result"].toString(), "done");
        const std::string dir = c["directory"].toString().toStdString();
        EXPECT_EQ(LocalFiles(data / Utf8Path("Котельная-1") / Utf8Path(dir)), LoggerFiles(dir))
            << dir;
    }
    const CollectionLogRead log =
        ReadCollectionLog(data / Utf8Path("Котельная-1") / Utf8Path("Котельная"));
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].station, "Котельная-1");
    EXPECT_EQ(log.records[0].clockOffsetSeconds, first["clockOffsetSeconds"].toInteger());

    const QJsonObject silent = Station(r, "Молчун");
    EXPECT_FALSE(silent["reached"].toBool());
    EXPECT_TRUE(silent["copies"].toArray().isEmpty());
    EXPECT_FALSE(silent["errors"].toArray().isEmpty());
    EXPECT_TRUE(r.errors.contains("«Молчун»: ")) << r.errors.toStdString();

    const QJsonObject late = Station(r, "Спешат");
    EXPECT_NEAR(late["clockOffsetSeconds"].toDouble(), 300, 3);
    EXPECT_TRUE(late["clockSet"].toBool());
    EXPECT_NEAR(late["clockOffsetAfterSeconds"].toDouble(), 0, 2);
    EXPECT_EQ(late["copies"].toArray().size(), 1);
    const CollectionLogRead lateLog =
        ReadCollectionLog(data / Utf8Path("Спешат") / Utf8Path("Котельная"));
    ASSERT_EQ(lateLog.records.size(), 1u);
    EXPECT_TRUE(lateLog.records[0].clockSet);
    EXPECT_NEAR(static_cast<double>(lateLog.records[0].clockOffsetSeconds.value_or(0)), 300, 3);

    // Again, without the silent one: nothing new is copied, the clock set before is left alone,
    // and each log gains a line.
    Write("again.toml",
          "[defaults]\nclock = \"set\"\ndata = \"Станции\"\n\n"
          "[[station]]\nname = \"Спешат\"\nport = \"" +
              ptys[2] + "\"\ndirectories = [\"Котельная\"]\n");
    const Result again = Run({"--collect", "again.toml", "--lang", "en"});
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    const QJsonObject lateAgain = Station(again, "Спешат");
    EXPECT_FALSE(lateAgain["clockSet"].toBool());
    EXPECT_NEAR(lateAgain["clockOffsetSeconds"].toDouble(), 0, 2);
    ASSERT_EQ(lateAgain["copies"].toArray().size(), 1);
    const QJsonObject copy = lateAgain["copies"].toArray()[0].toObject();
    EXPECT_EQ(copy["mode"].toString(), "new");
    EXPECT_EQ(copy["files"].toInt(), 0);
    EXPECT_EQ(copy["result"].toString(), "done");
    EXPECT_EQ(ReadCollectionLog(data / Utf8Path("Спешат") / Utf8Path("Котельная")).records.size(),
              2u);
}

// The lines of a station's visit log.
std::vector<QJsonObject> Visits(const fs::path& station) {
    std::vector<QJsonObject> lines;
    std::ifstream in(station / "visits.jsonl");
    for (std::string line; std::getline(in, line);)
        lines.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
    return lines;
}

TEST_F(CollectRunTest, EveryVisitIsLoggedAndAStationNotTriedSaysWhy) {
    const auto ptys = StartLoggers({"clock-offset=300,small-store", "silent,small-store"});
    ASSERT_EQ(ptys.size(), 2u);
    const fs::path data = Folder() / "made" / "with" / "parents";
    std::ofstream(Folder() / "blocked") << "a file where a folder should be";
    const std::string late = "[[station]]\nname = \"Спешат\"\nport = \"" + ptys[0] +
                             "\"\ndirectories = [\"OBJ_A01\"]\n\n";
    const std::string silent = "[[station]]\nname = \"Молчун\"\nport = \"" + ptys[1] + "\"\n\n";
    const std::string head = "[defaults]\ndata = \"" + PathText(data) + "\"\n\n";
    Write("s.toml",
          head + late + silent + "[[station]]\nname = \"Блок\"\nusb = true\ndata = \"blocked\"\n");
    const Result r = Run({"--collect", "s.toml", "--lang", "en"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ParseUtcText(r.json["time"].toString().toStdString()));

    const QJsonObject ok = Station(r, "Спешат");
    EXPECT_TRUE(ok["tried"].toBool());
    EXPECT_EQ(ok["line"], QJsonValue(25));
    EXPECT_EQ(ok["lineText"].toString(), "25");
    EXPECT_FALSE(ok["clockSet"].toBool()) << "clock = \"check\"";
    ASSERT_EQ(ok["warnings"].toArray().size(), 1) << "but said";
    EXPECT_TRUE(r.errors.contains(ok["warnings"][0].toString()));
    const auto okVisits = Visits(data / Utf8Path("Спешат"));
    ASSERT_EQ(okVisits.size(), 1u);
    EXPECT_EQ(okVisits[0].keys(),
              (QStringList{"address", "batteryVolts", "clockOffsetSeconds", "clockSet", "collected",
                           "copies", "error", "link", "reached", "station", "time"}));
    EXPECT_EQ(okVisits[0]["address"].toString().toStdString(), ptys[0]);
    EXPECT_EQ(okVisits[0]["link"].toString(), "serial");
    EXPECT_TRUE(okVisits[0]["collected"].toBool());
    EXPECT_EQ(okVisits[0]["copies"], QJsonValue(1));
    EXPECT_TRUE(okVisits[0]["error"].isNull());

    const auto silentVisits = Visits(data / Utf8Path("Молчун"));
    ASSERT_EQ(silentVisits.size(), 1u) << "not reached, and still logged";
    EXPECT_FALSE(silentVisits[0]["reached"].toBool());
    EXPECT_EQ(silentVisits[0]["error"], Station(r, "Молчун")["errors"][0]);

    const QJsonObject blocked = Station(r, "Блок");
    EXPECT_FALSE(blocked["tried"].toBool());
    EXPECT_TRUE(blocked["errors"][0].toString().contains("Not a directory"))
        << blocked["errors"][0].toString().toStdString();
    EXPECT_TRUE(r.errors.contains("Блок")) << r.errors.toStdString();

    // The time runs out on the silent station: the next is not tried, and logs no visit.
    Write("t.toml", head + silent + late);
    const Result t = Run({"--collect", "t.toml", "--time-limit", "1", "--lang", "en"});
    EXPECT_EQ(t.status, 2);
    EXPECT_FALSE(Station(t, "Спешат")["tried"].toBool());
    EXPECT_EQ(Visits(data / Utf8Path("Спешат")).size(), 1u);
    EXPECT_EQ(Visits(data / Utf8Path("Молчун")).size(), 2u);
}

TEST_F(CollectRunTest, TheDemoNetworkIsCollectedThroughItsRadioAndBluetoothModems) {
    Write("net.toml",
          "[[station]]\nname = \"radio-3\"\nradio = 3\nmode = \"all\"\n\n"
          "[[station]]\nname = \"radio-12\"\nradio = 12\n\n"
          "[[station]]\nname = \"bt-2\"\nbluetooth = \"00aabbccddee\"\n");
    const Result r = Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    EXPECT_EQ(r.status, 1) << r.errors.toStdString();
    const QJsonObject radio = Station(r, "radio-3");
    EXPECT_TRUE(radio["reached"].toBool());
    EXPECT_FALSE(radio["copies"].toArray().isEmpty());
    for (const auto& v : radio["copies"].toArray()) {
        EXPECT_EQ(v.toObject()["result"].toString(), "done");
        EXPECT_EQ(v.toObject()["mode"].toString(), "all");
    }
    EXPECT_FALSE(Station(r, "radio-12")["reached"].toBool()) << "out of range";
    const QJsonObject bt = Station(r, "bt-2");
    EXPECT_TRUE(bt["reached"].toBool());
    EXPECT_EQ(bt["deviceType"].toInt(), 88);
    EXPECT_TRUE(fs::is_directory(Folder() / "DATA" / "bt-2"));
}

TEST_F(CollectRunTest, EveryVisitRewritesTheStatusAndStatusSaysHowTheStationsStand) {
    Write("net.toml",
          "[alarms]\nfailures = 1\n\n[[station]]\nname = \"radio-3\"\nradio = 3\n\n"
          "[[station]]\nname = \"radio-12\"\nradio = 12\n");
    const Result none = Run({"--status", "net.toml", "--lang", "en"});
    EXPECT_EQ(none.status, 3);
    EXPECT_TRUE(none.errors.contains("No station status yet")) << none.errors.toStdString();

    const Result r = Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    EXPECT_EQ(r.status, 1) << r.errors.toStdString();
    const Result s = Run({"--status", "net.toml"});
    EXPECT_EQ(s.status, 1) << "radio-12 is out of range";
    const QJsonArray stations = s.json["stations"].toArray();
    ASSERT_EQ(stations.size(), 2);
    const QJsonObject ok = stations[0].toObject();
    EXPECT_EQ(ok["colour"].toString(), "green");
    EXPECT_EQ(ok["lastSuccess"], ok["lastAttempt"].toObject()["time"]);
    EXPECT_FALSE(ok["dataSets"].toArray().isEmpty());
    EXPECT_TRUE(ok["newestMeasurement"].toString().endsWith('Z'));
    const QJsonObject failed = stations[1].toObject();
    EXPECT_EQ(failed["colour"].toString(), "red") << "its first failure is an alarm";
    const std::string alarms = ReadWholeFile(Folder() / "DATA" / "alarms.jsonl");
    EXPECT_NE(alarms.find(R"("station": "radio-12", "condition": "failures", "event": "raised")"),
              std::string::npos)
        << alarms;
    EXPECT_EQ(failed["consecutiveFailures"], QJsonValue(1));
    EXPECT_EQ(failed["lastAttempt"].toObject()["errors"], Station(r, "radio-12")["errors"]);
    EXPECT_TRUE(fs::exists(Folder() / "DATA" / "status.html"));

    fs::create_directories(Folder() / "ok");
    Write("ok/status.json", R"({"stations": [{"name": "A", "colour": "green"}]})");
    Write("ok.toml", "[defaults]\ndata = \"ok\"\n[[station]]\nname = \"A\"\nusb = true\n");
    EXPECT_EQ(Run({"--status", "ok.toml"}).status, 0);
    Write("bad.toml", "[[station]]\nname = \"A\"\n");
    EXPECT_EQ(Run({"--status", "bad.toml"}).status, 2);
}

TEST_F(CollectRunTest, ABadFileIsRefusedWithItsLineAndADryRunOpensNoPort) {
    Write("bad.toml", "[[station]]\nname = \"A\"\nprot = \"/dev/ttyS0\"\n");
    const Result bad = Run({"--collect", "bad.toml", "--lang", "en"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.errors.contains("line 3")) << bad.errors.toStdString();
    EXPECT_TRUE(bad.json.isEmpty());

    Write("plan.toml", "[[station]]\nname = \"A\"\nport = \"/dev/no-such-port\"\n");
    const Result plan = Run({"--collect", "plan.toml", "--dry-run"});
    EXPECT_EQ(plan.status, 0) << plan.errors.toStdString();
    EXPECT_EQ(plan.json["stations"].toArray()[0].toObject()["link"].toObject()["port"].toString(),
              "/dev/no-such-port");
    EXPECT_FALSE(fs::exists(Folder() / "DATA")) << "a dry run makes nothing";
}

TEST_F(CollectRunTest, ServeVisitsOnScheduleHoldsTheLockAndAStopKeepsTheWholeFilesAndTheLogs) {
    Write("net.toml", "[defaults]\nevery = \"2s\"\n\n[[station]]\nname = \"radio-3\"\nradio = 3\n");
    const fs::path station = Folder() / "DATA" / "radio-3";
    QProcess serve;
    StartProgram(serve, dir_.path(), {"--serve", "net.toml", "--demo", "--lang", "en"});
    QElapsedTimer waited;
    waited.start();
    while (ReadVisitLog(station).records.size() < 2 && waited.elapsed() < 60'000)
        serve.waitForFinished(200);
    const Result second = Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    EXPECT_EQ(second.status, 2);
    EXPECT_TRUE(second.errors.contains("another collection is running"))
        << second.errors.toStdString();
    serve.terminate();
    const Result r = FinishProgram(serve, 30'000);
    EXPECT_EQ(r.status, 0) << r.errors.toStdString();
    const VisitLogRead visits = ReadVisitLog(station);
    EXPECT_EQ(visits.skipped, 0u);
    ASSERT_GE(visits.records.size(), 2u);
    EXPECT_TRUE(visits.records[0].collected && visits.records[1].collected);

    // Stopped once a copy has put a file in place (the replies slowed down to make the copy
    // last): the files copied whole stay with the copy's log line, and the next run copies only
    // the rest.
    fs::remove_all(Folder() / "DATA");
    StartProgram(serve, dir_.path(),
                 {"--serve", "net.toml", "--demo", "--faults", "delay=150", "--lang", "en"});
    const fs::path cut = StopOnceAFileIsCopied(serve, station);
    const Result stopped = FinishProgram(serve, 30'000);
    EXPECT_EQ(stopped.status, 0) << stopped.errors.toStdString();
    const VisitLogRead cutVisit = ReadVisitLog(station);
    ASSERT_EQ(cutVisit.records.size(), 1u);
    EXPECT_FALSE(cutVisit.records[0].collected);
    EXPECT_EQ(cutVisit.records[0].error, "the collection was stopped");
    const std::size_t kept = CopiedFiles(cut).size();
    const CollectionLogRead before = ReadCollectionLog(cut);
    ASSERT_EQ(before.records.size(), 1u);
    EXPECT_EQ(before.records[0].files, static_cast<std::int64_t>(kept));
    const Result next = Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    EXPECT_EQ(next.status, 0) << next.errors.toStdString();
    const CollectionLogRead after = ReadCollectionLog(cut);
    ASSERT_EQ(after.records.size(), 2u);
    EXPECT_EQ(after.records[1].mode, CollectedMode::New);
    EXPECT_EQ(after.records[1].files + static_cast<std::int64_t>(kept),
              static_cast<std::int64_t>(CopiedFiles(cut).size()))
        << "what was copied whole is not copied again";
}

TEST_F(CollectRunTest, ACollectionStoppedMidCopyKeepsItsWholeFilesAndListsTheRestNotTried) {
    Write("net.toml",
          "[[station]]\nname = \"radio-3\"\nradio = 3\n\n"
          "[[station]]\nname = \"radio-7\"\nradio = 7\n");
    QProcess collect;
    StartProgram(collect, dir_.path(),
                 {"--collect", "net.toml", "--demo", "--faults", "delay=150", "--lang", "en"});
    const fs::path cut = StopOnceAFileIsCopied(collect, Folder() / "DATA" / "radio-3");
    const Result r = FinishProgram(collect, 30'000);
    EXPECT_EQ(r.status, 1) << "reached, not collected: " << r.errors.toStdString();
    EXPECT_FALSE(CopiedFiles(cut).empty());
    const VisitLogRead visits = ReadVisitLog(Folder() / "DATA" / "radio-3");
    ASSERT_EQ(visits.records.size(), 1u);
    EXPECT_EQ(visits.records[0].error, "the collection was stopped");
    // Every copy is said the same in the run's JSON and in its log: done when it ended before
    // the stop, stopped when the stop cut it; the visit's log counts the done ones.
    std::int64_t done = 0;
    for (const auto& v : Station(r, "radio-3")["copies"].toArray()) {
        const QJsonObject copy = v.toObject();
        const CollectionLogRead log = ReadCollectionLog(copy["folder"].toString().toStdString());
        ASSERT_EQ(log.records.size(), 1u);
        const std::string word(CollectionResultWord(log.records[0].result));
        EXPECT_EQ(copy["result"].toString().toStdString(), word) << word;
        EXPECT_NE(word, "failed");
        done += word == "done";
    }
    EXPECT_EQ(visits.records[0].copies, done);
    const QJsonObject rest = Station(r, "radio-7");
    EXPECT_FALSE(rest["tried"].toBool());
    EXPECT_EQ(rest["errors"].toArray().at(0).toString(), "the collection was stopped");
}

// A local SMTP server (Debian's aiosmtpd) that appends the recipients and subject of each mail it
// takes to "mails.txt"; it prints its port and stops when its input ends.
constexpr char kSmtpServer[] = R"(import email, email.policy, socket, sys
from aiosmtpd.controller import Controller
class Keep:
    async def handle_DATA(self, server, session, envelope):
        m = email.message_from_bytes(envelope.content, policy=email.policy.default)
        with open("mails.txt", "a", encoding="utf-8") as f:
            f.write("%s %s\n" % (",".join(envelope.rcpt_tos), m["subject"]))
        return "250 OK"
s = socket.socket(); s.bind(("127.0.0.1", 0)); port = s.getsockname()[1]; s.close()
c = Controller(Keep(), hostname="127.0.0.1", port=port); c.start()
print(port, flush=True); sys.stdin.read(); c.stop()
)";

TEST_F(CollectRunTest, AStaleStationIsMailedOnceThenClearedAndAMailThatCannotGoWaitsForTheServer) {
#ifndef QMC_MAIL_RUN_TEST
    GTEST_SKIP() << "the alarm mail is tested in the release build with libcurl only";
#else
    const QString python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    if (QProcess::execute(python, {"-c", "import aiosmtpd"}) != 0)
        GTEST_SKIP() << "python3-aiosmtpd is missing: the alarm mail is not tested";
    Write("smtp.py", kSmtpServer);
    Write("mails.txt", "");
    QProcess smtp;
    smtp.setWorkingDirectory(dir_.path());
    std::string port;
    const auto serve = [&] {
        smtp.start(python, {"smtp.py"});
        EXPECT_TRUE(smtp.waitForReadyRead(20'000));
        port = smtp.readLine().trimmed().toStdString();
    };
    // The demo's newest measurement is 90 minutes old.
    const auto runWith = [&](const char* staleHours) {
        Write("net.toml", "[alarms]\nstale_hours = " + std::string(staleHours) +
                              "\n[mail]\nserver = \"127.0.0.1\"\nport = " + port +
                              "\nfrom = \"QM <qm@example.org>\"\nto = [\"a@x.org\", \"b@x.org\"]\n"
                              "starttls = false\n[[station]]\nname = \"radio-3\"\nradio = 3\n");
        return Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    };
    const auto mails = [&] {
        return QString::fromStdString(ReadWholeFile(Folder() / "mails.txt"))
            .split('\n', Qt::SkipEmptyParts);
    };
    serve();
    EXPECT_EQ(runWith("1").status, 0);
    ASSERT_EQ(mails().size(), 1);
    EXPECT_TRUE(mails()[0].startsWith("a@x.org,b@x.org radio-3: Alarm: No new measurement for "));
    EXPECT_EQ(runWith("1").status, 0);
    EXPECT_EQ(mails().size(), 1) << "not again within repeat";

    smtp.closeWriteChannel();
    ASSERT_TRUE(smtp.waitForFinished(20'000));
    const Result down = runWith("1000");
    EXPECT_EQ(down.status, 0);
    EXPECT_TRUE(down.errors.contains("could not be delivered by mail"))
        << down.errors.toStdString();
    serve();
    EXPECT_EQ(runWith("1000").status, 0);
    EXPECT_EQ(runWith("1000").status, 0);
    ASSERT_EQ(mails().size(), 2) << "sent once, when the server is back";
    EXPECT_TRUE(mails()[1].contains("radio-3: Alarm cleared: No new ")) << mails()[1].toStdString();
    smtp.closeWriteChannel();
    smtp.waitForFinished(20'000);
#endif
}

TEST_F(CollectRunTest, TheCommandReadsTheAlarmAsJsonAndOneThatFailsIsRunAgainAtTheNextRun) {
    const auto runWith = [&](const std::string& command) {
        fs::remove(Folder() / "got.json");
        Write("net.toml", "[alarms]\nstale_hours = 1\ncommand = \"" + command +
                              "\"\n[[station]]\nname = \"radio-3\"\nradio = 3\n");
        return Run({"--collect", "net.toml", "--demo", "--lang", "en"});
    };
    // A stop while the command runs kills it with what it started, at once; the alarm stays
    // owed (the run below is given it).
    Write("net.toml",
          "[alarms]\nstale_hours = 1\ncommand = \"cat >/dev/null; sleep 60 & "
          "echo $! > child; wait\"\n[[station]]\nname = \"radio-3\"\nradio = 3\n");
    QProcess stopped;
    StartProgram(stopped, dir_.path(), {"--collect", "net.toml", "--demo", "--lang", "en"});
    QElapsedTimer waited;
    waited.start();
    while (!fs::exists(Folder() / "child") && waited.elapsed() < 60'000)
        stopped.waitForFinished(20);
    stopped.terminate();
    waited.restart();
    const Result cut = FinishProgram(stopped, 30'000);
    EXPECT_LT(waited.elapsed(), 5'000);
    EXPECT_EQ(cut.status, 0);
    EXPECT_TRUE(cut.errors.contains("by the command: the collection was stopped"))
        << cut.errors.toStdString();
    std::string child = ReadWholeFile(Folder() / "child");
    child = fs::exists("/proc/" + child.substr(0, child.find('\n')) + "/stat")
                ? ReadWholeFile("/proc/" + child.substr(0, child.find('\n')) + "/stat")
                : "";
    EXPECT_TRUE(child.empty() || child.find(") Z ") != std::string::npos) << child;
    EXPECT_TRUE(runWith("cat > got.json; exit 1")
                    .errors.contains("by the command: the command exited with status 1"));
    runWith("cat > got.json");
    const QJsonObject got =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadWholeFile(Folder() / "got.json")))
            .object();
    EXPECT_EQ(got["station"].toString() + " " + got["event"].toString(), "radio-3 raised");
    EXPECT_EQ(got["command"], QJsonValue(false)) << "as the alarm log has it";
    EXPECT_TRUE(got["text"].toString().startsWith("Alarm: No new measurement for "));
    runWith("cat > got.json");
    EXPECT_FALSE(fs::exists(Folder() / "got.json")) << "delivered once";
}

}  // namespace
}  // namespace qm::test
