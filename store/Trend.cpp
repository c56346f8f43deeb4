#include "store/Trend.h"

#include <algorithm>
#include <array>

#include "store/DataSet.h"
#include "store/Health.h"
#include "store/ValueLines.h"

namespace qm {

namespace {

DateTime MonthStart(int year, int month) {
    return *DateTime::FromDate(year, month, 1);
}

constexpr double kDecadeDays = 3652.5;

}  // namespace

MonthlyMeans MonthlyMeansOf(const DataSet& set, const Health& health,
                            std::int64_t intervalMinutes) {
    MonthlyMeans out;
    out.sensorCount = health.sensorCount;
    const Period period = health.period;
    if (period.Size() == 0) return out;
    const DateTime periodStart = set.measurements[period.first].time;
    const DateTime periodEnd =
        set.measurements[period.end - 1].time +
        DateTime::FromMilliseconds(std::max<std::int64_t>(intervalMinutes, 1) *
                                   DateTime::kMsPerMinute);
    const CivilDateTime first = periodStart.ToCivil();
    int year = first.year;
    int month = first.month;
    while (MonthStart(year, month) < periodEnd) {
        const int nextYear = month == 12 ? year + 1 : year;
        const int nextMonth = month == 12 ? 1 : month + 1;
        out.months.push_back({year, month, std::max(MonthStart(year, month), periodStart),
                              std::min(MonthStart(nextYear, nextMonth), periodEnd)});
        year = nextYear;
        month = nextMonth;
    }

    const std::size_t sensors = out.sensorCount;
    std::vector<double> sums(out.months.size() * sensors, 0.0);
    std::vector<std::size_t> counts(out.months.size() * sensors, 0);
    std::size_t m = 0;
    for (std::size_t i = period.first; i < period.end; ++i) {
        const DateTime t = set.measurements[i].time;
        while (m + 1 < out.months.size() && t >= out.months[m].end) ++m;
        for (std::size_t s = 0; s < sensors; ++s) {
            const std::int32_t v = set.Value(i, s);
            if (v == kMissingValue || health.FlagOf(i, s) != ValueFlag::None) continue;
            sums[m * sensors + s] += v;
            ++counts[m * sensors + s];
        }
    }
    out.means.assign(out.months.size() * sensors, std::nullopt);
    for (std::size_t k = 0; k < out.months.size(); ++k) {
        const double minutes = static_cast<double>(out.months[k].end.Milliseconds() -
                                                   out.months[k].start.Milliseconds()) /
                               static_cast<double>(DateTime::kMsPerMinute);
        const double expected =
            intervalMinutes > 0 ? minutes / static_cast<double>(intervalMinutes) : 1.0;
        for (std::size_t s = 0; s < sensors; ++s) {
            const std::size_t n = counts[k * sensors + s];
            if (n == 0 || static_cast<double>(n) < kMonthCompleteShare * expected) continue;
            out.means[k * sensors + s] = sums[k * sensors + s] / static_cast<double>(n) / 100.0;
        }
    }
    return out;
}

std::optional<double> TrendPerDecade(const MonthlyMeans& means, std::size_t sensor) {
    // Per calendar month: the sums of the middle times (days) and the means, and their count.
    struct Sums {
        double t = 0.0;
        double y = 0.0;
        std::size_t n = 0;
    };
    std::array<Sums, 12> byMonth{};
    std::size_t used = 0;
    const auto middle = [&](std::size_t k) {
        return (means.months[k].start.Days() + means.months[k].end.Days()) / 2.0;
    };
    for (std::size_t k = 0; k < means.months.size(); ++k) {
        const std::optional<double>& y = means.Mean(k, sensor);
        if (!y) continue;
        Sums& c = byMonth[static_cast<std::size_t>(means.months[k].month - 1)];
        c.t += middle(k);
        c.y += *y;
        ++c.n;
        ++used;
    }
    if (used < kTrendLeastMonths) return std::nullopt;
    double sxy = 0.0;
    double sxx = 0.0;
    for (std::size_t k = 0; k < means.months.size(); ++k) {
        const std::optional<double>& y = means.Mean(k, sensor);
        if (!y) continue;
        const Sums& c = byMonth[static_cast<std::size_t>(means.months[k].month - 1)];
        const double n = static_cast<double>(c.n);
        const double dt = middle(k) - c.t / n;
        const double dy = *y - c.y / n;
        sxy += dt * dy;
        sxx += dt * dt;
    }
    if (sxx <= 0.0) return std::nullopt;
    return sxy / sxx * kDecadeDays;
}

}  // namespace qm
