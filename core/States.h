#pragma once

#include <cstdint>

namespace qm {

// What the next tick of SysTimer does.
enum class SysTimerAction : std::uint8_t {
    None = 0,
    HideClock = 1,        // the clock label after a second
    HideNoDirectory = 2,  // the "no data" label and the clock label
};

}  // namespace qm
