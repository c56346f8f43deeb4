#pragma once

#include <algorithm>
#include <vector>

#include "session/Exchange.h"
#include "session/LoggerState.h"
#include "session/PcClock.h"
#include "session/SessionEvents.h"
#include "session/SessionWork.h"

namespace qm {

// The program's work with one logger at a time, below any window: the link and the
// transactions on it, what is known of the connected logger, and the events its work reports to
// whoever listens (the window's presenters, a run from the command line).
class Session {
public:
    explicit Session(PcClock& clock) : clock_(clock) { exchange_.SetClock(&clock); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Exchange& Link() { return exchange_; }
    const Exchange& Link() const { return exchange_; }
    PcClock& Clock() { return clock_; }
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
    LoggerState logger_;
    SessionWork* work_ = nullptr;
    std::vector<SessionEvents*> listeners_;
};

}  // namespace qm
