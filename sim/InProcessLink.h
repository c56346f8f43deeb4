#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
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
    // How long the next report waits before it may be delivered, counted from when it reached
    // the front of the queue (a slow link).
    std::chrono::milliseconds NextReportDelay() const {
        return pending_.empty() ? std::chrono::milliseconds{0} : pending_.front().delay;
    }
    // The next input report's data (the report ID split off): inputReportLength - 1 bytes, the
    // reply frame padded with zeros.
    std::optional<std::vector<std::uint8_t>> TakeReport();
    // Every report queued from now on waits this long.
    void SetReplyDelay(std::chrono::milliseconds delay) { delay_ = delay; }
    // Reports answering requests of this command code wait this long instead.
    void SetCommandDelay(std::uint8_t code, std::chrono::milliseconds delay) {
        commandDelays_[code] = delay;
    }

    // Every report written, whole.
    const std::vector<std::vector<std::uint8_t>>& Written() const { return written_; }
    void ClearWritten() { written_.clear(); }
    // When set, writes are recorded but nothing reaches the device (an unplugged device).
    void SetUnplugged(bool unplugged) { unplugged_ = unplugged; }

private:
    Device& device_;
    std::size_t outputLength_;
    std::size_t inputLength_;
    struct Pending {
        std::vector<std::uint8_t> data;
        std::chrono::milliseconds delay;
    };
    std::deque<Pending> pending_;
    std::chrono::milliseconds delay_{0};
    std::map<std::uint8_t, std::chrono::milliseconds> commandDelays_;
    std::vector<std::vector<std::uint8_t>> written_;
    std::function<void()> queued_;
    bool unplugged_ = false;
};

}  // namespace qm::sim
