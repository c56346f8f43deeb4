// The runs that feed the PostgreSQL archive from data already copied. A build without libpq
// (Windows) refuses them.
#include "app/ArchiveRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "app/Console.h"
#include "collect/StationsFile.h"
#include "store/CollectionDataSets.h"
#include "store/LocalFiles.h"

#ifdef QMC_HAVE_ARCHIVE
#include "archive/Archive.h"
#include "archive/Outbox.h"
#endif

namespace qm {

namespace fs = std::filesystem;

#ifndef QMC_HAVE_ARCHIVE

struct CopyArchive::Parts {
    std::optional<std::string> refused;
};

CopyArchive::CopyArchive(const ArchiveSetup&, Language language, ErrorStream&)
    : p_(std::make_unique<Parts>()) {
    p_->refused = Message(Msg::ArchiveNotBuilt, language);
}
CopyArchive::~CopyArchive() = default;
const std::optional<std::string>& CopyArchive::Refused() const {
    return p_->refused;
}
void CopyArchive::Before(const std::vector<std::filesystem::path>&) {}
void CopyArchive::Queue(const VisitResult&, const std::string&) {}
void CopyArchive::Push(const std::vector<std::filesystem::path>&) {}
QJsonObject CopyArchive::Json() const {
    return {};
}

int RunArchiveSync(const Options& options) {
    Say(Message(Msg::ArchiveNotBuilt, options.language));
    return 2;
}
int RunArchiveInit(const Options& options) {
    return RunArchiveSync(options);
}

#else

namespace {

struct SyncSet {
    fs::path folder;
    std::string station;
    std::string directory;
};

bool HoldsDataFiles(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".dat" || it->path().filename() == kCollectionLogName)
            return true;
    return false;
}

std::string Utf8Name(const fs::path& path) {
    const auto text = path.filename().u8string();
    return std::string(text.begin(), text.end());
}

// The data sets of `folder`: a collection's data folder (station, then directory), a data-set
// folder itself, or a folder of the window's data sets (the window's station).
std::vector<SyncSet> DataSetsIn(const fs::path& folder) {
    std::vector<SyncSet> sets;
    for (const CollectionDataSet& d : FindCollectionDataSets(folder))
        sets.push_back({d.folder, d.station, d.directory});
    if (!sets.empty()) return sets;
    if (HoldsDataFiles(folder)) return {{folder, kWindowStation, Utf8Name(fs::absolute(folder))}};
    std::error_code ec;
    std::set<fs::path> inside;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_directory() && HoldsDataFiles(it->path())) inside.insert(it->path());
    for (const fs::path& p : inside) sets.push_back({p, kWindowStation, Utf8Name(p)});
    return sets;
}

}  // namespace

struct CopyArchive::Parts {
    Language language;
    ErrorStream& err;
    ArchiveTarget target;
    std::optional<std::string> refused;
    std::unique_ptr<Archive> archive;
    std::int64_t queued = 0;
    std::int64_t pushed = 0;
    std::int64_t leftOut = 0;
    std::optional<std::string> error;
    bool said = false;
    DataFilesPicture before;  // the data files before the visit that is queued next

    Parts(Language l, ErrorStream& e) : language(l), err(e) {}

    void Fail(const std::string& why) {
        error = Message(Msg::ArchiveFailed, language, {why});
        if (!said) err.Line(*error);
        said = true;
    }
};

CopyArchive::CopyArchive(const ArchiveSetup& setup, Language language, ErrorStream& err)
    : p_(std::make_unique<Parts>(language, err)) {
    p_->target.url = setup.url;
    p_->target.source = setup.source ? *setup.source : HostName();
    p_->refused = RefusedArchiveUrl(setup.url, language);
    if (!p_->refused && setup.passwordFile) {
        try {
            p_->target.password = ReadArchivePassword(*setup.passwordFile);
        } catch (const FileError& e) {
            p_->refused = Message(Msg::ArchivePasswordFile, language,
                                  {PathText(*setup.passwordFile), e.Text(language)});
        }
    }
}

CopyArchive::~CopyArchive() = default;

const std::optional<std::string>& CopyArchive::Refused() const {
    return p_->refused;
}

void CopyArchive::Before(const std::vector<fs::path>& folders) {
    p_->before = DataFilesPicture::Of(folders);
}

void CopyArchive::Queue(const VisitResult& visit, const std::string& station) {
    for (const VisitCopy& copy : visit.copies) {
        if (!copy.began || copy.folder.empty()) continue;
        try {
            ArchiveRows rows;
            AddDataSet(copy.folder, station, copy.directory, rows, &p_->before);
            QueueInOutbox(copy.folder, rows);
            p_->queued += static_cast<std::int64_t>(rows.measurementCount);
        } catch (const FileError& e) {
            p_->Fail(e.Text(p_->language));
        }
    }
}

void CopyArchive::Push(const std::vector<fs::path>& folders) {
    std::vector<fs::path> sets;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (!OutboxEntries(it->path()).empty()) sets.push_back(it->path());
    }
    if (sets.empty()) return;
    std::sort(sets.begin(), sets.end());
    if (!p_->archive) {
        auto archive = std::make_unique<Archive>();
        if (const auto why = archive->Connect(p_->target)) return p_->Fail(*why);
        p_->archive = std::move(archive);
    }
    std::int64_t leftOut = 0;
    const auto sayLeftOut = [&] {
        p_->leftOut += leftOut;
        if (leftOut > 0)
            p_->err.Line(Message(Msg::ArchiveLeftOut, p_->language, {std::to_string(leftOut)}));
    };
    for (const fs::path& set : sets) {
        const OutboxPush push = PushOutbox(*p_->archive, set);
        p_->pushed += push.pushed;
        leftOut += push.leftOut;
        for (const auto& [why, aside] : push.setAside)
            p_->err.Line(Message(Msg::ArchiveEntrySetAside, p_->language,
                                 {PathText(aside), why.Text(p_->language)}));
        if (push.error) {
            sayLeftOut();
            // The connection may be the fault: the next push makes a new one.
            p_->archive.reset();
            return p_->Fail(*push.error);
        }
    }
    sayLeftOut();
    p_->error.reset();
    p_->said = false;
}

QJsonObject CopyArchive::Json() const {
    QJsonObject o;
    o["queued"] = static_cast<qint64>(p_->queued);
    o["pushed"] = static_cast<qint64>(p_->pushed);
    o["leftOut"] = static_cast<qint64>(p_->leftOut);
    o["error"] = p_->error ? QJsonValue(Q(*p_->error)) : QJsonValue();
    return o;
}

int RunArchiveSync(const Options& options) {
    const Language language = options.language;
    const auto started = std::chrono::steady_clock::now();
    ArchiveTarget target;
    std::vector<SyncSet> sets;
    const fs::path given = Utf8Path(options.archiveSync);
    std::error_code ec;
    if (fs::is_directory(given, ec)) {
        if (!options.archiveUrl) {
            Say(Message(Msg::ArchiveSyncNeedsUrl, language));
            return 2;
        }
        target.url = *options.archiveUrl;
        sets = DataSetsIn(given);
    } else {
        const StationsFileRead read = ReadStationsFile(given);
        if (const auto* error = std::get_if<StationsFileError>(&read)) {
            Say(error->Text(language));
            return 2;
        }
        const StationsPlan& plan = std::get<StationsPlan>(read);
        if (!plan.archive && !options.archiveUrl) {
            Say(Message(Msg::ArchiveSyncNeedsUrl, language));
            return 2;
        }
        target.url = options.archiveUrl ? *options.archiveUrl : plan.archive->url;
        if (plan.archive && plan.archive->source) target.source = *plan.archive->source;
        if (plan.archive && plan.archive->passwordFile) {
            try {
                target.password = ReadArchivePassword(*plan.archive->passwordFile);
            } catch (const FileError& e) {
                Say(Message(Msg::ArchivePasswordFile, language,
                            {PathText(*plan.archive->passwordFile), e.Text(language)}));
                return 2;
            }
        }
        std::set<fs::path> data;
        for (const Station& s : plan.stations) data.insert(s.folder.parent_path());
        std::set<fs::path> stations;
        for (const Station& s : plan.stations) stations.insert(s.folder);
        for (const fs::path& d : data)
            for (const CollectionDataSet& c : FindCollectionDataSets(d))
                if (stations.count(c.folder.parent_path()))
                    sets.push_back({c.folder, c.station, c.directory});
    }
    if (target.source.empty()) target.source = HostName();
    if (const auto refused = RefusedArchiveUrl(target.url, language)) {
        Say(*refused);
        return 2;
    }

    ErrorStream err;
    PushCount count;
    std::optional<std::string> failure;
    Archive archive;
    failure = archive.Connect(target);
    for (std::size_t i = 0; i < sets.size() && !failure; ++i) {
        ArchiveRows rows;
        try {
            AddDataSet(sets[i].folder, sets[i].station, sets[i].directory, rows);
        } catch (const FileError& e) {
            err.Line(e.Text(language));
            continue;
        }
        failure = archive.Push(rows, count);
        err.Progress(Message(
            Msg::ArchiveSyncProgress, language,
            {std::to_string(i + 1), std::to_string(sets.size()), std::to_string(count.sent)}));
    }
    err.ClearProgress();
    if (failure) err.Line(Message(Msg::ArchiveFailed, language, {*failure}));
    if (count.leftOut > 0)
        err.Line(Message(Msg::ArchiveLeftOut, language, {std::to_string(count.leftOut)}));

    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    QJsonObject result;
    result["rowsSent"] = static_cast<qint64>(count.sent);
    result["rowsNew"] = static_cast<qint64>(count.added);
    result["rowsLeftOut"] = static_cast<qint64>(count.leftOut);
    result["seconds"] = std::round(took.count() * 100) / 100;
    if (failure) result["error"] = Q(Message(Msg::ArchiveFailed, language, {*failure}));
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
    return failure ? 1 : 0;
}

int RunArchiveInit(const Options& options) {
    const Language language = options.language;
    const std::string url = options.archiveUrl.value_or("");
    if (const auto refused = RefusedArchiveUrl(url, language)) {
        Say(*refused);
        return 2;
    }
    Archive archive;
    std::optional<std::string> failure = archive.Connect({url, std::nullopt, HostName()});
    if (!failure) failure = archive.MakeSchema();
    if (failure) {
        Say(Message(Msg::ArchiveFailed, language, {*failure}));
        return 1;
    }
    return 0;
}

#endif

}  // namespace qm
