#include "core/ReadOutPresenter.h"

#include "core/BatteryView.h"

namespace qm {

// The read-out starts from an empty directory list and shows the group of the model it finds
// (the schedule, or the remarks of type 88) at its end.
void ReadOutPresenter::ReadOutRestarted() {
    ctx_.m.GroupBox2.visible = false;
    ctx_.m.pComment.visible = false;
}

// On USB the port group is not needed any more.
void ReadOutPresenter::IdentificationAsked() {
    if (!ctx_.x.SerialLinkActive) ctx_.m.GroupBox4.visible = false;
}

void ReadOutPresenter::LoggerIdentified() {
    WindowModel& m = ctx_.m;
    m.gbR_Modem.visible = false;
    m.SysTimer.Stop();
    m.window.title = sequence_.DeviceTitle();
    // The read-out gives them back after its first listing; an identification outside it (late,
    // or repeated by the watchdog) leads to no listing and must not take them away.
    for (Button* b : {&m.bTest, &m.bClock, &m.bSynch}) {
        b->visible = true;
        if (sequence_.ReadingOut()) b->enabled = false;
    }
}

void ReadOutPresenter::LineRead() {
    ctx_.m.window.title = sequence_.DeviceTitle() + "  Line  [" + sequence_.LineValueText() + "]";
}

void ReadOutPresenter::BatteryRead(double volts) {
    ShowBattery(ctx_.m, volts, ctx_.CurrentLanguage());
}

void ReadOutPresenter::ListingEnded() {
    WindowModel& m = ctx_.m;
    if (sequence_.PathrexDevice())
        m.pComment.visible = true;
    else
        m.GroupBox2.visible = true;
    m.window.width = 370;
    m.Chart1.visible = false;
}

void ReadOutPresenter::FirstListingEnded() {
    WindowModel& m = ctx_.m;
    m.bSynch.enabled = true;
    m.bClock.enabled = true;
    m.bTest.enabled = true;
}

// The buttons the read-out would have enabled at its end come back so the operator can try
// again.
void ReadOutPresenter::ReadOutGivenUp() {
    WindowModel& m = ctx_.m;
    for (Button* b : {&m.bTest, &m.bClock, &m.bSynch})
        if (b->visible) b->enabled = true;
}

void ReadOutPresenter::SysTimerTimer() {
    WindowModel& m = ctx_.m;
    m.SysTimer.Stop();
    switch (ctx_.sysTimerAction) {
        case SysTimerAction::HideClock:
            m.Label2.visible = false;
            break;
        case SysTimerAction::HideNoDirectory:
            m.Label6.visible = false;
            m.Label2.visible = false;
            break;
        case SysTimerAction::None:
            break;
    }
}

void ReadOutPresenter::TimerBarTimer() {
    ProgressBar& bar = ctx_.m.ProgressBar1;
    bar.position = bar.position + 1 > bar.maximum ? 0 : bar.position + 1;
}

}  // namespace qm
