#include "measure/Calibration.h"

#include <charconv>
#include <cmath>

#include "measure/Readings.h"
#include "protocol/CommandCode.h"

namespace qm {

void StoreCalibrationEntries(CalibrationTable& table, const Reply& reply, int first, int last) {
    for (int i = first; i <= last && i <= kCalibrationEntries; ++i) {
        const std::size_t lo = packet::kData + 2 * static_cast<std::size_t>(i - first);
        if (!reply.Holds(lo + 1)) break;
        table[static_cast<std::size_t>(i)] = SignedWord(reply.WordLowFirst(lo));
    }
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Advances over digits; returns how many there were.
std::size_t Digits(std::string_view t, std::size_t& i) {
    const std::size_t from = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    return i - from;
}

}  // namespace

std::optional<double> ParseReferenceValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t numberStart = i;
    std::size_t mantissaDigits = Digits(text, i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissaDigits += Digits(text, i);
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (Digits(text, i) == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;

    // The grammar is checked; from_chars reads it the same way in every locale.
    double value = 0;
    const char* first = text.data() + numberStart;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large has no meaning as a reading.
        const std::string_view number(first, static_cast<std::size_t>(last - first));
        const auto e = number.find_first_of("eE");
        if (e == std::string_view::npos || e + 1 >= number.size() || number[e + 1] != '-')
            return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::vector<ClampedCorrection> ComputeCorrections(CalibrationTable& table,
                                                  const ReadingsState& readings, double reference) {
    std::vector<ClampedCorrection> clamped;
    // The last measurement shown, not one whose blocks are still arriving: its uncorrected
    // values and validity belong together.
    for (int i = 1; i <= readings.ShownReadingCount && i <= kMaxReadings; ++i) {
        if (!readings.PreviousReadingValid[static_cast<std::size_t>(i)]) continue;
        const double hundredths =
            (reference - readings.UncorrectedReadings[static_cast<std::size_t>(i)]) * 100.0;
        // Readings have four decimals; a product that should be a whole number of hundredths may
        // land a hair short of it in binary, which must not cost a hundredth when cut.
        const double nudged = hundredths + std::copysign(1e-7, hundredths);
        std::int32_t entry;
        if (nudged > kHighestCorrection) {
            entry = kHighestCorrection;
        } else if (nudged < kLowestCorrection) {
            entry = kLowestCorrection;
        } else {
            entry = static_cast<std::int32_t>(std::trunc(nudged));
        }
        if (std::trunc(nudged) != entry) clamped.push_back({i, hundredths, entry});
        table[static_cast<std::size_t>(i)] = entry;
    }
    return clamped;
}

Request CalibrationRequest(const CalibrationTable& table) {
    return requests::WriteCalibration(
        std::span(table).subspan(1, static_cast<std::size_t>(kWrittenCalibrationEntries)));
}

int BuildCalibrationRequest(const CalibrationTable& table, PacketBuffer& b) {
    return PlaceRequest(CalibrationRequest(table), b);
}

}  // namespace qm
