#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Console.h"
#include "collect/Visit.h"
#include "session/PcClock.h"
#include "text/Language.h"

namespace qm {

namespace sim {
class VirtualNetwork;
}  // namespace sim

// One visit of a logger on the event loop, for the runs without a window: the session with its
// timers and links, the visit that drives it, and what it says on standard error in the run's
// language. Who does the session's work stays inside (for now the window's controller, behind
// SessionWork and Session).
class VisitRun {
public:
    // Copies go to data-set folders in `startFolder`'s DATA (when given).
    VisitRun(PcClock& clock, ErrorStream& err, Language language,
             const std::optional<std::filesystem::path>& startFolder = std::nullopt);
    ~VisitRun();
    VisitRun(const VisitRun&) = delete;
    VisitRun& operator=(const VisitRun&) = delete;

    SessionWork& Work();

    // Visits `station` to its end and returns what it did. With `network` (the demo's), the
    // USB modems are that network's. `progress` hears where the visit stands.
    VisitResult Run(const Station& station, const VisitAsk& ask, sim::VirtualNetwork* network,
                    std::function<void(const VisitProgress&)> progress);
    // Ends the visit that runs (from the event loop), as the window's Stop does: the files copied
    // whole stay, the one being copied is dropped, and `why` is its error.
    void Stop(const VisitMessage& why);

private:
    class Parts;
    std::unique_ptr<Parts> p_;
};

// The PC's local clock, for the runs without a window.
std::unique_ptr<PcClock> MakePcClock();

// Where a visit stands, in words: linking, reading out, or the directory being copied with
// file i of n, the measurements and the time left, on one line.
std::string ProgressText(const VisitProgress& progress, Language language);

}  // namespace qm
