// The collection of many loggers: each station visited by a session of its own on the event
// loop, one after another, its events noted and acted on in the next step, as the runs of one
// logger do.
#include "app/Collect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CollectPlanJson.h"
#include "app/Console.h"
#include "app/DirectoryCopies.h"
#include "app/InProcessDelivery.h"
#include "app/Links.h"
#include "app/Options.h"
#include "app/QtTimerHost.h"
#include "collect/StationsFile.h"
#include "core/Controller.h"
#include "link/backends/SerialPortBackend.h"
#include "protocol/Cp1251.h"
#include "sim/InProcessLink.h"
#include "sim/Network.h"
#include "store/Catalogue.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"
#include "ui/qt/QtServices.h"

namespace qm {

namespace {

// A Bluetooth station is given this many calls, one every 15 s: a minute to connect.
constexpr int kDialCalls = 4;
// How long the first USB scan may take to find the device.
constexpr int kUsbSearchMs = 3000;
// A station whose logger is not read out by then is given up: a minute of dialling, the
// identification asked again, a read-out over a slow line.
constexpr int kReachLimitMs = 5 * 60 * 1000;

// The line value as a number when the title shows a whole one, and as the title's text.
void PutLine(QJsonObject& o, const std::string& text) {
    const std::optional<int> line = LineNumber(text);
    o["line"] = line ? QJsonValue(*line) : QJsonValue();
    o["lineText"] = text.empty() ? QJsonValue() : QJsonValue(Q(text));
}

// A station the run did not try (it has no folder, or no time was left): what it says of it,
// the keys of a station it tried with nothing learnt.
QJsonObject NotTriedJson(const Station& station, const std::string& why) {
    QJsonObject o;
    o["name"] = Q(station.name);
    o["tried"] = false;
    o["reached"] = false;
    for (const char* key : {"deviceType", "version", "title", "batteryVolts", "clockOffsetSeconds",
                            "clockOffsetAfterSeconds"})
        o[key] = QJsonValue();
    PutLine(o, {});
    o["clockSet"] = false;
    o["folder"] = Q(PathText(station.folder));
    o["copies"] = QJsonArray();
    o["errors"] = QJsonArray{Q(why)};
    o["warnings"] = QJsonArray();
    return o;
}

// What every visit shares.
struct Collection {
    Language language = Language::Russian;
    ErrorStream err;
    QtPcClock clock;
    std::unique_ptr<sim::VirtualNetwork> network;  // --demo
    QElapsedTimer elapsed;
    int timeLimitMs = 0;
    bool timeRanOut = false;  // the limit has ended a visit: no station after it is tried
    std::size_t stations = 0;

    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, language, args);
    }
    // What is left of the time limit (at most a week: an int of milliseconds holds it).
    int MsLeft() const {
        return static_cast<int>(std::max<qint64>(0, timeLimitMs - elapsed.elapsed()));
    }
};

// One station, from opening its link to releasing it.
class StationVisit : private SessionEvents {
public:
    StationVisit(Collection& c, const Station& station, std::size_t number)
        : c_(c),
          station_(station),
          number_(number),
          ops_(c.err, [&c] { return c.language; }),
          controller_(c.clock, ops_),
          session_(controller_.MutableSession()) {
        session_.SetTimerHost(&timers_);
        session_.Listen(*this);
    }
    ~StationVisit() override {
        session_.StopListening(*this);
        session_.SetTimerHost(nullptr);
    }
    StationVisit(const StationVisit&) = delete;
    StationVisit& operator=(const StationVisit&) = delete;

    // Collects the station and returns what it did; `collected` when it was reached and every
    // copy ended done.
    QJsonObject Run() {
        started_ = c_.clock.UtcNow();
        ops_.onQuit = [this] { Abort(c_.Text(Msg::CliLoggerGone)); };
        // Every line of this station, the session's own too, says whose it is.
        c_.err.SetPrefix(c_.Text(Msg::CollectNotReached, {station_.name, ""}));
        controller_.SetChangedCallback([this] { Changed(); });
        controller_.FormCreate(1024, 768);
        if (c_.language == Language::English) controller_.ChooseLanguage(Language::English);
        Work().NameStation(station_.name);
        if (const auto why = FolderRefused()) {
            // Nothing of the station is touched: it is not tried, and has no folder to log in.
            tried_ = false;
            Fail(*why);
        } else {
            Progress(c_.Text(Msg::CollectLinking));
            Open();
        }
        if (phase_ != Phase::Done) {
            reach_.setSingleShot(true);
            QObject::connect(&reach_, &QTimer::timeout, &loop_, [this] {
                if (phase_ == Phase::Linking || phase_ == Phase::Reaching)
                    Fail(c_.Text(Msg::CollectNoAnswer));
            });
            // Where the run's limit comes first, it ends the visit and says so.
            if (kReachLimitMs < c_.MsLeft()) reach_.start(kReachLimitMs);
            limit_.setSingleShot(true);
            limit_.setTimerType(Qt::PreciseTimer);
            QObject::connect(&limit_, &QTimer::timeout, &loop_, [this] {
                c_.timeRanOut = true;
                Abort(c_.Text(Msg::CliTimeLimit, {std::to_string(c_.timeLimitMs / 1000)}));
            });
            limit_.start(c_.MsLeft());
            loop_.exec();
        }
        Work().CloseLocalFiles();
        serial_.Close();
        c_.err.ClearProgress();
        if (tried_) LogVisit();
        c_.err.SetPrefix({});
        return Result();
    }

    bool Reached() const { return identified_; }
    bool Collected() const { return identified_ && !failed_; }

private:
    enum class Phase { Linking, Reaching, SettingClock, Copying, Done };

    SessionWork& Work() { return session_.Work(); }
    const LoggerState& Logger() const { return session_.Logger(); }
    StationLink::Kind Kind() const { return station_.link.kind; }
    bool Identified() const { return Logger().identity && Logger().identity->version != 0; }
    bool LinkUp() const { return Kind() != StationLink::Kind::Serial || session_.Link().PortOpen; }

    // The station's folder, made with its parents when missing; why it cannot be, in the words
    // of the system.
    std::optional<std::string> FolderRefused() {
        const std::filesystem::path& folder = station_.folder;
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec))
            std::filesystem::create_directories(folder, ec);
        if (!ec && !std::filesystem::is_directory(folder, ec))
            ec = std::make_error_code(std::errc::not_a_directory);
        if (!ec && !Work().UseDataFolder(folder))
            ec = std::make_error_code(std::errc::not_a_directory);
        if (!ec) return std::nullopt;
        return c_.Text(Msg::CollectNoFolder, {PathText(folder), SystemReason(ec, c_.language)});
    }

    void Open() {
        switch (Kind()) {
            case StationLink::Kind::Serial:
                controller_.SetSerialPortOpener(&serial_);
                serial_.SetRxHandler([this](std::size_t n) { controller_.ComPort1RxChar(n); });
                serial_.SetLostHandler([this] { controller_.ComPort1Lost(); });
                if (!Work().OpenSerialPort(station_.link.port)) Fail({});  // said why
                return;
            case StationLink::Kind::Usb:
            case StationLink::Kind::Radio:
            case StationLink::Kind::Bluetooth:
                break;
        }
        if (c_.network) {
            if (Kind() == StationLink::Kind::Usb) {
                Fail(c_.Text(Msg::CollectNoDemoUsb));
                return;
            }
            sim::Device& front = Kind() == StationLink::Kind::Radio ? c_.network->RadioFront()
                                                                    : c_.network->BluetoothFront();
            demoLink_ = std::make_unique<sim::InProcessHidLink>(front);
            delivery_ = std::make_unique<InProcessDelivery>(*demoLink_, controller_);
            controller_.UsbLoggerFound(demoLink_.get());
            return;
        }
        links_ = StartLinks(controller_, std::nullopt);
        QTimer::singleShot(kUsbSearchMs, &loop_, [this] {
            if (phase_ != Phase::Linking || Work().LinkFound()) return;
            Fail(c_.Text(Kind() == StationLink::Kind::Usb     ? Msg::CliNoUsbLogger
                         : Kind() == StationLink::Kind::Radio ? Msg::CollectNeedsRadio
                                                              : Msg::CollectNeedsBluetooth));
        });
    }

    // The session's events: noted here, acted on in the next step.
    void ModemDialEnded(bool connected) override {
        if (!connected) dialFailed_ = true;
    }
    void ClockSetEnded(bool /*set*/) override { clockSetEnded_ = true; }
    void CopyEnded(const CopyResult& result) override {
        if (copies_) copies_->Ended(result);
    }

    // The window's own timers (its labels, the busy bar) are not run: there is no window.
    void Changed() {
        if (stepQueued_ || phase_ == Phase::Done) return;
        stepQueued_ = true;
        QTimer::singleShot(0, &loop_, [this] {
            stepQueued_ = false;
            Step();
        });
    }

    void Step() {
        identified_ = identified_ || Identified();
        switch (phase_) {
            case Phase::Linking:
                StepLinking();
                break;
            case Phase::Reaching:
                StepReaching();
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

    void StepLinking() {
        if (!LinkUp()) {
            Fail({});
            return;
        }
        if (!Work().LinkFound()) return;
        const bool modem = Work().ThroughModemAdapter();
        switch (Kind()) {
            case StationLink::Kind::Radio:
            case StationLink::Kind::Bluetooth:
                if (!modem) {
                    if (identified_ || Work().Idle())
                        Fail(c_.Text(Kind() == StationLink::Kind::Radio
                                         ? Msg::CollectNeedsRadio
                                         : Msg::CollectNeedsBluetooth));
                    return;
                }
                if (Kind() == StationLink::Kind::Radio
                        ? Work().ReachRadioAddress(station_.link.radioAddress)
                        : Work().DialBluetooth(station_.link.bluetoothAddress, kDialCalls))
                    phase_ = Phase::Reaching;
                return;
            case StationLink::Kind::Serial:
            case StationLink::Kind::Usb:
                if (modem) {
                    Fail(c_.Text(Msg::CliModemAdapter));
                    return;
                }
                break;
        }
        StepReaching();
    }

    void StepReaching() {
        if (!LinkUp()) {
            Fail({});
            return;
        }
        if (dialFailed_) {
            Fail(c_.Text(Msg::CollectNoConnect,
                         {station_.link.bluetoothAddress, std::to_string(kDialCalls)}));
            return;
        }
        if (!identified_) {
            // The watchdog has given up on the identification, or what answered is no logger.
            if (Work().Idle() && !session_.Link().Outstanding)
                Fail(ops_.errors.empty() ? c_.Text(Msg::CollectNoAnswer) : std::string());
            return;
        }
        Progress(c_.Text(Msg::CollectReadingOut));
        if (Work().ReadingOut() || !Work().Idle()) return;
        reach_.stop();
        StartClock();
    }

    // The clock: read during the read-out; set only when the station allows it and it is off
    // by more than its limit. Never during a copy: the copies come after.
    void StartClock() {
        const auto& before =
            Logger().clockBeforeSetting ? Logger().clockBeforeSetting : Logger().clock;
        if (before) offsetBefore_ = before->OffsetSeconds();
        if (station_.clock == ClockPolicy::Check && offsetBefore_ &&
            std::llabs(*offsetBefore_) > station_.maxOffsetSeconds) {
            // Off by more than the station allows, and left so as it asks: said, not set.
            const std::string text = c_.Text(
                Msg::CollectClockOff,
                {std::to_string(*offsetBefore_), std::to_string(station_.maxOffsetSeconds)});
            Line(text);
            warnings_.push_back(text);
        }
        if (station_.clock == ClockPolicy::Set && offsetBefore_ &&
            std::llabs(*offsetBefore_) > station_.maxOffsetSeconds) {
            phase_ = Phase::SettingClock;
            clockSetEnded_ = false;
            if (Work().SetClock()) return;
            ClockNotSet();
        }
        StartCopies();
    }

    void StepSettingClock() {
        if (!LinkUp()) {
            Fail({});
            return;
        }
        if (!clockSetEnded_ || session_.Link().Outstanding || !Work().Idle()) return;
        if (Logger().clockSet && Logger().clock) {
            offsetAfter_ = Logger().clock->OffsetSeconds();
            Line(c_.Text(Msg::CollectClockSet, {std::to_string(*offsetBefore_)}));
        } else {
            ClockNotSet();
        }
        StartCopies();
    }

    void ClockNotSet() {
        const std::string text = c_.Text(Msg::CollectClockNotSet, {std::to_string(*offsetBefore_)});
        Line(text);
        errors_.push_back(text);
        failed_ = true;
    }

    // Copies: the station's directories, or every one the logger lists.
    void StartCopies() {
        phase_ = Phase::Copying;
        errorsBeforeCopies_ = ops_.errors.size();
        const DirectoryCopies::Request request{
            station_.mode == CollectMode::New ? CopyMode::New : CopyMode::All, DateTime{}};
        copies_.emplace(Work(), Logger(), ops_, c_.err, c_.language, request,
                        [this](const std::string& text) { Progress(text); });
        if (station_.directories.empty()) {
            copies_->Add(copies_->Listed());
            if (copies_->Listed().empty()) Line(c_.Text(Msg::CliNoDirectories));
        } else {
            copies_->Add(station_.directories);
        }
        NextCopy();
    }

    void NextCopy() {
        if (copies_->StartNext()) return;
        if (copies_->Failed()) failed_ = true;
        Finish();
    }

    void StepCopying() {
        if (!copies_ || copies_->Step(LinkUp())) return;
        NextCopy();
    }

    // The station ends before its work is done: an unfinished file is dropped, and what was
    // copied until then is reported.
    void Abort(const std::string& why) {
        if (phase_ == Phase::Done) return;
        Work().CloseLocalFiles();
        if (phase_ == Phase::Copying && copies_) {
            Line(why);
            copies_->Stop(why);
            failed_ = true;
            Finish();
            return;
        }
        Fail(why);
    }

    // Not collected: `why` (empty when the session has said it).
    void Fail(const std::string& why) {
        if (!why.empty()) {
            Line(why);
            errors_.push_back(why);
        }
        failed_ = true;
        Finish();
    }

    void Finish() {
        if (phase_ == Phase::Done) return;
        phase_ = Phase::Done;
        reach_.stop();
        limit_.stop();
        loop_.exit(0);
    }

    void Line(const std::string& text) { c_.err.Line(text); }
    void Progress(const std::string& what) {
        c_.err.Progress(
            c_.Text(Msg::CollectStation,
                    {std::to_string(number_), std::to_string(c_.stations), station_.name, what}));
    }

    // The copies that ended done.
    std::int64_t CopiesDone() const {
        std::int64_t n = 0;
        if (copies_)
            for (const auto& v : copies_->Written())
                if (v.toObject()["result"].toString() == QLatin1String("done")) ++n;
        return n;
    }

    // Why the station was not collected: its own errors, or else the first of a copy that did
    // not end done.
    std::optional<std::string> VisitError() const {
        std::string text;
        for (const auto& v : Errors()) text += (text.empty() ? "" : "; ") + v;
        if (text.empty() && copies_) {
            for (const auto& v : copies_->Written()) {
                const QJsonObject c = v.toObject();
                const QJsonArray errors = c["errors"].toArray();
                if (c["result"].toString() != QLatin1String("done") && !errors.isEmpty()) {
                    text = errors.first().toString().toStdString();
                    break;
                }
            }
        }
        if (text.empty()) return std::nullopt;
        return text;
    }

    // One line in the station's visit log, whether or not its logger was reached.
    void LogVisit() {
        VisitRecord r;
        r.time = started_;
        r.station = station_.name;
        r.link = LinkKindWord(Kind());
        switch (Kind()) {
            case StationLink::Kind::Serial:
                r.addressText = station_.link.port;
                break;
            case StationLink::Kind::Radio:
                r.addressNumber = station_.link.radioAddress;
                break;
            case StationLink::Kind::Bluetooth:
                r.addressText = station_.link.bluetoothAddress;
                break;
            case StationLink::Kind::Usb:
                break;
        }
        r.reached = identified_;
        r.error = VisitError();
        r.clockOffsetSeconds = offsetBefore_;
        if (Logger().batteryVolts) r.batteryVolts = std::round(*Logger().batteryVolts * 100) / 100;
        r.clockSet = offsetAfter_.has_value();
        r.copies = CopiesDone();
        r.collected = Collected();
        if (const auto error = AppendVisitRecord(station_.folder, r)) {
            const std::string text =
                c_.Text(Msg::CollectVisitNotLogged, {error->Text(c_.language)});
            Line(text);
            warnings_.push_back(text);
        }
    }

    // What the session said before the copies (each copy lists its own), and why the station
    // was not collected.
    std::vector<std::string> Errors() const {
        std::vector<std::string> errors(
            ops_.errors.begin(),
            ops_.errors.begin() +
                static_cast<std::ptrdiff_t>(errorsBeforeCopies_.value_or(ops_.errors.size())));
        errors.insert(errors.end(), errors_.begin(), errors_.end());
        return errors;
    }

    QJsonObject Result() const {
        QJsonObject o;
        o["name"] = Q(station_.name);
        o["tried"] = tried_;
        o["reached"] = identified_;
        const auto& id = Logger().identity;
        o["deviceType"] = id ? QJsonValue(id->deviceType) : QJsonValue();
        o["version"] = id ? QJsonValue(id->version) : QJsonValue();
        o["title"] = id ? QJsonValue(Q(id->title)) : QJsonValue();
        PutLine(o, Logger().line);
        o["batteryVolts"] = Logger().batteryVolts
                                ? QJsonValue(std::round(*Logger().batteryVolts * 100) / 100)
                                : QJsonValue();
        o["clockOffsetSeconds"] =
            offsetBefore_ ? QJsonValue(static_cast<qint64>(*offsetBefore_)) : QJsonValue();
        o["clockSet"] = offsetAfter_.has_value();
        o["clockOffsetAfterSeconds"] =
            offsetAfter_ ? QJsonValue(static_cast<qint64>(*offsetAfter_)) : QJsonValue();
        o["folder"] = Q(PathText(station_.folder));
        o["copies"] = copies_ ? copies_->Written() : QJsonArray();
        o["errors"] = Texts(Errors());
        o["warnings"] = Texts(warnings_);
        return o;
    }

    Collection& c_;
    const Station& station_;
    std::size_t number_;
    HeadlessServices ops_;
    Controller controller_;
    Session& session_;
    QtTimerHost timers_;
    SerialPortBackend serial_;
    std::unique_ptr<AppLinks> links_;
    std::unique_ptr<sim::InProcessHidLink> demoLink_;
    std::unique_ptr<InProcessDelivery> delivery_;
    QEventLoop loop_;
    QTimer reach_;
    QTimer limit_;
    Phase phase_ = Phase::Linking;
    std::chrono::sys_seconds started_{};  // UTC
    bool tried_ = true;
    bool stepQueued_ = false;
    bool identified_ = false;
    bool failed_ = false;
    bool dialFailed_ = false;
    bool clockSetEnded_ = false;
    std::optional<std::int64_t> offsetBefore_;
    std::optional<std::int64_t> offsetAfter_;
    std::optional<DirectoryCopies> copies_;
    std::vector<std::string> errors_;
    std::vector<std::string> warnings_;
    std::optional<std::size_t> errorsBeforeCopies_;
};

}  // namespace

int RunCollect(int argc, char* argv[], const Options& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QM Controller");
    Collection c;
    c.language = options.language;
    const StationsFileRead read = ReadStationsFile(Utf8Path(options.stationsFile));
    if (const auto* error = std::get_if<StationsFileError>(&read)) {
        c.err.Line(error->Text(options.language));
        return 2;
    }
    const StationsPlan& plan = std::get<StationsPlan>(read);
    for (const StationsFileWarning& w : plan.warnings) c.err.Line(w.Text(options.language));
    if (options.dryRun) {
        std::fputs(QJsonDocument(PlanJson(plan, options.language))
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
        return 0;
    }
    if (options.mode == Mode::Collect && options.demoNetwork) {
        sim::NetworkDescription network = sim::DemoNetwork();
        network.radioFaults = options.faults;
        network.bluetoothFaults = options.faults;
        c.network = std::make_unique<sim::VirtualNetwork>(network, [&c] { return c.clock.Now(); });
    }
    const std::chrono::sys_seconds started = c.clock.UtcNow();
    c.elapsed.start();
    c.timeLimitMs = options.timeLimitSeconds * 1000;
    c.stations = plan.stations.size();

    QJsonArray stations;
    std::size_t reached = 0;
    std::size_t collected = 0;
    for (std::size_t i = 0; i < plan.stations.size(); ++i) {
        const Station& station = plan.stations[i];
        if (c.timeRanOut || c.MsLeft() == 0) {
            // No time left for it: said, and the rest are still listed.
            const std::string why = c.Text(Msg::CollectSkipped);
            c.err.Line(c.Text(Msg::CollectNotReached, {station.name, why}));
            stations.append(NotTriedJson(station, why));
            continue;
        }
        StationVisit visit(c, station, i + 1);
        stations.append(visit.Run());
        if (visit.Reached()) ++reached;
        if (visit.Collected()) ++collected;
    }
    QJsonObject result;
    result["time"] = Q(UtcText(started));
    result["stationsFile"] = Q(PathText(plan.file));
    result["stations"] = stations;
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
    if (collected == plan.stations.size()) return 0;
    return reached == 0 ? 2 : 1;
}

}  // namespace qm
