#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "core/Controller.h"
#include "tests/support/Rig.h"

namespace qm::test {

// Runs a controller's timers in virtual time from a real event loop over a serial line:
// a due timer fires only once the line has been quiet for `quietMs` (50 ms unless told), so a
// reply still on its way is handled before the timer that waits for it. A test that sees both
// ends of the line can also say when nothing is in flight (`settled`); time then stands still
// until it is.
class QuietLineTime {
public:
    QuietLineTime(Controller& controller, FakePcClock& clock, int quietMs = 50,
                  std::function<bool()> settled = {})
        : controller_(controller), clock_(clock), quietMs_(quietMs), settled_(std::move(settled)) {
        lastByte_.start();
    }

    // Call from the port's receive handler, and on any other traffic of the line.
    void ByteArrived() { lastByte_.restart(); }
    std::int64_t Now() const { return now_; }

    // Runs the event loop until `done` holds, for at most `limitMs` of wall time.
    template <typename Pred>
    bool RunUntil(Pred done, int limitMs = 20'000) {
        QElapsedTimer wall;
        wall.start();
        while (!done() && wall.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            timers_.Sync();
            if (lastByte_.elapsed() < quietMs_ || (settled_ && !settled_())) continue;
            const auto next = timers_.Next();
            if (!next) continue;
            now_ = std::max(now_, next->first);
            clock_.elapsedMs = now_;
            timers_.Fire(next->second);
            lastByte_.restart();
        }
        return done();
    }

private:
    Controller& controller_;
    FakePcClock& clock_;
    int quietMs_;
    std::function<bool()> settled_;
    QElapsedTimer lastByte_;
    std::int64_t now_ = 0;
    VirtualTimers timers_{controller_, now_};
};

}  // namespace qm::test
