#pragma once

#include <QObject>

#include "sim/InProcessLink.h"

namespace qm {

class Controller;

// Hands the input reports that an in-process device queued to the controller from the event
// loop, one report per turn of the loop, as the HID reader thread would hand them over.
class InProcessDelivery : public QObject {
    Q_OBJECT
public:
    InProcessDelivery(sim::InProcessHidLink& link, Controller& controller,
                      QObject* parent = nullptr);

private:
    void Schedule();
    void DeliverOne();

    sim::InProcessHidLink& link_;
    Controller& controller_;
    bool scheduled_ = false;
};

}  // namespace qm
