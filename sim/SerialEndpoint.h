#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "sim/Device.h"

namespace qm::sim {

// Bytes to write on the line, after waiting `delayBefore`.
struct SerialChunk {
    std::vector<std::uint8_t> bytes;
    std::chrono::milliseconds delayBefore{0};
};

// The device's side of a serial line, without the line itself: gathers requests out of the
// received bytes (lead byte 0, length L, then L bytes) and turns each reply frame into bytes to
// write, optionally split into pieces or delayed. Bytes that cannot start a request (a lead
// byte other than 0) are skipped, so the endpoint finds the next request after noise.
class SerialEndpoint {
public:
    explicit SerialEndpoint(Device& device) : device_(device) {}

    std::vector<SerialChunk> Receive(std::span<const std::uint8_t> bytes);

    // The nth reply (from 1) goes out in pieces of these sizes (the rest in one more piece),
    // with `gap` between them.
    void SplitReply(int n, std::vector<std::size_t> pieces, std::chrono::milliseconds gap);
    // The nth reply waits this long before its first byte.
    void DelayReply(int n, std::chrono::milliseconds delay) { delays_[n] = delay; }
    // Every reply waits this long before its first byte (a slow link); DelayReply adds to it.
    void DelayEveryReply(std::chrono::milliseconds delay) { everyDelay_ = delay; }
    // Replies to requests of this command code wait this long instead of DelayEveryReply's
    // delay; DelayReply adds to it.
    void DelayRepliesTo(std::uint8_t code, std::chrono::milliseconds delay) {
        commandDelays_[code] = delay;
    }

    std::size_t SkippedBytes() const { return skipped_; }
    int Requests() const { return requests_; }

private:
    struct Split {
        std::vector<std::size_t> pieces;
        std::chrono::milliseconds gap;
    };
    void Emit(const Frame& frame, std::chrono::milliseconds delay, std::vector<SerialChunk>& out);

    Device& device_;
    std::vector<std::uint8_t> pending_;
    std::map<int, Split> splits_;
    std::map<int, std::chrono::milliseconds> delays_;
    std::chrono::milliseconds everyDelay_{0};
    std::map<std::uint8_t, std::chrono::milliseconds> commandDelays_;
    std::size_t skipped_ = 0;
    int requests_ = 0;
    int replies_ = 0;
};

// Time a number of bytes takes on a line of this baud rate, 10 bits a byte.
std::chrono::microseconds LineTime(std::size_t bytes, int baud);

}  // namespace qm::sim
