#pragma once

#include <functional>
#include <memory>

namespace qm {

// The operator's or the system's request to stop a run that goes on until stopped: SIGTERM or
// SIGINT on Linux; Ctrl+C, Ctrl+Break, the console closing, the user logging off or the system
// shutting down on Windows. `stop` is called on Qt's event loop (never inside the signal
// handler), once per request; the run then ends as it chooses. One at a time in a process.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> stop);
    // On Windows a closing console waits for this (a few seconds at most) before the process
    // is ended, so that the run can write what it must.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A request has come (also before the event loop has heard of it).
    bool Requested() const { return requested_ || Arrived(); }
    // A request has come to the process, as its handler saw it at once: what a wait that
    // blocks the event loop (an alarm's delivery) looks at to end early. Safe from any thread.
    static bool Arrived();

private:
    struct Parts;
    std::unique_ptr<Parts> p_;
    bool requested_ = false;
};

}  // namespace qm
