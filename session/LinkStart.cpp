#include "session/LinkStart.h"

#include "protocol/CommandCode.h"
#include "protocol/Requests.h"
#include "session/ProblemWords.h"

namespace qm {

void LinkStart::UseUsb(HidDeviceLink* device) {
    ctx_.x.UseUsb(device);
    ctx_.timers.StartTimer.SetInterval(300);
    ctx_.timers.StartTimer.Start();
    ctx_.session.Report([](SessionEvents& e) { e.LinkStarted(LinkKind::Usb); });
}

void LinkStart::UseSerial(SerialLink* port, const std::string& name) {
    ctx_.x.UseSerial(port, name);
    ctx_.timers.StartTimer.SetInterval(3000);
    ctx_.timers.StartTimer.Start();
    ctx_.session.Report([](SessionEvents& e) { e.LinkStarted(LinkKind::Serial); });
}

std::optional<LinkStart::OpenedPort> LinkStart::OpenPort(std::uint8_t number,
                                                         const std::string& device) {
    Exchange& x = ctx_.x;
    x.ClosePort();
    x.PortNumber = number;
    OpenedPort opened{nullptr, SerialPortName(number, device)};
    x.PortOpen = true;
    try {
        if (!opener_) throw SerialFailed(SerialFailure::Open);
        opened.port = opener_->Open(opened.name);
    } catch (const SerialPortError& e) {
        x.PortOpen = false;
        const PortFailure failure{opened.name, e.Failure(), e.SystemError()};
        ctx_.session.Report([&failure](SessionEvents& ev) { ev.PortOpenFailed(failure); });
        // Said as a run without a window says it; a window adds its port button.
        SessionProblem p;
        p.message = Msg::PortOpenFailedNoWindow;
        p.args = {failure.name};
        p.reasons = {PortOpenReason(failure)};
        ctx_.Fail(std::move(p));
        return std::nullopt;
    }
    return opened;
}

bool LinkStart::PortLost() {
    Exchange& x = ctx_.x;
    if (!x.PortOpen) return false;
    x.ClosePort();
    x.ResetSerialReply();
    x.ForgetRequest();
    ctx_.timers.StartTimer.Stop();
    return true;
}

void LinkStart::PowerDown(bool throughModem, bool overPort) {
    if (throughModem) {
        // Through the modem, over USB; the port is not looked at then.
        ctx_.x.Send(requests::Plain(CommandCode::PowerDown));
    } else if (overPort && ctx_.x.PortOpen) {
        ctx_.x.Send(requests::Plain(CommandCode::PowerDown));
        ctx_.x.ClosePort();
    }
}

}  // namespace qm
