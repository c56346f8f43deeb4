#pragma once

#include "core/PartContext.h"
#include "session/ConnectionSequence.h"
#include "session/SessionEvents.h"

namespace qm {

// What the read-out of a newly connected logger shows: the title with its model and line
// value, the clock and test buttons, the battery, the group of its model (the schedule, or the
// remarks), and the window's own timers (the labels that hide themselves, the busy bar).
class ReadOutPresenter : public SessionEvents {
public:
    ReadOutPresenter(PartContext& ctx, const ConnectionSequence& sequence)
        : ctx_(ctx), sequence_(sequence) {}

    void ReadOutRestarted() override;
    void IdentificationAsked() override;
    void LoggerIdentified() override;
    void LineRead() override;
    void BatteryRead(double volts) override;
    void ListingEnded() override;
    void FirstListingEnded() override;
    void ReadOutGivenUp() override;

    void SysTimerTimer();
    void TimerBarTimer();

private:
    PartContext& ctx_;
    const ConnectionSequence& sequence_;
};

}  // namespace qm
