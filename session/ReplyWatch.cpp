#include "session/ReplyWatch.h"

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "session/BtModemDialogue.h"
#include "session/Catalogue.h"
#include "session/ConnectionSequence.h"
#include "session/CopySession.h"
#include "session/CopyTally.h"
#include "session/DayCopy.h"
#include "session/DeviceClock.h"
#include "session/Dispatcher.h"
#include "session/RadioModem.h"
#include "session/RemarksEditor.h"
#include "session/ScheduleEditor.h"
#include "session/TestMeasurement.h"

namespace qm {

namespace C = CommandCode;

using dispatch::Part;
using dispatch::Retry;

void ReplyWatch::TellRetry(int attempt) {
    ctx_.session.Report([attempt](SessionEvents& e) { e.ReplyRetrying(attempt); });
}

void ReplyWatch::Received() {
    Exchange& x = ctx_.x;
    if (x.Judge() != Exchange::Verdict::Answer) return;
    TellRetry(0);
    // While a stopped copy awaits its last reply nothing else can have been asked: the reply is
    // that one, and it is not used.
    if (p_.copy.StopRequested()) {
        p_.copy.FinishStopped();
        return;
    }
    x.Deliver();
}

void ReplyWatch::WatchdogTick() {
    Exchange& x = ctx_.x;
    ctx_.timers.ReplyTimer.Stop();
    // The once-a-second identification of the radio modem repeats by itself.
    if (x.Outstanding && p_.radio.Repeating()) return;
    if (p_.copy.StopRequested() && x.Holding()) {
        // The stopped copy's next request has not gone out: it never will.
        x.DropHeld();
        TellRetry(0);
        p_.copy.FinishStopped();
        return;
    }
    // A PC that paused past the wait may find the reply in the port already, its announcement
    // still queued behind this tick: what the port holds is read before the reply is missed. A
    // read that fails here is the announcement's to report; the reply is judged missed.
    if (x.SerialLinkActive && x.Outstanding && !x.Holding()) {
        const long answers = x.Tally().answers;
        bool whole = false;
        try {
            whole = x.TakeSerialBytes(SerialReplyAssembler::kMaxRead);
        } catch (const SerialPortError&) {
        }
        if (whole) {
            Received();
            while (x.TakeSurplus()) Received();
        }
        if (x.Tally().answers != answers) return;
    }
    if (x.WatchdogFired() != Exchange::Tick::Missed) return;
    const std::uint8_t code = x.CurrentCommand;
    if (p_.copy.StopRequested()) {
        // The stopped copy's last reply did not come: nothing is asked again.
        x.Abandon(false);
        x.MissedReplies = 0;
        TellRetry(0);
        p_.copy.FinishStopped();
        return;
    }
    const int missed = x.MissedReplies + 1;
    if (missed > kReplyRetries) {
        // A logger that pauses for a few seconds is not given up on by quick misses: the last
        // retry is waited for until the request has had kGiveUpAfterMs.
        if (x.ExtendWait(kGiveUpAfterMs - x.SinceFirstSendMs())) return;
        x.Abandon(false);
        x.MissedReplies = 0;
        TellRetry(0);
        GiveUp(code);
        return;
    }
    x.Abandon();
    TellRetry(missed);
    if (dispatch::For(code).retry == Retry::Copy || p_.copy.ListingFiles()) p_.tally.Retried();
    Retry(code);
    // The retry counts on: the reply to it clears the count.
    x.MissedReplies = missed;
}

void ReplyWatch::Retry(std::uint8_t code) {
    Exchange& x = ctx_.x;
    const dispatch::Row rule = dispatch::For(code);
    switch (rule.retry) {
        case Retry::Resend:
            x.Send(x.LastRequest);
            break;
        case Retry::ResendToAdapter:
            x.SendToAdapter(x.LastRequest);
            break;
        case Retry::CalibrationBlocks:
            x.Send(requests::Plain(C::ReadCalibration));
            break;
        case Retry::Listing:
            p_.catalogue.RestartListing();
            break;
        case Retry::Readings:
            p_.test.RestartReadings();
            break;
        case Retry::ReadBack:
            x.Send(requests::Plain(rule.readBack));
            break;
        case Retry::Relist:
            p_.catalogue.DeleteReply();
            break;
        case Retry::Copy:
            if (p_.day.Active() ? !p_.day.RestartDay() : !p_.copy.ResumeAfterMissedReply())
                GiveUp(code);  // nothing to resume, or started again too often
            break;
    }
}

// "No reply to {what} over {link}": what did not answer, and the link in the operator's words.
SessionProblem ReplyWatch::NoReply(std::uint8_t code) const {
    SessionProblem p;
    p.message = Msg::NoReply;
    p.request = code;
    p.link = ctx_.Link();
    SessionProblem what;
    what.message = dispatch::For(code).what;
    if (what.message == Msg::WhatCopy) what.args = {Cp1251ToUtf8(p_.copy.Files().RequestPath)};
    SessionProblem link;
    if (p_.radio.RadioModemLink()) {
        link.message = Msg::LinkRadio;
    } else if (p_.bt.BtModemLink()) {
        link.message = Msg::LinkBluetooth;
    } else if (ctx_.x.SerialLinkActive) {
        link.message = Msg::LinkSerial;
        link.args = {ctx_.x.PortName};
    } else {
        link.message = Msg::LinkUsb;
    }
    p.reasons = {std::move(what), std::move(link)};
    return p;
}

void ReplyWatch::GiveUp(std::uint8_t code) {
    SessionProblem problem = NoReply(code);
    ctx_.session.Report([code](SessionEvents& e) { e.RequestGivingUp(code); });
    p_.sequence.GiveUp();
    if (dispatch::For(code).retry == Retry::Copy || p_.copy.ListingFiles()) {
        // Drops the unfinished file; the finishing step gives the data group back. The resume
        // record still names the last file that was completed.
        p_.copy.FailCopy(std::move(problem));
        return;
    }
    switch (dispatch::For(code).awaiter) {
        case Part::Test:
            p_.test.GiveUp();
            break;
        case Part::Catalogue:
            p_.catalogue.DeleteGaveUp();
            break;
        case Part::Schedule:
            p_.schedule.GaveUp();
            break;
        case Part::Remarks:
            p_.remarks.GaveUp();
            break;
        case Part::Clock:
            p_.clock.GaveUp();
            break;
        default:
            break;
    }
    ctx_.session.Report([code](SessionEvents& e) { e.RequestGivenUp(code); });
    p_.radio.GaveUp();
    ctx_.Fail(std::move(problem));
}

}  // namespace qm
