#include "session/RadioModem.h"

#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "protocol/Requests.h"

namespace qm {

namespace C = CommandCode;

void RadioModem::Detected() {
    RadioModemLink_ = true;
    RadioAddress_ = 255;
    ctx_.session.Report([](SessionEvents& e) { e.RadioModemFound(); });
}

void RadioModem::Reset() {
    RadioModemLink_ = false;
    StopRadioRepeat();
}

bool RadioModem::Repeating() const {
    return ctx_.timers.RadioRepeat.Enabled();
}

bool RadioModem::CanStart() const {
    return RadioModemLink_ && StartOpen_ && !Repeating() && !ctx_.session.Logger().identity;
}

void RadioModem::TellStart() {
    ctx_.session.Report([](SessionEvents& e) { e.RadioStartChanged(); });
}

void RadioModem::Start(std::uint8_t address, bool everySecond) {
    StartOpen_ = false;  // one start per connection run, unless stopped
    TellStart();
    if (address == RadioAddress_)
        ctx_.x.Send(requests::Plain(C::Identify));
    else
        SelectRadioAddress(address);
    if (everySecond) {
        // Until answered or stopped.
        ctx_.timers.RadioRepeat.SetInterval(1000);
        ctx_.timers.RadioRepeat.Start();
        StartOpen_ = true;  // the start becomes the repeat's stop
        TellStart();
    }
}

void RadioModem::StopRadioRepeat() {
    if (!Repeating()) return;
    ctx_.timers.RadioRepeat.Stop();
    // The identification sent last is no longer waited for: it went out without a watchdog, as
    // the repeat was its retry, and would otherwise be awaited for ever.
    if (ctx_.x.Awaited() == C::Identify) ctx_.x.ForgetRequest();
    StartOpen_ = true;
    TellStart();
}

void RadioModem::GaveUp() {
    if (!RadioModemLink_) return;
    StartOpen_ = true;
    TellStart();
}

// Ask again until a logger answers.
void RadioModem::RadioRepeatTimer() {
    ctx_.timers.RadioRepeat.Stop();
    // The repeat is its own retry: no watchdog on top of it.
    ctx_.x.SendUnwatched(requests::Plain(C::Identify));
    ctx_.session.Report([](SessionEvents& e) { e.RadioRepeated(); });
    ctx_.timers.RadioRepeat.Start();
}

// Request 131: the modem is told the address of the logger the operator chose.
void RadioModem::SelectRadioAddress(std::uint8_t address) {
    ctx_.x.SendToAdapter(requests::Adapter(C::RadioAddress, address));
}

void RadioModem::RadioAddressReply() {
    if (ctx_.CurrentReply().Status() == ReplyStatus::Complete)
        ctx_.x.Send(requests::Plain(C::Identify));
}

void RadioModem::OnReply(std::uint8_t /*code*/) {
    RadioAddressReply();  // -> 0
}

}  // namespace qm
