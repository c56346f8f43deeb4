// The measurement schedule: read from the logger (row 50), edited in the schedule group, reviewed
// in the parameters dialog and written back (request 51, then read back by row 51).
#include <initializer_list>

#include "core/Controller.h"
#include "measure/Schedule.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

// Row 50: a complete reply is confirmed (navy); any other status is shown all the same (black).
void Controller::ScheduleReply() {
    ShowSchedule(CurrentReply().Status() == ReplyStatus::Complete ? Colour::Navy : Colour::Black);
    ContinueWithBattery();
}

// Row 51: whatever the logger says, read the schedule back so the window shows what it holds.
void Controller::ScheduleWrittenReply() {
    m_.bSet.enabled = false;
    SendCommand(CommandCode::ReadSchedule);
}

void Controller::ShowSchedule(Colour colour) {
    const ScheduleDecodeResult decoded = DecodeSchedule(CurrentReply());
    if (!decoded.schedule) {
        // Tell the operator which field was wrong and leave the editors as they were; the
        // read-out goes on.
        if (decoded.fault) ops_.ShowError(decoded.fault->Text(IsEnglish()));
        return;
    }
    const DecodedSchedule& d = *decoded.schedule;
    // The values captured by bSet belong to the dialog, not to the reply.
    MeasurementSchedule& s = s_.schedule;
    const DateTime startTime = s.StartTime, startDate = s.StartDate;
    const DateTime stopTime = s.StopTime, stopDate = s.StopDate;
    s = d.fields;
    s.StartTime = startTime;
    s.StartDate = startDate;
    s.StopTime = stopTime;
    s.StopDate = stopDate;

    SetDateTimeValue("TimeStart", m_.TimeStart, d.startTime);
    SetDateTimeValue("TimeStop", m_.TimeStop, d.stopTime);
    SetDateTimeValue("DateStart", m_.DateStart, d.startDate);
    SetDateTimeValue("DateStop", m_.DateStop, d.stopDate);
    SetSpinValue("DayEdit", m_.DayEdit, d.fields.IntervalDays);
    SetSpinValue("HourEdit", m_.HourEdit, d.fields.IntervalHours);
    SetSpinValue("MinEdit", m_.MinEdit, d.fields.IntervalMinutes);
    // After the change handlers, so the reply's colour wins.
    for (Control* c :
         std::initializer_list<Control*>{&m_.TimeStart, &m_.TimeStop, &m_.DateStart, &m_.DateStop,
                                         &m_.DayEdit, &m_.HourEdit, &m_.MinEdit})
        c->fontColour = colour;
}

// An edited value is not yet on the logger. During the read-out the program's own updates must
// not offer bSet.
void Controller::ScheduleEditorChanged(Control& editor) {
    editor.fontColour = Colour::Red;
    m_.bSet.enabled = !s_.InitialSequence;
}

void Controller::TimeStartChange() {
    ScheduleEditorChanged(m_.TimeStart);
}
void Controller::DateStartChange() {
    ScheduleEditorChanged(m_.DateStart);
}
void Controller::TimeStopChange() {
    ScheduleEditorChanged(m_.TimeStop);
}
void Controller::DateStopChange() {
    ScheduleEditorChanged(m_.DateStop);
}
void Controller::DayEditChange() {
    ScheduleEditorChanged(m_.DayEdit);
}
void Controller::HourEditChange() {
    ScheduleEditorChanged(m_.HourEdit);
}
void Controller::MinEditChange() {
    ScheduleEditorChanged(m_.MinEdit);
}

// The PC's date, then its time of day, into the start (bCurrent1) or stop (bCurrent2) editors.
void Controller::bCurrent1Click() {
    Run([&] {
        const DateTime now = clock_.Now();
        SetDateTimeValue("DateStart", m_.DateStart, now.DatePart());
        SetDateTimeValue("TimeStart", m_.TimeStart, now.TimeOfDay());
    });
}

void Controller::bCurrent2Click() {
    Run([&] {
        const DateTime now = clock_.Now();
        SetDateTimeValue("DateStop", m_.DateStop, now.DatePart());
        SetDateTimeValue("TimeStop", m_.TimeStop, now.TimeOfDay());
    });
}

// Captures the editors and asks for confirmation in the parameters dialog, which stands in for a
// modal window: the main window is disabled until the dialog closes. Nothing is sent here.
void Controller::bSetClick() {
    Run([&] {
        if (!m_.bSet.enabled) return;
        const ScheduleEditors editors{m_.TimeStart.value, m_.DateStart.value, m_.TimeStop.value,
                                      m_.DateStop.value,  m_.DayEdit.value,   m_.HourEdit.value,
                                      m_.MinEdit.value};
        if (CaptureSchedule(s_.schedule, editors)) SetSpinValue("MinEdit", m_.MinEdit, 1);
        m_.Parameters.window.visible = true;
        ++m_.Parameters.window.focusRequests;
        m_.window.enabled = false;
        // Showing the dialog activates it.
        ParametersFormActivate();
    });
}

// Request 51: the schedule as captured by bSet. Its reply reads the schedule back (row 51).
void Controller::SendSchedule() {
    s_.CurrentCommand = CommandCode::WriteSchedule;
    s_.SendCount = BuildScheduleRequest(s_.schedule, s_.PacketBuffer);
    SendPacket();
}

}  // namespace qm
