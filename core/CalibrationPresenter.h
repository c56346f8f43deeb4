#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "measure/Readings.h"
#include "session/CalibrationEditor.h"

namespace qm {

// The calibration group, where the operator types the value every sensor should have read in
// the last test measurement; the corrections that bring each reading there are written to the
// logger.
class CalibrationPresenter {
public:
    CalibrationPresenter(PartContext& ctx, CalibrationEditor& calibration)
        : ctx_(ctx), calibration_(calibration) {}
    // `readings` gives the last test measurement.
    void Register(Handlers& h, const ReadingsState& readings);

    void pmCalibrationClick();
    void CalibrBoxClick();
    void Edit1Change();
    void bCalibrClick(const ReadingsState& readings);

private:
    PartContext& ctx_;
    CalibrationEditor& calibration_;
    double CalibrationValue_ = 0;  // the last reference value parsed from Edit1
};

}  // namespace qm
