#include "store/Health.h"

#include <algorithm>
#include <cstdlib>

#include "store/DataSet.h"
#include "store/SensorTable.h"
#include "store/ValueLines.h"

namespace qm {

namespace {

bool Present(std::int32_t v) {
    return v != kMissingValue;
}

bool InRange(std::int32_t v) {
    return v >= kLowestHundredths && v <= kHighestHundredths;
}

// Twice the median, so that an even count stays a whole number.
std::int64_t TwiceMedian(std::vector<std::int32_t>& v) {
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    const std::int64_t upper = v[mid];
    if (v.size() % 2 == 1) return 2 * upper;
    const std::int64_t lower =
        *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
    return lower + upper;
}

void FindSpikes(const DataSet& set, std::size_t s, Health& h) {
    // The sensor's readings in the period: present and in range.
    std::vector<std::size_t> at;
    std::vector<std::int32_t> values;
    for (std::size_t i = h.period.first; i < h.period.end; ++i) {
        const std::int32_t v = set.Value(i, s);
        if (!Present(v) || !InRange(v)) continue;
        at.push_back(i);
        values.push_back(v);
    }
    if (at.size() < kSpikeLeast) return;
    const std::size_t width = std::min(kSpikeWindow, at.size());
    std::vector<std::int32_t> window;
    for (std::size_t k = 0; k < at.size(); ++k) {
        std::size_t from = k >= width / 2 ? k - width / 2 : 0;
        from = std::min(from, at.size() - width);
        const auto first = values.begin() + static_cast<std::ptrdiff_t>(from);
        const auto last = first + static_cast<std::ptrdiff_t>(width);
        // The value and the median both lie within the window's extremes: a window that spans
        // no more than the limit holds no spike, and most windows are such.
        const auto [lo, hi] = std::minmax_element(first, last);
        if (*hi - *lo <= kSpikeHundredths) continue;
        window.assign(first, last);
        const std::int64_t v = values[k];
        if (std::llabs(2 * v - TwiceMedian(window)) > 2LL * kSpikeHundredths) {
            h.valueFlags[(at[k] - h.period.first) * h.sensorCount + s] = ValueFlag::Spike;
            h.sensors[s].flags |= kSpikes;
        }
    }
}

// Whether sensor n moves by more than kStuckNeighbourHundredths over measurements [a, b].
bool Changes(const DataSet& set, std::size_t n, std::size_t a, std::size_t b) {
    std::optional<std::int32_t> lo;
    std::int32_t hi = 0;
    for (std::size_t i = a; i <= b; ++i) {
        const std::int32_t v = set.Value(i, n);
        if (!Present(v) || !InRange(v)) continue;
        if (!lo) {
            lo = hi = v;
            continue;
        }
        lo = std::min(*lo, v);
        hi = std::max(hi, v);
        if (hi - *lo > kStuckNeighbourHundredths) return true;
    }
    return false;
}

// Flags the values of sensor s's stuck stretches in the period; how many values they hold.
std::size_t MarkStuck(const DataSet& set, std::size_t s, const std::vector<std::size_t>& neighbours,
                      Health& h) {
    const Period& p = h.period;
    std::size_t stuck = 0;
    std::size_t runStart = p.first;
    std::size_t runLength = 0;
    std::int32_t runValue = kMissingValue;
    const auto runEnds = [&](std::size_t last) {
        if (runLength < kStuckRun) return;
        if (runValue >= kCurtainLowestHundredths && runValue <= kCurtainHighestHundredths) return;
        if (!std::any_of(neighbours.begin(), neighbours.end(),
                         [&](std::size_t n) { return Changes(set, n, runStart, last); }))
            return;
        stuck += runLength;
        for (std::size_t i = runStart; i <= last; ++i) {
            ValueFlag& f = h.valueFlags[(i - p.first) * h.sensorCount + s];
            if (f == ValueFlag::None) f = ValueFlag::Stuck;
        }
    };
    for (std::size_t i = p.first; i < p.end; ++i) {
        const std::int32_t v = set.Value(i, s);
        if (Present(v) && v == runValue) {
            ++runLength;
            continue;
        }
        if (i > p.first) runEnds(i - 1);
        runStart = i;
        runValue = v;
        runLength = Present(v) ? 1 : 0;
    }
    if (p.end > p.first) runEnds(p.end - 1);
    return stuck;
}

}  // namespace

Period PeriodOf(const DataSet& set, std::optional<DateTime> fromDay,
                std::optional<DateTime> toDay) {
    const auto& m = set.measurements;
    Period p{0, m.size()};
    p.fromDay = fromDay;
    p.toDay = toDay;
    if (fromDay) {
        const DateTime start = fromDay->DatePart();
        p.first = static_cast<std::size_t>(
            std::lower_bound(m.begin(), m.end(), start,
                             [](const Measurement& x, DateTime t) { return x.time < t; }) -
            m.begin());
    }
    if (toDay) {
        const DateTime nextDay =
            toDay->DatePart() + DateTime::FromMilliseconds(DateTime::kMsPerDay);
        p.end = static_cast<std::size_t>(
            std::lower_bound(m.begin(), m.end(), nextDay,
                             [](const Measurement& x, DateTime t) { return x.time < t; }) -
            m.begin());
    }
    if (p.end < p.first) p.end = p.first;
    return p;
}

std::vector<std::size_t> NeighboursOf(std::size_t sensor, std::size_t sensorCount,
                                      const SensorTable& table) {
    const SensorInfo* own = table.Find(sensor + 1);
    if (own && own->depthMetres) {
        // Along the string by depth (equal depths by number); only sensors with a depth.
        std::vector<const SensorInfo*> byDepth;
        for (const SensorInfo& s : table.sensors)
            if (s.depthMetres && s.sensor <= sensorCount) byDepth.push_back(&s);
        std::stable_sort(byDepth.begin(), byDepth.end(), [](const auto* a, const auto* b) {
            return *a->depthMetres < *b->depthMetres;
        });
        const auto it = std::find(byDepth.begin(), byDepth.end(), own);
        std::vector<std::size_t> out;
        if (it == byDepth.end()) return out;
        if (it != byDepth.begin()) out.push_back((*(it - 1))->sensor - 1);
        if (it + 1 != byDepth.end()) out.push_back((*(it + 1))->sensor - 1);
        return out;
    }
    std::vector<std::size_t> out;
    if (sensor > 0) out.push_back(sensor - 1);
    if (sensor + 1 < sensorCount) out.push_back(sensor + 1);
    return out;
}

Health AssessHealth(const DataSet& set, Period period, const SensorTable& table,
                    std::size_t sensorCount) {
    Health h;
    period.end = std::min(period.end, set.measurements.size());
    period.first = std::min(period.first, period.end);
    h.period = period;
    h.sensorCount = sensorCount;
    h.sensors.resize(sensorCount);
    h.valueFlags.assign(period.Size() * sensorCount, ValueFlag::None);
    for (std::size_t s = 0; s < sensorCount; ++s) {
        SensorHealth& sh = h.sensors[s];
        for (std::size_t i = period.first; i < period.end; ++i) {
            const std::int32_t v = set.Value(i, s);
            if (!Present(v)) continue;
            ++sh.count;
            if (!InRange(v)) {
                h.valueFlags[(i - period.first) * sensorCount + s] = ValueFlag::Range;
                sh.flags |= kRange;
            }
        }
        if (sh.count == 0) {
            sh.flags |= kDead;
            continue;
        }
        FindSpikes(set, s, h);
        const std::size_t stuck = MarkStuck(set, s, NeighboursOf(s, sensorCount, table), h);
        if (2 * stuck > sh.count) sh.flags |= kStuck;
    }
    return h;
}

std::vector<std::string_view> FlagWords(unsigned flags) {
    std::vector<std::string_view> words;
    if (flags & kDead) words.emplace_back("dead");
    if (flags & kStuck) words.emplace_back("stuck");
    if (flags & kSpikes) words.emplace_back("spikes");
    if (flags & kRange) words.emplace_back("range");
    return words;
}

}  // namespace qm
