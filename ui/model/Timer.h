#pragma once

#include <cstdint>

#include "session/Timer.h"

namespace qm {

// The window's timers by name; kTimers (ui/model/WindowModel.h) says the rest of each.
enum class TimerId {
    StartTimer,
    SysTimer,
    TimerBar,
    Timer1,
    Timer2,
    Timer3,
    Timer4,
    BTtimer,
    ReplyTimer,
};

}  // namespace qm
