#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/PacketBuffer.h"

namespace qm {

// Gathers serial bytes into one reply in the packet buffer. The serial line has no framing but
// the length byte: the first byte of a reply is its length, and the reply is complete when length
// + 1 bytes have arrived. A partial reply that grows past the largest possible packet is dropped,
// so no byte stream can overrun the buffer.
class SerialReplyAssembler {
public:
    enum class Result { Incomplete, Complete, Dropped };

    // Appends the bytes of one receive step to the reply being gathered in `packet` (indices
    // 1..). Returns Complete when the reply is whole; `RxCount()` is then 0 again and
    // `LastReplySize()` tells how many bytes it had.
    Result Feed(PacketBuffer& packet, std::span<const std::uint8_t> bytes);

    int RxCount() const { return rxCount_; }
    std::size_t LastReplySize() const { return lastSize_; }
    void Reset() { rxCount_ = 0; }

    // At most this many bytes are read from the port in one step.
    static constexpr std::size_t kMaxRead = 2048;

private:
    int rxCount_ = 0;
    std::size_t lastSize_ = 0;
};

}  // namespace qm
