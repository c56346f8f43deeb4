#include "core/ConnectionSequence.h"

#include <optional>

#include "core/BatteryView.h"
#include "core/CalibrationEditor.h"
#include "core/Catalogue.h"
#include "protocol/CommandCode.h"
#include "protocol/DeviceType.h"
#include "session/BtModemDialogue.h"
#include "session/RadioModem.h"

namespace qm {

namespace C = CommandCode;

void ConnectionSequence::ArmReadOut() {
    InitialSequence_ = true;
    FirstListing_ = true;
}

void ConnectionSequence::Restart() {
    ArmReadOut();
    // The read-out starts from an empty directory list and shows the group of the model it finds
    // (the schedule, or the remarks of type 88) at its end.
    ctx_.m.GroupBox2.visible = false;
    ctx_.m.pComment.visible = false;
    if (catalogue_) catalogue_->Forget();
    ctx_.session.MutableLogger().Forget();
}

// A version byte of 0 is a USB modem adapter, not a logger.
void ConnectionSequence::IdentificationReply() {
    WindowModel& m = ctx_.m;
    const Reply r = ctx_.CurrentReply();
    DeviceType_ = r.Data(0);
    const std::uint8_t version = r.Data(1);
    if (version == 0) {
        if (ctx_.x.SerialLinkActive) {
            // The modem-kind question exists only on USB: on a serial port nothing can follow.
            ctx_.ops.ShowError(ctx_.Text(Msg::SerialAdapterNoLogger, {ctx_.x.PortName}));
            return;
        }
        ctx_.x.SendToAdapter(requests::Adapter(C::LinkKindQuery));
        return;
    }
    LoggerIdentity id{DeviceType_, version, {}, false};
    m.gbR_Modem.visible = false;
    radio_.StopRadioRepeat();
    m.SysTimer.Stop();

    const std::string t = std::to_string(DeviceType_) + "." + std::to_string(version);
    if (radio_.RadioModemLink()) {
        id.title = "QM-Controller/R-modem [" + t + "]";
    } else if (bt_.BtModemLink()) {
        id.title = "QM-Controller/BT-modem [" + t + "]";
    } else if (DeviceType_ == device_type::kPathrex) {
        id.title = "Pathrex [ " + t + " ]";
        id.keepsRemarks = true;
    } else {
        id.title = "QM-Controller [ " + t + " ]";
    }
    m.window.title = id.title;
    ctx_.session.MutableLogger().identity = std::move(id);

    // The read-out gives them back after its first listing; an identification outside it (late,
    // or repeated by the watchdog) leads to no listing and must not take them away.
    for (Button* b : {&m.bTest, &m.bClock, &m.bSynch}) {
        b->visible = true;
        if (InitialSequence_) b->enabled = false;
    }
    ctx_.x.Send(requests::Plain(
        DeviceType_ < device_type::kFirstWithCalibration ? C::ReadClock : C::ReadCalibration));
}

// The adapter says which modem it is. A radio modem waits for the operator's start; a Bluetooth
// modem is taken through its first mode step at once. Other kinds end the sequence.
void ConnectionSequence::LinkKindReply() {
    switch (ctx_.CurrentReply().Data(0)) {
        case 1:
            radio_.Detected();
            break;
        case 2:
            bt_.Detected();
            break;
        default:
            break;
    }
}

namespace {

// The first word of a reply to 16 that holds a value (high byte first), if any was received.
std::optional<std::uint16_t> FirstLineWord(const Reply& r) {
    const int words = r.Length() / 2;
    for (int k = 1; k <= words; ++k) {
        const std::size_t hi = 2 * static_cast<std::size_t>(k) + 1;
        if (!r.Holds(hi + 1)) break;
        const std::uint16_t w = r.WordHighFirst(hi);
        if (w != kNoValue) return w;
    }
    return std::nullopt;
}

}  // namespace

std::string ConnectionSequence::LineText(const Reply& r) {
    const auto w = FirstLineWord(r);
    if (!w) return "-";
    if (*w < 0x8000) return std::to_string(*w / 16);
    return std::to_string((*w & 0x7F00) / 256) + "." + std::to_string(*w & 0x00FF);
}

void ConnectionSequence::LineValueReply() {
    const Reply r = ctx_.CurrentReply();
    LineValue_ = FirstLineWord(r).value_or(0);
    std::string& line = ctx_.session.MutableLogger().line;
    line = LineText(r);
    ctx_.m.window.title = DeviceTitle() + "  Line  [" + line + "]";
}

// Entries 1..30; loggers from kFirstMultiBlock on hold more, read in blocks by 62.
void ConnectionSequence::CalibrationReply() {
    calibration_.StoreEntries(1, 30);
    if (DeviceType_ < device_type::kFirstMultiBlock) {
        ctx_.x.Send(requests::Plain(C::ReadClock));
        return;
    }
    CalBlockIndex_ = 0;
    ctx_.x.Send(requests::Plain(C::ReadCalibrationNext));
}

// Block k holds entries k*30+1 .. (k+1)*30; entries up to 90 are read.
void ConnectionSequence::CalibrationBlockReply() {
    const int k = ++CalBlockIndex_;
    const int last = CalibrationBlockEnd(k);
    calibration_.StoreEntries(k * 30 + 1, last);
    ctx_.x.Send(requests::Plain(last < 63 ? C::ReadCalibrationNext : C::ReadClock));
}

// During the read-out the root listing follows, after a test measurement the line value.
void ConnectionSequence::BatteryReply() {
    const double volts = ctx_.CurrentReply().Data(0) / 10.0;
    ctx_.session.MutableLogger().batteryVolts = volts;
    ShowBattery(ctx_.m, volts, ctx_.CurrentLanguage());
    if (InitialSequence_ && catalogue_) catalogue_->ListRoot();
    if (LineQueryPending_) {
        LineQueryPending_ = false;
        ctx_.x.Send(requests::Plain(C::LineValue));
    }
}

void ConnectionSequence::ClockShown() {
    if (InitialSequence_)
        ctx_.x.Send(requests::Plain(PathrexDevice() ? C::ReadRemarks : C::ReadSchedule));
    else
        ctx_.m.bSynch.enabled = true;
}

void ConnectionSequence::ContinueWithBattery() {
    if (InitialSequence_) ctx_.x.Send(requests::Plain(C::ReadBattery));
}

void ConnectionSequence::EndInitialSequence() {
    if (!InitialSequence_) return;
    InitialSequence_ = false;
    ctx_.timers.Timer3.Start();
    ctx_.session.Report([](SessionEvents& e) { e.ReadOutEnded(); });
}

void ConnectionSequence::GiveUp() {
    WindowModel& m = ctx_.m;
    LineQueryPending_ = false;
    // The line value waiting for its tick would meet the same silence, and tell the operator
    // a second time of one failure.
    ctx_.timers.Timer3.Stop();
    if (!InitialSequence_) return;
    InitialSequence_ = false;
    FirstListing_ = false;
    for (Button* b : {&m.bTest, &m.bClock, &m.bSynch})
        if (b->visible) b->enabled = true;
    ctx_.session.Report([](SessionEvents& e) { e.ReadOutEnded(); });
}

void ConnectionSequence::EnableAfterFirstListing() {
    if (!FirstListing_) return;
    WindowModel& m = ctx_.m;
    m.bSynch.enabled = true;
    m.bClock.enabled = true;
    m.bTest.enabled = true;
    FirstListing_ = false;
}

void ConnectionSequence::ListingRefused() {
    EnableAfterFirstListing();
    EndInitialSequence();
}

void ConnectionSequence::EndOfListing() {
    WindowModel& m = ctx_.m;
    if (PathrexDevice())
        m.pComment.visible = true;
    else
        m.GroupBox2.visible = true;
    EnableAfterFirstListing();
    m.window.width = 370;
    EndInitialSequence();
    m.Chart1.visible = false;
}

// The connection starts: identification with the adapter status, so that a USB modem answers
// for itself.
void ConnectionSequence::StartTimerTimer() {
    ctx_.timers.StartTimer.Stop();
    ctx_.x.Send(requests::Plain(C::Identify, kModemRequestStatus));
    if (!ctx_.x.SerialLinkActive) {
        ctx_.x.UsbStarted = true;
        ctx_.m.GroupBox4.visible = false;
    }
}

void ConnectionSequence::SysTimerTimer() {
    WindowModel& m = ctx_.m;
    m.SysTimer.Stop();
    switch (ctx_.sysTimerAction) {
        case SysTimerAction::HideClock:
            m.Label2.visible = false;
            break;
        case SysTimerAction::HideNoDirectory:
            m.Label6.visible = false;
            m.Label2.visible = false;
            break;
        case SysTimerAction::None:
            break;
    }
}

void ConnectionSequence::Timer3Timer() {
    // A test measurement or copy clicked since the read-out ended has its request out: the line
    // value waits for the next tick rather than take that request's place.
    if (ctx_.x.Outstanding) return;
    ctx_.timers.Timer3.Stop();
    // A copy or a button clicked before the tick may have a request out: a second one now would
    // take its reply, and the step it belongs to would stand still. The line value waits.
    if (ctx_.x.Outstanding) {
        ctx_.timers.Timer3.Start();
        return;
    }
    ctx_.x.Send(requests::Plain(C::LineValue));
}

void ConnectionSequence::TimerBarTimer() {
    ProgressBar& bar = ctx_.m.ProgressBar1;
    bar.position = bar.position + 1 > bar.maximum ? 0 : bar.position + 1;
}

void ConnectionSequence::OnReply(std::uint8_t code) {
    switch (code) {
        case C::Identify:  // -> 48 or 60; or 1
            IdentificationReply();
            break;
        case C::LinkKindQuery:  // -> 130 (Bluetooth modem)
            LinkKindReply();
            break;
        case C::LineValue:  // -> none
            LineValueReply();
            break;
        case C::ReadBattery:  // -> 64 and/or 16
            BatteryReply();
            break;
        case C::ReadCalibration:  // -> 48 or 62
            CalibrationReply();
            break;
        case C::ReadCalibrationNext:  // -> 62 or 48
            CalibrationBlockReply();
            break;
        default:
            break;
    }
}

}  // namespace qm
