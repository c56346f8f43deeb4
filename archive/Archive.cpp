#include "archive/Archive.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "store/LocalFiles.h"

#include <unistd.h>

namespace qm {

namespace {

// The schema, version 1 (a later version migrates from what qm.schema_version says). Every
// statement may run again on a schema that has it.
constexpr const char* kSchema = R"sql(
CREATE SCHEMA IF NOT EXISTS qm;
CREATE TABLE IF NOT EXISTS qm.schema_version (version integer PRIMARY KEY);
INSERT INTO qm.schema_version VALUES (1) ON CONFLICT DO NOTHING;
CREATE TABLE IF NOT EXISTS qm.stations (
    source text NOT NULL,
    station text NOT NULL,
    PRIMARY KEY (source, station));
CREATE TABLE IF NOT EXISTS qm.sensors (
    source text NOT NULL,
    station text NOT NULL,
    directory text NOT NULL,
    sensor integer NOT NULL,
    depth_m double precision,
    label text NOT NULL DEFAULT '',
    limit_c double precision,
    PRIMARY KEY (source, station, directory, sensor));
CREATE TABLE IF NOT EXISTS qm.measurements (
    source text NOT NULL,
    station text NOT NULL,
    directory text NOT NULL,
    time timestamp NOT NULL,
    sensor integer NOT NULL,
    value numeric(6,2) NOT NULL,
    PRIMARY KEY (source, station, directory, time, sensor));
CREATE TABLE IF NOT EXISTS qm.downloads (
    source text NOT NULL,
    station text NOT NULL,
    directory text NOT NULL,
    time timestamptz NOT NULL,
    device_type integer,
    version integer,
    line_text text,
    battery_volts double precision,
    clock_offset_s bigint,
    clock_set boolean NOT NULL,
    mode text NOT NULL,
    files bigint NOT NULL,
    bytes bigint NOT NULL,
    measurements bigint NOT NULL,
    retries bigint NOT NULL,
    result text NOT NULL,
    error text,
    PRIMARY KEY (source, station, directory, time));
)sql";

// The staging tables of one push, dropped with its transaction. A value is staged without the
// archive's bounds: one that numeric(6,2) cannot hold is left out of the insert, and counted,
// rather than failing the push, and with it every later one.
constexpr const char* kStaging = R"sql(
CREATE TEMP TABLE qm_m (station text, directory text, time timestamp, sensor integer,
                        value numeric) ON COMMIT DROP;
CREATE TEMP TABLE qm_s (station text, directory text, sensor integer, depth_m double precision,
                        label text, limit_c double precision) ON COMMIT DROP;
CREATE TEMP TABLE qm_d (station text, directory text, time timestamptz, device_type integer,
                        version integer, line_text text, battery_volts double precision,
                        clock_offset_s bigint, clock_set boolean, mode text, files bigint,
                        bytes bigint, measurements bigint, retries bigint, result text,
                        error text) ON COMMIT DROP;
)sql";

constexpr const char* kInsertStations = R"sql(
INSERT INTO qm.stations (source, station)
SELECT DISTINCT $1::text, station FROM
    (SELECT station FROM qm_m UNION SELECT station FROM qm_s UNION SELECT station FROM qm_d) s
ON CONFLICT DO NOTHING)sql";
constexpr const char* kInsertSensors = R"sql(
INSERT INTO qm.sensors (source, station, directory, sensor, depth_m, label, limit_c)
SELECT DISTINCT ON (station, directory, sensor) $1::text, station, directory, sensor, depth_m,
       coalesce(label, ''), limit_c FROM qm_s
ON CONFLICT (source, station, directory, sensor) DO UPDATE
    SET depth_m = excluded.depth_m, label = excluded.label, limit_c = excluded.limit_c
    WHERE (qm.sensors.depth_m, qm.sensors.label, qm.sensors.limit_c)
          IS DISTINCT FROM (excluded.depth_m, excluded.label, excluded.limit_c))sql";
constexpr const char* kInsertMeasurements = R"sql(
INSERT INTO qm.measurements (source, station, directory, time, sensor, value)
SELECT $1::text, station, directory, time, sensor, value FROM qm_m WHERE abs(value) < 10000
ON CONFLICT DO NOTHING)sql";
constexpr const char* kCountLeftOut = "SELECT count(*) FROM qm_m WHERE NOT abs(value) < 10000";
constexpr const char* kInsertDownloads = R"sql(
INSERT INTO qm.downloads (source, station, directory, time, device_type, version, line_text,
                          battery_volts, clock_offset_s, clock_set, mode, files, bytes,
                          measurements, retries, result, error)
SELECT $1::text, station, directory, time, device_type, version, line_text, battery_volts,
       clock_offset_s, clock_set, mode, files, bytes, measurements, retries, result, error
FROM qm_d ON CONFLICT DO NOTHING)sql";

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

bool Ok(const PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

// libpq's text on one line: its line breaks and the tabs that indent its hints become a space.
std::string Trimmed(const std::string& text) {
    std::string line;
    bool gap = false;
    for (const char ch : text) {
        if (ch == '\n' || ch == '\r' || ch == '\t' || ch == ' ') {
            gap = true;
            continue;
        }
        if (gap && !line.empty()) line += ' ';
        gap = false;
        line += ch;
    }
    return line;
}

}  // namespace

std::optional<std::string> RefusedArchiveUrl(const std::string& url, Language language) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
    if (!options) {
        std::string why = error ? Trimmed(error) : std::string("?");
        PQfreemem(error);
        return Message(Msg::ArchiveBadUrl, language, {why});
    }
    bool password = false;
    for (const PQconninfoOption* o = options; o->keyword; ++o)
        if (std::string_view(o->keyword) == "password" && o->val && *o->val) password = true;
    PQconninfoFree(options);
    if (password) return Message(Msg::ArchivePasswordInUrl, language);
    return std::nullopt;
}

std::string ReadArchivePassword(const std::filesystem::path& file) {
    std::string text = ReadWholeFile(file);
    const auto end = text.find_first_of("\r\n");
    if (end != std::string::npos) text.resize(end);
    return text;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !*name) return "localhost";
    return name;
}

Archive::~Archive() {
    if (conn_) PQfinish(conn_);
}

std::string Archive::Error() const {
    return conn_ ? Trimmed(PQerrorMessage(conn_)) : std::string("no connection");
}

std::optional<std::string> Archive::Connect(const ArchiveTarget& target) {
    if (conn_) PQfinish(conn_);
    if (&target != &target_) target_ = target;
    // The URL first: the keywords after it override what it says.
    std::vector<const char*> keys = {"dbname", "connect_timeout", "client_encoding",
                                     "application_name"};
    std::vector<const char*> values = {target_.url.c_str(), "10", "UTF8", "qm-controller"};
    if (target_.password) {
        keys.push_back("password");
        values.push_back(target_.password->c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    conn_ = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return Error();
    // The server's notices ("already exists, skipping") are no news to the operator.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // A year of a string's values is staged in memory rather than spilled to disk (the
    // setting takes before the first temporary table of the session).
    if (auto e = Exec("SET temp_buffers = '256MB'")) return e;
    Result has(PQexec(conn_, "SELECT to_regclass('qm.downloads') IS NOT NULL"));
    if (!Ok(has.get())) return Error();
    if (std::string_view(PQgetvalue(has.get(), 0, 0)) != "t") return MakeSchema();
    return std::nullopt;
}

std::optional<std::string> Archive::Exec(const char* sql) {
    Result r(PQexec(conn_, sql));
    if (!Ok(r.get())) return Error();
    return std::nullopt;
}

std::optional<std::string> Archive::MakeSchema() {
    if (auto e = Exec("BEGIN")) return e;
    if (auto e = Exec(kSchema)) {
        Exec("ROLLBACK");
        return e;
    }
    return Exec("COMMIT");
}

std::optional<std::string> Archive::Copy(const char* table, const std::string& data) {
    const std::string sql = std::string("COPY ") + table + " FROM STDIN";
    Result start(PQexec(conn_, sql.c_str()));
    if (PQresultStatus(start.get()) != PGRES_COPY_IN) return Error();
    constexpr std::size_t kChunk = 1 << 20;
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, data.size() - at);
        if (PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) != 1) return Error();
    }
    if (PQputCopyEnd(conn_, nullptr) != 1) return Error();
    std::optional<std::string> error;
    while (PGresult* r = PQgetResult(conn_)) {
        if (!Ok(r) && !error) error = Error();
        PQclear(r);
    }
    return error;
}

std::optional<std::string> Archive::Push(const ArchiveRows& rows, PushCount& count) {
    std::optional<std::string> error = PushOnce(rows, count);
    if (error && conn_ && PQstatus(conn_) == CONNECTION_BAD) {
        if (auto why = Connect(target_)) return why;
        error = PushOnce(rows, count);
    }
    return error;
}

std::optional<std::string> Archive::PushOnce(const ArchiveRows& rows, PushCount& count) {
    if (!conn_) return Error();
    const auto failed = [this](std::string why) {
        Exec("ROLLBACK");
        return std::optional<std::string>(std::move(why));
    };
    if (auto e = Exec("BEGIN")) return e;
    if (auto e = Exec(kStaging)) return failed(*e);
    if (auto e = Copy("qm_m", rows.measurements)) return failed(*e);
    if (auto e = Copy("qm_s", rows.sensors)) return failed(*e);
    if (auto e = Copy("qm_d", rows.downloads)) return failed(*e);
    const char* params[] = {target_.source.c_str()};
    std::int64_t added = 0;
    for (const char* sql :
         {kInsertStations, kInsertSensors, kInsertMeasurements, kInsertDownloads}) {
        Result r(PQexecParams(conn_, sql, 1, nullptr, params, nullptr, nullptr, 0));
        if (!Ok(r.get())) return failed(Error());
        if (sql == kInsertMeasurements) added = std::strtoll(PQcmdTuples(r.get()), nullptr, 10);
    }
    Result out(PQexec(conn_, kCountLeftOut));
    if (!Ok(out.get())) return failed(Error());
    const std::int64_t leftOut = std::strtoll(PQgetvalue(out.get(), 0, 0), nullptr, 10);
    if (auto e = Exec("COMMIT")) return e;
    count.leftOut += leftOut;
    count.sent += static_cast<std::int64_t>(rows.measurementCount);
    count.added += added;
    return std::nullopt;
}

}  // namespace qm
