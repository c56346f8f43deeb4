#include "app/InProcessDelivery.h"

#include <QTimer>

#include "session/LoggerWork.h"

namespace qm {

InProcessDelivery::InProcessDelivery(sim::InProcessHidLink& link, LoggerWork& work, QObject* parent)
    : QObject(parent), link_(link), work_(work) {
    link_.SetReportQueuedCallback([this] { Schedule(); });
}

void InProcessDelivery::Schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    // Never inside the write that queued it: the work is still in its handler. A slow
    // link holds the report back.
    QTimer::singleShot(link_.NextReportDelay(), this, [this] { DeliverOne(); });
}

void InProcessDelivery::DeliverOne() {
    scheduled_ = false;
    if (auto report = link_.TakeReport()) work_.HidDeviceData(kLoggerProductName, *report);
    if (link_.HasReport()) Schedule();
}

}  // namespace qm
