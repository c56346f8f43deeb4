// Unattended runs of one logger: the visit of a station built from the options, on a
// QCoreApplication with no widget anywhere. Messages go to standard error in the language
// chosen, the result as JSON to standard output.
#include "app/Headless.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "app/ArchiveRun.h"
#include "app/Console.h"
#include "app/Options.h"
#include "app/StartFolder.h"
#include "app/VisitJson.h"
#include "app/VisitRun.h"
#include "collect/StationsFile.h"
#include "collect/Visit.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm {

namespace {

enum class Command { Info, Copy, CopyAll, SyncClock };

// The station of a run of one logger: the port named or the USB logger, the directory of --copy
// or every one listed, copied as the options ask; the clock left as it is unless --sync-clock.
Station StationOf(const Options& options, Command command) {
    Station s;
    if (options.port) {
        s.link.kind = StationLink::Kind::Serial;
        s.link.port = *options.port;
    }
    if (command == Command::Copy) s.directories = {options.directory};
    s.mode = options.newData ? CollectMode::New : CollectMode::All;
    s.clock = ClockPolicy::Check;
    s.maxOffsetSeconds = std::numeric_limits<std::int64_t>::max();
    return s;
}

Command CommandOf(const Options& options) {
    switch (options.mode) {
        case Mode::Copy:
            return Command::Copy;
        case Mode::CopyAll:
            return Command::CopyAll;
        case Mode::SyncClock:
            return Command::SyncClock;
        default:
            return Command::Info;
    }
}

// The JSON of the copies and the run's status.
QJsonObject CopiesJson(const VisitResult& r, Command command, Language language) {
    if (command == Command::Copy && r.copies.size() == 1)
        return CopyJson(r.copies.front(), language);
    qint64 files = 0, measurements = 0, retries = 0;
    double bytes = 0, seconds = 0;
    QJsonArray copies;
    for (const VisitCopy& copy : r.copies) {
        const QJsonObject c = CopyJson(copy, language);
        files += c["files"].toInteger();
        measurements += c["measurements"].toInteger();
        retries += c["retries"].toInteger();
        bytes += c["bytes"].toDouble();
        seconds += c["seconds"].toDouble();
        copies.append(c);
    }
    QJsonObject o;
    o["copies"] = copies;
    o["files"] = files;
    o["measurements"] = measurements;
    o["bytes"] = bytes;
    o["seconds"] = std::round(seconds * 10) / 10;
    o["retries"] = retries;
    o["errors"] = MessageTexts(r.sessionErrors, language);
    return o;
}

}  // namespace

int RunHeadless(int argc, char* argv[], const Options& options) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("QM Controller");
    const Language language = options.language;
    const Command command = CommandOf(options);
    ErrorStream err;
    const std::unique_ptr<PcClock> clock = MakePcClock();
    const std::chrono::sys_seconds started = clock->UtcNow();
    // The data go where the window keeps them: the working directory, or the documents folder
    // when the working directory cannot hold them (said on standard error).
    const std::filesystem::path workingDirectory = Utf8Path(QDir::currentPath().toStdString());
    const StartFolder start = ChooseStartFolder(
        workingDirectory,
        Utf8Path(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()));
    if (start.inDocuments)
        err.Line(Message(Msg::DataInDocumentsWhy, language,
                         {PathText(start.path), PathText(workingDirectory)}));

    std::optional<CopyArchive> archive;
    if (options.archiveUrl) {
        archive.emplace(ArchiveSetup{*options.archiveUrl, std::nullopt, std::nullopt}, language,
                        err);
        if (archive->Refused()) {
            err.Line(*archive->Refused());
            return 2;
        }
    }
    // What the copies add is told from the data files as they stand before the visit.
    if (archive) archive->Before({start.path / "DATA"});

    const Station station = StationOf(options, command);
    VisitAsk ask;
    ask.copy = command == Command::Copy || command == Command::CopyAll;
    ask.setClock = command == Command::SyncClock;
    ask.day = options.day;
    ask.msLeft = options.timeLimitSeconds * 1000;
    ask.timeLimitSeconds = options.timeLimitSeconds;
    ask.language = language;
    VisitRun run(*clock, err, language, start.path);
    const VisitResult r = run.Run(station, ask, nullptr, [&err, language](const VisitProgress& p) {
        if (p.stage == VisitProgress::Stage::Copying) err.Progress(ProgressText(p, language));
    });

    QJsonObject result;
    int status = r.reached ? 1 : 2;
    if (command == Command::Info && r.readOut) {
        result = InfoJson(r, options.port ? *options.port : std::string("usb"), language);
        status = r.sessionErrors.empty() ? 0 : 1;
    } else if (command == Command::SyncClock && r.clockSetEnded) {
        const auto& before = r.clockBefore;
        const auto& after = r.logger.clock;
        result["before"] = ClockJson(before);
        result["after"] = ClockJson(after);
        result["errors"] = MessageTexts(r.sessionErrors, language, r.errorsBeforeClockSet);
        const bool read = after && (!before || after->number > before->number);
        status = read && r.sessionErrors.size() == r.errorsBeforeClockSet ? 0 : 1;
    } else if (r.copiesRan) {
        result = CopiesJson(r, command, language);
        status = r.copiesFailed || !r.sessionErrors.empty() ? 1 : 0;
    }
    if (archive) {
        // The window's copies are the station "window" in the archive, as in the collection log.
        archive->Queue(r, kWindowStation);
        std::vector<std::filesystem::path> folders{start.path / "DATA"};
        for (const VisitCopy& copy : r.copies)
            if (!copy.folder.empty()) folders.push_back(copy.folder.parent_path());
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
        archive->Push(folders);
        if (!result.isEmpty()) result["archive"] = archive->Json();
    }
    if (!result.isEmpty()) {
        result["time"] = Q(UtcText(started));
        std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    }
    std::fflush(stdout);
    return status;
}

}  // namespace qm
