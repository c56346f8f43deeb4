#pragma once

#include <QObject>
#include <array>

#include "session/PcClock.h"
#include "session/TimerHost.h"

class QTimer;

namespace qm {

// The session's timers on Qt's event loop: one QTimer for each, named after it.
class QtTimerHost : public QObject, public TimerHost {
public:
    explicit QtTimerHost(QObject* parent = nullptr);

    void Arm(TimerId id, int intervalMs, bool repeat, std::function<void()> tick) override;
    void Cancel(TimerId id) override;
    bool Armed(TimerId id) const override;

private:
    struct Slot {
        QTimer* timer = nullptr;
        std::function<void()> tick;
    };
    std::array<Slot, kTimerCount> slots_;
};

// The PC's local date and time.
class QtPcClock : public PcClock {
public:
    DateTime Now() override;
};

}  // namespace qm
