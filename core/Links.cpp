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

// Every device is claimed, so that every device the program may open gets a reader; reports
// are filtered by product string when they arrive. The last device named exactly like the
// logger family carries the link.
bool Controller::HidCtlEnumerate(HidDevice& device, int index) {
    hid_->ClaimDevice(index);
    if (device.ProductString() == kLoggerProductName) UseUsbLogger(&device);
    m_.window.title = "QM-Controller";
    return true;
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
            if (!portOpener_) throw SerialPortError(SerialErrorText(SerialError::Open));
            port = portOpener_->Open(name);
        } catch (const SerialPortError&) {
            // The operator simply tries another port.
            s_.PortOpen = false;
        }
        if (!s_.PortOpen) {
            m_.bSetPort.enabled = true;
            return;
        }
        UseSerialPort(port, name);
    });
}

}  // namespace qm
