#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "store/DataSet.h"

namespace qm {

struct SensorTable;

// The table of a data set, one row per measurement in time order: "time" ("YYYY-MM-DD HH:MM"),
// then one column per sensor, N the largest value count of any measurement. A column is named by
// the sensor's label in the folder's sensor table, or by its number (1 to N) when the table gives
// it none. Values have two decimals and a point, flagged ones as the logger read them; a missing
// value is an empty cell.

// "2024-03-05 14:30".
std::string TableTime(DateTime t);
// "12.34", "-0.05", or empty for a missing value.
std::string TableValue(std::int32_t value);
// The name of sensor `sensor` (1-based) in the table's header: its label, else its number.
std::string ColumnName(const SensorTable& table, std::size_t sensor);

// Whether the data set makes a table: at least one measurement and one sensor column. The
// exports below write nothing for a set that does not (FileError of Msg::ExportEmpty).
bool HasTable(const DataSet& set);

enum class ExportFormat { Csv, Xlsx, Netcdf };

// Writes the table as CSV (UTF-8, comma separated, a header row, CR LF line ends; a name holding
// a comma, a quote or a line end is quoted). The file is written beside its name and put in
// place only when complete; throws FileError.
void ExportCsv(const DataSet& set, const SensorTable& table, const std::filesystem::path& file);

// Whether this build can write XLSX.
bool XlsxExportAvailable();
// Writes an XLSX workbook, in place only when complete; throws FileError (also when this build
// cannot write XLSX). Its sheets, over the whole data set:
//   the table, times as spreadsheet dates;
//   "sensors": sensor, depth_m, label, completeness (a fraction), min, max, mean (of the values
//              no flag marks) and flags ("dead stuck spikes range", those set), as Summarize
//              gives them;
//   "flags":   time, sensor, value, flag ("spike", "range" or "stuck"): one row per flagged
//              value, in time order, then by sensor.
void ExportXlsx(const DataSet& set, const SensorTable& table, const std::filesystem::path& file);

// A file a library writes under its own name: made in the staging folder beside the final name
// and moved over it by Finish. Whatever happens, the staging folder goes again once empty, and an
// unfinished file with it.
class LibraryStagedFile {
public:
    // Throws FileError (FileCreateStaging) when the staging folder cannot be made.
    explicit LibraryStagedFile(std::filesystem::path file);
    ~LibraryStagedFile();
    LibraryStagedFile(const LibraryStagedFile&) = delete;
    LibraryStagedFile& operator=(const LibraryStagedFile&) = delete;

    const std::filesystem::path& Staging() const { return staging_; }
    // Moves the complete file into place; throws FileError (FileReplace).
    void Finish();

private:
    std::filesystem::path file_;
    std::filesystem::path staging_;
    bool finished_ = false;
};

}  // namespace qm
