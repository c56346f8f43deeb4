#include "sim/DemoStore.h"

#include <cmath>
#include <cstdio>

#include "protocol/Cp1251.h"

namespace qm::sim {

namespace {

// A fixed, well-mixed hash: the demo values depend only on where and when they were measured.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

struct DemoDirectory {
    const char* utf8Name;
    int lastMonthBack;    // 0: data up to now; 1: ended with the previous month
    int maxMonths;        // at most this many monthly files
    bool blankPaddedDay;  // header day as " 5" instead of "05"
};

constexpr DemoDirectory kDirectories[] = {
    {"Котельная", 0, 1000, false},
    {"Склад_3", 0, 1000, true},
    {"OBJ_A01", 0, 4, false},
    {"Теплица", 1, 1000, true},
};

struct MonthSpec {
    int directory;
    int year;
    int month;
    std::string title;
};

// One measurement's values in hundredths of a degree, as a string of sensors down a borehole
// reads them: sensor 1 near the surface follows the daily swing and the seasons, deeper sensors
// follow the seasons ever more weakly and later, around a mean that rises with depth. Now and
// then a sensor gives no value, and one sensor of the first directory has failed for good.
std::vector<StoredValue> DemoValues(int directory, std::int64_t minute, int sensors) {
    constexpr double kTwoPi = 2.0 * 3.14159265358979;
    std::vector<StoredValue> values;
    values.reserve(static_cast<std::size_t>(sensors));
    const double day = static_cast<double>(minute) / (24.0 * 60.0);
    const double hourOfDay = static_cast<double>(minute % (24 * 60)) / 60.0;
    for (int s = 0; s < sensors; ++s) {
        const std::uint64_t h =
            Mix((static_cast<std::uint64_t>(minute) << 16) ^
                (static_cast<std::uint64_t>(directory) << 8) ^ static_cast<std::uint64_t>(s));
        if ((directory == 0 && s == 12 % sensors) || h % 400 == 0) {
            values.emplace_back();
            continue;
        }
        // The warmest day of the year near the surface is late July; deeper it comes later.
        const double seasonal =
            900.0 * std::exp(-s / 12.0) * std::cos(kTwoPi * (day - 205.0 - 4.0 * s) / 365.2425);
        const double daily =
            250.0 * std::exp(-s / 2.5) * std::sin(kTwoPi * (hourOfDay - 9.0) / 24.0);
        const double mean = 650.0 + 12.0 * s + 120.0 * directory;
        const double noise = (static_cast<double>(h % 41) - 20.0) * (0.4 + std::exp(-s / 8.0));
        values.emplace_back(static_cast<int>(std::lround(mean + seasonal + daily + noise)));
    }
    return values;
}

LoggerStore::Lines MonthLines(const MonthSpec& monthFile, const DemoStoreShape& shape,
                              const DemoDirectory& dir, DateTime until) {
    LoggerStore::Lines lines;
    lines.push_back(monthFile.title);
    const int step = shape.intervalMinutes > 0 ? shape.intervalMinutes : 60;
    for (int day = 1; IsValidDate(monthFile.year, monthFile.month, day); ++day) {
        if (shape.daysPerMonth > 0 && day > shape.daysPerMonth) break;
        const DateTime date = *DateTime::FromDate(monthFile.year, monthFile.month, day);
        for (int minuteOfDay = 0; minuteOfDay < 24 * 60; minuteOfDay += step) {
            const std::int64_t ms = date.Milliseconds() + minuteOfDay * DateTime::kMsPerMinute;
            if (ms > until.Milliseconds()) return lines;
            char header[64];
            std::snprintf(header, sizeof header,
                          dir.blankPaddedDay ? "%02d:%02d %2d.%02d.%04d  N=%d"
                                             : "%02d:%02d %02d.%02d.%04d  N=%d",
                          minuteOfDay / 60, minuteOfDay % 60, day, monthFile.month, monthFile.year,
                          shape.sensors);
            lines.emplace_back(header);
            const auto values =
                DemoValues(monthFile.directory, ms / DateTime::kMsPerMinute, shape.sensors);
            for (auto& line : FormatValueLines(values)) lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace

std::string MonthlyFileName(int year, int month) {
    return std::to_string(year) + "_" + std::to_string(month) + ".dat";
}

void FillDemoStore(LoggerStore& store, const DemoStoreShape& shape, DateTime now) {
    const CivilDateTime today = now.ToCivil();
    // The logger's own system directory comes first, as its file system lists it.
    if (shape.withSystemDirectory) {
        store.AddFile("SYSTEM~1", "LOG.TXT",
                      LoggerStore::Lines{"QM logger system log", "format 1", "ok"});
    }
    for (int d = 0; d < static_cast<int>(std::size(kDirectories)); ++d) {
        const DemoDirectory& dir = kDirectories[d];
        const std::string name = Utf8ToCp1251(dir.utf8Name);
        store.AddDirectory(name);
        // The last month of this directory, then its files from the oldest on.
        int lastIndex = today.year * 12 + (today.month - 1) - dir.lastMonthBack;
        const int count = std::min(shape.months, dir.maxMonths);
        const DateTime until =
            dir.lastMonthBack == 0 ? now : DateTime::FromMilliseconds(INT64_MAX / 2);
        for (int index = lastIndex - count + 1; index <= lastIndex; ++index) {
            MonthSpec monthFile{d, index / 12, index % 12 + 1, {}};
            monthFile.title =
                name + "  " + MonthlyFileName(monthFile.year, monthFile.month) + "  QM-Controller";
            store.AddFile(name, MonthlyFileName(monthFile.year, monthFile.month),
                          [monthFile, shape, dir, until] {
                              return MonthLines(monthFile, shape, dir, until);
                          });
        }
    }
}

}  // namespace qm::sim
