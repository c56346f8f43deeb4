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

class Controller;

// The program's two link components and their platform layers: the HID device controller on
// hidapi with its device monitor, and the serial port. Made after the main window's FormCreate,
// destroyed after the event loop has ended.
class AppLinks {
public:
    explicit AppLinks(Controller& controller);
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

// Attaches the links to the controller (call after FormCreate): the first HID scan runs as soon
// as the event loop does; with a port given, the port group is opened and that port chosen, so
// a port that cannot be opened leaves the group shown for another choice (and says so on
// stderr).
std::unique_ptr<AppLinks> StartLinks(Controller& controller,
                                     const std::optional<std::string>& port);

}  // namespace qm
