#include "sim/DemoStore.h"

#include <algorithm>
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

// The borehole comes after the directories above; its values are its own.
constexpr int kBoreholeIndex = static_cast<int>(std::size(kDirectories));
constexpr DemoDirectory kBorehole = {kBoreholeDirectory, 0, 1000, false};

constexpr DemoSensor kBoreholeSensors[] = {
    {0.5, "T01"},       {1.0, "T02"},       {1.5, "T03"},       {2.0, "T04"},  {2.5, "T05", 0.0},
    {3.0, "T06", -0.6}, {4.0, "T07", -0.5}, {5.0, "T08", -0.5}, {6.0, "T09"},  {7.0, "T10"},
    {8.0, "T11"},       {10.0, "T12"},      {12.0, "T13"},      {15.0, "T14"}, {18.0, "T15"},
};

struct MonthSpec {
    int directory;
    int year;
    int month;
    int sensors;  // values per measurement
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

// The borehole's ground at a depth in °C, before noise and rounding. The yearly wave is the sum
// of a part damped within the active layer (0.4 m), standing for the latent heat of its thaw and
// freeze, and a part damped with 2.45 m below; it comes later the deeper it is, by the second
// part's damping depth a radian. The warmest day at the surface is late July. A daily swing of
// 4 °C at the surface is gone within half a metre. `yearsBack` calendar years before the last,
// the ground is colder by the warming of those years.
double BoreholeGround(double depth, std::int64_t minute, double yearsBack) {
    constexpr double kTwoPi = 2.0 * 3.14159265358979;
    constexpr double kDampingMetres = 2.45;
    const double day = static_cast<double>(minute) / (24.0 * 60.0);
    const double hourOfDay = static_cast<double>(minute % (24 * 60)) / 60.0;
    const double mean = -1.7 + 0.03 * depth - kBoreholeWarmingPerDecade / 10.0 * yearsBack;
    const double amplitude =
        25.0 * std::exp(-depth / 0.4) + 3.6 * std::exp(-depth / kDampingMetres);
    const double lagDays = depth / kDampingMetres * 365.2425 / kTwoPi;
    const double yearly = amplitude * std::cos(kTwoPi * (day - 205.0 - lagDays) / 365.2425);
    const double daily =
        4.0 * std::exp(-depth / 0.15) * std::sin(kTwoPi * (hourOfDay - 9.0) / 24.0 - depth / 0.15);
    return mean + yearly + daily;
}

// One measurement of the borehole, in hundredths: the ground with a little noise of the last
// digit (±3 above 8 m, ±1 below); now and then a sensor gives no value.
std::vector<StoredValue> BoreholeValues(std::int64_t minute, int sensors, DateTime now) {
    // A step a calendar year: within a year the ground swings as it always did, so that its
    // range at depth stays that of the yearly wave.
    const int year = DateTime::FromMilliseconds(minute * DateTime::kMsPerMinute).ToCivil().year;
    const double yearsBack = std::max(0, now.ToCivil().year - year);
    std::vector<StoredValue> values;
    values.reserve(static_cast<std::size_t>(sensors));
    for (int s = 0; s < sensors; ++s) {
        const std::uint64_t h =
            Mix((static_cast<std::uint64_t>(minute) << 16) ^
                (static_cast<std::uint64_t>(kBoreholeIndex) << 8) ^ static_cast<std::uint64_t>(s));
        if (h % 400 == 0) {
            values.emplace_back();
            continue;
        }
        const double depth = kBoreholeSensors[s].depthMetres;
        const int spread = depth < 8.0 ? 3 : 1;
        const int noise =
            static_cast<int>((h >> 16) % static_cast<std::uint64_t>(2 * spread + 1)) - spread;
        values.emplace_back(
            static_cast<int>(std::lround(BoreholeGround(depth, minute, yearsBack) * 100.0)) +
            noise);
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
                          monthFile.sensors);
            lines.emplace_back(header);
            const std::int64_t minute = ms / DateTime::kMsPerMinute;
            const auto values = monthFile.directory == kBoreholeIndex
                                    ? BoreholeValues(minute, monthFile.sensors, until)
                                    : DemoValues(monthFile.directory, minute, monthFile.sensors);
            for (auto& line : FormatValueLines(values)) lines.push_back(std::move(line));
        }
    }
    return lines;
}

// A directory's monthly files up to `now`, the oldest first.
void AddDirectory(LoggerStore& store, const DemoStoreShape& shape, DateTime now, int index,
                  const DemoDirectory& dir, int sensors) {
    const CivilDateTime today = now.ToCivil();
    const std::string name = Utf8ToCp1251(dir.utf8Name);
    store.AddDirectory(name);
    // The last month of this directory, then its files from the oldest on.
    const int lastIndex = today.year * 12 + (today.month - 1) - dir.lastMonthBack;
    const int count = std::min(shape.months, dir.maxMonths);
    const DateTime until = dir.lastMonthBack == 0 ? now : DateTime::FromMilliseconds(INT64_MAX / 2);
    for (int month = lastIndex - count + 1; month <= lastIndex; ++month) {
        MonthSpec monthFile{index, month / 12, month % 12 + 1, sensors, {}};
        monthFile.title =
            name + "  " + MonthlyFileName(monthFile.year, monthFile.month) + "  QM-Controller";
        store.AddFile(
            name, MonthlyFileName(monthFile.year, monthFile.month),
            [monthFile, shape, dir, until] { return MonthLines(monthFile, shape, dir, until); });
    }
}

}  // namespace

std::span<const DemoSensor> BoreholeSensors() {
    return kBoreholeSensors;
}

std::size_t BoreholeSensorCount(const DemoStoreShape& shape) {
    return static_cast<std::size_t>(
        std::clamp(shape.sensors, 0, static_cast<int>(std::size(kBoreholeSensors))));
}

std::string MonthlyFileName(int year, int month) {
    return std::to_string(year) + "_" + std::to_string(month) + ".dat";
}

void FillDemoStore(LoggerStore& store, const DemoStoreShape& shape, DateTime now) {
    // The logger's own system directory comes first, as its file system lists it.
    if (shape.withSystemDirectory) {
        store.AddFile("SYSTEM~1", "LOG.TXT",
                      LoggerStore::Lines{"QM logger system log", "format 1", "ok"});
    }
    for (int d = 0; d < static_cast<int>(std::size(kDirectories)); ++d)
        AddDirectory(store, shape, now, d, kDirectories[d], shape.sensors);
    if (shape.withBorehole) {
        DemoStoreShape years = shape;
        years.months = std::max(shape.months, kBoreholeMonths);
        AddDirectory(store, years, now, kBoreholeIndex, kBorehole,
                     static_cast<int>(BoreholeSensorCount(shape)));
    }
}

}  // namespace qm::sim
