#pragma once

#include <QJsonObject>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Console.h"
#include "app/Options.h"
#include "collect/Visit.h"

namespace qm {

// The archive a run's copies are pushed to: --archive URL, or a stations file's [archive].
struct ArchiveSetup {
    std::string url;
    std::optional<std::filesystem::path> passwordFile;
    std::optional<std::string> source;  // the host's name when none
};

// The archive of a run that copies: what each visit's copies added is queued in the outbox of
// its data set, then the outboxes are pushed. A server that is down leaves the queue for the
// next run and is said once on standard error, until a push goes through again.
class CopyArchive {
public:
    CopyArchive(const ArchiveSetup& setup, Language language, ErrorStream& err);
    ~CopyArchive();
    CopyArchive(const CopyArchive&) = delete;
    CopyArchive& operator=(const CopyArchive&) = delete;

    // Why the archive cannot be used at all (a build without it, a password in the URL, a
    // password file that cannot be read), worded; nothing when it can.
    const std::optional<std::string>& Refused() const;
    // Takes the picture of the data files below `folders` that the next Queue holds the copies'
    // data sets against: before a visit, the folders its copies write into.
    void Before(const std::vector<std::filesystem::path>& folders);
    // Queues what the copies of `visit` wrote in their data sets since Before, as the station's
    // `station`.
    void Queue(const VisitResult& visit, const std::string& station);
    // Pushes the outboxes of the data sets in each of `folders`.
    void Push(const std::vector<std::filesystem::path>& folders);
    // {"queued", "pushed", "leftOut", "error"}: the value rows this run queued and pushed, of
    // those the values the archive cannot hold (not stored, said), and why the last push failed
    // (null when it did not).
    QJsonObject Json() const;

private:
    struct Parts;
    std::unique_ptr<Parts> p_;
};

// --archive-sync FOLDER|STATIONS: pushes what the archive lacks of the data sets, prints
// {"rowsSent", "rowsNew", "rowsLeftOut", "seconds"}; 0 pushed, 1 the server failed, 2 bad options
// or file.
int RunArchiveSync(const Options& options);
// --archive-init URL: makes the archive's schema; 0 made (or there), 1 the server failed, 2 a
// URL that cannot be used.
int RunArchiveInit(const Options& options);

}  // namespace qm
