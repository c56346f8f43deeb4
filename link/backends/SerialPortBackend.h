#pragma once

// The serial port the program uses on this system: the Win32 communications API on Windows,
// Qt SerialPort elsewhere. Both offer the same calls: SetRxHandler, SetLostHandler, IsOpen and
// the SerialPortOpener and SerialLink interfaces.
#ifdef _WIN32
#include "link/backends/WinSerialPort.h"
#else
#include "link/backends/QtSerialPort.h"
#endif

namespace qm {

#ifdef _WIN32
using SerialPortBackend = WinSerialPort;
#else
using SerialPortBackend = QtSerialPort;
#endif

}  // namespace qm
