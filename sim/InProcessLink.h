#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/Links.h"
#include "sim/Device.h"

namespace qm::sim {

// A USB HID link to a device in the same process. Writes go to the device at once; its replies
// queue up as input reports, which the owner delivers to the controller later on its own thread
// (the app from its event loop, tests from their virtual clock), one at a time, like a reader
// thread would. Every request written is recorded.
class InProcessHidLink : public HidDeviceLink {
public:
    explicit InProcessHidLink(Device& device, std::size_t outputReportLength = 65,
                              std::size_t inputReportLength = 65);

    std::size_t OutputReportLength() override { return outputLength_; }
    bool WriteReport(std::span<const std::uint8_t> report) override;

    // Called after a write that queued at least one report (to schedule a delivery).
    void SetReportQueuedCallback(std::function<void()> callback) { queued_ = std::move(callback); }
    bool HasReport() const { return !pending_.empty(); }
    // The next input report's data (the report ID split off): inputReportLength - 1 bytes, the
    // reply frame padded with zeros.
    std::optional<std::vector<std::uint8_t>> TakeReport();

    // Every report written, whole.
    const std::vector<std::vector<std::uint8_t>>& Written() const { return written_; }
    void ClearWritten() { written_.clear(); }
    // When set, writes are recorded but nothing reaches the device (an unplugged device).
    void SetUnplugged(bool unplugged) { unplugged_ = unplugged; }

private:
    Device& device_;
    std::size_t outputLength_;
    std::size_t inputLength_;
    std::deque<std::vector<std::uint8_t>> pending_;
    std::vector<std::vector<std::uint8_t>> written_;
    std::function<void()> queued_;
    bool unplugged_ = false;
};

}  // namespace qm::sim
