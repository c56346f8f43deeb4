#pragma once

#include <cstdint>

namespace qm {

// What the device type byte of the identification tells about a logger.
namespace device_type {
// Types from here on hold a correction table, read before the clock.
inline constexpr std::uint8_t kFirstWithCalibration = 80;
// The last type whose table is one block (entries 1..30).
inline constexpr std::uint8_t kLastSingleBlock = 83;
// Types from here on hold more entries, read in further blocks by request 62.
inline constexpr std::uint8_t kFirstMultiBlock = 84;
// The Pathrex model: two remark lines instead of a schedule.
inline constexpr std::uint8_t kPathrex = 88;
}  // namespace device_type

}  // namespace qm
