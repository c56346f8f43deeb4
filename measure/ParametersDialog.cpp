#include "measure/ParametersDialog.h"

#include <cmath>

namespace qm {

std::int64_t WholeValue(double v) {
    // The editors hold small whole numbers; anything outside what a count can use is cut off.
    if (!(std::fabs(v) < 1e9)) return 0;
    return static_cast<std::int64_t>(std::trunc(v));
}

std::int64_t IntervalMilliseconds(double days, double hours, double minutes) {
    return WholeValue(days) * DateTime::kMsPerDay + WholeValue(hours) * DateTime::kMsPerHour +
           WholeValue(minutes) * DateTime::kMsPerMinute;
}

std::int64_t MeasurementCount(DateTime base, DateTime stop, std::int64_t intervalMs) {
    const std::int64_t span = stop.Milliseconds() - base.Milliseconds();
    if (span <= 0 || intervalMs <= 0) return 0;
    // Integer division truncates toward zero, as the count does: a span shorter than a second
    // still holds the measurement at the base.
    return (span - DateTime::kMsPerSecond) / intervalMs + 1;
}

}  // namespace qm
