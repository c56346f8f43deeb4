#include "core/SchedulePresenter.h"

#include <initializer_list>
#include <tuple>
#include <utility>

#include "core/ParametersView.h"
#include "session/ConnectionSequence.h"

namespace qm {

void SchedulePresenter::Register(Handlers& h) {
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

void SchedulePresenter::ScheduleRead(bool confirmed) {
    WindowModel& m = ctx_.m;
    const DecodedSchedule& d = *ctx_.session.Logger().schedule;
    ctx_.SetDateTimeValue("TimeStart", m.TimeStart, d.startTime);
    ctx_.SetDateTimeValue("TimeStop", m.TimeStop, d.stopTime);
    ctx_.SetDateTimeValue("DateStart", m.DateStart, d.startDate);
    ctx_.SetDateTimeValue("DateStop", m.DateStop, d.stopDate);
    ctx_.SetSpinValue("DayEdit", m.DayEdit, d.fields.IntervalDays);
    ctx_.SetSpinValue("HourEdit", m.HourEdit, d.fields.IntervalHours);
    ctx_.SetSpinValue("MinEdit", m.MinEdit, d.fields.IntervalMinutes);
    // After the change handlers, so the reply's colour wins.
    const Colour colour = confirmed ? Colour::Navy : Colour::Black;
    for (Control* c :
         std::initializer_list<Control*>{&m.TimeStart, &m.TimeStop, &m.DateStart, &m.DateStop,
                                         &m.DayEdit, &m.HourEdit, &m.MinEdit})
        c->fontColour = colour;
}

// The editors show what is written: those that do not hold it already (a write not asked for
// through them) take it, as an edit not yet confirmed.
void SchedulePresenter::ScheduleWriting() {
    WindowModel& m = ctx_.m;
    const MeasurementSchedule& s = schedule_.Schedule();
    for (const auto& [name, editor, value] :
         {std::tuple<const char*, DateTimeEdit*, DateTime>{"DateStart", &m.DateStart, s.StartDate},
          {"TimeStart", &m.TimeStart, s.StartTime},
          {"DateStop", &m.DateStop, s.StopDate},
          {"TimeStop", &m.TimeStop, s.StopTime}}) {
        const bool isDate = editor == &m.DateStart || editor == &m.DateStop;
        const DateTime shown = isDate ? editor->value.DatePart() : editor->value.TimeOfDay();
        if (shown != value) ctx_.SetDateTimeValue(name, *editor, value);
    }
    ctx_.SetSpinValue("DayEdit", m.DayEdit, s.IntervalDays);
    ctx_.SetSpinValue("HourEdit", m.HourEdit, s.IntervalHours);
    ctx_.SetSpinValue("MinEdit", m.MinEdit, s.IntervalMinutes);
}

void SchedulePresenter::ScheduleWritten() {
    ctx_.m.bSet.enabled = false;
}

// An edited value is not yet on the logger. During the read-out the program's own updates must
// not offer bSet.
void SchedulePresenter::ScheduleEditorChanged(Control& editor) {
    editor.fontColour = Colour::Red;
    ctx_.m.bSet.enabled = !sequence_.ReadingOut();
}

// The PC's date, then its time of day, into the start (bCurrent1) or stop (bCurrent2) editors.
void SchedulePresenter::bCurrent1Click() {
    const DateTime now = ctx_.clock.Now();
    ctx_.SetDateTimeValue("DateStart", ctx_.m.DateStart, now.DatePart());
    ctx_.SetDateTimeValue("TimeStart", ctx_.m.TimeStart, now.TimeOfDay());
}

void SchedulePresenter::bCurrent2Click() {
    const DateTime now = ctx_.clock.Now();
    ctx_.SetDateTimeValue("DateStop", ctx_.m.DateStop, now.DatePart());
    ctx_.SetDateTimeValue("TimeStop", ctx_.m.TimeStop, now.TimeOfDay());
}

// Captures the editors and asks for confirmation in the parameters dialog, which stands in for a
// modal window: the main window is disabled until the dialog closes. Nothing is sent here.
void SchedulePresenter::bSetClick() {
    WindowModel& m = ctx_.m;
    if (!m.bSet.enabled) return;
    const ScheduleEditors editors{m.TimeStart.value, m.DateStart.value, m.TimeStop.value,
                                  m.DateStop.value,  m.DayEdit.value,   m.HourEdit.value,
                                  m.MinEdit.value};
    if (schedule_.Capture(editors)) ctx_.SetSpinValue("MinEdit", m.MinEdit, 1);
    m.Parameters.window.visible = true;
    ++m.Parameters.window.focusRequests;
    m.window.enabled = false;
    // Showing the dialog activates it.
    ParametersFormActivate();
}

// Runs each time the dialog becomes the active window, so the current time and the count are
// recomputed every time.
void SchedulePresenter::ParametersFormActivate() {
    WindowModel& m = ctx_.m;
    ParametersModel& d = m.Parameters;
    if (!d.window.visible) return;
    d.window.left = m.window.left + 4;
    d.window.top = m.GroupBox2.geometry.top;
    CurrentDateTime_ = ctx_.clock.Now();
    FillParametersDialog(d, schedule_.Schedule(), CurrentDateTime_);
}

void SchedulePresenter::CloseParametersDialog() {
    ctx_.m.Parameters.window.visible = false;
    ctx_.m.window.enabled = true;
    ++ctx_.m.window.focusRequests;
}

// OK: back to the main window, then write the schedule.
void SchedulePresenter::ParametersButton1Click() {
    if (!ctx_.m.Parameters.window.visible) return;
    CloseParametersDialog();
    schedule_.Write();
}

}  // namespace qm
