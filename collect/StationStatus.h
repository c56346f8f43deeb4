#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collect/StationsFile.h"
#include "protocol/DateTime.h"
#include "store/LocalFiles.h"
#include "text/Language.h"

namespace qm {

// The status of a collection's stations, for whoever watches the network: what each station's
// last visits did and what its data show. Made from the plan, each station's visit log and its
// data-set folders, and written as "status.json" and "status.html" in the collection's data
// folder after every visit.
// Their names (kStatusJsonName, kStatusHtmlName) are in store/LocalFiles.h, which no station may
// take as its folder.

// The PC's time as the status reckons with it: UTC for what it records, and the local time the
// loggers' clocks keep, which the measurements' times are in.
struct StatusNow {
    std::chrono::sys_seconds utc{};
    DateTime local;
};

// One attempt to collect a station, as the run's JSON tells it.
struct StatusAttempt {
    std::chrono::sys_seconds time{};  // when it began
    bool tried = true;
    bool collected = false;
    std::vector<std::string> errors;  // worded in the run's language
    std::vector<std::string> warnings;
};

// A sensor of a data set that is flagged, or went above its design limit, over the data set's
// last kStatusDays days.
struct StatusSensor {
    std::size_t sensor = 0;  // 1-based
    std::string label;       // the sensor table's, UTF-8; empty for none
    unsigned flags = 0;      // SensorFlag bits
};
struct StatusExceedance {
    std::size_t sensor = 0;
    std::string label;
    double limitC = 0.0;
    double maxC = 0.0;
    std::chrono::sys_seconds first{};  // UTC
    std::chrono::sys_seconds last{};
};
inline constexpr int kStatusDays = 30;

struct StatusDataSet {
    std::string directory;  // the folder's name, UTF-8
    std::size_t measurements = 0;
    std::optional<std::chrono::sys_seconds> newest;  // UTC
    std::vector<StatusSensor> flagged;
    std::vector<StatusExceedance> exceeded;
};

// Green: the last visit collected the station; amber: it did not; red: an alarm holds. None:
// never visited.
enum class StatusColour { None, Green, Amber, Red };
// "green", "amber", "red"; empty for none.
std::string_view StatusColourWord(StatusColour colour);

struct StationStatus {
    std::string name;                        // UTF-8
    std::string link;                        // "serial", "usb", "radio" or "bluetooth"
    std::optional<std::string> addressText;  // a port or a Bluetooth address
    std::optional<int> addressNumber;        // a radio address
    std::optional<StatusAttempt> lastAttempt;
    std::optional<std::chrono::sys_seconds> lastSuccess;
    std::int64_t consecutiveFailures = 0;
    // When it is next visited: set by whoever keeps a schedule; nothing for a run that visits
    // once.
    std::optional<std::chrono::sys_seconds> nextDue;
    // As the latest visit that learnt them.
    std::optional<double> batteryVolts;
    std::optional<std::int64_t> clockOffsetSeconds;
    // The newest measurement of all its data sets (UTC) and how old it is now.
    std::optional<std::chrono::sys_seconds> newestMeasurement;
    std::optional<double> newestMeasurementAgeHours;  // to 0.1 h
    std::vector<StatusDataSet> dataSets;              // in name order
    // The alarms that hold, in the operator's words: set by whoever raises them.
    std::vector<std::string> alarms;

    StatusColour Colour() const;
};

struct CollectionStatus {
    std::chrono::sys_seconds time{};  // when it was made
    std::filesystem::path stationsFile;
    std::vector<StationStatus> stations;  // in the order of the file
};

// The status of one station: its last attempt (`thisRun`, when the run has made one: it also
// knows warnings and attempts not tried, which the visit log does not keep; else the log's last
// line), its last success and failures in a row from the visit log, and its data sets. A log or
// data set that cannot be read gives what could be read.
StationStatus StationStatusOf(const Station& station, const StatusNow& now,
                              const std::optional<StatusAttempt>& thisRun = std::nullopt);
// Every station's, with the attempts the run has made by station name.
CollectionStatus CollectionStatusOf(const StationsPlan& plan, const StatusNow& now,
                                    const std::map<std::string, StatusAttempt>& thisRun = {});

// "status.json": {"time", "stationsFile", "stations": [{"name", "link", "address", "colour",
// "lastAttempt" {"time", "tried", "collected", "errors", "warnings"}, "lastSuccess",
// "consecutiveFailures", "nextDue", "batteryVolts", "clockOffsetSeconds", "newestMeasurement",
// "newestMeasurementAgeHours", "dataSets" [{"directory", "measurements", "newestMeasurement",
// "flaggedSensors" [{"sensor", "label", "flags"}], "exceededLimits" [{"sensor", "label",
// "limitC", "maxC", "firstTime", "lastTime"}]}], "alarms"}]}, indented; times in UTC.
std::string StatusJson(const CollectionStatus& status);
// "status.html": one page that needs nothing else, refreshes itself every minute and reads on a
// phone; every text from the stations file or a logger escaped.
std::string StatusHtml(const CollectionStatus& status, Language language);
// Text for HTML: & < > " ' as character references.
std::string HtmlEscaped(std::string_view text);

// Writes both into `data`, each staged and moved over the old one only when complete. Returns
// the first failure instead of throwing; a file not written keeps its old content.
std::optional<FileError> WriteStatusFiles(const std::filesystem::path& data,
                                          const CollectionStatus& status, Language language);

}  // namespace qm
