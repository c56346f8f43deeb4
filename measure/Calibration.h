#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"
#include "protocol/Requests.h"

namespace qm {

struct ReadingsState;

// Per-reading corrections in hundredths of a reading unit; entry i (1-based) corrects reading i.
inline constexpr int kCalibrationEntries = 250;
using CalibrationTable = std::array<std::int32_t, kCalibrationEntries + 1>;  // index 0 unused

// Entries written to the logger by request 61.
inline constexpr int kWrittenCalibrationEntries = 30;

// The range of a correction that survives the trip to the logger and back: entries travel as 16
// bits and are read back signed with 0x8000 as +32768, so -32768 would return with the wrong
// sign.
inline constexpr std::int32_t kLowestCorrection = -32767;
inline constexpr std::int32_t kHighestCorrection = 32767;

// Stores entries first..last (1-based, inclusive) from a calibration reply: two bytes per entry
// from byte 3 on, low byte first, made signed the logger's way. Entries whose bytes were not
// received keep their values.
void StoreCalibrationEntries(CalibrationTable& table, const Reply& reply, int first, int last);

// Last entry of calibration block k (k-th reply to request 62): (k + 1) * 30, at most 250.
constexpr int CalibrationBlockEnd(int k) {
    return (k + 1) * 30 < 250 ? (k + 1) * 30 : 250;
}

// The reference value typed by the operator. The whole text must be: blanks, an optional sign,
// digits with an optional "." and fraction digits (at least one digit in all), and an optional
// exponent ("E" or "e", optional sign, digits). Nothing may follow, not even a blank. Parsing does
// not depend on the locale. A number too large for a double is refused.
std::optional<double> ParseReferenceValue(std::string_view text);

// A correction that did not fit the range the logger holds and was limited to it.
struct ClampedCorrection {
    int reading = 0;    // reading number, 1-based
    double wanted = 0;  // the correction computed, in hundredths
    std::int32_t stored = 0;
};

// Sets the entry of every valid reading of the last test measurement shown to the correction, in
// hundredths cut toward zero, that brings its uncorrected value to `reference`. Entries of
// invalid readings and above the reading count keep their values. Corrections beyond the range
// the logger holds are limited to it and reported.
std::vector<ClampedCorrection> ComputeCorrections(CalibrationTable& table,
                                                  const ReadingsState& readings, double reference);

// Builds request 61 (entries 1..30, low byte first, each as its low 16 bits); returns the number
// of bytes to send (64).
Request CalibrationRequest(const CalibrationTable& table);
int BuildCalibrationRequest(const CalibrationTable& table, PacketBuffer& buffer);

}  // namespace qm
