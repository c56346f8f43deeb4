#include "ui/qt/ModelTimers.h"

#include <QTimer>

namespace qm {

ModelTimers::ModelTimers(const std::function<void(WindowTimerId)>& tick, QObject* parent)
    : QObject(parent) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const WindowTimerId id = kTimers[i].id;
        auto* t = new QTimer(this);
        t->setObjectName(TimerName(id));
        connect(t, &QTimer::timeout, this, [tick, id] { tick(id); });
        slots_[i].timer = t;
    }
}

void ModelTimers::Sync(WindowModel& m) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Timer& t = m.*kTimers[i].timer;
        Slot& slot = slots_[i];
        if (!t.enabled) {
            if (slot.timer->isActive()) slot.timer->stop();
            continue;
        }
        // A new generation counts the interval again from now.
        if (!slot.timer->isActive() || slot.generation != t.generation ||
            slot.interval != t.interval) {
            slot.timer->start(t.interval);
            slot.generation = t.generation;
            slot.interval = t.interval;
        }
    }
}

}  // namespace qm
