// The measurement controls by name: the schedule group, the parameters dialog, the calibration
// group and the remark group. A change handler runs for an edit by the operator and for a value
// the controller sets itself.
#include <algorithm>

#include "core/Controller.h"

namespace qm {

void Controller::RegisterMeasureHandlers() {
    OnChange("TimeStart", &Controller::TimeStartChange);
    OnChange("DateStart", &Controller::DateStartChange);
    OnChange("TimeStop", &Controller::TimeStopChange);
    OnChange("DateStop", &Controller::DateStopChange);
    OnChange("DayEdit", &Controller::DayEditChange);
    OnChange("HourEdit", &Controller::HourEditChange);
    OnChange("MinEdit", &Controller::MinEditChange);
    OnClick("bCurrent1", &Controller::bCurrent1Click);
    OnClick("bCurrent2", &Controller::bCurrent2Click);
    OnClick("bSet", &Controller::bSetClick);

    OnClick("Parameters.Activate", &Controller::ParametersActivateClick);
    OnClick("Parameters.Button1", &Controller::ParametersButton1Click);
    OnClick("Parameters.Button2", &Controller::ParametersButton2Click);
    OnClick("Parameters.Close", &Controller::ParametersCloseClick);

    OnClick("pmCalibration", &Controller::pmCalibrationClick);
    OnClick("CalibrBox", &Controller::CalibrBoxClick);
    OnChange("Edit1", &Controller::Edit1Change);
    OnClick("bCalibr", &Controller::bCalibrClick);

    OnChange("pRemark1", &Controller::pRemark1Change);
    OnChange("pRemark2", &Controller::pRemark2Change);
    OnClick("bRemark", &Controller::bRemarkClick);
}

void Controller::SetDateTimeValue(std::string_view name, DateTimeEdit& editor, DateTime value) {
    ChangeValue(name, editor.value, value);
}

void Controller::SetSpinValue(std::string_view name, SpinEdit& editor, double value) {
    // A spin editor shows only values of its range, as the widget does; the reply's own number
    // stays in the schedule.
    ChangeValue(name, editor.value, std::clamp(value, editor.minimum, editor.maximum));
}

void Controller::SetEditText(std::string_view name, EditBox& edit, const std::string& text) {
    ChangeValue(name, edit.text, text);
}

}  // namespace qm
