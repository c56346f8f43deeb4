#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::sim {

// One value of a stored measurement in hundredths (2134 is 21.34), or nothing for a sensor that
// gave no value. On the wire a value is a 16-bit word, low byte first; 0x8000 means no value.
using StoredValue = std::optional<int>;

inline constexpr std::uint16_t kNoValueWord = 0x8000;

// Values travel as words; the logger keeps them as text. Values outside -32767..32767 cannot be
// words and are clamped.
std::uint16_t ValueToWord(StoredValue value);
StoredValue WordToValue(std::uint16_t word);

// One field of a value line: a blank and six characters, "   -  " for no value, otherwise the
// value with two decimals right-aligned in six characters (cut to six when longer, which only
// happens for -100.00 and below).
std::string FormatValueField(StoredValue value);
// Five fields to a line, the last line holding the rest.
std::vector<std::string> FormatValueLines(std::span<const StoredValue> values);
// The values of a line made of such fields, or nothing when the line is not a value line.
std::optional<std::vector<StoredValue>> ParseValueLine(std::string_view line);

// A measurement header line has ':' as its third character; its day of month stands in
// characters 7 and 8 ("05" or " 5").
bool IsHeaderLine(std::string_view line);
std::optional<int> HeaderDay(std::string_view line);

}  // namespace qm::sim
