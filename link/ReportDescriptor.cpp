// HID report descriptor walk: only the items that decide report sizes are interpreted (Report
// Size, Report Count, Report ID, Push, Pop and the Input and Output main items).
#include "link/ReportDescriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace qm {

namespace {

struct Globals {
    std::uint32_t reportSize = 0;   // bits per field
    std::uint32_t reportCount = 0;  // fields
    std::uint8_t reportId = 0;
};

constexpr int kTypeMain = 0, kTypeGlobal = 1;
constexpr int kTagInput = 0x8, kTagOutput = 0x9;
constexpr int kTagReportSize = 0x7, kTagReportId = 0x8, kTagReportCount = 0x9;
constexpr int kTagPush = 0xA, kTagPop = 0xB;
constexpr std::uint8_t kLongItem = 0xFE;

constexpr std::uint64_t kMaxReportBits = (kMaxHidReportLength - 1) * 8;

std::size_t LongestReport(const std::map<std::uint8_t, std::uint64_t>& bits) {
    std::size_t longest = 0;
    for (const auto& [id, n] : bits) longest = std::max<std::size_t>(longest, (n + 7) / 8 + 1);
    return longest;
}

}  // namespace

std::optional<HidReportLengths> ReportLengthsFromDescriptor(std::span<const std::uint8_t> d) {
    Globals g;
    std::vector<Globals> stack;
    std::map<std::uint8_t, std::uint64_t> inputBits, outputBits;
    bool numbered = false;

    std::size_t i = 0;
    while (i < d.size()) {
        const std::uint8_t prefix = d[i];
        if (prefix == kLongItem) {
            // Long items carry no size information: skip them by their own length.
            if (i + 1 >= d.size()) return std::nullopt;
            i += 3 + std::size_t{d[i + 1]};
            if (i > d.size()) return std::nullopt;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > d.size()) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < size; ++k) value |= std::uint32_t{d[i + 1 + k]} << (8 * k);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        i += 1 + size;

        if (type == kTypeGlobal) {
            switch (tag) {
                case kTagReportSize:
                    g.reportSize = value;
                    break;
                case kTagReportCount:
                    g.reportCount = value;
                    break;
                case kTagReportId:
                    g.reportId = static_cast<std::uint8_t>(value);
                    numbered = true;
                    break;
                case kTagPush:
                    stack.push_back(g);
                    break;
                case kTagPop:
                    if (stack.empty()) return std::nullopt;
                    g = stack.back();
                    stack.pop_back();
                    break;
                default:
                    break;
            }
        } else if (type == kTypeMain && (tag == kTagInput || tag == kTagOutput)) {
            auto& bits = tag == kTagInput ? inputBits : outputBits;
            // The report buffers are sized from this: a descriptor that declares a report no
            // HID device can have is broken, not a reason to allocate gigabytes. Checked per
            // item, so the sum cannot wrap either.
            std::uint64_t& sum = bits[g.reportId];
            sum += std::uint64_t{g.reportSize} * g.reportCount;
            if (sum > kMaxReportBits) return std::nullopt;
        }
    }
    return HidReportLengths{LongestReport(inputBits), LongestReport(outputBits), numbered};
}

}  // namespace qm
