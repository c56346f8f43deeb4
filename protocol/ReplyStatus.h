#pragma once

#include <cstdint>

namespace qm {

// Status byte of a reply.
namespace ReplyStatus {
inline constexpr std::uint8_t Complete = 248;  // the reply is complete, or the last part
inline constexpr std::uint8_t Partial = 249;   // more follows and the program asks for it
inline constexpr std::uint8_t End = 250;       // nothing (more) to deliver
}  // namespace ReplyStatus

}  // namespace qm
