#include "collect/Serve.h"

namespace qm {

void Serve(Schedule& schedule, ServeHost& host) {
    bool saidNothingDue = false;
    while (!host.Stopped()) {
        if (const auto due = schedule.Due(host.Now())) {
            const std::chrono::sys_seconds began = host.Now();
            const bool collected = host.Visit(*due, began);
            schedule.Visited(*due, began, host.Now(), collected);
            host.Visited(*due, began);
            continue;
        }
        const std::optional<std::chrono::sys_seconds> next = schedule.NextWake();
        if (!next && !saidNothingDue) {
            saidNothingDue = true;
            host.NothingDue();
        }
        host.Wait(next);
    }
}

}  // namespace qm
