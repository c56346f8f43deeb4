#include "app/Links.h"

#include <QTimer>

#include "session/LoggerWork.h"

namespace qm {

AppLinks::AppLinks(LoggerWork& work)
    : backend_(&context_), hid_(backend_), monitor_([this] { hid_.DevicesChanged(); }) {
    work.AttachHidCtl(hid_);
    work.SetSerialPortOpener(&serial_);
    serial_.SetRxHandler([&work](std::size_t n) { work.SerialBytes(n); });
    serial_.SetLostHandler([&work] { work.PortLost(); });
    // The first scan always reports, so that the work enumerates what is there at start.
    QTimer::singleShot(0, &context_, [this] { hid_.DevicesChanged(true); });
}

std::unique_ptr<AppLinks> StartLinks(LoggerWork& work, const std::optional<std::string>& port) {
    auto links = std::make_unique<AppLinks>(work);
    // A port that cannot be opened has been reported by the session.
    if (port && !port->empty()) work.OpenSerialPort(*port);
    return links;
}

}  // namespace qm
