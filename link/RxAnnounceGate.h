#pragma once

#include <cstddef>

namespace qm {

// Decides, for a reader that learns how many received bytes wait in a driver queue by asking
// again and again, when that count is announced to the receive handler. Every count above zero
// is announced, except that a handler which left n waiting bytes untouched is not asked again
// until more than n wait or the queue has been read or purged since.
class RxAnnounceGate {
public:
    // A new count from the driver: true when it is to be announced.
    bool Polled(std::size_t waiting) {
        if (waiting > refused_) return true;
        refused_ = waiting;
        return false;
    }
    // The handler, told of `announced` waiting bytes, has run; `touched`: it read some or
    // purged the queue.
    void Handled(std::size_t announced, bool touched) { refused_ = touched ? 0 : announced; }
    // The queue was read or purged outside the handler: what waits now may be new.
    void Touched() { refused_ = 0; }

private:
    std::size_t refused_ = 0;  // the count the handler last left untouched
};

}  // namespace qm
