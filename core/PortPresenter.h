#pragma once

#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/SessionEvents.h"

namespace qm {

// The port group: shown from the menu, hidden once a port carries the link, offered again when
// the port goes; the title while a USB logger is awaited; the end of the program when the USB
// logger goes.
class PortPresenter : public SessionEvents {
public:
    explicit PortPresenter(PartContext& ctx) : ctx_(ctx) {}
    void Register(Handlers& h);

    // The group shown with `device` typed in, as the operator would ask for it.
    void Offer(const std::string& device);

    void LinkStarted(LinkKind kind) override;
    void PortLost(const std::string& name) override;
    void UsbScanned() override { ctx_.m.window.title = "QM-Controller"; }
    void LoggerUnplugged() override { ctx_.ops.Quit(); }

private:
    PartContext& ctx_;
};

}  // namespace qm
