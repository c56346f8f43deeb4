#include "app/Links.h"

#include <QTimer>
#include <iostream>

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
    if (port && !port->empty()) {
        controller.Click("pmBluetooth");
        controller.MutableModel().portDevice.text = *port;
        controller.Click("bSetPort");
        if (!controller.Link().PortOpen)
            std::cerr << "qm-controller: cannot open the serial port " << *port << "\n";
    }
    return links;
}

}  // namespace qm
