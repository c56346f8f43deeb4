#include "core/ParametersView.h"

#include <cstdint>
#include <string>

#include "measure/ParametersDialog.h"

namespace qm {

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

    d.Label16.caption = std::to_string(WholeValue(s.IntervalDays));
    d.Label17.caption = std::to_string(WholeValue(s.IntervalHours));
    d.Label18.caption = std::to_string(WholeValue(s.IntervalMinutes));
    const std::int64_t interval =
        IntervalMilliseconds(s.IntervalDays, s.IntervalHours, s.IntervalMinutes);
    d.Label11.caption = std::to_string(MeasurementCount(base, stop, interval));
}

}  // namespace qm
