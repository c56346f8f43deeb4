#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "sim/Device.h"

namespace qm::sim {

// Settings of a virtual logger.
struct LoggerConfig {
    std::uint8_t deviceType = 84;
    std::uint8_t version = 5;
    // The logger's clock runs this many seconds ahead of the PC clock.
    std::int64_t clockOffsetSeconds = -37;
    bool clockValid = true;  // a logger whose clock is not set answers 48 with status 249
    int sensors = 63;        // readings per test measurement
    std::uint8_t batteryTenths = 53;
    // Fill the data store with a demo set of directories and monthly files.
    bool demoData = true;
};

// A logger in software: answers every request the program sends, from the device's side, with
// a clock, a schedule store, a correction table, two remark lines, sensors and a data store.
class VirtualLogger : public Device {
public:
    // `pcClock` gives the PC's local time (virtual in tests).
    VirtualLogger(LoggerConfig config, std::function<DateTime()> pcClock);
    ~VirtualLogger() override;

    std::vector<Frame> Handle(std::span<const std::uint8_t> request) override;

    const LoggerConfig& Config() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qm::sim
