#include "store/SensorTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "store/DataSet.h"
#include "store/LocalFiles.h"
#include "text/Messages.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "sensor,depth_m,label";
constexpr std::string_view kHeaderWithLimits = "sensor,depth_m,label,limit_c";
// Warmer or colder than anything in the ground: a typing slip, not a design limit.
constexpr double kFarthestDegrees = 100.0;
// A table of every sensor a logger can have, with long labels, is a few kilobytes.
constexpr std::uintmax_t kMaxSensorTableBytes = 1024 * 1024;
// Deeper than any borehole, higher than any mast: a typing slip, not a depth.
constexpr double kFarthestMetres = 10000.0;

// The fields of one CSV line; nothing when a quote is left open or stray text follows one.
std::optional<std::vector<std::string>> Fields(std::string_view line) {
    std::vector<std::string> fields(1);
    std::size_t i = 0;
    bool fieldStart = true;
    while (i < line.size()) {
        const char ch = line[i];
        if (fieldStart && ch == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        fields.back() += '"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                fields.back() += line[i++];
            }
            if (!closed) return std::nullopt;
            if (i < line.size() && line[i] != ',') return std::nullopt;
            fieldStart = false;
            continue;
        }
        if (ch == ',') {
            fields.emplace_back();
            fieldStart = true;
        } else {
            fields.back() += ch;
            fieldStart = false;
        }
        ++i;
    }
    return fields;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<std::size_t> SensorNumber(std::string_view text) {
    text = Trimmed(text);
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (n < 1 || n > kMaxSensors) return std::nullopt;
    return n;
}

// Empty: none given; a finite number written out with digits and a point, within `bound` of
// zero: that number; else no number at all. Numbers are written out: "1e2" is a slip for 1.2 or
// 12 more likely than a hundred.
std::optional<std::optional<double>> WrittenNumber(std::string_view text, double bound) {
    text = Trimmed(text);
    if (text.empty()) return std::optional<double>();
    if (text.front() == '+') text.remove_prefix(1);
    if (text.find_first_of("eE") != std::string_view::npos) return std::nullopt;
    double d = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(d) || std::fabs(d) > bound)
        return std::nullopt;
    return std::optional<double>(d);
}

// A depth in metres (negative above the ground: in the snow or the air).
std::optional<std::optional<double>> Depth(std::string_view text) {
    return WrittenNumber(text, kFarthestMetres);
}

// A design limit in degrees.
std::optional<std::optional<double>> Limit(std::string_view text) {
    return WrittenNumber(text, kFarthestDegrees);
}

// A label written so that it reads back the same.
std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                          text.front() == '\t' || text.back() == '\t'));
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"') out += '"';
        // A line end would split the row; a label is one line.
        out += (ch == '\r' || ch == '\n') ? ' ' : ch;
    }
    return out + '"';
}

std::string DepthText(double metres) {
    char text[32];
    const auto r = std::to_chars(std::begin(text), std::end(text), metres);
    return std::string(text, r.ptr);
}

}  // namespace

std::string SensorTableIssueText(const SensorTableIssue& issue, Language language) {
    Msg what = Msg::SensorTableBadFields;
    switch (issue.problem) {
        case SensorTableProblem::NoHeader:
            what = Msg::SensorTableNoHeader;
            break;
        case SensorTableProblem::BadSensor:
            what = Msg::SensorTableBadSensor;
            break;
        case SensorTableProblem::BadDepth:
            what = Msg::SensorTableBadDepth;
            break;
        case SensorTableProblem::RepeatedSensor:
            what = Msg::SensorTableRepeated;
            break;
        case SensorTableProblem::BadFields:
            what = Msg::SensorTableBadFields;
            break;
        case SensorTableProblem::BadLimit:
            what = Msg::SensorTableBadLimit;
            break;
        case SensorTableProblem::BadLimitFields:
            what = Msg::SensorTableBadLimitFields;
            break;
    }
    const std::string text = what == Msg::SensorTableBadSensor
                                 ? Message(what, language, {std::to_string(kMaxSensors)})
                             : what == Msg::SensorTableNoHeader ? Message(what, language, {kHeader})
                                                                : Message(what, language);
    return std::string(kSensorTableName) + ":" + std::to_string(issue.line) + ": " + text;
}

const SensorInfo* SensorTable::Find(std::size_t sensor) const {
    const auto it =
        std::lower_bound(sensors.begin(), sensors.end(), sensor,
                         [](const SensorInfo& s, std::size_t n) { return s.sensor < n; });
    return it != sensors.end() && it->sensor == sensor ? &*it : nullptr;
}

bool SensorTable::HasDepths() const {
    return std::any_of(sensors.begin(), sensors.end(),
                       [](const SensorInfo& s) { return s.depthMetres.has_value(); });
}

bool SensorTable::HasLimits() const {
    return std::any_of(sensors.begin(), sensors.end(),
                       [](const SensorInfo& s) { return s.limitC.has_value(); });
}

SensorTable ParseSensorTable(std::string_view text) {
    SensorTable table;
    // A byte order mark, as some spreadsheets write one.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::size_t lineNumber = 0;
    bool headerSeen = false;
    bool withLimits = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!headerSeen) {
            withLimits = Trimmed(line) == kHeaderWithLimits;
            if (Trimmed(line) != kHeader && !withLimits) {
                table.issues.push_back({lineNumber, SensorTableProblem::NoHeader});
                return table;
            }
            headerSeen = true;
            continue;
        }
        if (Trimmed(line).empty()) continue;
        const auto fields = Fields(line);
        if (!fields || fields->size() != (withLimits ? 4u : 3u)) {
            table.issues.push_back({lineNumber, withLimits ? SensorTableProblem::BadLimitFields
                                                           : SensorTableProblem::BadFields});
            continue;
        }
        const auto sensor = SensorNumber((*fields)[0]);
        if (!sensor) {
            table.issues.push_back({lineNumber, SensorTableProblem::BadSensor});
            continue;
        }
        const auto depth = Depth((*fields)[1]);
        if (!depth) {
            table.issues.push_back({lineNumber, SensorTableProblem::BadDepth});
            continue;
        }
        const auto limit = withLimits
                               ? Limit((*fields)[3])
                               : std::optional<std::optional<double>>(std::optional<double>());
        if (!limit) {
            table.issues.push_back({lineNumber, SensorTableProblem::BadLimit});
            continue;
        }
        if (table.Find(*sensor)) {
            table.issues.push_back({lineNumber, SensorTableProblem::RepeatedSensor});
            continue;
        }
        SensorInfo info{*sensor, *depth, std::string((*fields)[2]), *limit};
        const auto at =
            std::lower_bound(table.sensors.begin(), table.sensors.end(), info.sensor,
                             [](const SensorInfo& s, std::size_t n) { return s.sensor < n; });
        table.sensors.insert(at, std::move(info));
    }
    if (!headerSeen) table.issues.push_back({1, SensorTableProblem::NoHeader});
    return table;
}

std::string SensorTableText(std::span<const SensorInfo> sensors) {
    std::vector<SensorInfo> sorted(sensors.begin(), sensors.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SensorInfo& a, const SensorInfo& b) { return a.sensor < b.sensor; });
    const bool withLimits = std::any_of(sorted.begin(), sorted.end(),
                                        [](const SensorInfo& s) { return s.limitC.has_value(); });
    std::string out = std::string(withLimits ? kHeaderWithLimits : kHeader) + "\r\n";
    for (const SensorInfo& s : sorted) {
        out += std::to_string(s.sensor) + ',';
        if (s.depthMetres) out += DepthText(*s.depthMetres);
        out += ',' + CsvField(s.label);
        if (withLimits) {
            out += ',';
            if (s.limitC) out += DepthText(*s.limitC);
        }
        out += "\r\n";
    }
    return out;
}

SensorTable ReadSensorTable(const fs::path& folder) {
    const fs::path path = folder / kSensorTableName;
    std::error_code ec;
    if (!fs::exists(path, ec)) return {};
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxSensorTableBytes) throw FileError(Msg::DataFileTooLarge, path);
    return ParseSensorTable(ReadWholeFile(path));
}

void WriteSensorTable(const fs::path& folder, std::span<const SensorInfo> sensors) {
    const std::string text = SensorTableText(sensors);
    StagedFile out;
    out.Begin(folder / kSensorTableName, false);
    // WriteLine ends each line with CR LF itself.
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        out.WriteLine(rest.substr(0, end));
        rest.remove_prefix(end + 2);
    }
    out.Commit();
}

}  // namespace qm
