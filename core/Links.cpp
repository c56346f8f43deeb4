// The window's side of the two links: the work takes the HID device controller's scans and
// reports and the serial port's data; the port group's button opens the port it shows.
#include <algorithm>
#include <cmath>

#include "core/Controller.h"

namespace qm {

void Controller::AttachHidCtl(HidCtl& hid) {
    work_.AttachHidCtl(hid);
}

void Controller::HidCtlDeviceData(std::string_view productString,
                                  std::span<const std::uint8_t> data) {
    work_.HidDeviceData(productString, data);
}

void Controller::ComPort1RxChar(std::size_t bytesWaiting) {
    work_.SerialBytes(bytesWaiting);
}

void Controller::UsbLoggerFound(HidDeviceLink* device) {
    work_.UsbLoggerFound(device);
}

void Controller::SerialPortOpened(SerialLink* port, const std::string& portName) {
    work_.SerialPortOpened(port, portName);
}

void Controller::HidCtlDeviceChange() {
    work_.HidDeviceChange();
}

void Controller::ComPort1Lost() {
    work_.PortLost();
}

void Controller::bSetPortClick() {
    Run([&] {
        const double v = m_.SpinEdit1.value;
        const long long whole =
            std::isfinite(v) ? static_cast<long long>(std::clamp(v, -1e9, 1e9)) : 0;
        const auto number = static_cast<std::uint8_t>((whole % 256 + 256) % 256);
        m_.bSetPort.enabled = false;
        if (!work_.OpenPort(number, m_.portDevice.text)) m_.bSetPort.enabled = true;
    });
}

bool Controller::OpenPortGroup(const std::string& name) {
    portView_.Offer(name);
    bSetPortClick();
    return x_.PortOpen;
}

}  // namespace qm
