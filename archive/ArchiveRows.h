#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// and its collection log. With `before`, the values of only the data files that are not in that
// picture or changed since it was taken: what a copy that began then added. Throws FileError when
// the folder cannot be read.
struct DataFilesPicture;
void AddDataSet(const std::filesystem::path& folder, const std::string& station,
                const std::string& directory, ArchiveRows& rows,
                const DataFilesPicture* before = nullptr);

// The data files below a folder as they stand: each one's size and time of its last change, by
// its absolute path. A file a copy wrote differs from the picture taken before the copy began
// whatever the PC's clock did meanwhile (put back, or coarse on the disk).
struct DataFilesPicture {
    struct Stamp {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type time{};
        bool operator==(const Stamp&) const = default;
    };
    std::map<std::filesystem::path, Stamp> files;

    // Every data file below each of `folders` (a folder not there yet holds none).
    static DataFilesPicture Of(const std::vector<std::filesystem::path>& folders);
    // The file is not in the picture, or changed since.
    bool Changed(const std::filesystem::path& file) const;
};

}  // namespace qm
