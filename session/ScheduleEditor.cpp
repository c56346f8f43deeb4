#include "session/ScheduleEditor.h"

#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"

namespace qm {

bool ScheduleEditor::Capture(const ScheduleEditors& editors) {
    return CaptureSchedule(schedule_, editors);
}

void ScheduleEditor::Write() {
    ctx_.session.Report([](SessionEvents& e) { e.ScheduleWriting(); });
    writeAsked_ = true;
    ctx_.x.Send(ScheduleRequest(schedule_));
}

void ScheduleEditor::ScheduleReply() {
    const bool complete = ctx_.CurrentReply().Status() == ReplyStatus::Complete;
    const ScheduleDecodeResult decoded = DecodeSchedule(ctx_.CurrentReply());
    if (decoded.schedule) {
        const DecodedSchedule& d = *decoded.schedule;
        ctx_.Logger().schedule = d;
        // The values captured for a write are not the reply's.
        MeasurementSchedule& s = schedule_;
        const DateTime startTime = s.StartTime, startDate = s.StartDate;
        const DateTime stopTime = s.StopTime, stopDate = s.StopDate;
        s = d.fields;
        s.StartTime = startTime;
        s.StartDate = startDate;
        s.StopTime = stopTime;
        s.StopDate = stopDate;
        ctx_.session.Report([complete](SessionEvents& e) { e.ScheduleRead(complete); });
    } else if (decoded.fault) {
        // The field that was wrong; the read-out goes on.
        SessionProblem p;
        p.message = Msg::ScheduleInvalid;
        p.words = {decoded.fault->field};
        p.args = {decoded.fault->value};
        p.request = CommandCode::ReadSchedule;
        ctx_.Tell(std::move(p));
    }
    if (!writeAsked_) return;
    // The read-back of a write: it confirms the write when it holds what was sent.
    writeAsked_ = false;
    const MeasurementSchedule& s = schedule_;
    bool same = decoded.schedule.has_value();
    if (same) {
        const MeasurementSchedule& b = decoded.schedule->fields;
        same = b.StartMinute == s.StartMinute && b.StartHour == s.StartHour &&
               b.StartDay == s.StartDay && b.StartMonth == s.StartMonth &&
               b.StartYear == s.StartYear && b.StopMinute == s.StopMinute &&
               b.StopHour == s.StopHour && b.StopDay == s.StopDay && b.StopMonth == s.StopMonth &&
               b.StopYear == s.StopYear && b.IntervalMinutes == s.IntervalMinutes &&
               b.IntervalHours == s.IntervalHours && b.IntervalDays == s.IntervalDays;
    }
    ctx_.session.Report([same](SessionEvents& e) { e.WriteEnded(LoggerWrite::Schedule, same); });
}

bool ScheduleEditor::OnGivenUp(std::uint8_t /*code*/, const SessionProblem& /*reason*/) {
    if (!writeAsked_) return false;
    writeAsked_ = false;
    ctx_.session.Report([](SessionEvents& e) { e.WriteEnded(LoggerWrite::Schedule, false); });
    return false;
}

void ScheduleEditor::ScheduleWrittenReply() {
    ctx_.session.Report([](SessionEvents& e) { e.ScheduleWritten(); });
    ctx_.x.Send(requests::Plain(CommandCode::ReadSchedule));
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
