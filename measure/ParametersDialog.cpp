#include "measure/ParametersDialog.h"

#include <cmath>
#include <string>

namespace qm {
namespace {

std::int64_t Whole(double v) {
    // The editors hold small whole numbers; anything outside what a count can use is cut off.
    if (!(std::fabs(v) < 1e9)) return 0;
    return static_cast<std::int64_t>(std::trunc(v));
}

}  // namespace

std::int64_t IntervalMilliseconds(double days, double hours, double minutes) {
    return Whole(days) * DateTime::kMsPerDay + Whole(hours) * DateTime::kMsPerHour +
           Whole(minutes) * DateTime::kMsPerMinute;
}

std::int64_t MeasurementCount(DateTime base, DateTime stop, std::int64_t intervalMs) {
    const std::int64_t span = stop.Milliseconds() - base.Milliseconds();
    if (span <= 0 || intervalMs <= 0) return 0;
    // Integer division truncates toward zero, as the count does: a span shorter than a second
    // still holds the measurement at the base.
    return (span - DateTime::kMsPerSecond) / intervalMs + 1;
}

void FillParametersDialog(ParametersModel& d, const MeasurementSchedule& s, DateTime now) {
    d.Label4.caption = TimeText(now);
    d.Label7.caption = DateText(now);
    d.Label5.caption = TimeText(s.StartTime);
    d.Label8.caption = DateText(s.StartDate);
    d.Label6.caption = TimeText(s.StopTime);
    d.Label9.caption = DateText(s.StopDate);

    const DateTime start = s.StartTime + s.StartDate;
    const DateTime stop = s.StopTime + s.StopDate;
    const Colour startColour = start >= now ? Colour::Navy : Colour::Red;
    d.Label5.fontColour = startColour;
    d.Label8.fontColour = startColour;
    const bool stopAhead = stop >= now;
    d.Label6.fontColour = stopAhead ? Colour::Navy : Colour::Red;
    d.Label9.fontColour = d.Label6.fontColour;
    const DateTime base = stopAhead ? start : now;

    d.Label16.caption = std::to_string(Whole(s.IntervalDays));
    d.Label17.caption = std::to_string(Whole(s.IntervalHours));
    d.Label18.caption = std::to_string(Whole(s.IntervalMinutes));
    const std::int64_t interval =
        IntervalMilliseconds(s.IntervalDays, s.IntervalHours, s.IntervalMinutes);
    d.Label11.caption = std::to_string(MeasurementCount(base, stop, interval));
}

}  // namespace qm
