#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "collect/Schedule.h"
#include "collect/Visit.h"

namespace qm {

// What runs one visit of a logger for a collection: the session, its timers and links, and the
// Visit that drives it. Qt's event loop and the PC clock in the program; virtual time in the tests
// and benchmarks.
class VisitRunner {
public:
    virtual ~VisitRunner() = default;
    virtual SessionWork& Work() = 0;
    // Visits `station` to its end and returns what it did; `progress` hears where it stands.
    virtual VisitResult Run(const Station& station, const VisitAsk& ask,
                            std::function<void(const VisitProgress&)> progress) = 0;
    // Ends the visit that runs, as the window's Stop does: the files copied whole stay, the one
    // being copied is dropped, and `why` is its error.
    virtual void Stop(const VisitMessage& why) = 0;
};

// What a collection that serves is given: its clock, the visit of a station with its log, and
// the wait between visits.
class ServeHost {
public:
    virtual ~ServeHost() = default;
    virtual std::chrono::sys_seconds Now() = 0;
    // Visits the station, logs the visit and says whether it collected the station.
    virtual bool Visit(std::size_t station, std::chrono::sys_seconds began) = 0;
    // The schedule has heard of the visit: what follows it (the status, with the next due times).
    virtual void Visited(std::size_t /*station*/, std::chrono::sys_seconds /*began*/) {}
    // Waits until `wake`, or without end when there is none, unless a stop comes first.
    virtual void Wait(std::optional<std::chrono::sys_seconds> wake) = 0;
    virtual bool Stopped() = 0;
    // No station is due again by its schedule (said once).
    virtual void NothingDue() {}
};

// Serves until the host is stopped: the station that is due is visited, the schedule hears how
// the visit went, and the host waits for the next station due.
void Serve(Schedule& schedule, ServeHost& host);

}  // namespace qm
