#include "core/CalibrationPresenter.h"

#include <algorithm>
#include <optional>

namespace qm {

void CalibrationPresenter::Register(Handlers& h, const ReadingsState& readings) {
    h.OnClick("pmCalibration", [this] { pmCalibrationClick(); });
    h.OnClick("CalibrBox", [this] { CalibrBoxClick(); });
    h.OnChange("Edit1", [this] { Edit1Change(); });
    h.OnClick("bCalibr", [this, &readings] { bCalibrClick(readings); });
}

// The calibration group has no control of its own on the window; the context menu shows it.
void CalibrationPresenter::pmCalibrationClick() {
    GroupBox& box = ctx_.m.CalibrBox;
    box.visible = true;
    // The main window is narrow between test measurements; make room for the group.
    const int needed = box.geometry.left + box.geometry.width + 8;
    ctx_.m.window.width = std::max(ctx_.m.window.width, needed);
}

// A click on the group itself, not on its controls, puts it away.
void CalibrationPresenter::CalibrBoxClick() {
    ctx_.m.CalibrBox.visible = false;
}

void CalibrationPresenter::Edit1Change() {
    const std::optional<double> value = ParseReferenceValue(ctx_.m.Edit1.text);
    if (value) CalibrationValue_ = *value;
    ctx_.m.bCalibr.enabled = value.has_value();
}

void CalibrationPresenter::bCalibrClick(const ReadingsState& readings) {
    if (!ctx_.m.bCalibr.enabled) return;
    calibration_.Write(readings, CalibrationValue_);
}

}  // namespace qm
