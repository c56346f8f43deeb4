// What a missed reply does. Each request that is answered arms the reply watchdog; when it fires,
// the request is tried again in the way its kind allows, never losing or repeating data: reads
// are sent again, sequences start over from their first request, a copy reopens its file after
// the last complete line, and writes are read back rather than repeated. After kReplyAttempts
// attempts in a row the step gives up, tells the operator what did not answer, and leaves the
// window usable and the local files complete.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"

namespace qm {

namespace C = CommandCode;

namespace {
bool CopyRequest(std::uint8_t code) {
    switch (code) {
        case C::OpenFile:
        case C::NextLine:
        case C::ResumeFile:
        case C::FindDay:
        case C::FirstValues:
        case C::NextValues:
            return true;
        default:
            return false;
    }
}
}  // namespace

void Controller::ShowRetry(int attempt) {
    Label& l = m_.lRetry;
    if (attempt <= 0) {
        l.visible = false;
        return;
    }
    l.caption =
        ctx_.Text(Msg::RetryCaption, {std::to_string(attempt), std::to_string(kReplyAttempts)});
    l.visible = true;
}

void Controller::ReplyTimerTimer() {
    m_.ReplyTimer.Stop();
    if (!x_.Outstanding) return;
    // The once-a-second identification of the radio modem repeats by itself.
    if (radio_.Repeating()) return;
    const std::uint8_t code = x_.CurrentCommand;
    x_.ForgetRequest();
    if (copy_.StopRequested()) {
        // The stopped copy's last reply did not come: nothing is asked again.
        x_.MissedReplies = 0;
        ShowRetry(0);
        copy_.FinishStopped();
        return;
    }
    const int missed = ++x_.MissedReplies;
    if (missed >= kReplyAttempts) {
        x_.MissedReplies = 0;
        ShowRetry(0);
        GiveUpRequest(code);
        return;
    }
    ShowRetry(missed + 1);
    RetryRequest(code);
    // The retry counts on: the reply to it clears the count.
    x_.MissedReplies = missed;
}

void Controller::RetryRequest(std::uint8_t code) {
    switch (code) {
        case C::LinkKindQuery:
        case C::ModemMode:
            x_.SendToAdapter(x_.LastRequest);
            break;
        case C::ReadCalibrationNext:
            // The blocks are numbered by the logger: start over from the first.
            x_.Send(requests::Plain(C::ReadCalibration));
            break;
        case C::ListFirst:
        case C::ListNext:
            catalogue_.RestartListing();
            break;
        case C::StartTest:
        case C::NextReadings:
            test_.RestartReadings();
            break;
        case C::SetClock:
            // Whether the clock took is seen in the reading; a bad one is set again there.
            x_.Send(requests::Plain(C::ReadClock));
            break;
        case C::WriteSchedule:
            x_.Send(requests::Plain(C::ReadSchedule));
            break;
        case C::WriteRemarks:
            x_.Send(requests::Plain(C::ReadRemarks));
            break;
        case C::DeleteDirectory:
            // Gone or not, the listing shows what is left.
            catalogue_.DeleteReply();
            break;
        case C::OpenFile:
        case C::NextLine:
        case C::ResumeFile:
        case C::FindDay:
        case C::FirstValues:
        case C::NextValues:
            if (day_.Active())
                day_.RestartDay();
            else if (!copy_.ResumeAfterMissedReply())
                GiveUpRequest(code);  // no file to resume: nothing can be asked again
            break;
        default:
            // Reads that change nothing on the logger: 0, 16, 48, 50, 52, 60, 131, 144.
            x_.Send(x_.LastRequest);
            break;
    }
}

std::string Controller::WhatDidNotAnswer(std::uint8_t code) const {
    switch (code) {
        case C::Identify:
            return ctx_.Text(Msg::WhatIdentify);
        case C::LineValue:
            return ctx_.Text(Msg::WhatLineValue);
        case C::ReadClock:
        case C::SetClock:
            return ctx_.Text(Msg::WhatClock);
        case C::ReadSchedule:
        case C::WriteSchedule:
            return ctx_.Text(Msg::WhatSchedule);
        case C::ReadBattery:
            return ctx_.Text(Msg::WhatBattery);
        case C::ReadCalibration:
        case C::ReadCalibrationNext:
            return ctx_.Text(Msg::WhatCalibration);
        case C::ListFirst:
        case C::ListNext:
            return ctx_.Text(Msg::WhatListing);
        case C::StartTest:
        case C::NextReadings:
            return ctx_.Text(Msg::WhatTest);
        case C::ReadRemarks:
        case C::WriteRemarks:
            return ctx_.Text(Msg::WhatRemarks);
        case C::DeleteDirectory:
            return ctx_.Text(Msg::WhatDelete);
        case C::OpenFile:
        case C::NextLine:
        case C::ResumeFile:
        case C::FindDay:
        case C::FirstValues:
        case C::NextValues:
            return ctx_.Text(Msg::WhatCopy, {Cp1251ToUtf8(copy_.Files().RequestPath)});
        default:
            return ctx_.Text(Msg::WhatModem);
    }
}

std::string Controller::LinkInWords() const {
    if (radio_.RadioModemLink()) return ctx_.Text(Msg::LinkRadio);
    if (bt_.BtModemLink()) return ctx_.Text(Msg::LinkBluetooth);
    if (x_.SerialLinkActive) return ctx_.Text(Msg::LinkSerial, {x_.PortName});
    return ctx_.Text(Msg::LinkUsb);
}

void Controller::GiveUpRequest(std::uint8_t code) {
    const std::string text = ctx_.Text(Msg::NoReply, {WhatDidNotAnswer(code), LinkInWords()});
    sequence_.GiveUp();
    if (CopyRequest(code) || copy_.ListingFiles()) {
        // Drops the unfinished file; the finishing step gives the data group back. The resume
        // record still names the last file that was completed.
        copy_.FailCopy(text);
        return;
    }
    switch (code) {
        case C::StartTest:
        case C::NextReadings:
            test_.GiveUp();
            break;
        case C::ReadClock:
        case C::SetClock:
            if (m_.bSynch.visible) m_.bSynch.enabled = true;
            break;
        default:
            break;
    }
    ctx_.StopBusyIndicator();
    if (radio_.RadioModemLink()) m_.bRStart.enabled = true;
    ops_.ShowError(text);
}

}  // namespace qm
