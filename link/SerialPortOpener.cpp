#include "link/SerialPortOpener.h"

namespace qm {

std::string SerialPortName(int portNumber, std::string_view device, bool windowsNames) {
    if (!device.empty()) return std::string(device);
    if (windowsNames) return "COM" + std::to_string(portNumber);
    return "/dev/ttyS" + std::to_string(portNumber > 0 ? portNumber - 1 : 0);
}

std::string SerialErrorText(std::string_view what, int systemError) {
    std::string text(what);
    if (systemError > 0) text += " (Error: " + std::to_string(systemError) + ")";
    return text;
}

}  // namespace qm
