#include "collect/Schedule.h"

#include <ctime>
#include <utility>

namespace qm {

using namespace std::chrono;

namespace {

class PcZone : public LocalZone {
public:
    seconds OffsetAt(sys_seconds utc) const override {
        const std::time_t t = system_clock::to_time_t(system_clock::time_point(utc));
        std::tm local{};
#ifdef _WIN32
        if (localtime_s(&local, &t) != 0) return seconds(0);
#else
        if (!localtime_r(&t, &local)) return seconds(0);
#endif
        const sys_days day{year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday};
        const sys_seconds wall =
            day + hours(local.tm_hour) + minutes(local.tm_min) + seconds(local.tm_sec);
        return wall - utc;
    }
};

local_seconds ToLocal(sys_seconds utc, const LocalZone& zone) {
    return local_seconds((utc + zone.OffsetAt(utc)).time_since_epoch());
}

// Where the grid of a station with "at" is counted from: a Monday, so that weeks fall on one.
constexpr local_days kGridOrigin{year(2001) / January / 1};

// The quotient rounded down, for counts before the origin as well.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

const LocalZone& SystemZone() {
    static const PcZone zone;
    return zone;
}

sys_seconds LocalToUtc(local_seconds local, const LocalZone& zone) {
    const sys_seconds asUtc(local.time_since_epoch());
    const seconds before = zone.OffsetAt(asUtc - days(1));
    const seconds after = zone.OffsetAt(asUtc + days(1));
    std::optional<sys_seconds> first;
    for (const seconds offset : {before, after}) {
        const sys_seconds u = asUtc - offset;
        if (zone.OffsetAt(u) == offset && (!first || u < *first)) first = u;
    }
    if (first) return *first;
    // Skipped: the clock jumps somewhere after `low`, still on the old offset, up to `high`.
    sys_seconds low = asUtc - after, high = asUtc - before;
    if (high <= low) return high;
    while (high - low > seconds(1)) {
        const sys_seconds middle = low + (high - low) / 2;
        if (zone.OffsetAt(middle) == before)
            low = middle;
        else
            high = middle;
    }
    return high;
}

StationHistory HistoryOfVisits(const std::vector<VisitRecord>& records) {
    StationHistory h;
    for (const VisitRecord& r : records) {
        h.lastAttempt = r.time;
        if (r.collected) {
            h.lastSuccess = r.time;
            h.failures = 0;
        } else {
            ++h.failures;
        }
    }
    return h;
}

StationHistory ReadStationHistory(const std::filesystem::path& folder) {
    return HistoryOfVisits(ReadVisitLog(folder).records);
}

Schedule::Schedule(const std::vector<Station>& stations, sys_seconds start, const LocalZone& zone,
                   std::vector<StationHistory> history)
    : start_(start), zone_(zone) {
    entries_.reserve(stations.size());
    for (std::size_t i = 0; i < stations.size(); ++i) {
        Entry e;
        e.timing = stations[i].timing;
        if (i < history.size()) e.history = history[i];
        const StationHistory& h = e.history;
        if (e.timing.every && h.failures > 0 && h.lastAttempt) {
            e.next = std::max(start, RetryAfter(e, *h.lastAttempt));
        } else if (!e.timing.every || !e.timing.at) {
            e.next = start;
        } else {
            const sys_seconds due = DueFrom(e, start, false);
            // The last due time before the start, passed while the run was down.
            const sys_seconds missed = DueFrom(e, start - *e.timing.every, false);
            const bool wasDown = missed < start && h.lastAttempt && *h.lastAttempt < missed;
            e.next = wasDown ? start : due;
        }
        entries_.push_back(e);
    }
}

std::optional<sys_seconds> Schedule::NextVisit(std::size_t station) const {
    return entries_[station].next;
}

std::optional<std::size_t> Schedule::Due(sys_seconds now) const {
    std::optional<std::size_t> due;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const auto& next = entries_[i].next;
        if (next && *next <= now && (!due || *next < *entries_[*due].next)) due = i;
    }
    return due;
}

std::optional<sys_seconds> Schedule::NextWake() const {
    std::optional<sys_seconds> wake;
    for (const Entry& e : entries_)
        if (e.next && (!wake || *e.next < *wake)) wake = e.next;
    return wake;
}

void Schedule::Visited(std::size_t station, sys_seconds began, sys_seconds ended, bool collected) {
    Entry& e = entries_[station];
    e.history.lastAttempt = began;
    if (!collected) {
        ++e.history.failures;
        e.next = RetryAfter(e, ended);
        return;
    }
    e.history.lastSuccess = began;
    e.history.failures = 0;
    if (!e.timing.every) {
        e.next.reset();
        return;
    }
    sys_seconds next = DueFrom(e, began, true);
    if (next < ended) next = DueFrom(e, ended, false);
    e.next = next;
}

sys_seconds Schedule::RetryAfter(const Entry& e, sys_seconds ended) {
    const StationTiming& t = e.timing;
    return ended + (e.history.failures <= t.retries ? t.retryEvery : t.secondaryEvery);
}

sys_seconds Schedule::DueFrom(const Entry& e, sys_seconds t, bool after) const {
    const std::int64_t every = e.timing.every->count();
    const auto reached = [&](sys_seconds due) { return after ? due > t : due >= t; };
    if (!e.timing.at) {
        const std::int64_t k =
            std::max<std::int64_t>(0, FloorDiv((t - start_).count(), every) + (after ? 1 : 0));
        sys_seconds due = start_ + seconds(k * every);
        while (!reached(due)) due += seconds(every);
        return due;
    }
    // On the wall clock: the first reading of the grid at or before t's own, then on until one
    // stands for an instant late enough (a reading the clock showed twice stands for the first
    // time, which may lie before t).
    const local_seconds origin = local_seconds(kGridOrigin) + *e.timing.at;
    std::int64_t k = FloorDiv((ToLocal(t, zone_) - origin).count(), every);
    sys_seconds due = LocalToUtc(origin + seconds(k * every), zone_);
    while (!reached(due)) due = LocalToUtc(origin + seconds(++k * every), zone_);
    return due;
}

}  // namespace qm
