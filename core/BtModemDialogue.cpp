#include "core/BtModemDialogue.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "link/ModemText.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "store/LocalFiles.h"

namespace qm {

namespace C = CommandCode;

void BtModemDialogue::Register(Handlers& h) {
    h.OnClick("Button6", [this] { Button6Click(); });
}

void BtModemDialogue::Detected() {
    ctx_.m.window.title = "QM-Controller  [ BT-modem ]";
    BtModemLink_ = true;
    ctx_.m.pmBluetooth.enabled = false;
    // Without a window nobody picks from the list: the caller dials an address of its own.
    if (ctx_.ops.SeesWindow()) LoadBluetoothDeviceList();
    SetModemMode(ModemMode::Detected);
}

void BtModemDialogue::LoadBluetoothDeviceList() {
    WindowModel& m = ctx_.m;
    const auto path = StartFolder_ / "Device.txt";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // OK or Cancel: the list stays empty either way.
        (void)ctx_.ops.Confirm(ctx_.Text(Msg::NoDeviceList));
        return;
    }
    m.pmBluetooth.enabled = false;
    std::vector<std::string> lines;
    try {
        lines = DeviceListLines(ReadWholeFile(path));
    } catch (const FileError& e) {
        ctx_.ops.ShowError(e.Text(ctx_.CurrentLanguage()));
        return;
    }
    const std::size_t kept = std::min(lines.size(), kBluetoothListSize);
    m.RadioGroup1.items.clear();
    BluetoothAddresses_ = {};
    for (std::size_t n = 0; n < kept; ++n) {
        BluetoothAddresses_[n] = lines[n];
        m.RadioGroup1.items.push_back(std::to_string(n + 1) + "   ( " + Cp1251ToUtf8(lines[n]) +
                                      " )");
    }
    BluetoothAddressCount_ = static_cast<int>(kept);
    m.BTmodem.geometry.left = 10;
    m.BTmodem.geometry.top = 10;
    m.BTmodem.visible = true;
    m.RadioGroup1.itemIndex = 0;
    if (lines.size() > kept) {
        const std::string left =
            lines.size() == kept + 1
                ? ctx_.Text(Msg::DeviceListLineLeftOut, {std::to_string(kept + 1)})
                : ctx_.Text(Msg::DeviceListLinesLeftOut,
                            {std::to_string(kept + 1), std::to_string(lines.size())});
        ctx_.ops.ShowWarning(
            ctx_.Text(Msg::DeviceListTooLong,
                      {PathText(path), std::to_string(lines.size()), std::to_string(kept), left}));
    }
}

// Request 130 with the mode byte: after detection, command mode (text lines), transparent mode
// (packets go through to the logger).
void BtModemDialogue::SetModemMode(enum ModemMode mode) {
    ModemMode_ = mode;
    ctx_.x.SendToAdapter(requests::Adapter(C::ModemMode, static_cast<std::uint8_t>(mode)));
}

void BtModemDialogue::ModemModeReply() {
    if (ctx_.CurrentReply().Status() != ReplyStatus::Complete) return;
    switch (ModemMode_) {
        case ModemMode::Detected:
            ctx_.timers.BTtimer.SetInterval(300);
            ctx_.timers.BTtimer.Start();
            break;
        case ModemMode::Command:
            ctx_.m.Button6.enabled = true;
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

// A text report: byte 1 is the number of characters, which follow from byte 2 on.
void BtModemDialogue::HandleModemLine() {
    const Reply r = ctx_.CurrentReply();
    const std::string line = r.Bytes(2, static_cast<std::size_t>(r.Length()) + 1);
    switch (DialState_) {
        case DialState::Idle:
            if (line == modem::kReadyLine) ctx_.m.Button6.enabled = true;
            break;
        case DialState::Dialling:
            HandleDialLine(line);
            break;
    }
}

void BtModemDialogue::HandleDialLine(const std::string& line) {
    WindowModel& m = ctx_.m;
    switch (modem::ClassifyDialLine(line)) {
        case modem::DialAnswer::NoCarrier:
            // Only counted: the next tick of Timer1 calls again.
            ++NoCarrierCount_;
            m.Label9.caption = std::to_string(NoCarrierCount_);
            m.Label9.visible = true;
            break;
        case modem::DialAnswer::Connect:
            ctx_.timers.Timer1.Stop();
            EndDirectDial(true);
            m.BTmodem.visible = false;
            SetModemMode(ModemMode::Transparent);
            // The answer to mode 2 is a packet again and goes to the dispatcher.
            ctx_.x.TextMode = false;
            break;
        case modem::DialAnswer::Other:
            break;  // echoes and acknowledgements
    }
}

std::optional<std::string> BtModemDialogue::SelectedCallText() {
    if (DirectAddress_) return modem::CallText(*DirectAddress_);
    const int item = ctx_.m.RadioGroup1.itemIndex;
    if (item < 0 || item >= BluetoothAddressCount_) {
        ctx_.ops.ShowWarning(ctx_.Text(Msg::ChooseDeviceFirst));
        return std::nullopt;
    }
    const std::string& address = BluetoothAddresses_[static_cast<std::size_t>(item)];
    std::string text = modem::CallText(address);
    const std::size_t report = ctx_.x.OutputReportLength();
    if (!modem::TextFitsReport(text.size(), report)) {
        // Written anyway, the line would be cut at the end of the report and reach the modem
        // as some other address.
        ctx_.ops.ShowError(
            ctx_.Text(Msg::DeviceLineTooLong,
                      {std::to_string(item + 1), Cp1251ToUtf8(address), Cp1251ToUtf8(text),
                       std::to_string(text.size() + 4), std::to_string(report)}));
        return std::nullopt;
    }
    return text;
}

// The operator dials the selected device: "AT" now, the first CALL 300 ms later, then one every
// 15 s until the modem answers CONNECT.
void BtModemDialogue::Button6Click() {
    WindowModel& m = ctx_.m;
    if (!SelectedCallText()) return;
    m.RadioGroup1.enabled = false;
    m.Button6.enabled = false;
    CallAttempts_ = 0;
    NoCarrierCount_ = 0;
    DialState_ = DialState::Dialling;
    ctx_.timers.Timer1.Start();
    ctx_.timers.Timer1.SetInterval(300);
    ctx_.x.SendText("AT");  // its answer is not looked at
}

bool BtModemDialogue::DialAddress(const std::string& address, int calls) {
    if (!BtModemLink_ || !ctx_.m.Button6.enabled || DialState_ != DialState::Idle ||
        !modem::TextFitsReport(modem::CallText(address).size(), ctx_.x.OutputReportLength()))
        return false;
    DirectAddress_ = address;
    CallLimit_ = calls;
    Button6Click();
    return true;
}

void BtModemDialogue::EndDirectDial(bool connected) {
    if (!DirectAddress_) return;
    DirectAddress_.reset();
    ctx_.session.Report([connected](SessionEvents& e) { e.ModemDialEnded(connected); });
}

void BtModemDialogue::Timer1Timer() {
    if (DirectAddress_ && CallAttempts_ >= CallLimit_) {
        // The last call has had its round to connect: this address is given up.
        ctx_.timers.Timer1.Stop();
        DialState_ = DialState::Idle;
        ctx_.m.RadioGroup1.enabled = true;
        ctx_.m.Button6.enabled = true;
        EndDirectDial(false);
        return;
    }
    ctx_.timers.Timer1.SetInterval(15000);
    SendCall();
}

void BtModemDialogue::SendCall() {
    WindowModel& m = ctx_.m;
    const auto text = SelectedCallText();
    if (!text || !ctx_.x.SendText(*text)) {
        // Nothing can be dialled: stop calling and let the operator choose again.
        ctx_.timers.Timer1.Stop();
        m.RadioGroup1.enabled = true;
        m.Button6.enabled = true;
        return;
    }
    ++CallAttempts_;
    m.Label10.caption = std::to_string(CallAttempts_);
    m.Label10.visible = true;
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
