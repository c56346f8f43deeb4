#include "protocol/SerialFraming.h"

namespace qm {

SerialReplyAssembler::Result SerialReplyAssembler::Feed(PacketBuffer& packet,
                                                        std::span<const std::uint8_t> bytes) {
    bool dropped = false;
    for (std::uint8_t b : bytes) {
        // Byte rxCount_ + 1 of the buffer; a reply is never longer than 256 bytes after the
        // lead byte, so anything beyond that is a broken stream: forget the partial reply.
        if (rxCount_ >= static_cast<int>(kLargestPacket) - 1) {
            rxCount_ = 0;
            dropped = true;
        }
        packet[static_cast<std::size_t>(rxCount_) + 1] = b;
        ++rxCount_;
    }
    packet[packet::kLead] = 0;
    if (rxCount_ >= 2 && packet[packet::kLength] == rxCount_ - 1) {
        lastSize_ = static_cast<std::size_t>(rxCount_);
        rxCount_ = 0;
        return Result::Complete;
    }
    return dropped ? Result::Dropped : Result::Incomplete;
}

}  // namespace qm
