#include "core/RemarksPresenter.h"

namespace qm {

void RemarksPresenter::Register(Handlers& h) {
    // An edited line is not yet on the logger.
    h.OnChange("pRemark1", [this] {
        ctx_.m.pRemark1.fontColour = Colour::Red;
        ctx_.m.bRemark.enabled = true;
    });
    h.OnChange("pRemark2", [this] {
        ctx_.m.pRemark2.fontColour = Colour::Red;
        ctx_.m.bRemark.enabled = true;
    });
    h.OnClick("bRemark", [this] { bRemarkClick(); });
}

void RemarksPresenter::bRemarkClick() {
    const WindowModel& m = ctx_.m;
    if (!m.bRemark.enabled) return;
    remarks_.Write(m.pRemark1.text, m.pRemark2.text);
}

void RemarksPresenter::RemarksRead() {
    WindowModel& m = ctx_.m;
    const auto& lines = *ctx_.session.Logger().remarks;
    ctx_.SetEditText("pRemark1", m.pRemark1, lines.first);
    m.pRemark1.fontColour = Colour::Navy;
    ctx_.SetEditText("pRemark2", m.pRemark2, lines.second);
    m.pRemark2.fontColour = Colour::Navy;
    m.bRemark.enabled = false;
}

// Both lines are shown exactly as they are sent.
void RemarksPresenter::RemarksWriting(const std::string& first, const std::string& second) {
    WindowModel& m = ctx_.m;
    ctx_.SetEditText("pRemark1", m.pRemark1, first);
    ctx_.SetEditText("pRemark2", m.pRemark2, second);
    m.bRemark.enabled = false;
}

void RemarksPresenter::RemarksWritten() {
    ctx_.m.pRemark1.fontColour = Colour::Navy;
    ctx_.m.pRemark2.fontColour = Colour::Navy;
}

}  // namespace qm
