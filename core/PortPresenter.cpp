#include "core/PortPresenter.h"

namespace qm {

void PortPresenter::Register(Handlers& h) {
    h.OnClick("pmBluetooth", [this] { ctx_.m.GroupBox4.visible = true; });
}

void PortPresenter::Offer(const std::string& device) {
    ctx_.m.GroupBox4.visible = true;
    ctx_.m.portDevice.text = device;
}

void PortPresenter::LinkStarted(LinkKind kind) {
    if (kind == LinkKind::Serial) {
        ctx_.m.GroupBox4.visible = false;
        return;
    }
    ctx_.m.pmBluetooth.enabled = false;
    ctx_.m.window.title = "QM-Controller";
}

void PortPresenter::PortLost(const std::string& /*name*/) {
    // The port group comes back for another port (or the same one once it is there again).
    ctx_.m.GroupBox4.visible = true;
    ctx_.m.bSetPort.enabled = true;
}

}  // namespace qm
