#pragma once

#include <QObject>

#include "sim/InProcessLink.h"

namespace qm {

class LoggerWork;

// Hands the input reports that an in-process device queued to the work from the event
// loop, one report per turn of the loop, as the HID reader thread would hand them over.
class InProcessDelivery : public QObject {
    Q_OBJECT
public:
    InProcessDelivery(sim::InProcessHidLink& link, LoggerWork& work, QObject* parent = nullptr);

private:
    void Schedule();
    void DeliverOne();

    sim::InProcessHidLink& link_;
    LoggerWork& work_;
    bool scheduled_ = false;
};

}  // namespace qm
