#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Device.h"

namespace qm::sim::test {

// A request as the program writes it on USB: lead byte 0, length, status, code, data, then the
// rest of a 65-byte output report filled with leftovers that the device must not read.
inline std::vector<std::uint8_t> Request(std::uint8_t code, std::vector<std::uint8_t> data = {},
                                         std::uint8_t status = 0) {
    std::vector<std::uint8_t> r{0, static_cast<std::uint8_t>(data.size() + 2), status, code};
    r.insert(r.end(), data.begin(), data.end());
    while (r.size() < 65) r.push_back(0xAA);
    return r;
}

// A request carrying a name or path and its 0 terminator.
inline std::vector<std::uint8_t> NameRequest(std::uint8_t code, const std::string& name,
                                             std::vector<std::uint8_t> before = {}) {
    before.insert(before.end(), name.begin(), name.end());
    before.push_back(0);
    return Request(code, before);
}

inline std::vector<Frame> Ask(Device& device, const std::vector<std::uint8_t>& request) {
    return device.Handle(request);
}

// The single reply to a request (empty frame when there was none or more than one).
inline Frame AskOne(Device& device, const std::vector<std::uint8_t>& request) {
    auto frames = device.Handle(request);
    return frames.size() == 1 ? frames[0] : Frame{};
}

// A text line as the program sends it to a Bluetooth modem in command mode: the characters,
// then a line feed.
inline std::vector<std::uint8_t> TextRequest(const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(10);
    return Request(data[0], {data.begin() + 1, data.end()});
}

// The last text line of a Bluetooth modem's answer.
inline std::string LastLine(const std::vector<Frame>& frames) {
    if (frames.empty() || frames.back().empty()) return {};
    return std::string(frames.back().begin() + 1, frames.back().end());
}

// The text of a name or line reply: the data bytes less the terminator.
inline std::string TextOf(const Frame& f) {
    if (f.size() < 3 || f[0] < 2) return {};
    return std::string(f.begin() + 2, f.begin() + f[0]);
}

}  // namespace qm::sim::test
