#include "session/SessionTimers.h"

namespace qm {

void SessionTimer::Start() {
    enabled_ = true;
    owner_->Arm(*this);
}

void SessionTimer::Stop() {
    if (!enabled_) return;
    enabled_ = false;
    owner_->Cancel(*this);
}

void SessionTimer::SetInterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) owner_->Arm(*this);
}

SessionTimers::SessionTimers()
    : timers_{&StartTimer, &Timer1,  &Timer2,     &Timer3,
              &Timer4,     &BTtimer, &ReplyTimer, &RadioRepeat} {
    for (std::size_t i = 0; i < timers_.size(); ++i) {
        timers_[i]->owner_ = this;
        timers_[i]->id_ = static_cast<TimerId>(i);
    }
    StartTimer.interval_ = 300;
    Timer1.interval_ = 15000;
}

void SessionTimers::SetHost(TimerHost* host) {
    for (SessionTimer* t : timers_)
        if (t->enabled_) Cancel(*t);
    host_ = host;
    for (SessionTimer* t : timers_)
        if (t->enabled_) Arm(*t);
}

void SessionTimers::Arm(SessionTimer& t) {
    if (!host_) return;
    const TimerId id = t.id_;
    host_->Arm(id, t.interval_, true, [this, id] {
        if (tick_) tick_(id);
    });
}

void SessionTimers::Cancel(SessionTimer& t) {
    if (host_) host_->Cancel(t.id_);
}

}  // namespace qm
