#pragma once

#include <cstdint>

namespace qm {

// A timer of the window as data. Its owner starts, stops and re-times it; the Qt layer runs a
// QTimer for it and tests advance virtual time. Every Start() (and every change of interval while
// running) bumps `generation`, which tells the driver to count the interval again from now.
// Timers repeat until stopped; the one-shot timers stop themselves in their tick handler.
struct Timer {
    int interval = 100;  // ms
    bool enabled = false;
    std::uint32_t generation = 0;

    void Start() {
        enabled = true;
        ++generation;
    }
    void Stop() { enabled = false; }
    void SetInterval(int ms) {
        if (ms == interval) return;
        interval = ms;
        if (enabled) ++generation;
    }
};

// The window's own timers, which only change what is shown: the labels that hide themselves
// and the busy bar. The timers that pace the work are the session's (session/TimerHost.h).
enum class WindowTimerId {
    SysTimer,
    TimerBar,
};

}  // namespace qm
