#pragma once

#include <cstdint>
#include <functional>

namespace qm {

// The timers that pace the work with a logger, by the names they have always had: the start of
// a connection, the Bluetooth modem's dialling and its mode steps, the copy's steps, the line
// value after the read-out, the reply watchdog, and the radio modem's every-second repeat of
// its identification (once a task of the window's SysTimer).
enum class TimerId : std::uint8_t {
    StartTimer,
    Timer1,
    Timer2,
    Timer3,
    Timer4,
    BTtimer,
    ReplyTimer,
    RadioRepeat,
};
inline constexpr std::size_t kTimerCount = static_cast<std::size_t>(TimerId::RadioRepeat) + 1;

inline const char* TimerName(TimerId id) {
    switch (id) {
        case TimerId::StartTimer:
            return "StartTimer";
        case TimerId::Timer1:
            return "Timer1";
        case TimerId::Timer2:
            return "Timer2";
        case TimerId::Timer3:
            return "Timer3";
        case TimerId::Timer4:
            return "Timer4";
        case TimerId::BTtimer:
            return "BTtimer";
        case TimerId::ReplyTimer:
            return "ReplyTimer";
        case TimerId::RadioRepeat:
            return "RadioRepeat";
    }
    return "?";
}

// Runs timers for the session: Qt's event loop in the program, virtual time in the tests.
class TimerHost {
public:
    virtual ~TimerHost() = default;
    // Calls `tick` `intervalMs` from now, and every `intervalMs` after that while `repeat`
    // holds, until cancelled; arming an armed timer counts its interval again from now.
    virtual void Arm(TimerId id, int intervalMs, bool repeat, std::function<void()> tick) = 0;
    virtual void Cancel(TimerId id) = 0;
    virtual bool Armed(TimerId id) const = 0;
};

}  // namespace qm
