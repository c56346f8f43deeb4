#pragma once

#include "measure/Calibration.h"
#include "measure/Readings.h"
#include "session/WorkContext.h"

namespace qm {

// The logger's correction table: read during the connection sequence, and written back with the
// corrections that bring every sensor's reading in the last test measurement to a reference
// value.
class CalibrationEditor {
public:
    explicit CalibrationEditor(WorkContext& ctx) : ctx_(ctx) {}

    // Entries first..last from the reply in the packet buffer (rows 60 and 62).
    void StoreEntries(int first, int last);
    const CalibrationTable& Table() const { return calibration_; }

    // Corrects the table so that each of `readings` would have read `reference`, and writes it
    // to the logger; corrections beyond what the logger keeps are limited, with a warning.
    void Write(const ReadingsState& readings, double reference);

private:
    WorkContext& ctx_;
    CalibrationTable calibration_{};
};

}  // namespace qm
