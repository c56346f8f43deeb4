#include "session/DayCopy.h"

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/Catalogue.h"
#include "session/CopyProgress.h"
#include "session/CopySession.h"
#include "store/Catalogue.h"
#include "store/ValueLines.h"

namespace qm {

namespace C = CommandCode;

void DayCopy::Arm() {
    copy_.Lock();
    DayCopyMode_ = true;
    copy_.ResetCount();
}

void DayCopy::Disarm() {
    copy_.Unlock();
    DayCopyMode_ = false;
}

bool DayCopy::Copy(const std::string& directory, DateTime day) {
    if (catalogue_.CopyMustWait()) return false;
    const CivilDateTime date = day.ToCivil();
    const std::string path = directory + "\\" + MonthFileName(date.year, date.month);
    // Refused names leave the mode armed: it can be disarmed.
    if (!copy_.UsableAsLocalFolder(directory)) return false;
    if (!requests::NameFits(path)) {
        ctx_.Fail(Msg::PathTooLongNotCopied, {Cp1251ToUtf8(path)});
        return false;
    }
    ctx_.session.Report([](SessionEvents& e) { e.CopyStarting(CopyMode::Day); });
    SelectedDay_ = static_cast<std::uint16_t>(date.day);
    dayYear_ = date.year;
    dayMonth_ = date.month;
    restarts_ = 0;
    copy_.Aim(directory, path);
    progress_.BeginDay(day);
    copy_.CopyStarted(CopyMode::Day);
    ctx_.session.Report([](SessionEvents& e) { e.CopyBusy(true); });
    copy_.RequestOpenFile();
    return true;
}

void DayCopy::HandleDayLineReply() {
    const Reply r = ctx_.CurrentReply();
    const std::uint8_t status = r.Status();
    if (status == ReplyStatus::End) {
        // The monthly file has ended. After lines of the chosen day that is the day's end (the
        // last day of the month, or today), and the count stays shown.
        if (copy_.MeasurementCount() > 0) {
            FinishDayCopy();
        } else {
            copy_.CopyCompleted();
            copy_.FoundNoData();
        }
        return;
    }
    const std::string text = r.Text();
    if (copy_.MeasurementCount() == 0) {
        // The first line of the monthly file: the logger then looks for the day itself.
        if (status == ReplyStatus::Partial) {
            RequestDay();
        } else {
            copy_.CopyCompleted();  // a file of one line holds no measurement of any day
            ctx_.timers.Timer2.Start();
        }
        return;
    }
    if (IsHeaderLine(text)) {
        if (HeaderDay(text) != static_cast<int>(SelectedDay_)) {
            FinishDayCopy();  // the chosen day's measurements are over
            return;
        }
        copy_.CountMeasurement(text);
    }
    WriteDayLine(text, status);
}

void DayCopy::WriteDayLine(const std::string& text, std::uint8_t status) {
    copy_.WriteLine(text);
    if (status == ReplyStatus::Partial)
        copy_.RequestFirstValues();
    else
        FinishDayCopy();
}

void DayCopy::RequestDay() {
    ctx_.x.Send(requests::FindDay(static_cast<std::uint8_t>(SelectedDay_)));
}

void DayCopy::DayFoundReply() {
    // Only the one search of a running day copy opens its file; a late or repeated reply does not.
    if (!DayCopyMode_ || copy_.DataFileOpen()) return;
    const Reply r = ctx_.CurrentReply();
    const std::uint8_t status = r.Status();
    // Only these two say the day holds nothing; with any other status (the logger sends 249) the
    // text is the day's first header line.
    if (status == ReplyStatus::Complete || status == ReplyStatus::End) {
        copy_.CopyCompleted();
        copy_.FoundNoData();
        return;
    }
    const std::string text = r.Text();
    copy_.GuardCopy([&] {
        copy_.MakeCopyFolder();
        copy_.BeginLocalFile(DayFileName(dayYear_, dayMonth_, SelectedDay_));
        copy_.WriteLine(text);
        copy_.CountMeasurement(text);
        copy_.RequestFirstValues();
    });
}

bool DayCopy::RestartDay() {
    if (++restarts_ > kMostRestarts) return false;
    copy_.CloseLocalFiles();
    copy_.ResetCount();
    progress_.RestartDay();
    copy_.RequestOpenFile();
    return true;
}

void DayCopy::FinishDayCopy() {
    copy_.CommitLocalFile();
    copy_.CopyCompleted();
    ctx_.timers.Timer2.Start();
}

Transaction::Missed DayCopy::OnMissed(std::uint8_t code, int attempt) {
    return copy_.OnMissed(code, attempt);
}

bool DayCopy::OnGivenUp(std::uint8_t code, const SessionProblem& reason) {
    return copy_.OnGivenUp(code, reason);
}

void DayCopy::OnReply(std::uint8_t /*code*/) {
    DayFoundReply();  // -> 71 or none
}

}  // namespace qm
