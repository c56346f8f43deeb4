// The collection of many loggers: each station visited by a visit of its own on the event loop,
// one after another, its result written up as JSON at the end; or, serving, each station visited
// when its schedule says, until the run is stopped.
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
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/AlarmSenders.h"
#include "app/ArchiveRun.h"
#include "app/CollectPlanJson.h"
#include "app/Console.h"
#include "app/Options.h"
#include "app/ServeLock.h"
#include "app/StopSignals.h"
#include "app/VisitJson.h"
#include "app/VisitRun.h"
#include "collect/AlarmDelivery.h"
#include "collect/Alarms.h"
#include "collect/Schedule.h"
#include "collect/Serve.h"
#include "collect/StationStatus.h"
#include "collect/StationsFile.h"
#include "collect/Visit.h"
#include "sim/Network.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

// A station whose logger is not read out by then is given up: a minute of dialling, the
// identification asked again, a read-out over a slow line.
constexpr int kReachLimitMs = 5 * 60 * 1000;

// What every visit shares.
struct Collection {
    Language language = Language::Russian;
    ErrorStream err;
    std::unique_ptr<PcClock> pcClock = MakePcClock();
    PcClock* clock = pcClock.get();                // the PC's, or one given
    std::unique_ptr<sim::VirtualNetwork> network;  // --demo
    // Makes the runner of each visit; none: a visit on the event loop.
    std::function<std::unique_ptr<VisitRunner>()> newVisit;
    QElapsedTimer elapsed;
    int timeLimitMs = 0;
    bool timeRanOut = false;  // the limit has ended a visit: no station after it is tried
    std::size_t stations = 0;
    VisitRunner* running = nullptr;        // the visit under way, for a stop to end it
    std::unique_ptr<CopyArchive> archive;  // [archive]: where the copies are pushed
    std::function<bool()> stopping;        // the run is asked to stop: alarms' deliveries cut
    std::vector<fs::path> stationFolders;

    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, language, args);
    }
    // What is left of the time limit (at most a week: an int of milliseconds holds it).
    int MsLeft() const {
        return static_cast<int>(std::max<qint64>(0, timeLimitMs - elapsed.elapsed()));
    }
};

// A visit on Qt's event loop, with the demo's network when there is one.
class EventLoopVisit : public VisitRunner {
public:
    EventLoopVisit(Collection& c) : run_(*c.clock, c.err, c.language), network_(c.network.get()) {}
    SessionWork& Work() override { return run_.Work(); }
    VisitResult Run(const Station& station, const VisitAsk& ask,
                    std::function<void(const VisitProgress&)> progress) override {
        return run_.Run(station, ask, network_, std::move(progress));
    }
    void Stop(const VisitMessage& why) override { run_.Stop(why); }

private:
    VisitRun run_;
    sim::VirtualNetwork* network_;
};

// The station's folder, made with its parents when missing; why it cannot be, in the words of
// the system (in the run's language).
std::optional<VisitMessage> FolderRefused(Collection& c, SessionWork& work,
                                          const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directories(folder, ec);
    if (!ec && !std::filesystem::is_directory(folder, ec))
        ec = std::make_error_code(std::errc::not_a_directory);
    if (!ec && !work.UseDataFolder(folder)) ec = std::make_error_code(std::errc::not_a_directory);
    if (!ec) return std::nullopt;
    return VisitMessage{Msg::CollectNoFolder, {PathText(folder), SystemReason(ec, c.language)}};
}

// One line in the station's visit log, whether or not its logger was reached.
void LogVisit(Collection& c, const Station& station, const VisitResult& result,
              std::chrono::sys_seconds started, std::vector<VisitMessage>& warnings) {
    VisitRecord r;
    r.time = started;
    r.station = station.name;
    r.link = LinkKindWord(station.link.kind);
    switch (station.link.kind) {
        case StationLink::Kind::Serial:
            r.addressText = station.link.port;
            break;
        case StationLink::Kind::Radio:
            r.addressNumber = station.link.radioAddress;
            break;
        case StationLink::Kind::Bluetooth:
            r.addressText = station.link.bluetoothAddress;
            break;
        case StationLink::Kind::Usb:
            break;
    }
    r.reached = result.reached;
    r.error = VisitError(result, c.language);
    r.clockOffsetSeconds = result.offsetBefore;
    if (result.logger.batteryVolts)
        r.batteryVolts = std::round(*result.logger.batteryVolts * 100) / 100;
    r.clockSet = result.offsetAfter.has_value();
    r.copies = std::count_if(result.copies.begin(), result.copies.end(),
                             [](const VisitCopy& copy) { return copy.done; });
    r.collected = result.collected;
    if (const auto error = AppendVisitRecord(station.folder, r)) {
        const VisitMessage m{Msg::CollectVisitNotLogged, {error->Text(c.language)}};
        c.err.Line(m.Text(c.language));
        warnings.push_back(m);
    }
}

// One station, from opening its link to releasing it; what its copies added queued for the
// archive, when there is one.
VisitResult VisitStation(Collection& c, const Station& station, std::size_t number,
                         std::chrono::sys_seconds started) {
    // Every line of this station, the session's own too, says whose it is.
    c.err.SetPrefix(c.Text(Msg::CollectNotReached, {station.name, ""}));
    const std::unique_ptr<VisitRunner> run =
        c.newVisit ? c.newVisit() : std::make_unique<EventLoopVisit>(c);
    c.running = run.get();
    run->Work().NameStation(station.name);
    VisitResult result;
    if (const auto why = FolderRefused(c, run->Work(), station.folder)) {
        // Nothing of the station is touched: it is not tried, and has no folder to log in.
        c.err.Line(why->Text(c.language));
        result.tried = false;
        result.errors.push_back(*why);
    } else {
        VisitAsk ask;
        ask.collection = true;
        ask.reachLimitMs = kReachLimitMs;
        ask.msLeft = c.MsLeft();
        ask.timeLimitSeconds = c.timeLimitMs / 1000;
        ask.language = c.language;
        // What the copies add for the archive is told from the data files as they stand now.
        if (c.archive) c.archive->Before({station.folder});
        result = run->Run(station, ask, [&c, &station, number](const VisitProgress& p) {
            c.err.Progress(
                c.Text(Msg::CollectStation, {std::to_string(number), std::to_string(c.stations),
                                             station.name, ProgressText(p, c.language)}));
        });
        if (result.timeRanOut) c.timeRanOut = true;
        LogVisit(c, station, result, started, result.warnings);
    }
    c.running = nullptr;
    c.err.SetPrefix({});
    if (c.archive) c.archive->Queue(result, station.name);
    return result;
}

// The stations' status, rewritten after every visit: each station's own part is made again when
// it has been visited, the others' stand as they were made at the first; with a schedule, every
// station's next due time as it says. The alarms are judged on it (every station's at the first
// visit, then the visited one's), logged, and shown as they hold; then every alarm still owed is
// delivered, as those a former run could not deliver are at the start.
class StatusFiles {
public:
    StatusFiles(Collection& c, const StationsPlan& plan, const Schedule* schedule = nullptr)
        : c_(c),
          plan_(plan),
          schedule_(schedule),
          alarms_(plan.data),
          channels_{plan.mail.has_value(), plan.alarms.command.has_value()},
          senders_(MakeAlarmSenders(plan, c.language, c.stopping)),
          delivery_(Pointers(senders_), c.language) {
        if (alarms_.ReadError()) c_.err.Line(alarms_.ReadError()->Text(c_.language));
        Deliver();
    }

    void Visited(std::size_t index, const VisitResult& r, std::chrono::sys_seconds started) {
        StatusAttempt a;
        a.time = started;
        a.tried = r.tried;
        a.collected = r.collected;
        for (const VisitMessage& m : StationErrors(r)) a.errors.push_back(m.Text(c_.language));
        for (const VisitMessage& m : r.warnings) a.warnings.push_back(m.Text(c_.language));
        const StatusNow now{c_.clock->UtcNow(), c_.clock->Now()};
        const bool first = status_.stations.size() != plan_.stations.size();
        if (first) status_ = CollectionStatusOf(plan_, now);
        status_.time = now.utc;
        status_.stations[index] = StationStatusOf(plan_.stations[index], now, a);
        for (std::size_t i = 0; i < status_.stations.size(); ++i)
            if (first || i == index) Judge(i, now.utc);
        Deliver();
        if (schedule_)
            for (std::size_t i = 0; i < status_.stations.size(); ++i)
                status_.stations[i].nextDue = schedule_->NextVisit(i);
        if (const auto error = WriteStatusFiles(plan_.data, status_, c_.language);
            error && !failed_) {
            // Said once: the collection itself goes on.
            failed_ = true;
            c_.err.Line(c_.Text(Msg::StatusNotWritten, {error->Text(c_.language)}));
        }
    }

private:
    void Judge(std::size_t i, std::chrono::sys_seconds now) {
        const Alarms::Judged judged =
            alarms_.Judge(status_.stations[i], plan_.alarms, channels_, now, c_.language);
        if (judged.error && !alarmsFailed_) {
            // Said once: the alarms that hold are still shown.
            alarmsFailed_ = true;
            c_.err.Line(judged.error->Text(c_.language));
        }
    }

    void Deliver() {
        for (const std::string& line : delivery_.Deliver(alarms_, c_.clock->UtcNow()))
            c_.err.Line(line);
    }
    static std::vector<AlarmSender*> Pointers(
        const std::vector<std::unique_ptr<AlarmSender>>& senders) {
        std::vector<AlarmSender*> pointers;
        pointers.reserve(senders.size());
        for (const auto& s : senders) pointers.push_back(s.get());
        return pointers;
    }

    Collection& c_;
    const StationsPlan& plan_;
    const Schedule* schedule_;
    Alarms alarms_;
    AlarmChannels channels_;
    std::vector<std::unique_ptr<AlarmSender>> senders_;
    AlarmDelivery delivery_;
    CollectionStatus status_;
    bool failed_ = false;
    bool alarmsFailed_ = false;
};

// A station visited, its visit logged and the status rewritten: the one visit of --collect.
VisitResult VisitAndRecord(Collection& c, const StationsPlan& plan, std::size_t index,
                           StatusFiles& status) {
    const std::chrono::sys_seconds began = c.clock->UtcNow();
    VisitResult visit = VisitStation(c, plan.stations[index], index + 1, began);
    status.Visited(index, visit, began);
    return visit;
}

// The visits of --serve on the clock of the run, between waits that `wait` makes: each visit
// logged, and the status rewritten once the schedule has heard of it (it says when the station
// is next due). The time limit bounds each visit.
class ServeVisits : public ServeHost {
public:
    ServeVisits(Collection& c, const StationsPlan& plan, const Schedule& schedule,
                std::function<void(std::optional<std::chrono::sys_seconds>)> wait,
                std::function<bool()> stopped)
        : c_(c),
          plan_(plan),
          status_(c, plan, &schedule),
          wait_(std::move(wait)),
          stopped_(std::move(stopped)) {}

    std::chrono::sys_seconds Now() override { return c_.clock->UtcNow(); }
    bool Visit(std::size_t station, std::chrono::sys_seconds began) override {
        c_.elapsed.start();
        c_.timeRanOut = false;
        last_ = VisitStation(c_, plan_.stations[station], station + 1, began);
        if (c_.archive) c_.archive->Push(c_.stationFolders);
        return last_.collected;
    }
    void Visited(std::size_t station, std::chrono::sys_seconds began) override {
        status_.Visited(station, last_, began);
        last_ = {};
    }
    void Wait(std::optional<std::chrono::sys_seconds> wake) override { wait_(wake); }
    bool Stopped() override { return stopped_(); }
    void NothingDue() override { c_.err.Line(c_.Text(Msg::ServeNothingDue)); }

private:
    Collection& c_;
    const StationsPlan& plan_;
    StatusFiles status_;
    std::function<void(std::optional<std::chrono::sys_seconds>)> wait_;
    std::function<bool()> stopped_;
    VisitResult last_;
};

// What --collect and --serve do before the first visit: the stations file's warnings said, its
// data folders locked, the demo's network made. The exit status when the run cannot go on.
std::optional<int> Prepare(Collection& c, const Options& options, const StationsPlan& plan,
                           ServeLock& lock) {
    for (const StationsFileWarning& w : plan.warnings) c.err.Line(w.Text(options.language));
    std::vector<fs::path> folders{plan.data};
    for (const Station& station : plan.stations) folders.push_back(station.folder.parent_path());
    std::vector<ServeLock::Refusal> skipped;
    if (const auto refused = lock.Take(folders, c.language, skipped)) {
        c.err.Line(VisitMessage{refused->id, refused->args}.Text(c.language));
        return 2;
    }
    for (const ServeLock::Refusal& s : skipped)
        c.err.Line(VisitMessage{s.id, s.args}.Text(c.language));
    if (options.demoNetwork) {
        sim::NetworkDescription network = sim::DemoNetwork();
        network.radioFaults = options.faults;
        network.bluetoothFaults = options.faults;
        c.network = std::make_unique<sim::VirtualNetwork>(network, [&c] { return c.clock->Now(); });
    }
    c.timeLimitMs = options.timeLimitSeconds * 1000;
    c.stations = plan.stations.size();
    if (plan.archive) {
        const ArchiveSetup setup{plan.archive->url, plan.archive->passwordFile,
                                 plan.archive->source};
        c.archive = std::make_unique<CopyArchive>(setup, c.language, c.err);
        if (const auto& refused = c.archive->Refused()) {
            c.err.Line(*refused);
            return 2;
        }
        for (const Station& station : plan.stations) c.stationFolders.push_back(station.folder);
    }
    return std::nullopt;
}

// What --collect and --serve do first: the stations file read into `plan`, the dry run's plan
// printed, then Prepare. The exit status when the run ends there.
std::optional<int> Open(Collection& c, const Options& options, std::optional<StationsPlan>& plan,
                        ServeLock& lock) {
    c.language = options.language;
    StationsFileRead read = ReadStationsFile(Utf8Path(options.stationsFile));
    if (const auto* error = std::get_if<StationsFileError>(&read)) {
        c.err.Line(error->Text(options.language));
        return 2;
    }
    plan = std::move(std::get<StationsPlan>(read));
    // Refused by the dry run as by the run: the dry run is where a file is checked.
    if (plan->mail && !MailAvailable()) {
        c.err.Line(c.Text(Msg::MailNotAvailable, {PathText(plan->file)}));
        return 2;
    }
    if (options.dryRun) {
        for (const StationsFileWarning& w : plan->warnings) c.err.Line(w.Text(options.language));
        std::fputs(QJsonDocument(PlanJson(*plan, options.language))
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
        return 0;
    }
    return Prepare(c, options, *plan, lock);
}

// How long to wait from now until `wake`, in milliseconds: at least one, at most an hour (the
// wait is taken again then, so a clock put forward or back is followed).
int MsUntil(std::chrono::sys_seconds wake) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(wake - std::chrono::system_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count() + 1, 1, 3'600'000));
}

// --serve from its opening: the schedule rebuilt from the stations' visit logs, then the visits
// until `stopped` holds. The exit status.
int ServeOver(Collection& c, const Options& options, const LocalZone& zone,
              std::function<void(std::optional<std::chrono::sys_seconds>)> wait,
              std::function<bool()> stopped) {
    std::optional<StationsPlan> read;
    ServeLock lock;
    if (const auto status = Open(c, options, read, lock)) return *status;
    const StationsPlan& plan = *read;
    std::vector<StationHistory> histories;
    histories.reserve(plan.stations.size());
    for (const Station& station : plan.stations)
        histories.push_back(ReadStationHistory(station.folder));
    Schedule schedule(plan.stations, c.clock->UtcNow(), zone, std::move(histories));
    ServeVisits visits(c, plan, schedule, std::move(wait), std::move(stopped));
    Serve(schedule, visits);
    return 0;
}

}  // namespace

int RunStatus(const Options& options) {
    const Language language = options.language;
    const StationsFileRead read = ReadStationsFile(Utf8Path(options.stationsFile));
    if (const auto* error = std::get_if<StationsFileError>(&read)) {
        Say(error->Text(language));
        return 2;
    }
    const fs::path file = std::get<StationsPlan>(read).data / kStatusJsonName;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        Say(Message(Msg::StatusNoneYet, language, {PathText(file)}));
        return 3;
    }
    std::string text;
    try {
        text = ReadWholeFile(file);
    } catch (const FileError& e) {
        Say(e.Text(language));
        return 3;
    }
    QJsonParseError parsed{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isObject()) {
        Say(Message(Msg::StatusUnreadable, language,
                    {PathText(file), parsed.errorString().toStdString()}));
        return 3;
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    // A station never visited yet is not failing.
    for (const auto& v : doc.object()["stations"].toArray()) {
        const QString colour = v.toObject()["colour"].toString();
        if (colour == "amber" || colour == "red") return 1;
    }
    return 0;
}

int RunCollect(int argc, char* argv[], const Options& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QM Controller");
    Collection c;
    std::optional<StationsPlan> read;
    ServeLock lock;
    if (const auto status = Open(c, options, read, lock)) return *status;
    const StationsPlan& plan = *read;
    const std::chrono::sys_seconds started = c.clock->UtcNow();
    c.elapsed.start();

    // A stop ends the visit under way as the window's Stop does; the stations after it are not
    // tried, and the run ends as one the time limit cut.
    StopSignals stop([&c] {
        if (c.running) c.running->Stop({Msg::ServeStopped, {}});
    });
    c.stopping = &StopSignals::Arrived;
    StatusFiles status(c, plan);
    QJsonArray stations;
    std::size_t reached = 0;
    std::size_t collected = 0;
    for (std::size_t i = 0; i < plan.stations.size(); ++i) {
        const Station& station = plan.stations[i];
        // A stop that came between two visits is heard here.
        QCoreApplication::processEvents();
        if (stop.Requested() || c.timeRanOut || c.MsLeft() == 0) {
            // Not tried: said, and the rest are still listed.
            const Msg why = stop.Requested() ? Msg::ServeStopped : Msg::CollectSkipped;
            c.err.Line(c.Text(Msg::CollectNotReached, {station.name, c.Text(why)}));
            VisitResult notTried;
            notTried.tried = false;
            notTried.errors.push_back({why, {}});
            stations.append(StationJson(station, notTried, c.language));
            status.Visited(i, notTried, c.clock->UtcNow());
            continue;
        }
        const VisitResult visit = VisitAndRecord(c, plan, i, status);
        stations.append(StationJson(station, visit, c.language));
        if (visit.reached) ++reached;
        if (visit.collected) ++collected;
    }
    QJsonObject result;
    result["time"] = Q(UtcText(started));
    result["stationsFile"] = Q(PathText(plan.file));
    result["stations"] = stations;
    if (c.archive) {
        c.archive->Push(c.stationFolders);
        result["archive"] = c.archive->Json();
    }
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
    if (collected == plan.stations.size()) return 0;
    return reached == 0 ? 2 : 1;
}

int RunServe(int argc, char* argv[], const Options& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QM Controller");
    Collection c;
    // Between visits the run waits on the event loop for the next due time or a stop; a stop
    // during a visit ends the visit, and the run with it.
    QEventLoop waiting;
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, &waiting, [&waiting] { waiting.exit(0); });
    StopSignals stop([&c, &waiting] {
        if (c.running) c.running->Stop({Msg::ServeStopped, {}});
        waiting.exit(0);
    });
    c.stopping = &StopSignals::Arrived;
    const auto wait = [&wake, &waiting](std::optional<std::chrono::sys_seconds> next) {
        if (next) wake.start(MsUntil(*next));
        waiting.exec();
        wake.stop();
    };
    return ServeOver(c, options, SystemZone(), wait, [&stop] { return stop.Requested(); });
}

int ServeWith(const Options& options, const ServeParts& parts) {
    Collection c;
    c.clock = &parts.clock;
    c.newVisit = parts.newVisit;
    return ServeOver(c, options, parts.zone, parts.wait, parts.stopped);
}

}  // namespace qm
