#include "app/QtTimerHost.h"

#include <QDateTime>
#include <QTimer>

namespace qm {

QtTimerHost::QtTimerHost(QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        auto* t = new QTimer(this);
        t->setObjectName(TimerName(static_cast<TimerId>(i)));
        // The tick is taken before it runs: it may arm its own timer again.
        connect(t, &QTimer::timeout, this, [this, i] {
            const std::function<void()> tick = slots_[i].tick;
            if (tick) tick();
        });
        slots_[i].timer = t;
    }
}

void QtTimerHost::Arm(TimerId id, int intervalMs, bool repeat, std::function<void()> tick) {
    Slot& slot = slots_[static_cast<std::size_t>(id)];
    slot.tick = std::move(tick);
    slot.timer->setSingleShot(!repeat);
    slot.timer->start(intervalMs);
}

void QtTimerHost::Cancel(TimerId id) {
    slots_[static_cast<std::size_t>(id)].timer->stop();
}

bool QtTimerHost::Armed(TimerId id) const {
    return slots_[static_cast<std::size_t>(id)].timer->isActive();
}

DateTime QtPcClock::Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return DateTime::FromCivil(
               {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()})
        .value_or(DateTime());
}

}  // namespace qm
