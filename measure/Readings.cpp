#include "measure/Readings.h"

#include <cmath>

namespace qm {

double ReadingValue(std::uint16_t word) {
    return SignedWord(word) * 0.0078;
}

void DecodeReadingsBlock(ReadingsState& s, const Reply& reply) {
    const int words = reply.Length() / 2;
    for (int k = 0; k < words && s.ReadingCount < kMaxReadings; ++k) {
        const std::size_t hi = packet::kData + 2 * static_cast<std::size_t>(k);
        if (!reply.Holds(hi + 1)) break;
        const std::uint16_t w = reply.WordHighFirst(hi);
        const int i = ++s.ReadingCount;
        s.ReadingValid[i] = w != kNoValue;
        s.Readings[i] = ReadingValue(w);
    }
}

double RoundReading(double v) {
    // Readings carry four decimals. A sum that should land exactly on a hundredth (third and
    // fourth decimals 49) can fall a hair below it in binary; allow for that before cutting.
    const double m = std::trunc((std::fabs(v) + 0.0051) * 100.0 + 1e-7) / 100.0;
    if (m == 0) return 0;  // no "-0" on the chart
    return v < 0 ? -m : m;
}

}  // namespace qm
