#pragma once

#include <string>

#include "session/PcClock.h"

namespace qm {

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
    // The operator sees the window, so a message may say which of its buttons to press next; a
    // run without a window is told only what happened.
    virtual bool SeesWindow() const { return true; }
};

}  // namespace qm
