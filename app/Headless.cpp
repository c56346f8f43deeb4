// Unattended runs: the session with its links and timers on a QCoreApplication, no widget
// anywhere. The run waits for the automatic read-out, then asks the session for its work (set
// the clock, copy directories) and hears from its events how each piece ended. Messages go to
// standard error in the language chosen, the result as JSON to standard output.
#include "app/Headless.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Console.h"
#include "app/DirectoryCopies.h"
#include "app/Links.h"
#include "app/Options.h"
#include "app/QtTimerHost.h"
#include "app/StartFolder.h"
#include "core/Controller.h"
#include "link/backends/SerialPortBackend.h"
#include "protocol/Cp1251.h"
#include "store/Catalogue.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"
#include "ui/qt/QtServices.h"

namespace qm {

namespace {

// How long the first USB scan may take to find a logger.
constexpr int kUsbSearchMs = 3000;

enum class Command { Info, Copy, CopyAll, SyncClock };

struct RunOptions {
    Command command = Command::Info;
    std::optional<std::string> port;
    std::string directory;  // --copy DIR, as the selector shows it
    bool newData = false;
    std::optional<DateTime> day;
    Language language = Language::Russian;
    int timeLimitSeconds = 0;
};

// One run of the controller from the command line.
class HeadlessRun : private SessionEvents {
public:
    explicit HeadlessRun(const RunOptions& o)
        : o_(o),
          ops_(err_, [this] { return o_.language; }),
          controller_(clock_, ops_),
          session_(controller_.MutableSession()) {
        session_.SetTimerHost(&timers_);
        session_.Listen(*this);
    }
    ~HeadlessRun() override {
        session_.StopListening(*this);
        session_.SetTimerHost(nullptr);
    }
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    int Exec() {
        started_ = clock_.UtcNow();
        // The controller ends the program when the USB logger it talks to is unplugged.
        ops_.onQuit = [this] { Abort(Text(Msg::CliLoggerGone)); };
        controller_.SetChangedCallback([this] { Changed(); });
        // The data go where the window keeps them: the working directory, or the documents
        // folder when the working directory cannot hold them (said on standard error).
        const std::filesystem::path workingDirectory = Utf8Path(QDir::currentPath().toStdString());
        const StartFolder start = ChooseStartFolder(
            workingDirectory,
            Utf8Path(
                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()));
        if (start.inDocuments)
            err_.Line(
                Text(Msg::DataInDocumentsWhy, {PathText(start.path), PathText(workingDirectory)}));
        controller_.SetUpFolders(start.path);
        controller_.FormCreate(1024, 768);
        // A start shows the design captions, which are Russian: only English is chosen.
        if (o_.language == Language::English) controller_.ChooseLanguage(Language::English);

        limit_.setSingleShot(true);
        QObject::connect(&limit_, &QTimer::timeout, &limit_, [this] { TimeLimitReached(); });
        limit_.start(o_.timeLimitSeconds * 1000);

        if (o_.port) {
            // The named port alone: no USB logger plugged in meanwhile can take the run over.
            controller_.SetSerialPortOpener(&serial_);
            serial_.SetRxHandler([this](std::size_t n) { controller_.ComPort1RxChar(n); });
            serial_.SetLostHandler([this] { controller_.ComPort1Lost(); });
            if (!Work().OpenSerialPort(*o_.port)) return 2;  // the session has said why
        } else {
            links_ = StartLinks(controller_, std::nullopt);
            QTimer::singleShot(kUsbSearchMs, &limit_, [this] {
                if (phase_ != Phase::Connecting || Work().LinkFound()) return;
                err_.Line(Text(Msg::CliNoUsbLogger));
                Finish(2);
            });
        }
        const int status = finished_ ? status_ : QCoreApplication::exec();
        Work().CloseLocalFiles();
        serial_.Close();
        if (!result_.isEmpty()) result_["time"] = Q(UtcText(started_));
        if (!result_.isEmpty())
            std::fputs(QJsonDocument(result_).toJson(QJsonDocument::Indented).constData(), stdout);
        std::fflush(stdout);
        return status;
    }

private:
    enum class Phase { Connecting, SettingClock, Copying, Done };

    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, o_.language, args);
    }
    SessionWork& Work() { return session_.Work(); }
    const SessionWork& Work() const { return session_.Work(); }
    const LoggerState& Logger() const { return session_.Logger(); }

    // The logger's directories as listed, in Unicode.
    std::vector<std::string> Directories() const {
        std::vector<std::string> names;
        for (const std::string& name : Logger().directories) names.push_back(Cp1251ToUtf8(name));
        return names;
    }

    bool LinkUp() const { return !o_.port || session_.Link().PortOpen; }
    bool Identified() const { return Logger().identity && Logger().identity->version != 0; }
    // The read-out has ended and nothing is asked of the logger or waits to be.
    bool ReadOutOver() const { return !Work().ReadingOut() && Work().Idle(); }

    // The session's events: noted here, acted on in the next step (never inside the session's
    // handler).
    void ClockSetEnded(bool /*set*/) override { clockSetEnded_ = true; }
    void CopyEnded(const CopyResult& result) override {
        if (copies_) copies_->Ended(result);
    }

    // After every event the run takes its next step, once the event has been handled. The
    // window's own timers (its labels, the busy bar) are not run: there is no window.
    void Changed() {
        if (stepQueued_ || phase_ == Phase::Done) return;
        stepQueued_ = true;
        QTimer::singleShot(0, &limit_, [this] {
            stepQueued_ = false;
            Step();
        });
    }

    void Step() {
        identified_ = identified_ || Identified();
        switch (phase_) {
            case Phase::Connecting:
                StepConnecting();
                break;
            case Phase::SettingClock:
                StepSettingClock();
                break;
            case Phase::Copying:
                StepCopying();
                break;
            case Phase::Done:
                break;
        }
    }

    void StepConnecting() {
        if (Work().ThroughModemAdapter()) {
            err_.Line(Text(Msg::CliModemAdapter));
            Finish(2);
            return;
        }
        if (!LinkUp()) {
            Finish(identified_ ? 1 : 2);
            return;
        }
        if (!Work().LinkFound()) return;
        if (!identified_) {
            // The watchdog has given up on the identification, or what answered is no logger.
            if (Work().Idle()) {
                if (o_.port && ops_.errors.empty())
                    err_.Line(Text(Msg::CliPortNoLogger, {*o_.port}));
                Finish(2);
            }
            return;
        }
        if (!ReadOutOver()) return;
        StartCommand();
    }

    void StartCommand() {
        switch (o_.command) {
            case Command::Info:
                result_ = InfoJson();
                Finish(ops_.errors.empty() ? 0 : 1);
                break;
            case Command::SyncClock:
                clockBefore_ = Logger().clock;
                errorsBefore_ = ops_.errors.size();
                phase_ = Phase::SettingClock;
                clockSetEnded_ = false;
                if (!Work().SetClock()) Finish(1);
                break;
            case Command::Copy:
                StartCopies({o_.directory});
                break;
            case Command::CopyAll:
                StartCopies(Directories());
                if (Directories().empty()) err_.Line(Text(Msg::CliNoDirectories));
                break;
        }
    }

    // Clock: the setting ends with the reading that follows it, a refusal or silence.
    void StepSettingClock() {
        if (!LinkUp()) {
            Finish(1);
            return;
        }
        if (!clockSetEnded_ || session_.Link().Outstanding) return;
        const auto& after = Logger().clock;
        QJsonObject o;
        o["before"] = ClockJson(clockBefore_);
        o["after"] = ClockJson(after);
        o["errors"] = Texts(ops_.errors, errorsBefore_);
        result_ = o;
        const bool read = after && (!clockBefore_ || after->number > clockBefore_->number);
        Finish(read && ops_.errors.size() == errorsBefore_ ? 0 : 1);
    }

    // Copies: one directory after another, each from its start to the finishing step.
    void StartCopies(const std::vector<std::string>& names) {
        const DirectoryCopies::Request request{o_.day       ? CopyMode::Day
                                               : o_.newData ? CopyMode::New
                                                            : CopyMode::All,
                                               o_.day.value_or(DateTime{})};
        copies_.emplace(Work(), Logger(), ops_, err_, o_.language, request,
                        [this](const std::string& text) { err_.Progress(text); });
        copies_->Add(names);
        phase_ = Phase::Copying;
        NextCopy();
    }

    void NextCopy() {
        if (copies_->StartNext()) return;
        const QJsonArray& written = copies_->Written();
        QJsonObject o;
        if (o_.command == Command::Copy && written.size() == 1) {
            o = written.first().toObject();
        } else {
            qint64 files = 0, measurements = 0, retries = 0;
            double bytes = 0, seconds = 0;
            for (const auto& v : written) {
                const QJsonObject c = v.toObject();
                files += c["files"].toInteger();
                measurements += c["measurements"].toInteger();
                retries += c["retries"].toInteger();
                bytes += c["bytes"].toDouble();
                seconds += c["seconds"].toDouble();
            }
            o["copies"] = written;
            o["files"] = files;
            o["measurements"] = measurements;
            o["bytes"] = bytes;
            o["seconds"] = std::round(seconds * 10) / 10;
            o["retries"] = retries;
            o["errors"] = Texts(ops_.errors);
        }
        result_ = o;
        Finish(copies_->Failed() || !ops_.errors.empty() ? 1 : 0);
    }

    void StepCopying() {
        if (!copies_ || copies_->Step(LinkUp())) return;
        NextCopy();
    }

    void TimeLimitReached() {
        Abort(Text(Msg::CliTimeLimit, {std::to_string(o_.timeLimitSeconds)}));
    }

    // The run ends before its work is done: an unfinished file is dropped, and what was copied
    // until then is reported.
    void Abort(const std::string& why) {
        if (phase_ == Phase::Done) return;
        err_.Line(why);
        Work().CloseLocalFiles();
        if (phase_ == Phase::Copying && copies_) {
            copies_->Stop(why);
            NextCopy();
            return;
        }
        Finish(identified_ ? 1 : 2);
    }

    void Finish(int status) {
        if (phase_ == Phase::Done) return;
        phase_ = Phase::Done;
        limit_.stop();
        status_ = status;
        finished_ = true;
        QCoreApplication::exit(status);
    }

    QJsonValue ClockJson(const std::optional<ClockReading>& r) const {
        if (!r) return QJsonValue();
        QJsonObject o;
        o["clock"] = Q(IsoText(r->logger));
        o["pc"] = Q(IsoText(r->pc));
        o["offsetSeconds"] = static_cast<qint64>(r->OffsetSeconds());
        return o;
    }

    QJsonObject InfoJson() const {
        const LoggerState& logger = Logger();
        const LoggerIdentity identity = logger.identity.value_or(LoggerIdentity{});
        QJsonObject o;
        o["deviceType"] = static_cast<int>(identity.deviceType);
        o["version"] = static_cast<int>(identity.version);
        o["title"] = Q(identity.title);
        o["link"] = o_.port ? Q(*o_.port) : QStringLiteral("usb");
        const QJsonValue clock = ClockJson(logger.clock);
        o["clock"] = clock.isObject() ? clock.toObject()["clock"] : QJsonValue();
        o["clockOffsetSeconds"] =
            clock.isObject() ? clock.toObject()["offsetSeconds"] : QJsonValue();
        if (logger.batteryVolts)
            o["batteryVolts"] = std::round(*logger.batteryVolts * 10) / 10;
        else
            o["batteryVolts"] = QJsonValue();
        if (identity.keepsRemarks) {
            o["remarks"] =
                logger.remarks
                    ? QJsonValue(QJsonArray{Q(logger.remarks->first), Q(logger.remarks->second)})
                    : QJsonValue();
        } else if (logger.schedule) {
            // The schedule as the logger reported it.
            const DecodedSchedule& d = *logger.schedule;
            QJsonObject schedule;
            schedule["start"] = Q(IsoText(d.startDate.DatePart() + d.startTime.TimeOfDay()));
            schedule["stop"] = Q(IsoText(d.stopDate.DatePart() + d.stopTime.TimeOfDay()));
            schedule["intervalDays"] = d.fields.IntervalDays;
            schedule["intervalHours"] = d.fields.IntervalHours;
            schedule["intervalMinutes"] = d.fields.IntervalMinutes;
            o["schedule"] = schedule;
        } else {
            o["schedule"] = QJsonValue();  // not read, or not a valid schedule
        }
        const std::optional<int> line = LineNumber(logger.line);
        o["line"] = line ? QJsonValue(*line) : QJsonValue();
        o["lineText"] = logger.line.empty() ? QJsonValue() : Q(logger.line);
        QJsonArray directories;
        for (const std::string& name : Directories()) directories.append(Q(name));
        o["directories"] = directories;
        o["errors"] = Texts(ops_.errors);
        return o;
    }

    RunOptions o_;
    ErrorStream err_;
    QtPcClock clock_;
    HeadlessServices ops_;
    Controller controller_;
    Session& session_;
    QtTimerHost timers_;
    SerialPortBackend serial_;
    std::unique_ptr<AppLinks> links_;
    QTimer limit_;

    Phase phase_ = Phase::Connecting;
    bool stepQueued_ = false;
    bool identified_ = false;
    bool finished_ = false;
    int status_ = 0;
    QJsonObject result_;
    std::chrono::sys_seconds started_{};  // UTC

    std::optional<ClockReading> clockBefore_;
    std::size_t errorsBefore_ = 0;
    bool clockSetEnded_ = false;

    std::optional<DirectoryCopies> copies_;
};

// What the run needs of the command line.
RunOptions RunOptionsOf(const Options& options) {
    RunOptions o;
    switch (options.mode) {
        case Mode::Copy:
            o.command = Command::Copy;
            break;
        case Mode::CopyAll:
            o.command = Command::CopyAll;
            break;
        case Mode::SyncClock:
            o.command = Command::SyncClock;
            break;
        default:
            o.command = Command::Info;
            break;
    }
    o.port = options.port;  // none with --usb
    o.directory = options.directory;
    o.newData = options.newData;
    o.day = options.day;
    o.language = options.language;
    o.timeLimitSeconds = options.timeLimitSeconds;
    return o;
}

}  // namespace

int RunHeadless(int argc, char* argv[], const Options& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QM Controller");
    HeadlessRun run(RunOptionsOf(options));
    return run.Exec();
}

}  // namespace qm
