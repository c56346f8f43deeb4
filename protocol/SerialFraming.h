#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/PacketBuffer.h"

namespace qm {

// Gathers serial bytes into one reply and puts it in the packet buffer when it is whole. The
// partial reply is kept apart: the packet buffer also carries the requests, and a request sent
// while a reply is on its way (a retry after a reply that came late) must not become the head of
// that reply. The serial line has no framing but the length byte: the first byte of a reply is
// its length, and the reply is complete as soon as length + 1 bytes have arrived. Bytes that come
// after it in the same receive step are not part of it; they are held apart as the surplus, and
// whoever feeds the assembler decides whether they may start the next reply. A partial reply that
// grows past the largest possible packet is dropped, so no byte stream can overrun the buffer.
class SerialReplyAssembler {
public:
    enum class Result { Incomplete, Complete, Dropped };

    // Appends the bytes of one receive step to the reply being gathered. Returns Complete when
    // the reply is whole and has been copied into `packet` (indices 1..); `RxCount()` is then 0
    // again, `LastReplySize()` tells how many bytes it had and `Surplus()` holds the bytes of
    // the step that followed it. The surplus of an earlier step is forgotten.
    Result Feed(PacketBuffer& packet, std::span<const std::uint8_t> bytes);

    int RxCount() const { return rxCount_; }
    // How many bytes the reply being gathered still lacks, as its length byte says; 0 when none
    // is being gathered.
    int Missing() const {
        return rxCount_ > 0 ? std::max(1, partial_[packet::kLength] + 1 - rxCount_) : 0;
    }
    std::size_t LastReplySize() const { return lastSize_; }
    // What the last receive step brought after the complete reply; empty otherwise.
    std::span<const std::uint8_t> Surplus() const { return surplus_; }
    // Forgets the partial reply and the surplus (a new request makes both stale).
    void Reset() {
        rxCount_ = 0;
        surplus_.clear();
    }

    // At most this many bytes are read from the port in one step.
    static constexpr std::size_t kMaxRead = 2048;

private:
    std::array<std::uint8_t, kLargestPacket> partial_{};  // indices 1.., as in the packet
    int rxCount_ = 0;
    std::size_t lastSize_ = 0;
    std::vector<std::uint8_t> surplus_;
};

}  // namespace qm
