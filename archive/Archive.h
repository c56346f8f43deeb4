#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/ArchiveRows.h"
#include "text/Messages.h"

struct pg_conn;

namespace qm {

// Where the archive is: a libpq URL (postgresql://[user@][host][:port]/db[?...], a socket folder
// as ?host=/path), the password when one is given apart from it (else libpq's PGPASSFILE or
// ~/.pgpass serve), and the name of this PC in the archive.
struct ArchiveTarget {
    std::string url;
    std::optional<std::string> password;
    std::string source;
};

// Why the URL cannot be used, in the operator's language, or nothing. A password inside the URL
// is refused: the stations file that holds it is often readable by others.
std::optional<std::string> RefusedArchiveUrl(const std::string& url, Language language);
// The first line of a password file; throws FileError.
std::string ReadArchivePassword(const std::filesystem::path& file);
// The default name of this PC in the archive: the host's name.
std::string HostName();

struct PushCount {
    std::int64_t sent = 0;     // value rows sent
    std::int64_t added = 0;    // of those, the ones the archive did not have yet
    std::int64_t leftOut = 0;  // of those, values numeric(6,2) cannot hold, not stored
};

// One connection to the archive. Every failure is returned as the server's (or libpq's) words.
class Archive {
public:
    Archive() = default;
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Connects (giving up after 10 s) and makes the schema when it is missing and the account
    // may.
    std::optional<std::string> Connect(const ArchiveTarget& target);
    // Makes the schema "qm" where it is missing.
    std::optional<std::string> MakeSchema();
    // Sends the rows in one transaction: what the archive has already is left as it is (a second
    // push of the same rows adds nothing), a sensor's depth, label and limit are brought up to
    // date. A connection found dead (the server restarted since, a dropped link) is made anew
    // and the push tried once more at once.
    std::optional<std::string> Push(const ArchiveRows& rows, PushCount& count);

private:
    std::optional<std::string> PushOnce(const ArchiveRows& rows, PushCount& count);
    std::optional<std::string> Exec(const char* sql);
    std::optional<std::string> Copy(const char* table, const std::string& data);
    std::string Error() const;
    pg_conn* conn_ = nullptr;
    ArchiveTarget target_;
};

}  // namespace qm
