#pragma once

#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/RemarksEditor.h"
#include "session/SessionEvents.h"

namespace qm {

// The remark group: the two lines as the logger keeps them (navy) or as edited and not yet
// written (red), and the button that writes them.
class RemarksPresenter : public SessionEvents {
public:
    RemarksPresenter(PartContext& ctx, RemarksEditor& remarks) : ctx_(ctx), remarks_(remarks) {}
    void Register(Handlers& h);

    void RemarksRead() override;
    void RemarksWriting(const std::string& first, const std::string& second) override;
    void RemarksWritten() override;

private:
    void bRemarkClick();

    PartContext& ctx_;
    RemarksEditor& remarks_;
};

}  // namespace qm
