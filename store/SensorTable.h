#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Language.h"

namespace qm {

// The sensor table of a data-set folder ("sensors.csv"): where each sensor of the string sits and
// what the operator calls it. The file is UTF-8 CSV with the header line "sensor,depth_m,label",
// then one line per sensor: its number (from 1), its depth in metres (a point for decimals; may
// be empty) and its label (may be empty; quoted when it holds a comma or a quote). A folder
// without the file has sensors known by number only. The header "sensor,depth_m,label,limit_c"
// adds a fourth field to every line: the warmest temperature the design allows at the sensor's
// depth, °C (empty for none).

struct SensorInfo {
    SensorInfo() = default;
    SensorInfo(std::size_t number, std::optional<double> depth, std::string text,
               std::optional<double> limit = std::nullopt)
        : sensor(number), depthMetres(depth), label(std::move(text)), limitC(limit) {}

    std::size_t sensor = 0;             // 1-based, as the data files number values
    std::optional<double> depthMetres;  // nothing when unknown
    std::string label;                  // UTF-8; empty for none
    std::optional<double> limitC;       // the design's warmest, °C; nothing when none
    bool operator==(const SensorInfo&) const = default;
};

// Why a line of the table was skipped.
enum class SensorTableProblem {
    NoHeader,        // the first line is not "sensor,depth_m,label"
    BadSensor,       // the number is no whole number from 1 to the largest sensor count
    BadDepth,        // the depth is no number of metres
    RepeatedSensor,  // a sensor already given on an earlier line; the first one stands
    BadFields,       // not three fields, or a quote left open
    BadLimit,        // the limit is no number of degrees
    BadLimitFields,  // under the header with limits: not four fields, or a quote left open
};

struct SensorTableIssue {
    std::size_t line = 0;  // 1-based
    SensorTableProblem problem = SensorTableProblem::BadFields;
};

// "sensors.csv:4: ...", in either language.
std::string SensorTableIssueText(const SensorTableIssue& issue, Language language);

struct SensorTable {
    std::vector<SensorInfo> sensors;  // by number, each number once
    std::vector<SensorTableIssue> issues;

    // The row of sensor `sensor` (1-based), or nothing.
    const SensorInfo* Find(std::size_t sensor) const;
    bool HasDepths() const;
    bool HasLimits() const;
};

// Reads the table's text. A bad line is reported and skipped; the others are still read. A table
// without its header line is read as none, with one issue.
SensorTable ParseSensorTable(std::string_view text);
// The text of the table, header first, lines in the order of the numbers, CR LF line ends; the
// limit column only when some sensor has a limit.
std::string SensorTableText(std::span<const SensorInfo> sensors);

// The table of `folder`: empty when the folder has none; throws FileError when it cannot be read
// or is far too large for a sensor table.
SensorTable ReadSensorTable(const std::filesystem::path& folder);
// Replaces the table of `folder`: written in the staging folder and moved over the old one only
// when complete, so a power cut leaves the old table or the new one. Throws FileError.
void WriteSensorTable(const std::filesystem::path& folder, std::span<const SensorInfo> sensors);

}  // namespace qm
