#include "store/ValueLines.h"

#include <cstdlib>

namespace qm {

std::string ValueField(std::int32_t value) {
    if (value == kMissingValue) return "    -  ";
    const std::int32_t magnitude = std::abs(value);
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / 100);
    text += '.';
    text += static_cast<char>('0' + magnitude % 100 / 10);
    text += static_cast<char>('0' + magnitude % 10);
    // Right-aligned in six characters; values of -100.00 and below keep their first six.
    if (text.size() < 6) text.insert(0, 6 - text.size(), ' ');
    text.resize(6);
    return " " + text;
}

std::int32_t ValueLineCount(std::size_t n) {
    return n == 0 ? 1 : static_cast<std::int32_t>((n - 1) / kValuesPerLine + 1);
}

std::vector<std::string> ValueLines(const std::vector<std::int32_t>& block) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (i % kValuesPerLine == 0) lines.emplace_back();
        lines.back() += ValueField(block[i]);
    }
    return lines;
}

bool IsHeaderLine(const std::string& text) {
    return text.size() >= 3 && text[2] == ':';
}

std::optional<int> HeaderDay(const std::string& text) {
    // Characters 7 and 8: two digits, or a blank and one digit. Anything else is no day at
    // all, so a malformed header never passes for the chosen one.
    if (text.size() < 8) return std::nullopt;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(text[7]) || !(text[6] == ' ' || digit(text[6]))) return std::nullopt;
    const int tens = text[6] == ' ' ? 0 : text[6] - '0';
    return 10 * tens + (text[7] - '0');
}

std::string DayFileName(int year, int month, int day) {
    return std::to_string(year) + "_" + std::to_string(month) + "_" + std::to_string(day) + ".dat";
}

std::string MonthFileName(int year, int month) {
    return std::to_string(year) + "_" + std::to_string(month) + ".dat";
}

}  // namespace qm
