#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/SerialPortOpener.h"
#include "protocol/Links.h"
#include "sim/SerialEndpoint.h"

namespace qm::test {

// A serial port to a device in the same process, and its opener: what the program writes goes
// to the device's side of the line at once; the bytes it answers wait until the rig announces
// them (Announce), as the port's "bytes waiting" event would. Line time is left out, so a run
// takes the same virtual time on every machine.
class InProcessSerial : public SerialLink, public SerialPortOpener {
public:
    explicit InProcessSerial(sim::Device& device) : endpoint_(device) {}

    SerialLink* Open(const std::string& name) override {
        opened.push_back(name);
        open_ = true;
        return this;
    }
    void PurgeBuffers() override { rx_.clear(); }
    void Write(std::span<const std::uint8_t> bytes) override {
        if (!open_) return;
        for (const sim::SerialChunk& chunk : endpoint_.Receive(bytes))
            rx_.insert(rx_.end(), chunk.bytes.begin(), chunk.bytes.end());
    }
    std::size_t Read(std::span<std::uint8_t> bytes) override {
        const std::size_t n = std::min(bytes.size(), rx_.size());
        std::copy_n(rx_.begin(), n, bytes.begin());
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
        announced_ = std::min(announced_, rx_.size());
        return n;
    }
    void Close() override {
        open_ = false;
        rx_.clear();
        announced_ = 0;
    }

    // Bytes have come that the program has not been told of: how many are waiting now, or 0.
    std::size_t Announce() {
        if (rx_.size() <= announced_) return 0;
        announced_ = rx_.size();
        return announced_;
    }

    std::vector<std::string> opened;

private:
    sim::SerialEndpoint endpoint_;
    std::vector<std::uint8_t> rx_;
    std::size_t announced_ = 0;
    bool open_ = false;
};

}  // namespace qm::test
