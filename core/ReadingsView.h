#pragma once

#include "measure/Calibration.h"
#include "measure/Readings.h"
#include "ui/model/WindowModel.h"

namespace qm {

// Corrects, rounds and plots the readings of a finished test measurement, moving the earlier
// one into the history series; widens the window to the screen when the chart has data.
void ShowReadings(ReadingsState& s, const CalibrationTable& table, bool rawData,
                  WindowModel& model);

// Widens the value axis to the new readings, to whole units plus a 0.05 margin.
void ScaleValueAxis(ReadingsState& s, Chart& chart);

}  // namespace qm
