#pragma once

#include <algorithm>
#include <vector>

#include "session/Exchange.h"
#include "session/LoggerState.h"
#include "session/PcClock.h"
#include "session/SessionEvents.h"
#include "session/SessionTimers.h"
#include "session/SessionWork.h"

namespace qm {

// The program's work with one logger at a time, below any window: the link and the
// transactions on it, the timers that pace the work, what is known of the connected logger, and
// the events its work reports to whoever listens (the window's presenters, a run from the
// command line).
class Session {
public:
    explicit Session(PcClock& clock) : clock_(clock) {
        exchange_.SetClock(&clock);
        exchange_.SetWatchdog(&timers_.ReplyTimer);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Exchange& Link() { return exchange_; }
    const Exchange& Link() const { return exchange_; }
    PcClock& Clock() { return clock_; }
    SessionTimers& Timers() { return timers_; }
    const SessionTimers& Timers() const { return timers_; }
    // Who runs the timers: Qt's event loop in the program, virtual time in the tests.
    void SetTimerHost(TimerHost* host) { timers_.SetHost(host); }
    const LoggerState& Logger() const { return logger_; }
    LoggerState& MutableLogger() { return logger_; }

    // The work on the logger. Set once by whoever does it, before anyone asks for it.
    void SetWork(SessionWork& work) { work_ = &work; }
    SessionWork& Work() { return *work_; }
    const SessionWork& Work() const { return *work_; }

    void Listen(SessionEvents& listener) { listeners_.push_back(&listener); }
    void StopListening(SessionEvents& listener) {
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                         listeners_.end());
    }
    // Tells every listener, in the order they came.
    template <typename F>
    void Report(F&& tell) const {
        for (SessionEvents* l : std::vector<SessionEvents*>(listeners_)) tell(*l);
    }

private:
    PcClock& clock_;
    Exchange exchange_;
    SessionTimers timers_;
    LoggerState logger_;
    SessionWork* work_ = nullptr;
    std::vector<SessionEvents*> listeners_;
};

}  // namespace qm
