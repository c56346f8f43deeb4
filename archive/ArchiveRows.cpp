#include "archive/ArchiveRows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <vector>

#include "store/CollectionLog.h"
#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "store/ValueLines.h"

namespace qm {

namespace {

void Number(std::string& out, std::optional<double> value) {
    if (!value) {
        out += "\\N";
        return;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", *value);
    out += text;
}

template <typename Int>
void Integer(std::string& out, std::optional<Int> value) {
    out += value ? std::to_string(*value) : std::string("\\N");
}

void Text(std::string& out, const std::optional<std::string>& value) {
    out += value ? CopyField(*value) : std::string("\\N");
}

// "2024-03-01 12:30:00", the logger's time as the files give it.
void Time(std::string& out, const DateTime& time) {
    const CivilDateTime c = time.ToCivil();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    out += text;
}

// Hundredths as a decimal: -1234 is "-12.34".
void Hundredths(std::string& out, std::int32_t value) {
    const std::int64_t v = value;
    const std::int64_t a = std::llabs(v);
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", v < 0 ? "-" : "",
                  static_cast<long long>(a / 100), static_cast<long long>(a % 100));
    out += text;
}

// One row per value present.
void AddValues(const DataSet& set, const std::string& key, ArchiveRows& rows) {
    for (const Measurement& m : set.measurements) {
        std::string time;
        Time(time, m.time);
        const auto values = set.ValuesOf(m);
        for (std::size_t s = 0; s < values.size(); ++s) {
            if (values[s] == kMissingValue) continue;
            rows.measurements += key;
            rows.measurements += time;
            rows.measurements += '\t';
            rows.measurements += std::to_string(s + 1);
            rows.measurements += '\t';
            Hundredths(rows.measurements, values[s]);
            rows.measurements += '\n';
            ++rows.measurementCount;
        }
    }
}

}  // namespace

void ArchiveRows::Append(const ArchiveRows& other) {
    measurements += other.measurements;
    sensors += other.sensors;
    downloads += other.downloads;
    measurementCount += other.measurementCount;
    sensorCount += other.sensorCount;
    downloadCount += other.downloadCount;
}

std::string CopyField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void AddDataSet(const std::filesystem::path& folder, const std::string& station,
                const std::string& directory, ArchiveRows& rows, const DataFilesPicture* before) {
    const std::string key = CopyField(station) + '\t' + CopyField(directory) + '\t';
    std::vector<DataSet> sets;
    if (!before) {
        sets.push_back(ReadDataSet(folder));
    } else {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec))
            if (it->path().extension() == ".dat" && it->is_regular_file() &&
                before->Changed(it->path()))
                sets.push_back(ReadDataSet(it->path()));
    }
    for (const DataSet& set : sets) AddValues(set, key, rows);

    for (const SensorInfo& sensor : ReadSensorTable(folder).sensors) {
        rows.sensors += key + std::to_string(sensor.sensor) + '\t';
        Number(rows.sensors, sensor.depthMetres);
        rows.sensors += '\t' + CopyField(sensor.label) + '\t';
        Number(rows.sensors, sensor.limitC);
        rows.sensors += '\n';
        ++rows.sensorCount;
    }

    for (const CollectionRecord& r : ReadCollectionLog(folder).records) {
        std::string& d = rows.downloads;
        d += key + UtcText(r.time) + '\t';
        Integer(d, r.deviceType);
        d += '\t';
        Integer(d, r.version);
        d += '\t';
        Text(d, r.lineText);
        d += '\t';
        Number(d, r.batteryVolts);
        d += '\t';
        Integer(d, r.clockOffsetSeconds);
        d += r.clockSet ? "\tt\t" : "\tf\t";
        d += std::string(CollectedModeWord(r.mode)) + '\t' + std::to_string(r.files) + '\t' +
             std::to_string(r.bytes) + '\t' + std::to_string(r.measurements) + '\t' +
             std::to_string(r.retries) + '\t' + std::string(CollectionResultWord(r.result)) + '\t';
        Text(d, r.error);
        d += '\n';
        ++rows.downloadCount;
    }
}

namespace {

std::filesystem::path Absolute(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal();
}

}  // namespace

DataFilesPicture DataFilesPicture::Of(const std::vector<std::filesystem::path>& folders) {
    DataFilesPicture picture;
    for (const std::filesystem::path& folder : folders) {
        std::error_code ec;
        for (std::filesystem::recursive_directory_iterator it(Absolute(folder), ec), end;
             !ec && it != end; it.increment(ec)) {
            std::error_code stampError;
            Stamp stamp;
            if (it->path().extension() != ".dat" || !it->is_regular_file(stampError)) continue;
            stamp.size = it->file_size(stampError);
            stamp.time = it->last_write_time(stampError);
            // A file whose stamp cannot be read counts as changed: read once more, not lost.
            if (!stampError) picture.files[it->path().lexically_normal()] = stamp;
        }
    }
    return picture;
}

bool DataFilesPicture::Changed(const std::filesystem::path& file) const {
    const auto known = files.find(Absolute(file));
    if (known == files.end()) return true;
    std::error_code ec;
    Stamp now;
    now.size = std::filesystem::file_size(file, ec);
    if (!ec) now.time = std::filesystem::last_write_time(file, ec);
    return ec || !(now == known->second);
}

}  // namespace qm
