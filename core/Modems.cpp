// The USB modem adapters: which modem answered (row 1), the Bluetooth modem's text dialogue that
// dials a logger, and the radio modem's address request with its once-a-second identification.
#include <algorithm>
#include <string>

#include "core/Controller.h"
#include "link/ModemText.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"

namespace qm {

namespace C = CommandCode;

void Controller::RegisterModemHandlers() {
    OnClick("Button6", &Controller::Button6Click);
    OnClick("bRStart", &Controller::bRStartClick);
    OnChange("cbRAddress", &Controller::cbRAddressClick);
}

// Row 1: the adapter says which modem it is. A radio modem waits for the operator's start; a
// Bluetooth modem is taken through its first mode step at once. Other kinds end the sequence.
void Controller::LinkKindReply() {
    switch (CurrentReply().Data(0)) {
        case 1:
            m_.window.title = "QM-Controller  [ R-modem ]";
            s_.RadioModemLink = true;
            m_.pmBluetooth.enabled = false;
            s_.RadioAddress = 255;
            m_.gbR_Modem.visible = true;
            m_.gbR_Modem.geometry.left = 32;
            m_.gbR_Modem.geometry.top = 32;
            break;
        case 2:
            m_.window.title = "QM-Controller  [ BT-modem ]";
            s_.BtModemLink = true;
            m_.pmBluetooth.enabled = false;
            LoadBluetoothDeviceList();
            s_.ModemMode = 0;
            SetModemMode();
            break;
        default:
            break;
    }
}

// Request 130 with the mode byte in ModemMode: 0 after detection, 1 command mode (text lines),
// 2 transparent mode (packets go through to the logger).
void Controller::SetModemMode() {
    SendModemRequest(C::ModemMode, static_cast<std::uint8_t>(s_.ModemMode), true);
}

// Row 130: each mode step that the modem confirms starts the timer of the next step.
void Controller::ModemModeReply() {
    if (CurrentReply().Status() != ReplyStatus::Complete) return;
    switch (s_.ModemMode) {
        case 0:
            m_.BTtimer.SetInterval(300);
            m_.BTtimer.Start();
            break;
        case 1:
            m_.Button6.enabled = true;
            break;
        case 2:
            m_.Timer4.Start();
            break;
        default:
            break;
    }
}

// Into command mode. From here on every report is a text line, the answer to this request too.
void Controller::BTtimerTimer() {
    m_.BTtimer.Stop();
    s_.ModemMode = 1;
    s_.TextMode = true;
    SetModemMode();
}

bool Controller::SendText(const std::string& text) {
    if (!s_.LinkDevice) return false;
    if (!modem::TextFitsReport(text.size(), s_.LinkDevice->OutputReportLength())) return false;
    PacketBuffer& b = s_.PacketBuffer;
    b[1] = static_cast<std::uint8_t>(text.size() + 2);
    b[2] = 0;
    std::copy(text.begin(), text.end(), b.begin() + 3);
    b[3 + text.size()] = '\n';
    WriteHidReport();
    return true;
}

// A text report: byte 1 is the number of characters, which follow from byte 2 on.
void Controller::HandleModemLine() {
    const Reply r = CurrentReply();
    const std::string line = r.Bytes(2, static_cast<std::size_t>(r.Length()) + 1);
    if (s_.DialState == 0) {
        if (line == modem::kReadyLine) m_.Button6.enabled = true;
        return;
    }
    if (s_.DialState == 1) HandleDialLine(line);
}

void Controller::HandleDialLine(const std::string& line) {
    switch (modem::ClassifyDialLine(line)) {
        case modem::DialAnswer::NoCarrier:
            // Only counted: the next tick of Timer1 calls again.
            ++s_.NoCarrierCount;
            m_.Label9.caption = std::to_string(s_.NoCarrierCount);
            m_.Label9.visible = true;
            break;
        case modem::DialAnswer::Connect:
            m_.Timer1.Stop();
            m_.BTmodem.visible = false;
            s_.ModemMode = 2;
            SetModemMode();
            // The answer to mode 2 is a packet again and goes to the dispatcher.
            s_.TextMode = false;
            break;
        case modem::DialAnswer::Other:
            break;  // echoes and acknowledgements
    }
}

std::optional<std::string> Controller::SelectedCallText() {
    const int item = m_.RadioGroup1.itemIndex;
    if (item < 0 || item >= s_.BluetoothAddressCount) {
        ops_.ShowWarning(Text(Msg::ChooseDeviceFirst));
        return std::nullopt;
    }
    const std::string& address = s_.BluetoothAddresses[static_cast<std::size_t>(item)];
    std::string text = modem::CallText(address);
    const std::size_t report = s_.LinkDevice ? s_.LinkDevice->OutputReportLength() : 0;
    if (!modem::TextFitsReport(text.size(), report)) {
        // Written anyway, the line would be cut at the end of the report and reach the modem
        // as some other address.
        ops_.ShowError(Text(Msg::DeviceLineTooLong,
                            {std::to_string(item + 1), Cp1251ToUtf8(address), Cp1251ToUtf8(text),
                             std::to_string(text.size() + 4), std::to_string(report)}));
        return std::nullopt;
    }
    return text;
}

// The operator dials the selected device: "AT" now, the first CALL 300 ms later, then one every
// 15 s until the modem answers CONNECT.
void Controller::Button6Click() {
    Run([&] {
        if (!SelectedCallText()) return;
        m_.RadioGroup1.enabled = false;
        m_.Button6.enabled = false;
        s_.CallAttempts = 0;
        s_.NoCarrierCount = 0;
        s_.DialState = 1;
        m_.Timer1.Start();
        m_.Timer1.SetInterval(300);
        SendText("AT");  // its answer is not looked at
    });
}

void Controller::Timer1Timer() {
    m_.Timer1.SetInterval(15000);
    SendCall();
}

void Controller::SendCall() {
    const auto text = SelectedCallText();
    if (!text || !SendText(*text)) {
        // Nothing can be dialled: stop calling and let the operator choose again.
        m_.Timer1.Stop();
        m_.RadioGroup1.enabled = true;
        m_.Button6.enabled = true;
        return;
    }
    ++s_.CallAttempts;
    m_.Label10.caption = std::to_string(s_.CallAttempts);
    m_.Label10.visible = true;
}

// Transparent mode is on: identify the logger through the modem.
void Controller::Timer4Timer() {
    m_.Timer4.Stop();
    SendCommand(C::Identify);
}

// Radio modem.

void Controller::cbRAddressClick() {
    m_.eRAddress.visible = !m_.cbRAddress.checked;
}

void Controller::bRStartClick() {
    Run([&] {
        // While the every-second identification runs, the button is its stop.
        if (s_.SysTimerAction == 3 && m_.SysTimer.enabled) {
            StopRadioRepeat();
            return;
        }
        const auto number = modem::ParseRadioAddress(m_.eRAddress.text);
        if (!number) {
            m_.eRAddress.text = std::to_string(s_.RadioAddress);
            ops_.Beep();
            return;
        }
        m_.bRStart.enabled = false;  // one start per connection run, unless stopped
        const std::uint8_t address = modem::RadioAddressByte(*number);
        if (address == s_.RadioAddress)
            SendCommand(C::Identify);
        else
            SelectRadioAddress(address);
        if (m_.cbR_Modem.itemIndex == 1) {
            ArmSysTimer(3, 1000);  // every second until answered or stopped
            m_.bRStart.enabled = true;
            m_.bRStart.caption = Text(Msg::RadioStop);
        }
    });
}

void Controller::StopRadioRepeat() {
    if (s_.SysTimerAction != 3) return;
    m_.SysTimer.Stop();
    s_.SysTimerAction = 0;
    ShowRadioStartCaption();
    m_.bRStart.enabled = true;
}

// The start button's own caption is the same in both languages.
void Controller::ShowRadioStartCaption() {
    m_.bRStart.caption = "Старт";
}

// Request 131: the modem is told the address of the logger the operator chose.
void Controller::SelectRadioAddress(std::uint8_t address) {
    SendModemRequest(C::RadioAddress, address, true);
}

// Row 131: the address is set; the identification now reaches the chosen logger.
void Controller::RadioAddressReply() {
    if (CurrentReply().Status() == ReplyStatus::Complete) SendCommand(C::Identify);
}

}  // namespace qm
