// The window's side of the two links: the HID device controller's handlers (device change,
// enumeration, reports) and the port button of the port group.
#include <algorithm>
#include <cmath>

#include "core/Controller.h"

namespace qm {

void Controller::RegisterLinkHandlers() {
    OnClick("bSetPort", &Controller::bSetPortClick);
}

void Controller::AttachHidCtl(HidCtl& hid) {
    hid_ = &hid;
    hid.SetHandlers({
        .enumerate = [this](HidDevice& device,
                            int index) { return HidCtlEnumerate(device, index); },
        .deviceChange = [this] { HidCtlDeviceChange(); },
        .deviceData =
            [this](HidDevice& device, std::span<const std::uint8_t> data) {
                HidCtlDeviceData(device.ProductString(), data);
            },
    });
}

void Controller::HidCtlDeviceChange() {
    Run([&] {
        if (!hid_) return;
        hid_->RunEnumeration();
        // Once the connection has started over USB, the logger going away ends the program; a
        // logger plugged in again has been found by the enumeration above and carries on. Other
        // HID devices coming and going change nothing.
        if (!s_.UsbStarted || s_.SerialLinkActive || !s_.LinkDevice) return;
        const HidDevice* device = hid_->Find(s_.LinkDevice);
        if (device && !device->PluggedIn()) {
            CloseLocalFiles();
            ops_.Quit();
        }
    });
}

// Every device is claimed at its first visit, so that every device the program may open gets a
// reader; reports are filtered by product string when they arrive. Only a logger visited for
// the first time (one just plugged in) can become the link: devices that stay plugged in are
// visited again at every device change and must leave a running connection alone.
bool Controller::HidCtlEnumerate(HidDevice& device, int index) {
    const bool firstVisit = hid_->ClaimDevice(index) != nullptr;
    if (firstVisit && device.ProductString() == kLoggerProductName) UsbLoggerPluggedIn(device);
    // The title carries the logger's identity and line value once a connection has started.
    if (!s_.UsbStarted && !s_.SerialLinkActive) m_.window.title = "QM-Controller";
    return true;
}

void Controller::UsbLoggerPluggedIn(HidDevice& device) {
    if (!device.ReadWriteAccess()) {
        // Without read/write access no request would go out and no reply come in.
        ops_.ShowError(Text(Msg::HidNoReadWrite, {device.Path()}));
        return;
    }
    // A copy in progress keeps its logger; a logger plugged in meanwhile is not taken.
    if (CopyRunning()) return;
    if (s_.UsbStarted || s_.SerialLinkActive) PrepareNewConnection();
    UseUsbLogger(&device);
    m_.window.title = "QM-Controller";
}

bool Controller::CopyRunning() const {
    return s_.copy.DataFileOpen || s_.copy.ListingFiles || !m_.ComboBox1.enabled ||
           m_.Timer2.enabled;
}

// Another logger (or the same one again, over another link) is about to be read out from the
// start: what the last connection learnt about its device no longer holds.
void Controller::PrepareNewConnection() {
    s_.InitialSequence = true;
    s_.FirstListing = true;
    s_.TextMode = false;
    s_.RadioModemLink = false;
    s_.BtModemLink = false;
    s_.PathrexDevice = false;
    s_.DeviceTitle.clear();
    s_.serialReply.Reset();
    StopRadioRepeat();
}

void Controller::bSetPortClick() {
    Run([&] {
        if (s_.PortOpen) {
            if (s_.serialPort) s_.serialPort->Close();
            s_.PortOpen = false;
        }
        const double v = m_.SpinEdit1.value;
        const long long whole =
            std::isfinite(v) ? static_cast<long long>(std::clamp(v, -1e9, 1e9)) : 0;
        s_.PortNumber = static_cast<std::uint8_t>((whole % 256 + 256) % 256);
        const std::string name = SerialPortName(s_.PortNumber, m_.portDevice.text);
        s_.PortOpen = true;
        m_.bSetPort.enabled = false;

        SerialLink* port = nullptr;
        try {
            if (!portOpener_) throw SerialFailed(SerialFailure::Open);
            port = portOpener_->Open(name);
        } catch (const SerialPortError& e) {
            // The group stays up with its button, so the operator can try another port.
            s_.PortOpen = false;
            const bool en = IsEnglish();
            const std::string reason = e.Failure() == SerialFailure::Open
                                           ? SystemReason(e.SystemError(), en)
                                           : SerialErrorText(e.Failure(), e.SystemError(), en);
            ops_.ShowError(Text(Msg::PortOpenFailed, {name, reason, m_.bSetPort.caption}));
        }
        if (!s_.PortOpen) {
            m_.bSetPort.enabled = true;
            return;
        }
        if (s_.SerialLinkActive || s_.UsbStarted) PrepareNewConnection();
        UseSerialPort(port, name);
    });
}

void Controller::ComPort1Lost() {
    Run([&] {
        if (!s_.PortOpen) return;
        if (s_.serialPort) s_.serialPort->Close();
        s_.PortOpen = false;
        s_.serialReply.Reset();
        m_.StartTimer.Stop();
        // The port group comes back for another port (or the same one once it is there again).
        m_.GroupBox4.visible = true;
        m_.bSetPort.enabled = true;
        const std::string text = Text(Msg::PortLost, {s_.PortName, m_.bSetPort.caption});
        if (CopyRunning())
            FailCopy(text);  // drops the unfinished file and gives the data group back
        else
            ops_.ShowError(text);
    });
}

}  // namespace qm
