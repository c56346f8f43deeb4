#include "core/RadioModem.h"

#include "link/ModemText.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

namespace C = CommandCode;

void RadioModem::Register(Handlers& h) {
    h.OnClick("bRStart", [this] { bRStartClick(); });
    h.OnChange("cbRAddress", [this] { cbRAddressClick(); });
}

void RadioModem::Detected() {
    WindowModel& m = ctx_.m;
    m.window.title = "QM-Controller  [ R-modem ]";
    RadioModemLink_ = true;
    m.pmBluetooth.enabled = false;
    RadioAddress_ = 255;
    m.gbR_Modem.visible = true;
    m.gbR_Modem.geometry.left = 32;
    m.gbR_Modem.geometry.top = 32;
}

void RadioModem::Reset() {
    RadioModemLink_ = false;
    StopRadioRepeat();
}

void RadioModem::cbRAddressClick() {
    ctx_.m.eRAddress.visible = !ctx_.m.cbRAddress.checked;
}

bool RadioModem::Repeating() const {
    return ctx_.timers.RadioRepeat.Enabled();
}

void RadioModem::bRStartClick() {
    WindowModel& m = ctx_.m;
    // While the every-second identification runs, the button is its stop.
    if (Repeating()) {
        StopRadioRepeat();
        return;
    }
    const auto number = modem::ParseRadioAddress(m.eRAddress.text);
    if (!number) {
        m.eRAddress.text = std::to_string(RadioAddress_);
        ctx_.ops.Beep();
        return;
    }
    m.bRStart.enabled = false;  // one start per connection run, unless stopped
    const std::uint8_t address = modem::RadioAddressByte(*number);
    if (address == RadioAddress_)
        ctx_.x.Send(requests::Plain(C::Identify));
    else
        SelectRadioAddress(address);
    if (m.cbR_Modem.itemIndex == 1) {
        // Until answered or stopped.
        ctx_.timers.RadioRepeat.SetInterval(1000);
        ctx_.timers.RadioRepeat.Start();
        m.bRStart.enabled = true;
        m.bRStart.caption = ctx_.Text(Msg::RadioStop);
    }
}

void RadioModem::StopRadioRepeat() {
    if (!Repeating()) return;
    ctx_.timers.RadioRepeat.Stop();
    // The identification sent last is no longer waited for: it went out without a watchdog, as
    // the repeat was its retry, and would otherwise be awaited for ever.
    if (ctx_.x.Outstanding && ctx_.x.CurrentCommand == C::Identify) ctx_.x.ForgetRequest();
    ShowRadioStartCaption();
    ctx_.m.bRStart.enabled = true;
}

// Ask again until a logger answers.
void RadioModem::RadioRepeatTimer() {
    ctx_.timers.RadioRepeat.Stop();
    // The repeat is its own retry: no watchdog on top of it.
    ctx_.x.SendUnwatched(requests::Plain(C::Identify));
    ctx_.ops.Beep();
    ctx_.timers.RadioRepeat.Start();
}

void RadioModem::ShowCaptions() {
    if (Repeating()) ctx_.m.bRStart.caption = ctx_.Text(Msg::RadioStop);
}

// The start button's own caption is the same in both languages.
void RadioModem::ShowRadioStartCaption() {
    ctx_.m.bRStart.caption = "Старт";
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
