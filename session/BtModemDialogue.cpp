#include "session/BtModemDialogue.h"

#include "link/ModemText.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "protocol/Requests.h"

namespace qm {

namespace C = CommandCode;

void BtModemDialogue::Detected() {
    BtModemLink_ = true;
    ctx_.session.Report([](SessionEvents& e) { e.BluetoothModemFound(); });
    SetModemMode(ModemMode::Detected);
}

// Request 130 with the mode byte: after detection, command mode (text lines), transparent mode
// (packets go through to the logger).
void BtModemDialogue::SetModemMode(enum ModemMode mode) {
    ModemMode_ = mode;
    ctx_.x.SendToAdapter(requests::Adapter(C::ModemMode, static_cast<std::uint8_t>(mode)));
}

void BtModemDialogue::Ready() {
    DialReady_ = true;
    ctx_.session.Report([](SessionEvents& e) { e.BluetoothDialReady(); });
}

void BtModemDialogue::ModemModeReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) return;
    switch (ModemMode_) {
        case ModemMode::Detected:
            ctx_.timers.BTtimer.SetInterval(300);
            ctx_.timers.BTtimer.Start();
            break;
        case ModemMode::Command:
            Ready();
            break;
        case ModemMode::Transparent:
            ctx_.timers.Timer4.Start();
            break;
    }
}

// Into command mode. From here on every report is a text line, the answer to this request too.
void BtModemDialogue::BTtimerTimer() {
    ctx_.timers.BTtimer.Stop();
    ModemMode_ = ModemMode::Command;
    ctx_.x.TextMode = true;
    SetModemMode(ModemMode::Command);
}

void BtModemDialogue::TakeModemLine() {
    if (ctx_.x.Awaited() == C::ModemMode) ctx_.x.ReplyArrived();
    HandleModemLine();
}

// A text report: byte 1 is the number of characters, which follow from byte 2 on.
void BtModemDialogue::HandleModemLine() {
    const Reply r = ctx_.CurrentReply();
    const std::string line = r.Bytes(2, static_cast<std::size_t>(r.Length()) + 1);
    switch (DialState_) {
        case DialState::Idle:
            if (line == modem::kReadyLine) Ready();
            break;
        case DialState::Dialling:
            HandleDialLine(line);
            break;
    }
}

void BtModemDialogue::HandleDialLine(const std::string& line) {
    switch (modem::ClassifyDialLine(line)) {
        case modem::DialAnswer::NoCarrier: {
            // Only counted: the next tick of Timer1 calls again.
            const int count = ++NoCarrierCount_;
            ctx_.session.Report([count](SessionEvents& e) { e.BluetoothNoCarrier(count); });
            break;
        }
        case modem::DialAnswer::Connect:
            ctx_.timers.Timer1.Stop();
            EndDirectDial(true);
            ctx_.session.Report([](SessionEvents& e) { e.BluetoothConnected(); });
            SetModemMode(ModemMode::Transparent);
            // The answer to mode 2 is a packet again and goes to the dispatcher.
            ctx_.x.TextMode = false;
            break;
        case modem::DialAnswer::Other:
            break;  // echoes and acknowledgements
    }
}

std::size_t BtModemDialogue::ReportLength() const {
    return ctx_.x.OutputReportLength();
}

bool BtModemDialogue::CallFits(const std::string& address) const {
    return modem::TextFitsReport(modem::CallText(address).size(), ReportLength());
}

// "AT" now, the first CALL 300 ms later, then one every 15 s until the modem answers CONNECT.
void BtModemDialogue::Dial(const std::string& address, std::optional<int> calls) {
    Address_ = address;
    CallLimit_ = calls;
    DialReady_ = false;
    ctx_.session.Report([](SessionEvents& e) { e.BluetoothDialStarted(); });
    CallAttempts_ = 0;
    NoCarrierCount_ = 0;
    DialState_ = DialState::Dialling;
    ctx_.timers.Timer1.Start();
    ctx_.timers.Timer1.SetInterval(300);
    ctx_.x.SendText("AT");  // its answer is not looked at
}

bool BtModemDialogue::CanDial(const std::string& address) const {
    return BtModemLink_ && DialReady_ && DialState_ == DialState::Idle && CallFits(address);
}

bool BtModemDialogue::DialAddress(const std::string& address, int calls) {
    if (!CanDial(address)) return false;
    Dial(address, calls);
    return true;
}

void BtModemDialogue::EndDirectDial(bool connected) {
    if (!CallLimit_) return;
    CallLimit_.reset();
    ctx_.session.Report([connected](SessionEvents& e) { e.ModemDialEnded(connected); });
}

// Calling stops: the modem may dial again.
void BtModemDialogue::StopDialling() {
    ctx_.timers.Timer1.Stop();
    DialReady_ = true;
    ctx_.session.Report([](SessionEvents& e) { e.BluetoothDialStopped(); });
}

void BtModemDialogue::Timer1Timer() {
    if (CallLimit_ && CallAttempts_ >= *CallLimit_) {
        // The last call has had its round to connect: this address is given up.
        DialState_ = DialState::Idle;
        StopDialling();
        EndDirectDial(false);
        return;
    }
    ctx_.timers.Timer1.SetInterval(15000);
    SendCall();
}

void BtModemDialogue::SendCall() {
    if (!ctx_.x.SendText(modem::CallText(Address_))) {
        // Nothing can be dialled: stop calling.
        StopDialling();
        return;
    }
    const int calls = ++CallAttempts_;
    ctx_.session.Report([calls](SessionEvents& e) { e.BluetoothCalled(calls); });
}

// Transparent mode is on: identify the logger through the modem.
void BtModemDialogue::Timer4Timer() {
    ctx_.timers.Timer4.Stop();
    ctx_.x.Send(requests::Plain(C::Identify));
}

void BtModemDialogue::OnReply(std::uint8_t /*code*/) {
    ModemModeReply();  // -> none (timers go on)
}

}  // namespace qm
