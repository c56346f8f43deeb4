#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "collect/StationsFile.h"
#include "store/CollectionLog.h"

namespace qm {

// The PC's time zone: its offset from UTC at an instant, summer time included.
class LocalZone {
public:
    virtual ~LocalZone() = default;
    virtual std::chrono::seconds OffsetAt(std::chrono::sys_seconds utc) const = 0;
};
// The zone the PC is set to.
const LocalZone& SystemZone();

// The instant a reading of the local wall clock stands for. A reading the clock skips when it
// is put forward stands for the instant it jumps; one it shows twice when it is put back, for
// the first time it shows it.
std::chrono::sys_seconds LocalToUtc(std::chrono::local_seconds local, const LocalZone& zone);

// What the visits so far tell of a station. Times are when a visit began (as its log keeps it).
struct StationHistory {
    std::optional<std::chrono::sys_seconds> lastAttempt;
    std::optional<std::chrono::sys_seconds> lastSuccess;
    std::int64_t failures = 0;  // visits that failed since the last one that collected

    bool operator==(const StationHistory&) const = default;
};

// The history the visit log's records tell, in the order of the file.
StationHistory HistoryOfVisits(const std::vector<VisitRecord>& records);
// The history of the station whose folder is `folder`, from its visit log: a line that holds no
// record costs only itself, and a log that cannot be read gives no history.
StationHistory ReadStationHistory(const std::filesystem::path& folder);

// When each station of a collection that serves is visited, over an instant the caller gives:
// nothing here waits or reads a clock.
//
// A station with `every` is due at `at` plus a whole number of `every`, counted on the local
// wall clock from `at` on Monday 1 January 2001 (a restart does not move the times, a daily
// visit stays at its hour across summer time, and "7d" falls on Mondays); without `at`, at the
// run's start plus a whole number of `every`. A station without `every` is due once, at the
// start. A visit that fails is followed by `retries` visits `retryEvery` after the end of the
// one before, then by one every `secondaryEvery`, until a visit collects; then the station is
// due at its next due time after the visit began, or after it ended when due times passed
// during the visit: due times that pass during retries or a long visit are not made up.
//
// At the start, a station whose visit log shows failures carries on with its retries from its
// last attempt; one whose last attempt precedes its last due time before the start (the run was
// down then) is due at the start, once.
class Schedule {
public:
    Schedule(const std::vector<Station>& stations, std::chrono::sys_seconds start,
             const LocalZone& zone, std::vector<StationHistory> history = {});

    std::size_t Size() const { return entries_.size(); }
    // When the station is next due; nothing when it is not to be visited again.
    std::optional<std::chrono::sys_seconds> NextVisit(std::size_t station) const;
    // The station to visit at `now`: of those due, the one due first, then the first in the
    // file. Nothing when none is due.
    std::optional<std::size_t> Due(std::chrono::sys_seconds now) const;
    // The earliest time a station is due; nothing when none is to be visited again.
    std::optional<std::chrono::sys_seconds> NextWake() const;
    // A visit of `station` that began at `began` and ended at `ended`.
    void Visited(std::size_t station, std::chrono::sys_seconds began,
                 std::chrono::sys_seconds ended, bool collected);
    const StationHistory& History(std::size_t station) const { return entries_[station].history; }

private:
    struct Entry {
        StationTiming timing;
        StationHistory history;
        std::optional<std::chrono::sys_seconds> next;
    };
    // The station's first due time at or after `t` (`after`: strictly after).
    std::chrono::sys_seconds DueFrom(const Entry& e, std::chrono::sys_seconds t, bool after) const;
    // When a failed station is tried again after a visit that ended at `ended`.
    static std::chrono::sys_seconds RetryAfter(const Entry& e, std::chrono::sys_seconds ended);

    std::vector<Entry> entries_;
    std::chrono::sys_seconds start_;
    const LocalZone& zone_;
};

}  // namespace qm
