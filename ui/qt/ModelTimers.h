#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>

#include "ui/model/WindowModel.h"

class QTimer;

namespace qm {

// One QTimer per timer of the window model (the labels, the busy bar), each named after its timer.
// Sync starts, stops and re-times them to match the model; a tick is handed to `tick` with the
// timer's id.
class ModelTimers : public QObject {
public:
    explicit ModelTimers(const std::function<void(WindowTimerId)>& tick, QObject* parent = nullptr);

    void Sync(WindowModel& m);

private:
    struct Slot {
        QTimer* timer = nullptr;
        std::uint32_t generation = 0;
        int interval = 0;
    };
    std::array<Slot, std::size(kTimers)> slots_;
};

}  // namespace qm
