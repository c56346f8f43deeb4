#pragma once

#include <array>
#include <cstdint>

#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"

namespace qm {

// Per-reading corrections in hundredths of a reading unit; entry i (1-based) corrects reading i.
inline constexpr int kCalibrationEntries = 250;
using CalibrationTable = std::array<std::int32_t, kCalibrationEntries + 1>;  // index 0 unused

// Stores entries first..last (1-based, inclusive) from a calibration reply: two bytes per entry
// from byte 3 on, low byte first, made signed the logger's way. Entries whose bytes were not
// received keep their values.
void StoreCalibrationEntries(CalibrationTable& table, const Reply& reply, int first, int last);

// Last entry of calibration block k (k-th reply to request 62): (k + 1) * 30, at most 250.
constexpr int CalibrationBlockEnd(int k) { return (k + 1) * 30 < 250 ? (k + 1) * 30 : 250; }

}  // namespace qm
