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
    sim::Frame f{static_cast<std::uint8_t>(text.size() + 2), static_cast<std::uint8_t>(status)};
    f.insert(f.end(), text.begin(), text.end());
    f.push_back(0);
    return f;
}

}  // namespace qm::test
