#pragma once

#include <chrono>
#include <cstdint>
#include <string>

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

// What the core asks of the operator and the desktop: message boxes, the beep, ending the program.
class OperatorServices {
public:
    virtual ~OperatorServices() = default;
    virtual void ShowWarning(const std::string& text) = 0;
    // A warning with OK and Cancel; true on OK.
    virtual bool Confirm(const std::string& text) = 0;
    // An error the operator can act on: what failed, where and why.
    virtual void ShowError(const std::string& text) = 0;
    virtual void Beep() = 0;
    // Ends the program at once (no close handler runs).
    virtual void Quit() = 0;
};

}  // namespace qm
