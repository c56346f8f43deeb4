#pragma once

// What the benchmark programs share in reading their command lines.

#include <cstdlib>

namespace qm::bench {

// A whole number of the decimal text from `low` to `high`; false, and `value` untouched, for
// anything else (empty, a sign alone, trailing characters, out of range).
inline bool WholeNumber(const char* text, long low, long high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// A count or a time: 0 to 100 million.
inline bool Number(const char* text, int& value) {
    return WholeNumber(text, 0, 100'000'000, value);
}

}  // namespace qm::bench
