#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "protocol/DateTime.h"
#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "text/Language.h"

namespace qm {

// The monitoring report of a borehole over a period, as an A4 PDF drawn through Qt: a title block
// (the data set, the logger, the period, the interval, the measurements and their completeness,
// when and by which program it was made, lines to sign), the sensor table with the design limits,
// margins and trends, the isopleths with the 0 °C isotherm, the trumpet curve with the limits by
// depth, the profiles of the 15th of each month near 12:00, the monthly means by depth, the
// conclusion in words and an appendix of every file read with its size and SHA-256 and of the
// downloads of the period from the collection log. Text, axes and lines are vectors; the heat map
// is an image of at least 150 dpi.
struct ReportRequest {
    std::filesystem::path folder;  // the data-set folder (or single data file) read
    std::filesystem::path pdf;     // the file written
    std::optional<DateTime> fromDay;
    std::optional<DateTime> toDay;
    Language language = Language::Russian;
    std::string title;           // UTF-8; may be empty
    std::string programVersion;  // "1.4.0"
    std::string madeAt;          // when the report is made, as the reader's clock shows it
};

// Writes the report of `set` (read from request.folder) and its sensor table: staged beside the
// file and moved over it only when complete. False, and nothing written, when the period holds
// no measurement. Throws FileError when the file cannot be written. Needs a QApplication.
bool WriteReport(const ReportRequest& request, const DataSet& set, const SensorTable& table);

}  // namespace qm
