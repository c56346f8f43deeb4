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
    // Milliseconds of a clock that never jumps, for how long replies take.
    virtual std::int64_t SteadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace qm
