#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/PacketBuffer.h"

namespace qm {

// A read-only view of a reply in the packet buffer that never reads past the bytes that were
// actually received (indices 1..received). Bytes beyond them read as 0 and texts stop there.
class Reply {
public:
    Reply(const PacketBuffer& buffer, std::size_t received) : buf_(buffer), received_(received) {}

    std::uint8_t Length() const { return At(packet::kLength); }
    std::uint8_t Status() const { return At(packet::kStatus); }
    // Data[i] is buffer index 3 + i.
    std::uint8_t Data(std::size_t i) const { return At(packet::kData + i); }
    std::uint8_t At(std::size_t index) const {
        return index >= 1 && index <= received_ && index < buf_.size() ? buf_[index] : 0;
    }
    // Whether the byte at `index` was received.
    bool Holds(std::size_t index) const { return index >= 1 && index <= received_; }
    // The 16-bit word in the bytes at `index` and `index + 1`, high byte first or low byte
    // first; a byte that was not received reads as 0, as At() reads it.
    std::uint16_t WordHighFirst(std::size_t index) const {
        return static_cast<std::uint16_t>((At(index) << 8) | At(index + 1));
    }
    std::uint16_t WordLowFirst(std::size_t index) const {
        return static_cast<std::uint16_t>(At(index) | (At(index + 1) << 8));
    }
    // Index of the last byte that holds reply bytes: the smaller of what the length byte
    // announces (length + 1) and what was received.
    std::size_t LastIndex() const;
    // Raw bytes from index `first` up to and including `last`, cut at LastIndex().
    std::string Bytes(std::size_t first, std::size_t last) const;
    // The text of a name or line reply: bytes 3 .. length (the last data byte, a terminator, is
    // dropped). A length below 3 gives an empty text.
    std::string Text() const;
    std::size_t Received() const { return received_; }

private:
    const PacketBuffer& buf_;
    std::size_t received_;
};

// A 16-bit word made signed the logger's way: a word above 0x8000 is negative (word - 0x10000);
// 0x8000 itself stays 32768 and usually means "no value".
constexpr std::int32_t SignedWord(std::uint16_t w) {
    return w > 0x8000 ? w - 0x10000 : w;
}
inline constexpr std::uint16_t kNoValue = 0x8000;

}  // namespace qm
