#include "app/InProcessDelivery.h"

#include <QTimer>

#include "core/Controller.h"

namespace qm {

InProcessDelivery::InProcessDelivery(sim::InProcessHidLink& link, Controller& controller,
                                     QObject* parent)
    : QObject(parent), link_(link), controller_(controller) {
    link_.SetReportQueuedCallback([this] { Schedule(); });
}

void InProcessDelivery::Schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    // Never inside the write that queued it: the controller is still in its handler. A slow
    // link holds the report back.
    QTimer::singleShot(link_.NextReportDelay(), this, [this] { DeliverOne(); });
}

void InProcessDelivery::DeliverOne() {
    scheduled_ = false;
    if (auto report = link_.TakeReport()) controller_.HidCtlDeviceData(kLoggerProductName, *report);
    if (link_.HasReport()) Schedule();
}

}  // namespace qm
