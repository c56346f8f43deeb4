#include "tests/support/HourlyMonths.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "store/ValueLines.h"

namespace qm::test {

void WriteHourlyMonths(const std::filesystem::path& folder, DateTime start, std::size_t hours,
                       std::optional<std::size_t> count,
                       const std::function<std::vector<std::int32_t>(std::size_t hour)>& row) {
    std::filesystem::create_directories(folder);
    std::ofstream out;
    int month = 0;
    for (std::size_t h = 0; h < hours; ++h) {
        const CivilDateTime t = (start + DateTime::FromMilliseconds(static_cast<std::int64_t>(h) *
                                                                    DateTime::kMsPerHour))
                                    .ToCivil();
        if (t.month != month) {
            out.close();
            month = t.month;
            out.open(folder / MonthFileName(t.year, t.month), std::ios::binary);
            out << "BOREHOLE  " << MonthFileName(t.year, t.month) << "\r\n";
        }
        char header[48];
        std::snprintf(header, sizeof header, "%02d:%02d %02d.%02d.%04d", t.hour, t.minute, t.day,
                      t.month, t.year);
        out << header;
        if (count) out << "  N=" << *count;
        out << "\r\n";
        for (const std::string& line : ValueLines(row(h))) out << line << "\r\n";
        if (!out) throw std::runtime_error("cannot write the measurements into " + folder.string());
    }
}

}  // namespace qm::test
