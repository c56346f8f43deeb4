#pragma once

#include <cstdint>

#include "session/Timer.h"

namespace qm {

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
inline constexpr TimerId kAllTimers[] = {
    TimerId::StartTimer, TimerId::SysTimer, TimerId::TimerBar, TimerId::Timer1,    TimerId::Timer2,
    TimerId::Timer3,     TimerId::Timer4,   TimerId::BTtimer,  TimerId::ReplyTimer};
const char* TimerName(TimerId id);

}  // namespace qm
