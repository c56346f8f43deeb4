// The parameters dialog: the confirmation step between editing the schedule and writing it.
#include "core/Controller.h"
#include "measure/ParametersDialog.h"

namespace qm {

// Runs each time the dialog becomes the active window, so the current time and the count are
// recomputed every time.
void Controller::ParametersFormActivate() {
    ParametersModel& d = m_.Parameters;
    if (!d.window.visible) return;
    d.window.left = m_.window.left + 4;
    d.window.top = m_.GroupBox2.geometry.top;
    s_.CurrentDateTime = clock_.Now();
    FillParametersDialog(d, s_.schedule, s_.CurrentDateTime);
}

void Controller::ParametersActivateClick() {
    Run([&] { ParametersFormActivate(); });
}

void Controller::CloseParametersDialog() {
    m_.Parameters.window.visible = false;
    m_.window.enabled = true;
    ++m_.window.focusRequests;
}

// OK: back to the main window, then write the schedule.
void Controller::ParametersButton1Click() {
    Run([&] {
        if (!m_.Parameters.window.visible) return;
        CloseParametersDialog();
        SendSchedule();
    });
}

// Cancel and the close box: back to the main window; the edits stay red and bSet enabled.
void Controller::ParametersButton2Click() {
    Run([&] { CloseParametersDialog(); });
}

void Controller::ParametersCloseClick() {
    Run([&] { CloseParametersDialog(); });
}

}  // namespace qm
