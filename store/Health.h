#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocol/DateTime.h"

namespace qm {

struct DataSet;
struct SensorTable;

// Health of the sensors of a string over a period: what a logger in the field shows when a
// sensor fails. Values are hundredths of a degree, as the data set holds them.

// The measurements of a data set from the start of one day to the end of another, both days
// included: indices [first, end) into DataSet::measurements.
struct Period {
    Period() = default;
    Period(std::size_t from, std::size_t to) : first(from), end(to) {}
    std::size_t first = 0;
    std::size_t end = 0;
    // The days asked for, when they were: the period runs from the first's 00:00 to the last's
    // 24:00 rather than from the first measurement to the last.
    std::optional<DateTime> fromDay;
    std::optional<DateTime> toDay;
    std::size_t Size() const { return end - first; }
};
// Nothing for a bound means from the first or to the last measurement.
Period PeriodOf(const DataSet& set, std::optional<DateTime> fromDay, std::optional<DateTime> toDay);

// Flags of a sensor over the period.
enum SensorFlag : unsigned {
    kDead = 1u << 0,    // no value at all
    kStuck = 1u << 1,   // more than half its readings lie in stuck stretches
    kSpikes = 1u << 2,  // at least one of its values is a spike
    kRange = 1u << 3,   // at least one of its values is out of range
};
// Flags of a single value; a flagged value is left out of minimum, maximum and mean.
enum class ValueFlag : std::uint8_t { None, Spike, Range, Stuck };

// A stuck sensor repeats one value this many readings in a row or more while a neighbour moves
// by more than kStuckNeighbourHundredths over those readings. Deep sensors read one value for
// days at the turn of the yearly wave, a step of the last digit being hours apart, and so do
// their neighbours; a neighbour must move clearly for the repeat to be a fault.
// Each value of such a stretch is flagged stuck; the sensor is flagged only when the stretches
// hold more than half its readings. Freezing or thawing ground holds its temperature just below
// 0 °C for weeks while the water in it turns (the zero curtain): a value held from
// kCurtainLowestHundredths to kCurtainHighestHundredths is the ground, never stuck.
inline constexpr std::size_t kStuckRun = 30;
inline constexpr std::int32_t kStuckNeighbourHundredths = 50;
inline constexpr std::int32_t kCurtainLowestHundredths = -50;
inline constexpr std::int32_t kCurtainHighestHundredths = 10;
// A spike: a value more than kSpikeHundredths from the median of the kSpikeWindow readings of its
// sensor around it (itself included; missing and out-of-range values are not readings here).
// The window is centred on the value and moved inwards at the ends of the period. With fewer than
// kSpikeLeast readings in the period nothing is called a spike. A median of seven stands up to
// three wild readings in a row, so a short burst is caught too, while a front passing through the
// ground moves the median with it.
inline constexpr std::int32_t kSpikeHundredths = 500;
inline constexpr std::size_t kSpikeWindow = 7;
inline constexpr std::size_t kSpikeLeast = 4;
// Nothing in the ground reads outside this; a value that does is a fault of the sensor or line.
inline constexpr std::int32_t kLowestHundredths = -6000;
inline constexpr std::int32_t kHighestHundredths = 6000;

struct SensorHealth {
    unsigned flags = 0;     // SensorFlag bits
    std::size_t count = 0;  // values present in the period, flagged ones included
};

struct Health {
    Period period;
    std::size_t sensorCount = 0;
    std::vector<SensorHealth> sensors;  // [s] for sensor s + 1
    // [(i - period.first) * sensorCount + s]
    std::vector<ValueFlag> valueFlags;

    ValueFlag FlagOf(std::size_t measurement, std::size_t sensor) const {
        return valueFlags[(measurement - period.first) * sensorCount + sensor];
    }
};

// The sensors next to `sensor` (0-based) along the string: above and below by depth when the
// table gives it a depth, else by number. 0-based, at most two.
std::vector<std::size_t> NeighboursOf(std::size_t sensor, std::size_t sensorCount,
                                      const SensorTable& table);

// Health of sensors 1..sensorCount (sensors beyond the data set's own count have no values).
Health AssessHealth(const DataSet& set, Period period, const SensorTable& table,
                    std::size_t sensorCount);

// "dead", "stuck", "spikes", "range", in that order, for the flags set.
std::vector<std::string_view> FlagWords(unsigned flags);

}  // namespace qm
