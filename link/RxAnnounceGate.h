#pragma once

#include <cstddef>

namespace qm {

// Decides, for a reader that learns how many received bytes wait in a driver queue by asking
// again and again, when that count is announced to the receive handler. Every count above zero
// is announced, except that a handler which took nothing of n waiting bytes is not asked again
// until more than n wait.
class RxAnnounceGate {
public:
    // A new count from the driver: true when it is to be announced.
    bool Polled(std::size_t waiting) {
        if (waiting > refused_) return true;
        refused_ = waiting;  // the queue shrank without the handler (a purge): follow it down
        return false;
    }
    // The handler, told of `announced` waiting bytes, has run and read `taken` bytes.
    void Handled(std::size_t announced, std::size_t taken) {
        refused_ = taken == 0 ? announced : 0;
    }

private:
    std::size_t refused_ = 0;  // the count the handler last took nothing of
};

}  // namespace qm
