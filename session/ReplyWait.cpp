#include "session/ReplyWait.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qm {

void ReplyWait::Sample(std::int64_t roundTripMs, double byteMs) {
    const double r = static_cast<double>(std::max<std::int64_t>(0, roundTripMs));
    if (!sampled_) {
        smoothed_ = r;
        variation_ = r / 2;
        sampled_ = true;
    } else {
        variation_ = 0.75 * variation_ + 0.25 * std::abs(smoothed_ - r);
        smoothed_ = 0.875 * smoothed_ + 0.125 * r;
    }
    // Room for the jitter of the timers and the line even when the round trips have been
    // alike for long: an eighth of the round trip, the slack and ten bytes' time at least.
    const double margin =
        std::max(4 * variation_, smoothed_ / 8 + kSlackMs + kHeldBackBytes * byteMs);
    waitMs_ = static_cast<std::int64_t>(std::ceil(smoothed_ + margin));
    Clamp();
}

void ReplyWait::Backoff() {
    waitMs_ = std::min(kCeilingMs, 2 * waitMs_);
}

void ReplyWait::AtLeast(std::int64_t ms) {
    waitMs_ = std::max(waitMs_, 2 * ms);
    Clamp();
}

void ReplyWait::SetFloor(std::int64_t floorMs) {
    floorMs_ = floorMs;
    Clamp();
}

void ReplyWait::Clamp() {
    waitMs_ = std::clamp(waitMs_, std::min(floorMs_, kCeilingMs), kCeilingMs);
}

}  // namespace qm
