#pragma once

#include <algorithm>
#include <chrono>

namespace qm {

// Paces the retries of a reader whose device has gone: the first retry waits `first`, each
// following one twice as long, up to `longest`. A successful read starts over.
class RetryPacing {
public:
    using ms = std::chrono::milliseconds;
    explicit RetryPacing(ms first = ms(100), ms longest = ms(1000))
        : first_(first), longest_(longest), next_(first) {}

    ms Next() {
        const ms wait = next_;
        next_ = std::min(next_ * 2, longest_);
        return wait;
    }
    void Reset() { next_ = first_; }

private:
    ms first_, longest_, next_;
};

}  // namespace qm
