#include "sim/ValueLines.h"

#include <algorithm>
#include <cstdlib>

namespace qm::sim {

std::uint16_t ValueToWord(StoredValue value) {
    if (!value) return kNoValueWord;
    const int v = std::clamp(*value, -32767, 32767);
    return static_cast<std::uint16_t>(v < 0 ? v + 0x10000 : v);
}

StoredValue WordToValue(std::uint16_t word) {
    if (word == kNoValueWord) return std::nullopt;
    return word > 0x8000 ? static_cast<int>(word) - 0x10000 : static_cast<int>(word);
}

std::string FormatValueField(StoredValue value) {
    if (!value) return "    -  ";
    const int v = *value;
    const int magnitude = std::abs(v);
    std::string text = (v < 0 ? "-" : "") + std::to_string(magnitude / 100) + ".";
    const int cents = magnitude % 100;
    text += static_cast<char>('0' + cents / 10);
    text += static_cast<char>('0' + cents % 10);
    if (text.size() < 6) text.insert(0, 6 - text.size(), ' ');
    return " " + text.substr(0, 6);
}

std::vector<std::string> FormatValueLines(std::span<const StoredValue> values) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < values.size(); i += 5) {
        std::string line;
        for (std::size_t k = i; k < std::min(values.size(), i + 5); ++k) {
            line += FormatValueField(values[k]);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

namespace {

// Reads one six-character field: optional blanks, optional '-', digits, optional '.' and up to
// two decimals (a cut field such as "-123.4" has one).
std::optional<StoredValue> ParseField(std::string_view field) {
    if (field == "   -  ") return StoredValue{};
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ') ++i;
    bool negative = false;
    if (i < field.size() && field[i] == '-') {
        negative = true;
        ++i;
    }
    int whole = 0;
    int digits = 0;
    while (i < field.size() && field[i] >= '0' && field[i] <= '9') {
        whole = whole * 10 + (field[i] - '0');
        ++i;
        ++digits;
    }
    int cents = 0;
    if (i < field.size() && field[i] == '.') {
        ++i;
        int decimals = 0;
        while (i < field.size() && field[i] >= '0' && field[i] <= '9' && decimals < 2) {
            cents = cents * 10 + (field[i] - '0');
            ++i;
            ++decimals;
        }
        if (decimals == 1) cents *= 10;
        digits += decimals;
    }
    if (i != field.size() || digits == 0) return std::nullopt;
    const int value = whole * 100 + cents;
    return StoredValue{negative ? -value : value};
}

}  // namespace

std::optional<std::vector<StoredValue>> ParseValueLine(std::string_view line) {
    if (line.empty() || line.size() % 7 != 0) return std::nullopt;
    std::vector<StoredValue> values;
    for (std::size_t i = 0; i < line.size(); i += 7) {
        if (line[i] != ' ') return std::nullopt;
        auto value = ParseField(line.substr(i + 1, 6));
        if (!value) return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

bool IsHeaderLine(std::string_view line) {
    return line.size() >= 3 && line[2] == ':';
}

std::optional<int> HeaderDay(std::string_view line) {
    if (!IsHeaderLine(line) || line.size() < 8) return std::nullopt;
    const char tens = line[6];
    const char ones = line[7];
    if (ones < '0' || ones > '9') return std::nullopt;
    if (tens == ' ') return ones - '0';
    if (tens < '0' || tens > '9') return std::nullopt;
    return (tens - '0') * 10 + (ones - '0');
}

}  // namespace qm::sim
