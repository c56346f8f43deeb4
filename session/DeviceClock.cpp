#include "session/DeviceClock.h"

#include <cstdio>

#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"

namespace qm {

void DeviceClock::Read() {
    ctx_.x.Send(requests::Plain(CommandCode::ReadClock));
}

void DeviceClock::Set() {
    settingAsked_ = true;
    SendClockSet();
}

// Request 49: second, minute, hour, day, month, year - 2000 of the PC clock.
void DeviceClock::SendClockSet() {
    const CivilDateTime c = ctx_.clock.Now().ToCivil();
    ClockHour_ = static_cast<std::uint16_t>(c.hour);
    ClockMinute_ = static_cast<std::uint16_t>(c.minute);
    ClockSecond_ = static_cast<std::uint16_t>(c.second);
    ClockMillisecond_ = static_cast<std::uint16_t>(c.millisecond);
    ClockYear_ = static_cast<std::uint16_t>(c.year);
    ClockMonth_ = static_cast<std::uint16_t>(c.month);
    ClockDay_ = static_cast<std::uint16_t>(c.day);
    const ClockFields f{static_cast<std::uint8_t>(ClockSecond_),
                        static_cast<std::uint8_t>(ClockMinute_),
                        static_cast<std::uint8_t>(ClockHour_),
                        static_cast<std::uint8_t>(ClockDay_),
                        static_cast<std::uint8_t>(ClockMonth_),
                        static_cast<std::uint8_t>((ClockYear_ - 2000) & 0xFF)};
    ClockJustSet_ = true;
    ctx_.x.Send(requests::SetClock(f));
}

std::string DeviceClock::ClockText(int hour, int minute, int second, int day, int month, int year) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %2d.%2d.20%02d", hour, minute, second, day,
                  month, year);
    return text;
}

void DeviceClock::ClockReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) {
        if (clockSets_ < kMaxClockSets) {
            ++clockSets_;
            SendClockSet();
            return;
        }
        clockSets_ = 0;
        ClockJustSet_ = false;
        ctx_.Fail(Msg::ClockNotAccepted, {std::to_string(kMaxClockSets)}, CommandCode::ReadClock);
        ctx_.session.Report([](SessionEvents& e) { e.ClockNotAccepted(); });
        EndSetting(false);
        // The rest of the read-out does not depend on the clock.
        sequence_.ClockShown();
        return;
    }
    clockSets_ = 0;
    TakeReading();
    sequence_.ClockShown();
}

void DeviceClock::TakeReading() {
    const Reply r = ctx_.CurrentReply();
    ClockRead_ = true;
    ClockSecond_ = r.Data(0);
    ClockMinute_ = r.Data(1);
    ClockHour_ = r.Data(2);
    ClockDay_ = r.Data(3);
    ClockMonth_ = r.Data(4);
    ClockYear_ = r.Data(5);
    const auto logger = DateTime::FromCivil(
        {2000 + ClockYear_, ClockMonth_, ClockDay_, ClockHour_, ClockMinute_, ClockSecond_, 0});
    ++readings_;
    if (logger) {
        // The logger read its clock somewhere between the request and the reply: on a slow
        // link the middle of the round trip, not its end, is the PC's time of the reading.
        const DateTime pc = DateTime::FromMilliseconds(ctx_.clock.Now().Milliseconds() -
                                                       ctx_.x.SinceFirstSendMs() / 2);
        LoggerState& state = ctx_.session.MutableLogger();
        state.clock = ClockReading{*logger, pc, readings_};
        if (!state.clockSet && !ClockJustSet_ && !state.clockBeforeSetting)
            state.clockBeforeSetting = state.clock;
    } else {
        ctx_.session.MutableLogger().clock.reset();
    }
    readingText_ =
        ClockText(ClockHour_, ClockMinute_, ClockSecond_, ClockDay_, ClockMonth_, ClockYear_);
    readAfterSetting_ = ClockJustSet_;
    const bool afterSetting = ClockJustSet_;
    ClockJustSet_ = false;
    ctx_.session.Report([this](SessionEvents& e) { e.ClockRead(LastReading()); });
    if (afterSetting) EndSetting(LastReading().has_value());
}

void DeviceClock::EndSetting(bool set) {
    if (!settingAsked_) return;
    settingAsked_ = false;
    if (set) ctx_.session.MutableLogger().clockSet = true;
    ctx_.session.Report([set](SessionEvents& e) { e.ClockSetEnded(set); });
}

void DeviceClock::OnReply(std::uint8_t code) {
    if (code == CommandCode::ReadClock)
        ClockReply();  // -> 144 / 50, or 49
    else if (code == CommandCode::SetClock)
        ClockSetReply();  // -> 48, whatever the status
}

}  // namespace qm
