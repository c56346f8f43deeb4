#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "link/HidCtl.h"
#include "link/backends/HidApiBackend.h"
#include "link/backends/HidDeviceMonitor.h"
#include "link/backends/SerialPortBackend.h"

namespace qm {

class LoggerWork;

// The program's two link components and their platform layers: the HID device controller on
// hidapi with its device monitor, and the serial port. Made once the work has started,
// destroyed after the event loop has ended.
class AppLinks {
public:
    explicit AppLinks(LoggerWork& work);
    AppLinks(const AppLinks&) = delete;
    AppLinks& operator=(const AppLinks&) = delete;

    HidCtl& Hid() { return hid_; }
    SerialPortBackend& SerialPort() { return serial_; }

private:
    QObject context_;  // reader hand-overs run on this object's (the UI) thread
    HidApiBackend backend_;
    HidCtl hid_;
    SerialPortBackend serial_;
    HidDeviceMonitor monitor_;
};

// Attaches the links to the work (once it has started): the first HID scan runs as soon as the
// event loop does; with a port given, that port is opened (a problem says why it cannot be).
std::unique_ptr<AppLinks> StartLinks(LoggerWork& work, const std::optional<std::string>& port);

}  // namespace qm
