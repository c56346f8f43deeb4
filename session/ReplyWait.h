#pragma once

#include <algorithm>
#include <cstdint>

namespace qm {

// How long to wait for a reply, learnt from the round trips the link has shown: the smoothed
// round trip and its variation, as TCP's retransmission timer keeps them. Before the first
// sample the wait is long enough for a logger that takes seconds to answer; a miss doubles it
// until a new sample comes.
class ReplyWait {
public:
    static constexpr std::int64_t kInitialMs = 10'000;
    static constexpr std::int64_t kCeilingMs = 12'000;
    // How many bytes' time a line may hold a reply back by.
    static constexpr double kHeldBackBytes = 10;
    // Room for the jitter of the timers and of an idle PC, in milliseconds.
    static constexpr double kSlackMs = 3;

    explicit ReplyWait(std::int64_t floorMs = 0) : floorMs_(floorMs) {}

    // A round trip of an exchange that was sent once and answered. `byteMs` is how long a byte
    // takes on the line as the replies' own bytes have shown (0 when a reply comes whole): a
    // line that slow holds bytes back by a few of them now and then (a modem's buffer, a radio
    // hop), and the wait makes room for that.
    void Sample(std::int64_t roundTripMs, double byteMs = 0);
    // A miss: the wait doubles, up to the ceiling.
    void Backoff();
    // A reply came `ms` after the last send of a retried exchange: whichever send it answers,
    // the round trip was at least that long, and the next wait makes room for it.
    void AtLeast(std::int64_t ms);
    // Waits at least `ms` until the next sample.
    void Raise(std::int64_t ms) {
        waitMs_ = std::max(waitMs_, ms);
        Clamp();
    }
    std::int64_t WaitMs() const { return waitMs_; }
    bool Sampled() const { return sampled_; }
    void SetFloor(std::int64_t floorMs);

private:
    void Clamp();
    std::int64_t floorMs_;
    bool sampled_ = false;
    double smoothed_ = 0;
    double variation_ = 0;
    std::int64_t waitMs_ = kInitialMs;
};

}  // namespace qm
