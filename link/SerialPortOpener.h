#pragma once

#include <string>
#include <string_view>

#include "protocol/Links.h"
#include "text/Language.h"
#include "text/Messages.h"

namespace qm {

// Opens the program's one serial port by name (closing whatever it had open): exclusively, at
// 115200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS off. Returns the
// open port, which the opener owns; throws SerialPortError when it cannot be opened or set up.
class SerialPortOpener {
public:
    virtual ~SerialPortOpener() = default;
    virtual SerialLink* Open(const std::string& name) = 0;
};

#ifdef _WIN32
inline constexpr bool kWindowsPortNames = true;
#else
inline constexpr bool kWindowsPortNames = false;
#endif

// The port to open for the operator's choice: the device typed or picked when there is one,
// else the port number: "COM" + number on Windows, elsewhere the matching first serial port
// (COM1 is /dev/ttyS0).
std::string SerialPortName(int portNumber, std::string_view device,
                           bool windowsNames = kWindowsPortNames);

// What a failed port operation failed at, as the message table names it.
Msg SerialFailureText(SerialFailure failure);
// The text of a serial port error in the chosen language: what failed, and the system's error
// number when it gave one.
std::string SerialErrorText(SerialFailure failure, int systemError = 0,
                            Language language = Language::English);
// The error to raise for a failed port operation.
SerialPortError SerialFailed(SerialFailure failure, int systemError = 0);

}  // namespace qm
