#pragma once

#include <array>
#include <cstdint>

#include "protocol/Reply.h"

namespace qm {

inline constexpr int kMaxReadings = 63;

// Readings of the current and the previous test measurement and the running value-axis bounds.
// Arrays are 1-based (index 0 unused).
struct ReadingsState {
    int ReadingCount = 0;
    std::array<double, kMaxReadings + 1> Readings{};
    std::array<bool, kMaxReadings + 1> ReadingValid{};
    std::array<double, kMaxReadings + 1> UncorrectedReadings{};
    std::array<double, kMaxReadings + 1> PreviousReadings{};
    std::array<bool, kMaxReadings + 1> PreviousReadingValid{};
    // Readings of the last measurement shown; UncorrectedReadings and PreviousReadingValid hold
    // them until the next one is shown, while ReadingCount and ReadingValid follow the blocks of
    // a measurement still arriving (or one that failed).
    int ShownReadingCount = 0;
    bool AnyReadingValid = false;
    bool PreviousAnyValid = false;
    bool ChartHasData = false;
    double AxisMax = -1e11;
    double AxisMin = 1e11;
    double PreviousAxisMax = -1e11;
    double PreviousAxisMin = 1e11;
};

// One reading word, high byte first: 0x8000 is "no value"; others are signed and scaled by the
// exact factor 0.0078.
double ReadingValue(std::uint16_t word);

// Appends the reading words of a 32/68 reply (length / 2 words from byte 3, high byte first).
// Words beyond the 63 readings the program holds, or beyond the received bytes, are ignored.
void DecodeReadingsBlock(ReadingsState& s, const Reply& reply);

// Rounds to two decimals the logger's way: away from zero once the third and fourth decimals
// reach 49 (21.235 -> 21.24, -0.005 -> -0.01).
double RoundReading(double v);

}  // namespace qm
