#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// What crossed a line: requests and replies, and their bytes.
struct LineTraffic {
    std::int64_t requests = 0;
    std::int64_t replies = 0;
    std::uint64_t requestBytes = 0;
    std::uint64_t replyBytes = 0;

    std::uint64_t Bytes() const { return requestBytes + replyBytes; }
};

// A line of a given baud rate in front of a device, 10 bits a byte both ways, one exchange at a
// time: a request crosses it (its bytes from the lead byte on, as many as its length byte
// counts, not the padding of a USB report), then the device's replies. It counts what crossed
// and, when a reply-delay callback is set, hands the link that carries the replies (from inside
// Handle, as InProcessHidLink lets a device do) how long each of them waits: the last reply
// arrives when the request's and all the replies' bytes have had their line time. The waits are
// whole milliseconds; what rounding leaves over is carried into the next wait, so that over a
// run the waits add up to the line time, less than a millisecond for each reply of the last
// exchange.
class PacedLine : public Device {
public:
    // `baud` 0: an unpaced line that only counts.
    PacedLine(Device& inner, int baud) : inner_(inner), baud_(baud) {}
    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    // Receives the wait of each reply to the request being handled; not called for a request
    // that has no reply.
    void SetReplyDelayCallback(std::function<void(std::chrono::milliseconds)> callback) {
        setDelay_ = std::move(callback);
    }
    void SetBaud(int baud) { baud_ = baud; }
    int Baud() const { return baud_; }

    const LineTraffic& Crossed() const { return crossed_; }
    void ResetCounts() { crossed_ = {}; }

    // The bytes of a request on a line: lead byte, length byte and the bytes it counts, at most
    // what was written.
    static std::size_t RequestBytes(std::span<const std::uint8_t> request);

private:
    Device& inner_;
    int baud_;
    std::function<void(std::chrono::milliseconds)> setDelay_;
    LineTraffic crossed_;
    // Line time already owed to the replies but not yet in a whole-millisecond wait.
    std::chrono::nanoseconds owed_{0};
};

}  // namespace qm::sim
