#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// The value word that marks a missing value.
inline constexpr std::int32_t kMissingValue = 32768;
inline constexpr std::size_t kValuesPerLine = 5;

// One field of a value line: a blank and six characters, the value / 100 with two decimals,
// right-aligned and cut to six characters; "   -  " for a missing value.
std::string ValueField(std::int32_t value);

// How many lines a block of n values counts for the resume position: (n - 1) div 5 + 1, so an
// empty block still counts one.
std::int32_t ValueLineCount(std::size_t n);

// The value lines of a block, five fields to a line, the last line holding the rest.
std::vector<std::string> ValueLines(const std::vector<std::int32_t>& block);

// A line that starts a measurement: its third character is ':'.
bool IsHeaderLine(const std::string& text);
// The day of month in characters 7 and 8 of a header line ("hh:mm  5.03.2009" or
// "hh:mm 15.03.2009"); nothing for a line too short to hold it.
std::optional<int> HeaderDay(const std::string& text);

// "year_month_day.dat" and "year_month.dat", decimal without leading zeros.
std::string DayFileName(int year, int month, int day);
std::string MonthFileName(int year, int month);

}  // namespace qm
