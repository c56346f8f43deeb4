#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "store/DataSet.h"

namespace qm {

// The table of a data set, one row per measurement in time order: "time" ("YYYY-MM-DD HH:MM"),
// then one column per sensor, named 1 to N, N the largest value count of any measurement.
// Values have two decimals and a point; a missing value is an empty cell.

// "2024-03-05 14:30".
std::string TableTime(DateTime t);
// "12.34", "-0.05", or empty for a missing value.
std::string TableValue(std::int32_t value);

// Whether the data set makes a table: at least one measurement and one sensor column. The
// exports below write nothing for a set that does not (FileError of Msg::ExportEmpty).
bool HasTable(const DataSet& set);

// Writes the table as CSV (UTF-8, comma separated, a header row, CR LF line ends). The file is
// written beside its name and put in place only when complete; throws FileError.
void ExportCsv(const DataSet& set, const std::filesystem::path& file);

// Whether this build can write XLSX.
bool XlsxExportAvailable();
// Writes the table as an XLSX workbook of one sheet, times as spreadsheet dates, in place only
// when complete; throws FileError (also when this build cannot write XLSX).
void ExportXlsx(const DataSet& set, const std::filesystem::path& file);

}  // namespace qm
