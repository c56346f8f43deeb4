#include "core/ScheduleEditor.h"

#include <initializer_list>

#include "core/ParametersView.h"
#include "measure/ParametersDialog.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"

namespace qm {

void ScheduleEditor::Register(Handlers& h) {
    WindowModel& m = ctx_.m;
    for (const auto& entry :
         std::initializer_list<std::pair<const char*, Control*>>{{"TimeStart", &m.TimeStart},
                                                                 {"DateStart", &m.DateStart},
                                                                 {"TimeStop", &m.TimeStop},
                                                                 {"DateStop", &m.DateStop},
                                                                 {"DayEdit", &m.DayEdit},
                                                                 {"HourEdit", &m.HourEdit},
                                                                 {"MinEdit", &m.MinEdit}}) {
        // A plain variable: clang before 16 cannot capture a structured binding.
        Control* editor = entry.second;
        h.OnChange(entry.first, [this, editor] { ScheduleEditorChanged(*editor); });
    }
    h.OnClick("bCurrent1", [this] { bCurrent1Click(); });
    h.OnClick("bCurrent2", [this] { bCurrent2Click(); });
    h.OnClick("bSet", [this] { bSetClick(); });

    h.OnClick("Parameters.Activate", [this] { ParametersFormActivate(); });
    h.OnClick("Parameters.Button1", [this] { ParametersButton1Click(); });
    // Cancel and the close box: back to the main window; the edits stay red and bSet enabled.
    h.OnClick("Parameters.Button2", [this] { CloseParametersDialog(); });
    h.OnClick("Parameters.Close", [this] { CloseParametersDialog(); });
}

void ScheduleEditor::ScheduleReply() {
    ShowSchedule(ctx_.CurrentReply().Status() == ReplyStatus::Complete ? Colour::Navy
                                                                       : Colour::Black);
    if (!writeAsked_) return;
    // The read-back of a write: it confirms the write when it holds what was sent.
    writeAsked_ = false;
    const ScheduleDecodeResult back = DecodeSchedule(ctx_.CurrentReply());
    const MeasurementSchedule& s = schedule_;
    bool same = back.schedule.has_value();
    if (same) {
        const MeasurementSchedule& b = back.schedule->fields;
        same = b.StartMinute == s.StartMinute && b.StartHour == s.StartHour &&
               b.StartDay == s.StartDay && b.StartMonth == s.StartMonth &&
               b.StartYear == s.StartYear && b.StopMinute == s.StopMinute &&
               b.StopHour == s.StopHour && b.StopDay == s.StopDay && b.StopMonth == s.StopMonth &&
               b.StopYear == s.StopYear && b.IntervalMinutes == s.IntervalMinutes &&
               b.IntervalHours == s.IntervalHours && b.IntervalDays == s.IntervalDays;
    }
    ctx_.session.Report([same](SessionEvents& e) { e.WriteEnded(LoggerWrite::Schedule, same); });
}

void ScheduleEditor::GaveUp() {
    if (!writeAsked_) return;
    writeAsked_ = false;
    ctx_.session.Report([](SessionEvents& e) { e.WriteEnded(LoggerWrite::Schedule, false); });
}

void ScheduleEditor::ScheduleWrittenReply() {
    ctx_.m.bSet.enabled = false;
    ctx_.x.Send(requests::Plain(CommandCode::ReadSchedule));
}

void ScheduleEditor::ShowSchedule(Colour colour) {
    WindowModel& m = ctx_.m;
    const ScheduleDecodeResult decoded = DecodeSchedule(ctx_.CurrentReply());
    if (!decoded.schedule) {
        // Tell the operator which field was wrong and leave the editors as they were; the
        // read-out goes on.
        if (decoded.fault) ctx_.ops.ShowError(decoded.fault->Text(ctx_.CurrentLanguage()));
        return;
    }
    const DecodedSchedule& d = *decoded.schedule;
    ctx_.session.MutableLogger().schedule = d;
    // The values captured by bSet belong to the dialog, not to the reply.
    MeasurementSchedule& s = schedule_;
    const DateTime startTime = s.StartTime, startDate = s.StartDate;
    const DateTime stopTime = s.StopTime, stopDate = s.StopDate;
    s = d.fields;
    s.StartTime = startTime;
    s.StartDate = startDate;
    s.StopTime = stopTime;
    s.StopDate = stopDate;

    ctx_.SetDateTimeValue("TimeStart", m.TimeStart, d.startTime);
    ctx_.SetDateTimeValue("TimeStop", m.TimeStop, d.stopTime);
    ctx_.SetDateTimeValue("DateStart", m.DateStart, d.startDate);
    ctx_.SetDateTimeValue("DateStop", m.DateStop, d.stopDate);
    ctx_.SetSpinValue("DayEdit", m.DayEdit, d.fields.IntervalDays);
    ctx_.SetSpinValue("HourEdit", m.HourEdit, d.fields.IntervalHours);
    ctx_.SetSpinValue("MinEdit", m.MinEdit, d.fields.IntervalMinutes);
    // After the change handlers, so the reply's colour wins.
    for (Control* c :
         std::initializer_list<Control*>{&m.TimeStart, &m.TimeStop, &m.DateStart, &m.DateStop,
                                         &m.DayEdit, &m.HourEdit, &m.MinEdit})
        c->fontColour = colour;
}

// An edited value is not yet on the logger. During the read-out the program's own updates must
// not offer bSet.
void ScheduleEditor::ScheduleEditorChanged(Control& editor) {
    editor.fontColour = Colour::Red;
    ctx_.m.bSet.enabled = !sequence_.ReadingOut();
}

// The PC's date, then its time of day, into the start (bCurrent1) or stop (bCurrent2) editors.
void ScheduleEditor::bCurrent1Click() {
    const DateTime now = ctx_.clock.Now();
    ctx_.SetDateTimeValue("DateStart", ctx_.m.DateStart, now.DatePart());
    ctx_.SetDateTimeValue("TimeStart", ctx_.m.TimeStart, now.TimeOfDay());
}

void ScheduleEditor::bCurrent2Click() {
    const DateTime now = ctx_.clock.Now();
    ctx_.SetDateTimeValue("DateStop", ctx_.m.DateStop, now.DatePart());
    ctx_.SetDateTimeValue("TimeStop", ctx_.m.TimeStop, now.TimeOfDay());
}

// Captures the editors and asks for confirmation in the parameters dialog, which stands in for a
// modal window: the main window is disabled until the dialog closes. Nothing is sent here.
void ScheduleEditor::bSetClick() {
    WindowModel& m = ctx_.m;
    if (!m.bSet.enabled) return;
    const ScheduleEditors editors{m.TimeStart.value, m.DateStart.value, m.TimeStop.value,
                                  m.DateStop.value,  m.DayEdit.value,   m.HourEdit.value,
                                  m.MinEdit.value};
    if (CaptureSchedule(schedule_, editors)) ctx_.SetSpinValue("MinEdit", m.MinEdit, 1);
    m.Parameters.window.visible = true;
    ++m.Parameters.window.focusRequests;
    m.window.enabled = false;
    // Showing the dialog activates it.
    ParametersFormActivate();
}

// Runs each time the dialog becomes the active window, so the current time and the count are
// recomputed every time.
void ScheduleEditor::ParametersFormActivate() {
    WindowModel& m = ctx_.m;
    ParametersModel& d = m.Parameters;
    if (!d.window.visible) return;
    d.window.left = m.window.left + 4;
    d.window.top = m.GroupBox2.geometry.top;
    CurrentDateTime_ = ctx_.clock.Now();
    FillParametersDialog(d, schedule_, CurrentDateTime_);
}

void ScheduleEditor::CloseParametersDialog() {
    ctx_.m.Parameters.window.visible = false;
    ctx_.m.window.enabled = true;
    ++ctx_.m.window.focusRequests;
}

// OK: back to the main window, then write the schedule.
void ScheduleEditor::ParametersButton1Click() {
    if (!ctx_.m.Parameters.window.visible) return;
    CloseParametersDialog();
    SendSchedule();
}

// Request 51: the schedule as captured by bSet. Its reply reads the schedule back (row 51).
void ScheduleEditor::SendSchedule() {
    writeAsked_ = true;
    ctx_.x.Send(ScheduleRequest(schedule_));
}

void ScheduleEditor::OnReply(std::uint8_t code) {
    if (code == CommandCode::WriteSchedule) {
        ScheduleWrittenReply();  // -> 50
        return;
    }
    ScheduleReply();
    sequence_.ContinueWithBattery();  // -> 52 while reading out
}

}  // namespace qm
