#include "core/CalibrationEditor.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace qm {
namespace {

// "+412.35", "-327.67": two decimals with a point whatever the locale of the PC.
std::string SignedFixed2(double v) {
    char text[400];
    text[0] = '+';
    const auto r = std::to_chars(text + 1, text + sizeof text, v, std::chars_format::fixed, 2);
    const char* first = text[1] == '-' ? text + 1 : text;
    return std::string(first, static_cast<const char*>(r.ptr));
}

}  // namespace

void CalibrationEditor::Register(Handlers& h, const ReadingsState& readings) {
    h.OnClick("pmCalibration", [this] { pmCalibrationClick(); });
    h.OnClick("CalibrBox", [this] { CalibrBoxClick(); });
    h.OnChange("Edit1", [this] { Edit1Change(); });
    h.OnClick("bCalibr", [this, &readings] { bCalibrClick(readings); });
}

void CalibrationEditor::StoreEntries(int first, int last) {
    StoreCalibrationEntries(calibration_, ctx_.CurrentReply(), first, last);
}

// The calibration group has no control of its own on the window; the context menu shows it.
void CalibrationEditor::pmCalibrationClick() {
    GroupBox& box = ctx_.m.CalibrBox;
    box.visible = true;
    // The main window is narrow between test measurements; make room for the group.
    const int needed = box.geometry.left + box.geometry.width + 8;
    ctx_.m.window.width = std::max(ctx_.m.window.width, needed);
}

// A click on the group itself, not on its controls, puts it away.
void CalibrationEditor::CalibrBoxClick() {
    ctx_.m.CalibrBox.visible = false;
}

void CalibrationEditor::Edit1Change() {
    const std::optional<double> value = ParseReferenceValue(ctx_.m.Edit1.text);
    if (value) CalibrationValue_ = *value;
    ctx_.m.bCalibr.enabled = value.has_value();
}

void CalibrationEditor::bCalibrClick(const ReadingsState& readings) {
    if (!ctx_.m.bCalibr.enabled) return;
    const std::vector<ClampedCorrection> clamped =
        ComputeCorrections(calibration_, readings, CalibrationValue_);
    if (!clamped.empty()) {
        std::string text = ctx_.Text(Msg::CorrectionsLimited);
        for (const ClampedCorrection& c : clamped)
            text += "\n" + ctx_.Text(Msg::CorrectionLimited,
                                     {std::to_string(c.reading), SignedFixed2(c.wanted / 100.0),
                                      SignedFixed2(c.stored / 100.0)});
        ctx_.ops.ShowWarning(text);
    }
    SendCalibrationTable();
}

// Request 61: entries 1..30. The logger's reply is not acted on.
void CalibrationEditor::SendCalibrationTable() {
    ctx_.x.Send(CalibrationRequest(calibration_));
}

}  // namespace qm
