#pragma once

#include <initializer_list>
#include <string>

#include "sim/Device.h"

namespace qm::test {

// A reply frame from its length byte on, written as the bytes themselves.
inline sim::Frame F(std::initializer_list<int> bytes) {
    sim::Frame f;
    for (int b : bytes) f.push_back(static_cast<std::uint8_t>(b));
    return f;
}

// A name or line reply: length, status, the text's bytes, a 0 terminator.
inline sim::Frame TextFrame(int status, const std::string& text) {
    // Built byte by byte: inserting a range into a two-byte vector trips a false
    // -Warray-bounds in GCC 12 at -O3 (seen with mingw-w64).
    sim::Frame f;
    f.reserve(text.size() + 3);
    f.push_back(static_cast<std::uint8_t>(text.size() + 2));
    f.push_back(static_cast<std::uint8_t>(status));
    for (char c : text) f.push_back(static_cast<std::uint8_t>(c));
    f.push_back(0);
    return f;
}

}  // namespace qm::test
