// Calibration: the operator types the value every sensor should have read in the last test
// measurement; the corrections that bring each reading there are written to the logger.
#include <algorithm>
#include <cstdio>

#include "core/Controller.h"
#include "measure/Calibration.h"
#include "protocol/CommandCode.h"

namespace qm {

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
            std::string text =
                "Some corrections are beyond what the logger can hold and are "
                "limited to it:";
            for (const ClampedCorrection& c : clamped) {
                char line[128];
                std::snprintf(line, sizeof line, "\nreading %d: %+.2f is written as %+.2f",
                              c.reading, c.wanted / 100.0, c.stored / 100.0);
                text += line;
            }
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
