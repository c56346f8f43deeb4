#include "sim/PacedLine.h"

#include <algorithm>

namespace qm::sim {

std::size_t PacedLine::RequestBytes(std::span<const std::uint8_t> request) {
    if (request.size() < 2) return request.size();
    return std::min(request.size(), std::size_t{2} + request[1]);
}

std::vector<Frame> PacedLine::Handle(std::span<const std::uint8_t> request) {
    const std::size_t requestBytes = RequestBytes(request);
    ++crossed_.requests;
    crossed_.requestBytes += requestBytes;
    std::vector<Frame> replies = inner_.Handle(request);
    std::size_t replyBytes = 0;
    for (const Frame& frame : replies) replyBytes += frame.size();
    crossed_.replies += static_cast<std::int64_t>(replies.size());
    crossed_.replyBytes += replyBytes;
    if (baud_ > 0 && setDelay_ && !replies.empty()) {
        // The link holds each reply back from when the one before it was delivered: together
        // the waits are the line time of the whole exchange.
        owed_ += std::chrono::nanoseconds{static_cast<std::int64_t>(requestBytes + replyBytes) *
                                          10'000'000'000LL / baud_};
        const auto count = static_cast<std::int64_t>(replies.size());
        const auto each = std::chrono::duration_cast<std::chrono::milliseconds>(owed_ / count);
        owed_ -= each * count;
        setDelay_(each);
    }
    return replies;
}

}  // namespace qm::sim
