#include "core/ClockPresenter.h"

namespace qm {

void ClockPresenter::Register(Handlers& h) {
    h.OnClick("bClock", [this] { bClockClick(); });
    h.OnClick("bSynch", [this] { bSynchClick(); });
}

void ClockPresenter::bSynchClick() {
    clock_.Set();
    ctx_.m.bSynch.enabled = false;
}

void ClockPresenter::ClockRead(const std::optional<ClockReading>& /*reading*/) {
    Label& l = ctx_.m.Label2;
    l.caption = clock_.ReadingText();
    l.visible = true;
    l.fontColour = clock_.ReadAfterSetting() ? Colour::Red : Colour::Navy;
    ctx_.ArmSysTimer(SysTimerAction::HideClock, 1000);
}

}  // namespace qm
