#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// What one push sends to the archive, as the text of PostgreSQL's COPY (tab-separated fields,
// "\N" for none, backslash escapes): names and values travel as data, never as SQL. The source
// (the collecting PC) is given with the push, not repeated on every row.
struct ArchiveRows {
    std::string measurements;  // station, directory, time, sensor, value
    std::string sensors;       // station, directory, sensor, depth_m, label, limit_c
    std::string downloads;     // station, directory, time, device_type, version, line_text,
                               // battery_volts, clock_offset_s, clock_set, mode, files, bytes,
                               // measurements, retries, result, error
    std::size_t measurementCount = 0;
    std::size_t sensorCount = 0;
    std::size_t downloadCount = 0;

    bool Empty() const { return measurementCount + sensorCount + downloadCount == 0; }
    void Append(const ArchiveRows& other);
};

// A field of COPY's text format: backslash, tab, line feed and carriage return escaped.
std::string CopyField(std::string_view text);

// Adds the data set in `folder` (the station's `station`, the logger directory `directory`):
// one row per value present in its data files (read as the viewer reads them), its sensor table
// and its collection log. With `changedSince`, the values of only the data files written since
// then: what a copy that began then added. Throws FileError when the folder cannot be read.
void AddDataSet(const std::filesystem::path& folder, const std::string& station,
                const std::string& directory, ArchiveRows& rows,
                std::optional<std::filesystem::file_time_type> changedSince = std::nullopt);

}  // namespace qm
