// Calibration: the operator types the value every sensor should have read in the last test
// measurement; the corrections that bring each reading there are written to the logger.
#include <algorithm>
#include <charconv>
#include <string>

#include "core/Controller.h"
#include "measure/Calibration.h"
#include "protocol/CommandCode.h"

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

// The calibration group has no control of its own on the window; the context menu shows it.
void Controller::pmCalibrationClick() {
    Run([&] {
        GroupBox& box = m_.CalibrBox;
        box.visible = true;
        // The main window is narrow between test measurements; make room for the group.
        const int needed = box.geometry.left + box.geometry.width + 8;
        m_.window.width = std::max(m_.window.width, needed);
    });
}

// A click on the group itself, not on its controls, puts it away.
void Controller::CalibrBoxClick() {
    Run([&] { m_.CalibrBox.visible = false; });
}

void Controller::Edit1Change() {
    const std::optional<double> value = ParseReferenceValue(m_.Edit1.text);
    if (value) s_.CalibrationValue = *value;
    m_.bCalibr.enabled = value.has_value();
}

void Controller::bCalibrClick() {
    Run([&] {
        if (!m_.bCalibr.enabled) return;
        const std::vector<ClampedCorrection> clamped =
            ComputeCorrections(s_.calibration, s_.readings, s_.CalibrationValue);
        if (!clamped.empty()) {
            std::string text = Text(Msg::CorrectionsLimited);
            for (const ClampedCorrection& c : clamped)
                text += "\n" + Text(Msg::CorrectionLimited,
                                    {std::to_string(c.reading), SignedFixed2(c.wanted / 100.0),
                                     SignedFixed2(c.stored / 100.0)});
            ops_.ShowWarning(text);
        }
        SendCalibrationTable();
    });
}

// Request 61: entries 1..30. The logger's reply is not acted on.
void Controller::SendCalibrationTable() {
    s_.CurrentCommand = CommandCode::WriteCalibration;
    s_.SendCount = BuildCalibrationRequest(s_.calibration, s_.PacketBuffer);
    SendPacket();
}

}  // namespace qm
