#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "collect/Schedule.h"
#include "collect/Serve.h"
#include "session/PcClock.h"
#include "text/Language.h"

namespace qm {

namespace sim {
class VirtualNetwork;
}  // namespace sim

// Virtual time for the runs without a window in tests and benchmarks: the PC clock, and timers
// that run when the clock reaches them. The clock moves only to the next timer due (Step) or
// when told (MoveTo), so days of visits take moments.
class VirtualTime : public PcClock {
public:
    static constexpr std::size_t kSlots = 16;

    VirtualTime(std::chrono::sys_seconds start, const LocalZone& zone);

    DateTime Now() override;
    std::chrono::sys_seconds UtcNow() override;
    std::int64_t SteadyMs() override { return ms_; }
    // Moves the clock on to `t` and runs nothing: a wait between visits. Never back.
    void MoveTo(std::chrono::sys_seconds t);

    // Calls `tick` `ms` (at least 1) from now, then as often while `repeat`; armed again,
    // counts from now.
    void Arm(std::size_t slot, int ms, bool repeat, std::function<void()> tick);
    void Cancel(std::size_t slot) { slots_[slot].armed = false; }
    bool Armed(std::size_t slot) const { return slots_[slot].armed; }
    // Moves the clock to the timer due first (of those due together, the first armed) and runs
    // it; false when none is armed.
    bool Step();

private:
    struct Slot {
        bool armed = false;
        bool repeat = false;
        int interval = 0;
        std::int64_t due = 0;
        std::uint64_t order = 0;
        std::function<void()> tick;
    };
    std::chrono::sys_seconds start_;
    const LocalZone& zone_;
    std::int64_t ms_ = 0;  // since the start
    std::uint64_t armed_ = 0;
    std::array<Slot, kSlots> slots_;
};

// A runner of visits to the loggers of `network` on `time`, as the program's --demo makes them:
// by radio or Bluetooth through the network's USB modems, the reports of the in-process link
// delivered one at a time. The network should read its PC clock from `time`.
std::unique_ptr<VisitRunner> MakeVirtualVisit(VirtualTime& time, sim::VirtualNetwork& network,
                                              Language language);

}  // namespace qm
