#include "tests/support/WarmingBorehole.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include "protocol/DateTime.h"
#include "store/SensorTable.h"
#include "store/ValueLines.h"
#include "tests/support/HourlyMonths.h"

namespace qm::test {

void WriteWarmingBorehole(const std::filesystem::path& folder) {
    constexpr std::array<double, 3> kDepths = {1.0, 5.0, 10.0};
    const DateTime start = *DateTime::FromDate(2021, 1, 1);
    const DateTime warmFrom = *DateTime::FromDate(2023, 8, 1);
    const DateTime spikeAt =
        *DateTime::FromDate(2022, 7, 1) + DateTime::FromMilliseconds(12 * DateTime::kMsPerHour);
    WriteHourlyMonths(folder, start, 3 * 365 * 24, std::nullopt, [&](std::size_t hour) {
        const auto h = static_cast<std::int64_t>(hour);
        const DateTime t = start + DateTime::FromMilliseconds(h * DateTime::kMsPerHour);
        const double years = static_cast<double>(h) / (365.25 * 24);
        std::vector<std::int32_t> row;
        for (const double d : kDepths) {
            const double v =
                -2.0 - 0.1 * d +
                8.0 * std::exp(-d / 2) * std::sin(2 * std::numbers::pi * years - d / 2) +
                kWarmingPerDecade * years / 10;
            // A last digit that flickers, as a sensor's does: no value holds for hours on end.
            const auto flicker = static_cast<std::int32_t>(h % 3) - 1;
            row.push_back(static_cast<std::int32_t>(std::lround(v * 100)) + flicker);
        }
        if (t >= warmFrom &&
            t < warmFrom + DateTime::FromMilliseconds(kWarmHours * DateTime::kMsPerHour))
            row[0] = 600;
        if (t == spikeAt) row[0] = 2500;
        return row;
    });
    WriteSensorTable(folder,
                     std::vector<SensorInfo>{
                         {1, 1.0, "верх", 5.0}, {2, 5.0, "середина", 0.0}, {3, 10.0, "низ"}});
}

}  // namespace qm::test
