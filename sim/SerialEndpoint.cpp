#include "sim/SerialEndpoint.h"

#include <algorithm>

namespace qm::sim {

std::vector<SerialChunk> SerialEndpoint::Receive(std::span<const std::uint8_t> bytes) {
    std::vector<SerialChunk> out;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    for (;;) {
        // Noise before a request: skip up to the next lead byte.
        const auto lead = std::find(pending_.begin(), pending_.end(), std::uint8_t{0});
        skipped_ += static_cast<std::size_t>(lead - pending_.begin());
        pending_.erase(pending_.begin(), lead);
        if (pending_.size() < 2) break;
        const std::size_t total = pending_[1] + 2u;
        if (pending_.size() < total) break;
        const std::vector<std::uint8_t> request(pending_.begin(), pending_.begin() + total);
        pending_.erase(pending_.begin(), pending_.begin() + total);
        ++requests_;
        const auto byCode = commandDelays_.find(RequestCode(request));
        const auto delay = byCode == commandDelays_.end() ? everyDelay_ : byCode->second;
        for (const Frame& frame : device_.Handle(request)) Emit(frame, delay, out);
    }
    return out;
}

void SerialEndpoint::SplitReply(int n, std::vector<std::size_t> pieces,
                                std::chrono::milliseconds gap) {
    splits_[n] = Split{std::move(pieces), gap};
}

void SerialEndpoint::Emit(const Frame& frame, std::chrono::milliseconds delay,
                          std::vector<SerialChunk>& out) {
    const int n = ++replies_;
    if (auto d = delays_.find(n); d != delays_.end()) delay += d->second;
    auto split = splits_.find(n);
    if (split == splits_.end()) {
        out.push_back({frame, delay});
        return;
    }
    std::size_t at = 0;
    for (std::size_t size : split->second.pieces) {
        if (at >= frame.size()) break;
        const std::size_t end = std::min(frame.size(), at + size);
        out.push_back(
            {{frame.begin() + at, frame.begin() + end}, at == 0 ? delay : split->second.gap});
        at = end;
    }
    if (at < frame.size()) {
        out.push_back({{frame.begin() + at, frame.end()}, at == 0 ? delay : split->second.gap});
    }
}

std::chrono::microseconds LineTime(std::size_t bytes, int baud) {
    if (baud <= 0) return std::chrono::microseconds{0};
    return std::chrono::microseconds{static_cast<long long>(bytes) * 10'000'000LL / baud};
}

}  // namespace qm::sim
