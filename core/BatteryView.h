#pragma once

#include "ui/model/WindowModel.h"

namespace qm {

// Updates the battery indicator: the group stays hidden after the first battery reply of a run
// and is shown from the second on; the shape's colours follow the voltage band and its hint
// shows the voltage, such as "5.3В".
void ShowBattery(WindowModel& model, double volts, bool& batteryShown);

}  // namespace qm
