#pragma once

#include <optional>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/DeviceClock.h"
#include "session/SessionEvents.h"

namespace qm {

// The clock buttons and the clock label: a reading shows for a second, red when it is the
// read-back of a setting.
class ClockPresenter : public SessionEvents {
public:
    ClockPresenter(PartContext& ctx, DeviceClock& clock) : ctx_(ctx), clock_(clock) {}
    void Register(Handlers& h);

    void bClockClick() { clock_.Read(); }
    void bSynchClick();

    void ClockRead(const std::optional<ClockReading>& reading) override;
    void ClockShownOutsideReadOut() override { ctx_.m.bSynch.enabled = true; }

private:
    PartContext& ctx_;
    DeviceClock& clock_;
};

}  // namespace qm
