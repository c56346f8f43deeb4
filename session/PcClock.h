#pragma once

#include <chrono>
#include <cstdint>

#include "protocol/DateTime.h"

namespace qm {

// The PC's clock (local time).
class PcClock {
public:
    virtual ~PcClock() = default;
    virtual DateTime Now() = 0;
    // The time in UTC, to the second, for records that outlive the PC's time zone.
    virtual std::chrono::sys_seconds UtcNow() {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
    // Milliseconds of a clock that never jumps, for how long replies take.
    virtual std::int64_t SteadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace qm
