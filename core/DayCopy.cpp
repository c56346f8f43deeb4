#include "core/DayCopy.h"

#include "core/CopySession.h"
#include "core/DirectoryView.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/Catalogue.h"
#include "session/CopyProgress.h"
#include "store/Catalogue.h"
#include "store/ValueLines.h"

namespace qm {

namespace C = CommandCode;

void DayCopy::Register(Handlers& h) {
    h.OnClick("bSelect", [this] { bSelectClick(); });
    h.OnClick("bCancel", [this] { bCancelClick(); });
    h.OnClick("bCopy", [this] { bCopyClick(); });
}

void DayCopy::bSelectClick() {
    WindowModel& m = ctx_.m;
    // A click that waited for a reply can come after a relisting found no directory: the data
    // group is hidden with its cancel button, and the mode would leave the window locked.
    if (!SelectedDirectory(ctx_.m, catalogue_.DirectoryNames())) return;
    copy_.LockForCopy();
    for (Button* b : {&m.bAllData, &m.bNewData, &m.bSelect, &m.bDelete}) b->visible = false;
    m.bCopy.visible = true;
    m.bCopy.enabled = true;
    m.bCancel.visible = true;
    m.DateData.visible = true;
    DayCopyMode_ = true;
    copy_.ResetCount();
}

void DayCopy::bCancelClick() {
    WindowModel& m = ctx_.m;
    m.bCancel.visible = false;
    m.bCopy.visible = false;
    m.DateData.visible = false;
    for (Button* b : {&m.bAllData, &m.bNewData, &m.bSelect}) {
        b->visible = true;
        b->enabled = true;
    }
    m.bDelete.visible = true;
    copy_.UnlockAfterCopy();
    DayCopyMode_ = false;
}

void DayCopy::bCopyClick() {
    WindowModel& m = ctx_.m;
    const std::string* dir = SelectedDirectory(ctx_.m, catalogue_.DirectoryNames());
    if (!dir || catalogue_.CopyMustWait()) return;
    const CivilDateTime date = m.DateData.value.ToCivil();
    const std::string path = *dir + "\\" + MonthFileName(date.year, date.month);
    // Refused names leave the mode armed: the operator can cancel it.
    if (!copy_.UsableAsLocalFolder(*dir)) return;
    if (!requests::NameFits(path)) {
        ctx_.ops.ShowError(ctx_.Text(Msg::PathTooLongNotCopied, {Cp1251ToUtf8(path)}));
        return;
    }
    m.bCopy.enabled = false;
    m.bCancel.enabled = false;
    // While the day is copied, Stop takes Cancel's place.
    m.bCancel.visible = false;
    m.bStop.visible = true;
    m.bStop.enabled = true;
    SelectedDay_ = static_cast<std::uint16_t>(date.day);
    dayYear_ = date.year;
    dayMonth_ = date.month;
    restarts_ = 0;
    copy_.Aim(*dir, path);
    progress_.BeginDay(m.DateData.value);
    copy_.CopyStarted(CopyMode::Day);
    ctx_.StartBusyIndicator();
    copy_.RequestOpenFile();
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
            copy_.ShowNoData();
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
        copy_.ShowNoData();
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

void DayCopy::OnReply(std::uint8_t /*code*/) {
    DayFoundReply();  // -> 71 or none
}

}  // namespace qm
