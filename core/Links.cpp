// The window's side of the two links: the HID device controller's handlers (device change,
// enumeration, reports), the serial port's data and loss, and the port button of the port group.
#include <algorithm>
#include <cmath>

#include "core/Controller.h"

namespace qm {

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

void Controller::HidCtlDeviceData(std::string_view productString,
                                  std::span<const std::uint8_t> data) {
    Run([&] {
        if (!x_.TakeHidReport(productString, data)) return;
        if (x_.TextMode) {
            // In command mode the modem answers with text lines, its mode request too.
            bt_.TakeModemLine();
            return;
        }
        // A report while nothing is awaited (a stale reply, one given up on) answers nothing.
        if (!x_.Outstanding) return;
        replies_.Received();
    });
}

void Controller::ComPort1RxChar(std::size_t bytesWaiting) {
    Run([&] {
        if (!x_.TakeSerialBytes(bytesWaiting)) return;
        replies_.Received();
        while (x_.TakeSurplus()) replies_.Received();
    });
}

void Controller::UsbLoggerFound(HidDeviceLink* device) {
    Run([&] {
        UseUsbLogger(device);
        m_.window.title = "QM-Controller";
    });
}

void Controller::SerialPortOpened(SerialLink* port, const std::string& portName) {
    Run([&] { UseSerialPort(port, portName); });
}

void Controller::UseUsbLogger(HidDeviceLink* device) {
    link_.UseUsb(device);
}

void Controller::UseSerialPort(SerialLink* port, const std::string& portName) {
    link_.UseSerial(port, portName);
}

void Controller::HidCtlDeviceChange() {
    Run([&] {
        if (!hid_) return;
        hid_->RunEnumeration();
        // Once the connection has started over USB, the logger going away ends the program; a
        // logger plugged in again has been found by the enumeration above and carries on. Other
        // HID devices coming and going change nothing.
        if (!x_.UsbStarted || x_.SerialLinkActive || !x_.LinkDevice) return;
        const HidDevice* device = hid_->Find(x_.LinkDevice);
        if (device && !device->PluggedIn()) {
            copy_.CloseLocalFiles();
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
    if (!x_.UsbStarted && !x_.SerialLinkActive) m_.window.title = "QM-Controller";
    return true;
}

void Controller::UsbLoggerPluggedIn(HidDevice& device) {
    if (!device.ReadWriteAccess()) {
        // Without read/write access no request would go out and no reply come in.
        ops_.ShowError(ctx_.Text(Msg::HidNoReadWrite, {device.Path()}));
        return;
    }
    // A copy in progress keeps its logger; a logger plugged in meanwhile is not taken.
    if (copy_.CopyRunning()) return;
    if (link_.Started()) PrepareNewConnection();
    UseUsbLogger(&device);
    m_.window.title = "QM-Controller";
}

// Another logger (or the same one again, over another link) is about to be read out from the
// start: what the last connection learnt about its device no longer holds.
void Controller::PrepareNewConnection() {
    sequence_.Restart();
    x_.ForgetRequest();
    deferredClick_.clear();
    x_.TextMode = false;
    bt_.Reset();
    x_.ResetSerialReply();
    radio_.Reset();
}

void Controller::bSetPortClick() {
    Run([&] {
        const double v = m_.SpinEdit1.value;
        const long long whole =
            std::isfinite(v) ? static_cast<long long>(std::clamp(v, -1e9, 1e9)) : 0;
        const auto number = static_cast<std::uint8_t>((whole % 256 + 256) % 256);
        m_.bSetPort.enabled = false;
        if (!StartSerialPort(number, m_.portDevice.text)) m_.bSetPort.enabled = true;
    });
}

bool Controller::StartSerialPort(std::uint8_t number, const std::string& device) {
    const auto opened = link_.OpenPort(number, device);
    if (!opened) return false;
    if (link_.Started()) PrepareNewConnection();
    UseSerialPort(opened->port, opened->name);
    return true;
}

void Controller::ComPort1Lost() {
    Run([&] {
        if (!link_.PortLost()) return;
        deferredClick_.clear();
        ShowRetry(0);
        const std::string text = portView_.PortLost(x_.PortName);
        if (copy_.CopyRunning()) {
            // Drops the unfinished file and gives the data group back.
            if (ops_.SeesWindow())
                copy_.FailCopy(Msg::PortLost, {x_.PortName, m_.bSetPort.caption});
            else
                copy_.FailCopy(Msg::PortLostNoWindow, {x_.PortName});
        } else {
            ops_.ShowError(text);
        }
    });
}

}  // namespace qm
