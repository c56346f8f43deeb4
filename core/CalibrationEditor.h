#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "measure/Calibration.h"
#include "measure/Readings.h"

namespace qm {

// The logger's correction table (read during the connection sequence) and the calibration group,
// where the operator types the value every sensor should have read in the last test measurement;
// the corrections that bring each reading there are written to the logger.
class CalibrationEditor {
public:
    explicit CalibrationEditor(PartContext& ctx) : ctx_(ctx) {}
    // `readings` gives the last test measurement.
    void Register(Handlers& h, const ReadingsState& readings);

    // Entries first..last from the reply in the packet buffer (rows 60 and 62).
    void StoreEntries(int first, int last);
    const CalibrationTable& Table() const { return calibration_; }

    void pmCalibrationClick();
    void CalibrBoxClick();
    void Edit1Change();
    void bCalibrClick(const ReadingsState& readings);

private:
    void SendCalibrationTable();

    PartContext& ctx_;
    CalibrationTable calibration_{};
    double CalibrationValue_ = 0;  // the last reference value parsed from Edit1
};

}  // namespace qm
