#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/DateTime.h"

namespace qm {

struct DataSet;
struct Health;

// Monthly means of the sensors of a string and how the ground warms from year to year.
// Temperatures in °C.

// A calendar month of the period.
struct MonthSpan {
    int year = 0;
    int month = 0;   // 1..12
    DateTime start;  // the month's start, or the period's when it starts later
    DateTime end;    // the next month's start, or the period's end when it comes sooner
};

// A month's mean counts when its unflagged values are at least this share of the measurements
// the month (clipped to the period) holds at the usual interval.
inline constexpr double kMonthCompleteShare = 0.9;
// Fewer months with a mean give no trend.
inline constexpr std::size_t kTrendLeastMonths = 24;

struct MonthlyMeans {
    std::vector<MonthSpan> months;  // in time order
    std::size_t sensorCount = 0;
    // [month * sensorCount + s]: the mean of the unflagged values of sensor s (0-based), or
    // nothing when the month is not complete enough.
    std::vector<std::optional<double>> means;

    const std::optional<double>& Mean(std::size_t month, std::size_t sensor) const {
        return means[month * sensorCount + sensor];
    }
};

// The monthly means over the health's period (its flags leave values out), the period running
// from its first measurement to one usual interval after its last.
MonthlyMeans MonthlyMeansOf(const DataSet& set, const Health& health, std::int64_t intervalMinutes);

// The warming of sensor `sensor` (0-based) in °C per decade: the least-squares slope of its
// monthly means against the months' middle times, with one offset per calendar month so that
// the yearly wave cannot bias it. Each mean and each middle time is taken as its difference from
// the average over the same calendar month of the period, and one slope goes through all of
// them; a calendar month present in one year only adds nothing. Nothing with fewer than
// kTrendLeastMonths means, or when no calendar month comes twice.
std::optional<double> TrendPerDecade(const MonthlyMeans& means, std::size_t sensor);

}  // namespace qm
