#include "app/Links.h"

#include <QTimer>

#include "core/Controller.h"

namespace qm {

AppLinks::AppLinks(Controller& controller)
    : backend_(&context_), hid_(backend_), monitor_([this] { hid_.DevicesChanged(); }) {
    controller.AttachHidCtl(hid_);
    controller.SetSerialPortOpener(&serial_);
    serial_.SetRxHandler([&controller](std::size_t n) { controller.ComPort1RxChar(n); });
    serial_.SetLostHandler([&controller] { controller.ComPort1Lost(); });
    // The first scan always reports, so that the controller enumerates what is there at start.
    QTimer::singleShot(0, &context_, [this] { hid_.DevicesChanged(true); });
}

std::unique_ptr<AppLinks> StartLinks(Controller& controller,
                                     const std::optional<std::string>& port) {
    auto links = std::make_unique<AppLinks>(controller);
    // A port that cannot be opened has been reported by the session, in the window's language.
    if (port && !port->empty()) controller.MutableSession().Work().OpenSerialPort(*port);
    return links;
}

}  // namespace qm
