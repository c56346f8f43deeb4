// What a missed reply does. Each request that is answered arms the reply watchdog; when it fires,
// the request is tried again in the way its kind allows, never losing or repeating data: reads
// are sent again, sequences start over from their first request, a copy reopens its file after
// the last complete line, and writes are read back rather than repeated. After kReplyRetries
// retries, and not before kGiveUpAfterMs since the request first went out, the step gives up, tells
// the operator what did not answer, and leaves the window usable and the local files complete.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"

namespace qm {

namespace C = CommandCode;

namespace {

// What is done again when a request of the kind is not answered.
enum class Retry {
    Resend,             // a read that changes nothing on the logger
    ResendToAdapter,    // a question to the USB adapter or modem itself
    CalibrationBlocks,  // the blocks are numbered by the logger: from the first again
    Listing,            // the listing starts over
    Readings,           // the test measurement's readings start over
    ReadBack,           // a write: what it wrote is read back rather than written again
    Relist,             // a delete: gone or not, the listing shows what is left
    Copy,               // the copy reopens its file after the last complete line
};

struct MissRule {
    std::uint8_t code;
    Retry retry;
    Msg what;                   // what did not answer, in the operator's words
    std::uint8_t readBack = 0;  // for Retry::ReadBack
};

// Every request the logger or an adapter answers; a code missing here is a modem's.
constexpr MissRule kMissRules[] = {
    {C::Identify, Retry::Resend, Msg::WhatIdentify},
    {C::LineValue, Retry::Resend, Msg::WhatLineValue},
    {C::ReadClock, Retry::Resend, Msg::WhatClock},
    // Whether the clock took is seen in the reading; a bad one is set again there.
    {C::SetClock, Retry::ReadBack, Msg::WhatClock, C::ReadClock},
    {C::ReadSchedule, Retry::Resend, Msg::WhatSchedule},
    {C::WriteSchedule, Retry::ReadBack, Msg::WhatSchedule, C::ReadSchedule},
    {C::ReadBattery, Retry::Resend, Msg::WhatBattery},
    {C::ReadCalibration, Retry::Resend, Msg::WhatCalibration},
    {C::ReadCalibrationNext, Retry::CalibrationBlocks, Msg::WhatCalibration},
    {C::ListFirst, Retry::Listing, Msg::WhatListing},
    {C::ListNext, Retry::Listing, Msg::WhatListing},
    {C::StartTest, Retry::Readings, Msg::WhatTest},
    {C::NextReadings, Retry::Readings, Msg::WhatTest},
    {C::ReadRemarks, Retry::Resend, Msg::WhatRemarks},
    {C::WriteRemarks, Retry::ReadBack, Msg::WhatRemarks, C::ReadRemarks},
    {C::DeleteDirectory, Retry::Relist, Msg::WhatDelete},
    {C::OpenFile, Retry::Copy, Msg::WhatCopy},
    {C::NextLine, Retry::Copy, Msg::WhatCopy},
    {C::ResumeFile, Retry::Copy, Msg::WhatCopy},
    {C::FindDay, Retry::Copy, Msg::WhatCopy},
    {C::FirstValues, Retry::Copy, Msg::WhatCopy},
    {C::NextValues, Retry::Copy, Msg::WhatCopy},
    {C::LinkKindQuery, Retry::ResendToAdapter, Msg::WhatModem},
    {C::ModemMode, Retry::ResendToAdapter, Msg::WhatModem},
};

MissRule RuleFor(std::uint8_t code) {
    for (const MissRule& rule : kMissRules)
        if (rule.code == code) return rule;
    return {code, Retry::Resend, Msg::WhatModem};
}

}  // namespace

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
    if (RuleFor(code).retry == Retry::Copy || copy_.ListingFiles()) tally_.Retried();
    RetryRequest(code);
    // The retry counts on: the reply to it clears the count.
    x_.MissedReplies = missed;
}

void Controller::RetryRequest(std::uint8_t code) {
    const MissRule rule = RuleFor(code);
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
    const Msg what = RuleFor(code).what;
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
    if (RuleFor(code).retry == Retry::Copy || copy_.ListingFiles()) {
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
        case C::DeleteDirectory:
        case C::ListFirst:
        case C::ListNext:
            catalogue_.DeleteGaveUp();
            break;
        case C::WriteSchedule:
        case C::ReadSchedule:
            schedule_.GaveUp();
            break;
        case C::WriteRemarks:
        case C::ReadRemarks:
            remarks_.GaveUp();
            break;
        case C::ReadClock:
        case C::SetClock:
            if (m_.bSynch.visible) m_.bSynch.enabled = true;
            clock_.GaveUp();
            break;
        default:
            break;
    }
    ctx_.StopBusyIndicator();
    if (radio_.RadioModemLink()) m_.bRStart.enabled = true;
    ops_.ShowError(text);
}

}  // namespace qm
