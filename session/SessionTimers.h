#pragma once

#include <array>
#include <functional>

#include "session/TimerHost.h"

namespace qm {

class SessionTimers;

// One of the session's timers: it keeps its interval while stopped and repeats until stopped
// (the one-shot steps stop it in their tick), run by whatever host the session was given.
class SessionTimer {
public:
    void Start();
    void Stop();
    // A change while running counts the new interval from now.
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    int Interval() const { return interval_; }

private:
    friend class SessionTimers;
    SessionTimers* owner_ = nullptr;
    TimerId id_ = TimerId::StartTimer;
    int interval_ = 1000;
    bool enabled_ = false;
};

// The session's timers by name. Without a host they are only data (a test may tick them by
// hand); with one, each armed timer calls the tick handler with its id.
class SessionTimers {
public:
    SessionTimers();
    SessionTimers(const SessionTimers&) = delete;
    SessionTimers& operator=(const SessionTimers&) = delete;

    SessionTimer StartTimer, Timer1, Timer2, Timer3, Timer4, BTtimer, ReplyTimer, RadioRepeat;

    SessionTimer& operator[](TimerId id) { return *timers_[static_cast<std::size_t>(id)]; }
    const SessionTimer& operator[](TimerId id) const {
        return *timers_[static_cast<std::size_t>(id)];
    }
    // The timers running move to `host` (or stop being run, when null).
    void SetHost(TimerHost* host);
    TimerHost* Host() const { return host_; }
    void OnTick(std::function<void(TimerId)> tick) { tick_ = std::move(tick); }

private:
    friend class SessionTimer;
    void Arm(SessionTimer& t);
    void Cancel(SessionTimer& t);
    std::array<SessionTimer*, kTimerCount> timers_{};
    TimerHost* host_ = nullptr;
    std::function<void(TimerId)> tick_;
};

}  // namespace qm
