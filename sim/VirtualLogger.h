#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "sim/DemoStore.h"
#include "sim/Device.h"
#include "sim/LoggerStore.h"

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
    // The amount of demo data (DemoStoreShape::Small() for a store a test can copy whole).
    DemoStoreShape demoShape;
    // Words of the line value (request 16), sent high byte first.
    std::vector<std::uint16_t> lineWords = {0x8000, 0x0190};
    // The two remark lines, as UTF-8; stored as 20 Windows-1251 bytes each, blank-padded.
    std::string remark1 = "Котельная, корпус 2";
    std::string remark2 = "Датчики 1-63";
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

    // The data store; tests build their own through it (set demoData = false for an empty one).
    LoggerStore& Store();

    // What the program has left on the logger.
    bool PoweredDown() const;
    DateTime LoggerTime() const;
    bool ClockValid() const;
    void SetClockValid(bool valid);
    std::array<std::uint8_t, 13> Schedule() const;
    void SetSchedule(const std::array<std::uint8_t, 13>& schedule);
    // Correction entries 1..250 (index 0 is entry 1), in hundredths.
    const std::array<std::int16_t, 250>& CalibrationTable() const;
    void SetCalibrationEntry(int number, std::int16_t value);
    // The remark lines as 20 Windows-1251 bytes each.
    std::string Remark(int line) const;
    std::uint8_t BatteryTenths() const;
    // How many test measurements have been started (request 32).
    int TestMeasurements() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qm::sim
