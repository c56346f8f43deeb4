#pragma once

#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/SessionEvents.h"

namespace qm {

// The port group: shown from the menu, hidden once a port carries the link, offered again when
// the port goes; and the words of a port that could not be opened or was lost.
class PortPresenter : public SessionEvents {
public:
    explicit PortPresenter(PartContext& ctx) : ctx_(ctx) {}
    void Register(Handlers& h);

    // The group shown with `device` typed in, as the operator would ask for it.
    void Offer(const std::string& device);
    // The port `name` has gone: the group comes back; returns what the operator is told.
    std::string PortLost(const std::string& name);

    void LinkStarted(LinkKind kind) override;
    void PortOpenFailed(const PortFailure& failure) override;

private:
    PartContext& ctx_;
};

}  // namespace qm
