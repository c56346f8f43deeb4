#include "session/ConnectionSequence.h"

#include <optional>

#include "protocol/CommandCode.h"
#include "protocol/DeviceType.h"
#include "session/BtModemDialogue.h"
#include "session/CalibrationEditor.h"
#include "session/Catalogue.h"
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
    if (catalogue_) catalogue_->Forget();
    ctx_.session.MutableLogger().Forget();
    ctx_.session.Report([](SessionEvents& e) { e.ReadOutRestarted(); });
}

// A version byte of 0 is a USB modem adapter, not a logger.
void ConnectionSequence::IdentificationReply() {
    const Reply r = ctx_.CurrentReply();
    DeviceType_ = r.Data(0);
    const std::uint8_t version = r.Data(1);
    if (version == 0) {
        if (ctx_.x.SerialLinkActive) {
            // The modem-kind question exists only on USB: on a serial port nothing can follow.
            ctx_.Fail(Msg::SerialAdapterNoLogger, {ctx_.x.PortName}, C::Identify);
            return;
        }
        ctx_.x.SendToAdapter(requests::Adapter(C::LinkKindQuery));
        return;
    }
    LoggerIdentity id{DeviceType_, version, {}, false};
    radio_.StopRadioRepeat();

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
    ctx_.session.MutableLogger().identity = std::move(id);
    ctx_.session.Report([](SessionEvents& e) { e.LoggerIdentified(); });
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
    ctx_.session.Report([](SessionEvents& e) { e.LineRead(); });
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
    ctx_.session.Report([volts](SessionEvents& e) { e.BatteryRead(volts); });
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
        ctx_.session.Report([](SessionEvents& e) { e.ClockShownOutsideReadOut(); });
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
    LineQueryPending_ = false;
    // The line value waiting for its tick would meet the same silence, and tell the operator
    // a second time of one failure.
    ctx_.timers.Timer3.Stop();
    if (!InitialSequence_) return;
    InitialSequence_ = false;
    FirstListing_ = false;
    ctx_.session.Report([](SessionEvents& e) {
        e.ReadOutGivenUp();
        e.ReadOutEnded();
    });
}

void ConnectionSequence::EnableAfterFirstListing() {
    if (!FirstListing_) return;
    FirstListing_ = false;
    ctx_.session.Report([](SessionEvents& e) { e.FirstListingEnded(); });
}

void ConnectionSequence::ListingRefused() {
    EnableAfterFirstListing();
    EndInitialSequence();
}

void ConnectionSequence::EndOfListing() {
    ctx_.session.Report([](SessionEvents& e) { e.ListingEnded(); });
    EnableAfterFirstListing();
    EndInitialSequence();
}

// The connection starts: identification with the adapter status, so that a USB modem answers
// for itself.
void ConnectionSequence::StartTimerTimer() {
    ctx_.timers.StartTimer.Stop();
    ctx_.x.Send(requests::Plain(C::Identify, kModemRequestStatus));
    if (!ctx_.x.SerialLinkActive) ctx_.x.UsbStarted = true;
    ctx_.session.Report([](SessionEvents& e) { e.IdentificationAsked(); });
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

Transaction::Missed ConnectionSequence::OnMissed(std::uint8_t code, int /*attempt*/) {
    if (code != C::ReadCalibrationNext) return Missed::AskAsRow;
    ctx_.x.Send(requests::Plain(C::ReadCalibration));
    return Missed::AskedItself;
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
