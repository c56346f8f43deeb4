#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>

#include "core/Controller.h"
#include "tests/support/Rig.h"

namespace qm::test {

// Runs a controller's window timers in virtual time from a real event loop over a serial line:
// a due timer fires only once the line has been quiet for 50 ms, so a reply still on its way is
// handled before the timer that waits for it.
class QuietLineTime {
public:
    QuietLineTime(Controller& controller, FakePcClock& clock)
        : controller_(controller), clock_(clock) {
        lastByte_.start();
    }

    // Call from the port's receive handler.
    void ByteArrived() { lastByte_.restart(); }

    // Runs the event loop until `done` holds, for at most `limitMs` of wall time.
    template <typename Pred>
    bool RunUntil(Pred done, int limitMs = 20'000) {
        WindowModel& m = controller_.MutableModel();
        QElapsedTimer wall;
        wall.start();
        while (!done() && wall.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            timers_.Sync(m, now_);
            if (lastByte_.elapsed() < 50) continue;
            const auto next = timers_.Next();
            if (!next) continue;
            now_ = std::max(now_, next->first);
            clock_.elapsedMs = now_;
            controller_.OnTimer(next->second);
            timers_.Fired(m, next->second, now_);
            lastByte_.restart();
        }
        return done();
    }

private:
    Controller& controller_;
    FakePcClock& clock_;
    QElapsedTimer lastByte_;
    VirtualTimers timers_;
    std::int64_t now_ = 0;
};

}  // namespace qm::test
