#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qm {

// The one request/reply buffer. Index 0 is the lead byte (HID report ID 0), 1 the length of what
// follows it, 2 the status, 3 the command code of a request or the first data byte of a reply.
// A packet never reaches past index 256 (its length is one byte); the rest only feeds the tail of
// a long HID output report.
inline constexpr std::size_t kPacketBufferSize = 2049;
inline constexpr std::size_t kLargestPacket = 257;  // indices 0..256
using PacketBuffer = std::array<std::uint8_t, kPacketBufferSize>;

namespace packet {
inline constexpr std::size_t kLead = 0;
inline constexpr std::size_t kLength = 1;
inline constexpr std::size_t kStatus = 2;
inline constexpr std::size_t kCode = 3;
inline constexpr std::size_t kData = 3;  // first data byte of a reply
}  // namespace packet

// Status byte of a request that addresses the USB adapter itself rather than the logger.
inline constexpr std::uint8_t kModemRequestStatus = 255;

}  // namespace qm
