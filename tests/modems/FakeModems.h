#pragma once

#include <string>
#include <vector>

#include "sim/Device.h"
#include "tests/support/Frames.h"

namespace qm::test {

// A text report as the Bluetooth modem sends it: the character count, then the characters.
inline sim::Frame TextLine(const std::string& text) {
    sim::Frame f{static_cast<std::uint8_t>(text.size())};
    f.insert(f.end(), text.begin(), text.end());
    return f;
}

// A USB modem adapter in front of a logger, just enough to answer the program's modem requests:
// status-255 requests are the adapter's own, the rest go to the logger behind it. The Bluetooth
// kind also speaks the text dialogue between command mode and transparent mode.
class FakeModem : public sim::Device {
public:
    FakeModem(int kind, sim::Device& logger) : kind_(kind), logger_(logger) {}

    // Status of the answers to 130 and 131.
    int modeStatus = 248;
    int addressStatus = 248;
    // The line sent once command mode is on (none when empty).
    std::string readyLine = "READY.";
    // Answers to the CALL lines, in order; the last one repeats.
    std::vector<std::string> callAnswers = {"CONNECT"};
    // Every text line received, without its line feed.
    std::vector<std::string> textLines;

    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> r) override {
        if (r.size() < 4) return {};
        if (commandMode_ && r[2] == 0) return HandleText(r);
        if (r[2] != 255) return transparent_ || kind_ == 1 ? logger_.Handle(r) : Nothing();
        switch (r[3]) {
            case 0:
                return {F({3, 248, 0, 0})};
            case 1:
                return {F({2, 248, kind_})};
            case 130: {
                const int mode = r[4];
                std::vector<sim::Frame> out{F({2, modeStatus, mode})};
                commandMode_ = mode == 1;
                transparent_ = mode == 2;
                if (mode == 1 && !readyLine.empty()) out.push_back(TextLine(readyLine));
                return out;
            }
            case 131:
                return {F({2, addressStatus, r[4]})};
            default:
                return {};
        }
    }

private:
    static std::vector<sim::Frame> Nothing() { return {}; }

    std::vector<sim::Frame> HandleText(std::span<const std::uint8_t> r) {
        const std::size_t n = r[1] >= 2 ? r[1] - 2u : 0u;
        std::string text;
        for (std::size_t i = 0; i < n && 3 + i < r.size(); ++i) text += static_cast<char>(r[3 + i]);
        textLines.push_back(text);
        if (text == "AT") return {TextLine("OK")};
        if (text.rfind("CALL ", 0) == 0) {
            std::vector<sim::Frame> out{TextLine(text)};  // the modem echoes the command
            const std::string answer = callAnswers.front();
            if (callAnswers.size() > 1) callAnswers.erase(callAnswers.begin());
            out.push_back(TextLine(answer));
            return out;
        }
        return {};
    }

    int kind_;
    sim::Device& logger_;
    bool commandMode_ = false;
    bool transparent_ = false;
};

}  // namespace qm::test
