#pragma once

#include "measure/Schedule.h"
#include "protocol/DateTime.h"
#include "ui/model/WindowModel.h"

namespace qm {

// Fills the value labels of the parameters dialog for the captured schedule at `now`: the current
// time and date, start and finish (navy when they lie at or after now, red when in the past), the
// interval parts and the number of measurements. The count runs from the start while the finish
// lies ahead, and is 0 once the finish has passed.
void FillParametersDialog(ParametersModel& dialog, const MeasurementSchedule& s, DateTime now);

}  // namespace qm
