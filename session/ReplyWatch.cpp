#include "session/ReplyWatch.h"

#include "protocol/Cp1251.h"
#include "session/BtModemDialogue.h"
#include "session/ConnectionSequence.h"
#include "session/CopySession.h"
#include "session/Dispatcher.h"
#include "session/RadioModem.h"

namespace qm {

using Missed = Transaction::Missed;

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
    const std::uint8_t code = x.Awaited().value();
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
    // The operation awaiting the reply asks again; a code no part awaits is sent again.
    Transaction* awaiter = x.AwaiterOf(code);
    switch (awaiter ? awaiter->OnMissed(code, missed) : Missed::AskAsRow) {
        case Missed::AskAsRow:
            AskAgain(code);
            break;
        case Missed::AskedItself:
            break;
        case Missed::GiveUp:
            GiveUp(code);  // nothing the operation can ask again
            break;
    }
    // The retry counts on: the reply to it clears the count.
    x.MissedReplies = missed;
}

// The retries that need nothing of the operation: a read, or a question to the USB adapter or
// modem, is sent again as it was; a write is not repeated, what it wrote is read back.
void ReplyWatch::AskAgain(std::uint8_t code) {
    Exchange& x = ctx_.x;
    const dispatch::Row row = dispatch::For(code);
    if (row.retry == dispatch::Retry::ReadBack)
        x.Send(requests::Plain(row.readBack));
    else if (row.retry == dispatch::Retry::ResendToAdapter)
        x.SendToAdapter(x.LastRequest);
    else
        x.Send(x.LastRequest);
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
    // A copy ends with the problem itself: its finishing step gives the data group back.
    Transaction* awaiter = ctx_.x.AwaiterOf(code);
    if (awaiter && awaiter->OnGivenUp(code, problem)) return;
    ctx_.session.Report([code](SessionEvents& e) { e.RequestGivenUp(code); });
    p_.radio.GaveUp();
    ctx_.Fail(std::move(problem));
}

}  // namespace qm
