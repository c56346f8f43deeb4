#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/SerialPortOpener.h"
#include "protocol/Links.h"
#include "session/WorkContext.h"

namespace qm {

// The start and loss of the link to the logger: the USB logger or the serial port that carries
// the packets from now on, the serial port opened by name, and the port that went away.
class LinkStart {
public:
    explicit LinkStart(WorkContext& ctx) : ctx_(ctx) {}
    // Opens the serial ports asked for.
    void SetPortOpener(SerialPortOpener* opener) { opener_ = opener; }

    // A HID logger carries the packets from now on; the connection sequence starts 300 ms later.
    void UseUsb(HidDeviceLink* device);
    // An open serial port carries them; the sequence starts 3 s later.
    void UseSerial(SerialLink* port, const std::string& name);

    // A port that is open and named.
    struct OpenedPort {
        SerialLink* port = nullptr;
        std::string name;
    };
    // Closes the port open so far and opens the one named `device`, or else numbered `number`
    // (see SerialPortName). Nothing when it cannot be opened: PortOpenFailed tells why.
    std::optional<OpenedPort> OpenPort(std::uint8_t number, const std::string& device);

    // The open serial port's far end has gone: the port is closed, nothing is awaited on it and
    // no connection starts on it. False when no port was open.
    bool PortLost();
    // The program closes: the logger is asked to power down through the Bluetooth modem
    // (`throughModem`), or over the serial port, which is closed then (`overPort`).
    void PowerDown(bool throughModem, bool overPort);

    // A link has started: another one means a new connection.
    bool Started() const { return ctx_.x.UsbStarted || ctx_.x.SerialLinkActive; }

private:
    WorkContext& ctx_;
    SerialPortOpener* opener_ = nullptr;
};

}  // namespace qm
