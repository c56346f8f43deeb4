#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "measure/Schedule.h"
#include "protocol/DateTime.h"

namespace qm {

// Who answered the identification.
struct LoggerIdentity {
    std::uint8_t deviceType = 0;
    std::uint8_t version = 0;
    // As the title bar shows it: the model, its type and version, and the modem it answered
    // through, e.g. "QM-Controller [ 84.5 ]".
    std::string title;
    // A model that keeps two remark lines instead of a measurement schedule.
    bool keepsRemarks = false;
};

// One reading of the logger's clock: what it said, the PC clock when the logger read it, and
// how many readings this run has made up to this one.
struct ClockReading {
    DateTime logger;
    DateTime pc;
    int number = 0;
    // Logger minus PC in whole seconds. The logger counts whole seconds: its reading stands for
    // the middle of its second.
    std::int64_t OffsetSeconds() const {
        const std::int64_t ms = logger.Milliseconds() + 500 - pc.Milliseconds();
        return ms >= 0 ? (ms + 500) / 1000 : -((-ms + 500) / 1000);
    }
};

// What is known of the connected logger, each piece from the reply that told it: nothing before
// it came, and nothing of another logger once a new connection starts.
struct LoggerState {
    std::optional<LoggerIdentity> identity;
    // The last reading of its clock (none when the logger sent a clock that is no date).
    std::optional<ClockReading> clock;
    // Its clock as first read on this connection, before any setting: what it had kept alone.
    std::optional<ClockReading> clockBeforeSetting;
    // The clock was set on this connection and read back.
    bool clockSet = false;
    // The schedule as the logger last reported it.
    std::optional<DecodedSchedule> schedule;
    // The remark lines of a logger that keeps them, as the logger last reported them (or as they
    // were written since), in Unicode.
    std::optional<std::pair<std::string, std::string>> remarks;
    std::optional<double> batteryVolts;
    // The last test measurement: one value per sensor, 1-based as numbered (index 0 unused),
    // corrected by the logger's table as the chart shows them; none for a sensor without a value.
    std::optional<std::vector<std::optional<double>>> readings;
    // The line value as the title shows it; empty until its reply came.
    std::string line;
    // The logger's directories in the order it listed them, named in Windows-1251 as it sends
    // them.
    std::vector<std::string> directories;

    // A new connection: everything known belongs to the last one. The clock readings go on
    // counting.
    void Forget() {
        identity.reset();
        clock.reset();
        clockBeforeSetting.reset();
        clockSet = false;
        schedule.reset();
        remarks.reset();
        batteryVolts.reset();
        readings.reset();
        line.clear();
        directories.clear();
    }
};

}  // namespace qm
