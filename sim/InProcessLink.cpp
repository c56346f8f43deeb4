#include "sim/InProcessLink.h"

#include <algorithm>

namespace qm::sim {

InProcessHidLink::InProcessHidLink(Device& device, std::size_t outputReportLength,
                                   std::size_t inputReportLength)
    : device_(device), outputLength_(outputReportLength), inputLength_(inputReportLength) {}

bool InProcessHidLink::WriteReport(std::span<const std::uint8_t> report) {
    written_.emplace_back(report.begin(), report.end());
    if (unplugged_) return false;
    // The device may set the delay of its own replies while it handles the request.
    const std::vector<Frame> frames = device_.Handle(report);
    const auto byCode = commandDelays_.find(RequestCode(report));
    const auto delay = byCode == commandDelays_.end() ? delay_ : byCode->second;
    bool any = false;
    for (const Frame& frame : frames) {
        std::vector<std::uint8_t> data(inputLength_ > 0 ? inputLength_ - 1 : 0, 0);
        std::copy_n(frame.begin(), std::min(frame.size(), data.size()), data.begin());
        pending_.push_back({std::move(data), delay});
        any = true;
    }
    if (any && queued_) queued_();
    return true;
}

std::optional<std::vector<std::uint8_t>> InProcessHidLink::TakeReport() {
    if (pending_.empty()) return std::nullopt;
    auto report = std::move(pending_.front().data);
    pending_.pop_front();
    return report;
}

}  // namespace qm::sim
