#include "tests/support/FailingYear.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/ValueLines.h"
#include "tests/support/HourlyMonths.h"

namespace qm::test {

namespace {

DateTime Start() {
    return *DateTime::FromDate(2024, 1, 1);
}

// The values of every hour, sensor by sensor, with the faults in place.
std::vector<std::vector<std::int32_t>> Rows() {
    std::vector<std::vector<std::int32_t>> rows(kFailingYearHours);
    for (std::size_t h = 0; h < kFailingYearHours; ++h) {
        auto& r = rows[h];
        for (const double depth : kFailingYearDepths) r.push_back(FailingYearGround(depth, h));
        if (h >= kStuckFromHour && h < kStuckToHour) r[kStuckSensor - 1] = kStuckHundredths;
        if (h % 10 == 0) r[kGappySensor - 1] = kMissingValue;
        r[kDeadSensor - 1] = kMissingValue;
    }
    for (std::size_t k = 0; k < kSpikeHours.size(); ++k)
        rows[kSpikeHours[k]][kSpikySensor - 1] = kSpikeHundredths[k];
    rows[kRangeHour][kRangeSensor - 1] = kRangeHundredths;
    return rows;
}

std::vector<SensorInfo> Sensors() {
    std::vector<SensorInfo> sensors;
    for (std::size_t s = 0; s < kFailingYearSensors; ++s)
        sensors.push_back({s + 1, kFailingYearDepths[s], "S" + std::to_string(s + 1)});
    return sensors;
}

}  // namespace

std::int32_t FailingYearGround(double depth, std::size_t hour) {
    const double phase =
        2 * std::numbers::pi * static_cast<double>(hour) / static_cast<double>(kFailingYearHours);
    const double daily = 2 * std::numbers::pi * static_cast<double>(hour % 24) / 24;
    const double t = -3.0 + 15.0 * std::exp(-depth / 2.0) * std::sin(phase - depth / 2.0) +
                     3.0 * std::exp(-depth / 0.15) * std::sin(daily - depth / 0.15);
    return static_cast<std::int32_t>(std::lround(t * 100));
}

FailingYear MakeFailingYear() {
    FailingYear year;
    const auto rows = Rows();
    for (std::size_t h = 0; h < rows.size(); ++h) {
        Measurement m;
        m.time = Start() +
                 DateTime::FromMilliseconds(static_cast<std::int64_t>(h) * DateTime::kMsPerHour);
        m.first = static_cast<std::uint32_t>(year.set.values.size());
        m.count = static_cast<std::uint32_t>(rows[h].size());
        year.set.values.insert(year.set.values.end(), rows[h].begin(), rows[h].end());
        year.set.measurements.push_back(m);
    }
    year.set.sensorCount = kFailingYearSensors;
    year.table.sensors = Sensors();
    return year;
}

void WriteFailingYear(const std::filesystem::path& folder) {
    const auto rows = Rows();
    WriteHourlyMonths(folder, Start(), rows.size(), kFailingYearSensors,
                      [&rows](std::size_t h) { return rows[h]; });
    WriteSensorTable(folder, Sensors());
}

}  // namespace qm::test
