#include "link/SerialPortOpener.h"

#include "text/Messages.h"

namespace qm {

std::string SerialPortName(int portNumber, std::string_view device, bool windowsNames) {
    if (!device.empty()) return std::string(device);
    if (windowsNames) return "COM" + std::to_string(portNumber);
    return "/dev/ttyS" + std::to_string(portNumber > 0 ? portNumber - 1 : 0);
}

Msg SerialFailureText(SerialFailure failure) {
    switch (failure) {
        case SerialFailure::Open:
            return Msg::SerialOpen;
        case SerialFailure::Write:
            return Msg::SerialWrite;
        case SerialFailure::Read:
            return Msg::SerialRead;
        case SerialFailure::Purge:
            return Msg::SerialPurge;
        case SerialFailure::SetState:
            return Msg::SerialSetState;
        case SerialFailure::SetTimeouts:
            return Msg::SerialSetTimeouts;
        case SerialFailure::SetupQueues:
            return Msg::SerialSetupQueues;
        case SerialFailure::CountBytes:
            return Msg::SerialCountBytes;
        case SerialFailure::NotOpen:
            break;
    }
    return Msg::SerialNotOpen;
}

std::string SerialErrorText(SerialFailure failure, int systemError, Language language) {
    std::string text = Message(SerialFailureText(failure), language);
    if (systemError > 0)
        text += Message(Msg::SerialErrorSuffix, language, {std::to_string(systemError)});
    return text;
}

SerialPortError SerialFailed(SerialFailure failure, int systemError) {
    return SerialPortError(failure, systemError, SerialErrorText(failure, systemError));
}

}  // namespace qm
