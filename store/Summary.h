#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "store/Health.h"
#include "store/JsonWriter.h"

namespace qm {

struct DataSet;
struct SensorTable;

// What an engineer reports of a borehole over a period: each sensor's record and its extremes,
// the active layer and the depth of zero annual amplitude. Temperatures in °C.

// The unflagged values of a sensor above its design limit: the first and last of them, how many,
// and the warmest.
struct Exceedance {
    DateTime first;
    DateTime last;
    std::size_t values = 0;
    double hours = 0.0;  // values × the usual interval, to 0.1 h
    double maxC = 0.0;
};

struct SensorSummary {
    std::size_t sensor = 0;  // 1-based
    std::optional<double> depthMetres;
    std::string label;
    std::size_t count = 0;      // values present, flagged ones included
    double completeness = 0.0;  // count / measurements of the period; 0 for an empty period
    // Of the values no flag marks; nothing when there are none.
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> mean;
    unsigned flags = 0;             // SensorFlag bits
    std::optional<double> limitC;   // the sensor table's design limit
    std::optional<double> marginC;  // limit - max; negative when exceeded
    std::optional<Exceedance> exceedance;
    std::optional<double> trendCPerDecade;  // to 0.01; see TrendPerDecade
};

struct Summary {
    std::size_t measurements = 0;      // in the period
    std::int64_t intervalMinutes = 0;  // the usual one of the period
    std::size_t exceeded = 0;          // sensors with an exceedance
    std::vector<SensorSummary> sensors;
    std::optional<double> activeLayerMetres;
    std::optional<double> zeroAmplitudeMetres;
};

// The maximum crosses 0 °C here: the thaw reaches no deeper.
inline constexpr double kThawDegrees = 0.0;
// The yearly swing has died out when it is no more than this.
inline constexpr double kZeroAmplitudeDegrees = 0.1;

// Going down the points (depth, value), taken in the order given: the first pair whose value goes
// from above `threshold` to `threshold` or below, with the depth interpolated linearly between
// the two. Nothing when no pair does.
struct DepthValue {
    double depthMetres = 0.0;
    double value = 0.0;
};
std::optional<double> CrossingDepth(std::span<const DepthValue> downward, double threshold);

// The summary of sensors 1..N (N the larger of the data set's sensor count and the table's last
// sensor). The active layer and the zero amplitude use the sensors with a depth that are neither
// dead nor stuck, ordered by depth; without depths both are nothing.
Summary Summarize(const DataSet& set, const SensorTable& table, Period period);

// "YYYY-MM-DDTHH:MM" on the logger's clock.
std::string MinuteText(DateTime t);

// One JSON object, on one line or indented: "measurements", "sensors" [{"sensor", "depthMetres",
// "label", "count", "completeness", "min", "max", "mean", "flags", "limitC", "marginC",
// "exceedance" {"firstTime", "lastTime", "hours", "maxC"}, "trendCPerDecade"}],
// "activeLayerMetres", "zeroAmplitudeMetres", "exceeded"; nothing known is null.
std::string SummaryJson(const Summary& summary,
                        JsonWriter::Layout layout = JsonWriter::Layout::Line);

}  // namespace qm
