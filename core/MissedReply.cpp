// What a missed reply does, as the row of its code in the dispatcher table (session/Dispatcher)
// says. Each request that is answered arms the reply watchdog; when it fires, the request is tried
// again in the way its kind allows, never losing or repeating data: reads are sent again,
// sequences start over from their first request, a copy reopens its file after the last complete
// line, and writes are read back rather than repeated. After kReplyRetries retries, and not before
// kGiveUpAfterMs since the request first went out, the step gives up, tells the operator what did
// not answer, and leaves the window usable and the local files complete.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "session/Dispatcher.h"

namespace qm {

namespace C = CommandCode;

using dispatch::Part;
using dispatch::Retry;

void Controller::ShowRetry(int attempt) {
    Label& l = m_.lRetry;
    if (attempt <= 0) {
        l.visible = false;
        return;
    }
    l.caption =
        ctx_.Text(Msg::RetryCaption, {std::to_string(attempt), std::to_string(kReplyRetries)});
    l.visible = true;
}

void Controller::ReplyTimerTimer() {
    session_.Timers().ReplyTimer.Stop();
    // The once-a-second identification of the radio modem repeats by itself.
    if (x_.Outstanding && radio_.Repeating()) return;
    if (copy_.StopRequested() && x_.Holding()) {
        // The stopped copy's next request has not gone out: it never will.
        x_.DropHeld();
        ShowRetry(0);
        copy_.FinishStopped();
        return;
    }
    // A PC that paused past the wait may find the reply in the port already, its announcement
    // still queued behind this tick: what the port holds is read before the reply is missed. A
    // read that fails here is the announcement's to report; the reply is judged missed.
    if (x_.SerialLinkActive && x_.Outstanding && !x_.Holding()) {
        const long answers = x_.Tally().answers;
        bool whole = false;
        try {
            whole = x_.TakeSerialBytes(SerialReplyAssembler::kMaxRead);
        } catch (const SerialPortError&) {
        }
        if (whole) {
            ReplyReceived();
            while (x_.TakeSurplus()) ReplyReceived();
        }
        if (x_.Tally().answers != answers) return;
    }
    if (x_.WatchdogFired() != Exchange::Tick::Missed) return;
    const std::uint8_t code = x_.CurrentCommand;
    if (copy_.StopRequested()) {
        // The stopped copy's last reply did not come: nothing is asked again.
        x_.Abandon(false);
        x_.MissedReplies = 0;
        ShowRetry(0);
        copy_.FinishStopped();
        return;
    }
    const int missed = x_.MissedReplies + 1;
    if (missed > kReplyRetries) {
        // A logger that pauses for a few seconds is not given up on by quick misses: the last
        // retry is waited for until the request has had kGiveUpAfterMs.
        if (x_.ExtendWait(kGiveUpAfterMs - x_.SinceFirstSendMs())) return;
        x_.Abandon(false);
        x_.MissedReplies = 0;
        ShowRetry(0);
        GiveUpRequest(code);
        return;
    }
    x_.Abandon();
    ShowRetry(missed);
    if (dispatch::For(code).retry == Retry::Copy || copy_.ListingFiles()) tally_.Retried();
    RetryRequest(code);
    // The retry counts on: the reply to it clears the count.
    x_.MissedReplies = missed;
}

void Controller::RetryRequest(std::uint8_t code) {
    const dispatch::Row rule = dispatch::For(code);
    switch (rule.retry) {
        case Retry::Resend:
            x_.Send(x_.LastRequest);
            break;
        case Retry::ResendToAdapter:
            x_.SendToAdapter(x_.LastRequest);
            break;
        case Retry::CalibrationBlocks:
            x_.Send(requests::Plain(C::ReadCalibration));
            break;
        case Retry::Listing:
            catalogue_.RestartListing();
            break;
        case Retry::Readings:
            test_.RestartReadings();
            break;
        case Retry::ReadBack:
            x_.Send(requests::Plain(rule.readBack));
            break;
        case Retry::Relist:
            catalogue_.DeleteReply();
            break;
        case Retry::Copy:
            if (day_.Active() ? !day_.RestartDay() : !copy_.ResumeAfterMissedReply())
                GiveUpRequest(code);  // nothing to resume, or started again too often
            break;
    }
}

std::string Controller::WhatDidNotAnswer(std::uint8_t code) const {
    const Msg what = dispatch::For(code).what;
    if (what == Msg::WhatCopy) return ctx_.Text(what, {Cp1251ToUtf8(copy_.Files().RequestPath)});
    return ctx_.Text(what);
}

std::string Controller::LinkInWords() const {
    if (radio_.RadioModemLink()) return ctx_.Text(Msg::LinkRadio);
    if (bt_.BtModemLink()) return ctx_.Text(Msg::LinkBluetooth);
    if (x_.SerialLinkActive) return ctx_.Text(Msg::LinkSerial, {x_.PortName});
    return ctx_.Text(Msg::LinkUsb);
}

void Controller::GiveUpRequest(std::uint8_t code) {
    const std::string text = ctx_.Text(Msg::NoReply, {WhatDidNotAnswer(code), LinkInWords()});
    deferredClick_.clear();  // it would meet the same silence
    sequence_.GiveUp();
    if (dispatch::For(code).retry == Retry::Copy || copy_.ListingFiles()) {
        // Drops the unfinished file; the finishing step gives the data group back. The resume
        // record still names the last file that was completed.
        copy_.FailCopy(Msg::NoReply, {WhatDidNotAnswer(code), LinkInWords()});
        return;
    }
    switch (dispatch::For(code).awaiter) {
        case Part::Test:
            test_.GiveUp();
            break;
        case Part::Catalogue:
            catalogue_.DeleteGaveUp();
            break;
        case Part::Schedule:
            schedule_.GaveUp();
            break;
        case Part::Remarks:
            remarks_.GaveUp();
            break;
        case Part::Clock:
            if (m_.bSynch.visible) m_.bSynch.enabled = true;
            clock_.GaveUp();
            break;
        default:
            break;
    }
    ctx_.StopBusyIndicator();
    radio_.GaveUp();
    ops_.ShowError(text);
}

}  // namespace qm
