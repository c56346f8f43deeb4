#include "core/PortPresenter.h"

#include <cerrno>

#include "link/SerialPortOpener.h"

namespace qm {

void PortPresenter::Register(Handlers& h) {
    h.OnClick("pmBluetooth", [this] { ctx_.m.GroupBox4.visible = true; });
}

void PortPresenter::Offer(const std::string& device) {
    ctx_.m.GroupBox4.visible = true;
    ctx_.m.portDevice.text = device;
}

void PortPresenter::LinkStarted(LinkKind kind) {
    if (kind == LinkKind::Serial)
        ctx_.m.GroupBox4.visible = false;
    else
        ctx_.m.pmBluetooth.enabled = false;
}

void PortPresenter::PortOpenFailed(const PortFailure& failure) {
    // The group stays up with its button, so the operator can try another port.
    const Language language = ctx_.CurrentLanguage();
    const std::string reason = failure.failure != SerialFailure::Open
                                   ? SerialErrorText(failure.failure, failure.systemError, language)
                               : failure.systemError == EBUSY
                                   ? Message(Msg::ReasonPortHeld, language)
                                   : SystemReason(failure.systemError, language);
    ctx_.ops.ShowError(
        ctx_.ops.SeesWindow()
            ? ctx_.Text(Msg::PortOpenFailed, {failure.name, reason, ctx_.m.bSetPort.caption})
            : ctx_.Text(Msg::PortOpenFailedNoWindow, {failure.name, reason}));
}

std::string PortPresenter::PortLost(const std::string& name) {
    // The port group comes back for another port (or the same one once it is there again).
    WindowModel& m = ctx_.m;
    m.GroupBox4.visible = true;
    m.bSetPort.enabled = true;
    return ctx_.ops.SeesWindow() ? ctx_.Text(Msg::PortLost, {name, m.bSetPort.caption})
                                 : ctx_.Text(Msg::PortLostNoWindow, {name});
}

}  // namespace qm
