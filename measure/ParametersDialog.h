#pragma once

#include <cstdint>

#include "measure/Schedule.h"
#include "protocol/DateTime.h"

namespace qm {

// A value of the interval editors as a count takes it: cut toward zero; anything outside what a
// count can use is 0.
std::int64_t WholeValue(double v);

// The interval of a schedule in milliseconds: whole days, hours and minutes (each value cut
// toward zero, as the logger takes them).
std::int64_t IntervalMilliseconds(double days, double hours, double minutes);

// Number of measurements from `base` up to but not including `stop`, one every `intervalMs`:
// (D - 1 s) / interval + 1 for a span D > 0, else 0. Computed in exact milliseconds, so a span
// of exactly n intervals gives n. A non-positive interval gives 0.
std::int64_t MeasurementCount(DateTime base, DateTime stop, std::int64_t intervalMs);

}  // namespace qm
