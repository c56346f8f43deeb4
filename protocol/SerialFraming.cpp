#include "protocol/SerialFraming.h"

#include <algorithm>

namespace qm {

SerialReplyAssembler::Result SerialReplyAssembler::Feed(PacketBuffer& packet,
                                                        std::span<const std::uint8_t> bytes) {
    surplus_.clear();
    bool dropped = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // Byte rxCount_ + 1 of the buffer; a reply is never longer than 256 bytes after the
        // lead byte, so anything beyond that is a broken stream: forget the partial reply.
        if (rxCount_ >= static_cast<int>(kLargestPacket) - 1) {
            rxCount_ = 0;
            dropped = true;
        }
        partial_[static_cast<std::size_t>(rxCount_) + 1] = bytes[i];
        ++rxCount_;
        // Complete on the byte that makes it whole, wherever that falls in the step: what
        // follows belongs to no reply yet (a stray byte, or the start of an unasked one).
        if (rxCount_ >= 2 && partial_[packet::kLength] == rxCount_ - 1) {
            std::copy_n(partial_.begin() + 1, rxCount_, packet.begin() + 1);
            packet[packet::kLead] = 0;
            lastSize_ = static_cast<std::size_t>(rxCount_);
            rxCount_ = 0;
            surplus_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(i) + 1, bytes.end());
            return Result::Complete;
        }
    }
    return dropped ? Result::Dropped : Result::Incomplete;
}

}  // namespace qm
