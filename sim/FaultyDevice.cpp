#include "sim/FaultyDevice.h"

#include <charconv>
#include <cmath>

namespace qm::sim {

namespace {

bool IntValue(std::string_view text, long long low, long long high, long long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// A percentage with at most a few decimals, e.g. "2" or "1.5".
bool PercentValue(std::string_view text, double& rate) {
    const auto dot = text.find('.');
    long long whole = 0, fraction = 0;
    if (!IntValue(text.substr(0, dot), 0, 100, whole)) return false;
    double scale = 1;
    if (dot != std::string_view::npos) {
        const std::string_view digits = text.substr(dot + 1);
        if (digits.empty() || digits.size() > 4 || !IntValue(digits, 0, 9999, fraction))
            return false;
        scale = std::pow(10.0, static_cast<double>(digits.size()));
    }
    rate = (static_cast<double>(whole) + static_cast<double>(fraction) / scale) / 100.0;
    return rate <= 1.0;
}

constexpr long long kMaxDelayMs = 600'000;

// "code:ms", e.g. "67:2200".
bool CommandDelayValue(std::string_view text, std::uint8_t& code,
                       std::chrono::milliseconds& delay) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    long long c = 0, ms = 0;
    if (!IntValue(text.substr(0, colon), 0, 255, c) ||
        !IntValue(text.substr(colon + 1), 0, kMaxDelayMs, ms))
        return false;
    code = static_cast<std::uint8_t>(c);
    delay = std::chrono::milliseconds(ms);
    return true;
}

}  // namespace

const char* const kLinkFaultsHelp =
    "    lose-request=N  every Nth request is lost before the logger sees it\n"
    "    lose-reply=N    every Nth reply is lost after the logger acted on its request\n"
    "    garble=N        one byte of every Nth reply is changed\n"
    "    garble-at=K     the byte garble changes, from the length byte (0, the default) on\n"
    "    stray=N         one byte of noise follows every Nth reply\n"
    "    loss=P          each request and each reply is lost with P percent chance\n"
    "    seed=S          the seed of those chances (1 by default)\n"
    "    delay=MS        every reply waits MS milliseconds\n"
    "    delay-on=C:MS   replies to requests of command code C wait MS milliseconds instead\n"
    "                    (once for each code; e.g. delay-on=67:2200,delay-on=69:500)\n";

std::optional<LinkFaults> ParseLinkFaults(std::string_view text) {
    LinkFaults f;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view key = item.substr(0, eq), value = item.substr(eq + 1);
        long long n = 0;
        constexpr long long kMaxPeriod = 1'000'000;
        if (key == "loss") {
            if (!PercentValue(value, f.lossRate)) return std::nullopt;
            continue;
        }
        if (key == "delay-on") {
            std::uint8_t code = 0;
            std::chrono::milliseconds delay{0};
            if (!CommandDelayValue(value, code, delay) ||
                !f.commandDelays.emplace(code, delay).second)
                return std::nullopt;
            continue;
        }
        const long long high = key == "seed"    ? 0xFFFFFFFFLL
                               : key == "delay" ? kMaxDelayMs
                                                : kMaxPeriod;
        if (!IntValue(value, key == "garble-at" || key == "delay" || key == "seed" ? 0 : 1, high,
                      n))
            return std::nullopt;
        if (key == "lose-request")
            f.loseEveryNthRequest = static_cast<int>(n);
        else if (key == "lose-reply")
            f.loseEveryNthReply = static_cast<int>(n);
        else if (key == "garble")
            f.garbleEveryNthReply = static_cast<int>(n);
        else if (key == "garble-at" && n <= 256)
            f.garbleAt = static_cast<std::size_t>(n);
        else if (key == "stray")
            f.strayAfterEveryNthReply = static_cast<int>(n);
        else if (key == "seed")
            f.seed = static_cast<std::uint32_t>(n);
        else if (key == "delay")
            f.replyDelay = std::chrono::milliseconds(n);
        else
            return std::nullopt;
    }
    return f;
}

void FaultyDevice::SetFaults(const LinkFaults& faults) {
    faults_ = faults;
    random_.seed(faults.seed);
}

bool FaultyDevice::RandomLoss() {
    if (faults_.lossRate <= 0) return false;
    // The raw 32-bit draw, not a distribution: distributions differ between libraries.
    return static_cast<double>(random_()) < faults_.lossRate * 4294967296.0;
}

std::vector<Frame> FaultyDevice::Handle(std::span<const std::uint8_t> request) {
    const int requestNumber = ++requests_;
    std::vector<Frame> out;
    if (Every(faults_.loseEveryNthRequest, requestNumber) || RandomLoss()) {
        ++requestsLost_;
        return out;
    }
    const std::uint8_t code = RequestCode(request);
    for (Frame& frame : inner_.Handle(request)) {
        const int n = ++replies_;
        if (silentFrom_ > 0 && n >= silentFrom_) silent_ = true;
        if (silent_) continue;
        if (auto g = garbage_.find(n); g != garbage_.end()) out.push_back(g->second);
        if (drop_.count(n)) continue;
        if (Every(faults_.loseEveryNthReply, n) || RandomLoss()) {
            ++repliesLost_;
            continue;
        }
        if (frame.size() > 1) {
            if (auto r = refuseReply_.find(n); r != refuseReply_.end()) frame[1] = r->second;
            if (auto c = refuseCommand_.find(code);
                c != refuseCommand_.end() && c->second.times > 0) {
                frame[1] = c->second.status;
                --c->second.times;
            }
        }
        if (Every(faults_.garbleEveryNthReply, n) && faults_.garbleAt < frame.size()) {
            frame[faults_.garbleAt] ^= 0x55;
            ++garbled_;
        }
        if (Every(faults_.strayAfterEveryNthReply, n)) {
            frame.push_back(kStrayByte);
            ++strays_;
        }
        out.push_back(std::move(frame));
    }
    return out;
}

}  // namespace qm::sim
