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

namespace qm::test {

void WriteWarmingBorehole(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    constexpr std::array<double, 3> kDepths = {1.0, 5.0, 10.0};
    const DateTime start = *DateTime::FromDate(2021, 1, 1);
    const DateTime warmFrom = *DateTime::FromDate(2023, 8, 1);
    const DateTime spikeAt =
        *DateTime::FromDate(2022, 7, 1) + DateTime::FromMilliseconds(12 * DateTime::kMsPerHour);
    std::ofstream out;
    int month = 0;
    for (std::int64_t h = 0; h < 3 * 365 * 24; ++h) {
        const DateTime t = start + DateTime::FromMilliseconds(h * DateTime::kMsPerHour);
        const CivilDateTime c = t.ToCivil();
        if (c.month != month) {
            out.close();
            month = c.month;
            out.open(folder / MonthFileName(c.year, c.month), std::ios::binary);
            out << "BOREHOLE  " << MonthFileName(c.year, c.month) << "\r\n";
        }
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
        char header[48];
        std::snprintf(header, sizeof header, "%02d:%02d %02d.%02d.%04d", c.hour, c.minute, c.day,
                      c.month, c.year);
        out << header << "\r\n";
        for (const std::string& line : ValueLines(row)) out << line << "\r\n";
        if (!out) throw std::runtime_error("cannot write the warming borehole");
    }
    out.close();
    WriteSensorTable(folder,
                     std::vector<SensorInfo>{
                         {1, 1.0, "верх", 5.0}, {2, 5.0, "середина", 0.0}, {3, 10.0, "низ"}});
}

}  // namespace qm::test
