#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "store/Health.h"
#include "store/JsonWriter.h"
#include "text/Messages.h"

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
    double completeness = 0.0;  // count / expected measurements, at most 1; 0 for none expected
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

// Where the schedule would have put measurements and none came: the measurements either side and
// how many slots of the usual interval lie between them.
struct SummaryGap {
    DateTime from;
    DateTime to;
    std::int64_t missing = 0;
};

// What the figures of a summary rest on and may not bear: depths that do not grow with the sensor
// numbers, an active layer or zero amplitude found between sensors far apart.
struct SummaryWarning {
    Msg what = Msg::SummaryDepthOrder;  // SummaryDepthOrder, SummaryActiveLayerWide, ...Wide
    std::size_t upper = 0;              // the sensors, 1-based
    std::size_t lower = 0;
    double upperMetres = 0.0;
    double lowerMetres = 0.0;
};
std::string SummaryWarningText(const SummaryWarning& warning, Language language);

struct Summary {
    std::size_t measurements = 0;  // in the period
    // The measurements the logger's usual interval gives the period: from the first day's 00:00
    // (or the first measurement) to the last day's 24:00 (or the last measurement); the
    // measurements present when there is no usual interval.
    std::size_t expectedMeasurements = 0;
    std::vector<SummaryGap> gaps;
    std::int64_t intervalMinutes = 0;  // the usual one of the period
    std::size_t exceeded = 0;          // sensors with an exceedance
    std::vector<SensorSummary> sensors;
    std::optional<double> activeLayerMetres;
    std::optional<double> zeroAmplitudeMetres;
    std::vector<SummaryWarning> warnings;
};

// The maximum crosses 0 °C here: the thaw reaches no deeper.
inline constexpr double kThawDegrees = 0.0;
// The yearly swing has died out when it is no more than this.
inline constexpr double kZeroAmplitudeDegrees = 0.1;
// Interpolated between sensors farther apart than this, a depth is a guess worth a warning.
inline constexpr double kWidestInterpolationMetres = 5.0;

// Going down the points (depth, value), taken in the order given: the first pair whose value goes
// from above `threshold` to `threshold` or below, with the depth interpolated linearly between
// the two. Nothing when no pair does.
struct DepthValue {
    double depthMetres = 0.0;
    double value = 0.0;
};
std::optional<double> CrossingDepth(std::span<const DepthValue> downward, double threshold);
// The index of the lower point of that pair.
std::optional<std::size_t> CrossingPair(std::span<const DepthValue> downward, double threshold);

// The measurements the logger's usual interval gives the period (see Summary); `stepMs`, when
// given, is set to the interval in milliseconds, 0 when there is none.
std::size_t ExpectedMeasurements(const DataSet& set, const Period& period,
                                 std::int64_t* stepMs = nullptr);

// The summary of sensors 1..N (N the larger of the data set's sensor count and the table's last
// sensor). The active layer and the zero amplitude use the sensors with a depth of 0 or more that
// are neither dead nor stuck, ordered by depth; without depths both are nothing.
Summary Summarize(const DataSet& set, const SensorTable& table, Period period);

// One JSON object, on one line or indented: "measurements", "expectedMeasurements", "gaps"
// [{"from", "to", "missing"}] (times "YYYY-MM-DDTHH:MM" of the logger's clock), "sensors"
// [{"sensor", "depthMetres", "label", "count", "completeness", "min", "max", "mean", "flags",
// "limitC", "marginC", "exceedance" {"firstTime", "lastTime", "hours", "maxC"},
// "trendCPerDecade"}], "activeLayerMetres", "zeroAmplitudeMetres", "warnings" (texts in
// `language`), "exceeded"; nothing known is null.
std::string SummaryJson(const Summary& summary,
                        JsonWriter::Layout layout = JsonWriter::Layout::Line,
                        Language language = Language::English);

}  // namespace qm
