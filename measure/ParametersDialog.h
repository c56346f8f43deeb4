#pragma once

#include <cstdint>

#include "measure/Schedule.h"
#include "protocol/DateTime.h"
#include "ui/model/WindowModel.h"

namespace qm {

// The interval of a schedule in milliseconds: whole days, hours and minutes (each value cut
// toward zero, as the logger takes them).
std::int64_t IntervalMilliseconds(double days, double hours, double minutes);

// Number of measurements from `base` up to but not including `stop`, one every `intervalMs`:
// (D - 1 s) / interval + 1 for a span D > 0, else 0. Computed in exact milliseconds, so a span
// of exactly n intervals gives n. A non-positive interval gives 0.
std::int64_t MeasurementCount(DateTime base, DateTime stop, std::int64_t intervalMs);

// Fills the value labels of the parameters dialog for the captured schedule at `now`: the current
// time and date, start and finish (navy when they lie at or after now, red when in the past), the
// interval parts and the number of measurements. The count runs from the start while the finish
// lies ahead, and is 0 once the finish has passed.
void FillParametersDialog(ParametersModel& dialog, const MeasurementSchedule& s, DateTime now);

}  // namespace qm
