// The collection of many loggers: each station visited by a visit of its own on the event loop,
// one after another, its result written up as JSON at the end.
#include "app/Collect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/CollectPlanJson.h"
#include "app/Console.h"
#include "app/Options.h"
#include "app/VisitJson.h"
#include "app/VisitRun.h"
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
    std::unique_ptr<PcClock> clock = MakePcClock();
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

// One station, from opening its link to releasing it.
VisitResult VisitStation(Collection& c, const Station& station, std::size_t number,
                         std::chrono::sys_seconds started) {
    // Every line of this station, the session's own too, says whose it is.
    c.err.SetPrefix(c.Text(Msg::CollectNotReached, {station.name, ""}));
    VisitRun run(*c.clock, c.err, c.language);
    run.Work().NameStation(station.name);
    VisitResult result;
    if (const auto why = FolderRefused(c, run.Work(), station.folder)) {
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
        result =
            run.Run(station, ask, c.network.get(), [&c, &station, number](const VisitProgress& p) {
                c.err.Progress(
                    c.Text(Msg::CollectStation, {std::to_string(number), std::to_string(c.stations),
                                                 station.name, ProgressText(p, c.language)}));
            });
        if (result.timeRanOut) c.timeRanOut = true;
        LogVisit(c, station, result, started, result.warnings);
    }
    c.err.SetPrefix({});
    return result;
}

// The stations' status, rewritten after every visit: each station's own part is made again when
// it has been visited, the others' stand as they were made at the first.
class StatusFiles {
public:
    StatusFiles(Collection& c, const StationsPlan& plan) : c_(c), plan_(plan) {}

    void Visited(std::size_t index, const VisitResult& r, std::chrono::sys_seconds started) {
        StatusAttempt a;
        a.time = started;
        a.tried = r.tried;
        a.collected = r.collected;
        for (const VisitMessage& m : StationErrors(r)) a.errors.push_back(m.Text(c_.language));
        for (const VisitMessage& m : r.warnings) a.warnings.push_back(m.Text(c_.language));
        const StatusNow now{c_.clock->UtcNow(), c_.clock->Now()};
        if (status_.stations.size() != plan_.stations.size())
            status_ = CollectionStatusOf(plan_, now);
        status_.time = now.utc;
        status_.stations[index] = StationStatusOf(plan_.stations[index], now, a);
        if (const auto error = WriteStatusFiles(plan_.data, status_, c_.language);
            error && !failed_) {
            // Said once: the collection itself goes on.
            failed_ = true;
            c_.err.Line(c_.Text(Msg::StatusNotWritten, {error->Text(c_.language)}));
        }
    }

private:
    Collection& c_;
    const StationsPlan& plan_;
    CollectionStatus status_;
    bool failed_ = false;
};

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
        c.network = std::make_unique<sim::VirtualNetwork>(network, [&c] { return c.clock->Now(); });
    }
    const std::chrono::sys_seconds started = c.clock->UtcNow();
    c.elapsed.start();
    c.timeLimitMs = options.timeLimitSeconds * 1000;
    c.stations = plan.stations.size();

    StatusFiles status(c, plan);
    QJsonArray stations;
    std::size_t reached = 0;
    std::size_t collected = 0;
    for (std::size_t i = 0; i < plan.stations.size(); ++i) {
        const Station& station = plan.stations[i];
        if (c.timeRanOut || c.MsLeft() == 0) {
            // No time left for it: said, and the rest are still listed.
            const std::string why = c.Text(Msg::CollectSkipped);
            c.err.Line(c.Text(Msg::CollectNotReached, {station.name, why}));
            VisitResult notTried;
            notTried.tried = false;
            notTried.errors.push_back({Msg::CollectSkipped, {}});
            stations.append(StationJson(station, notTried, c.language));
            status.Visited(i, notTried, c.clock->UtcNow());
            continue;
        }
        const std::chrono::sys_seconds visitStarted = c.clock->UtcNow();
        const VisitResult visit = VisitStation(c, station, i + 1, visitStarted);
        stations.append(StationJson(station, visit, c.language));
        status.Visited(i, visit, visitStarted);
        if (visit.reached) ++reached;
        if (visit.collected) ++collected;
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
