#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "collect/Schedule.h"

namespace qm::test {
namespace {

using namespace std::chrono;
namespace fs = std::filesystem;

// Central European time: summer time from 01:00 UTC on the last Sunday of March to 01:00 UTC
// on the last Sunday of October.
class CentralEurope : public LocalZone {
public:
    seconds OffsetAt(sys_seconds utc) const override {
        const year y = year_month_day(floor<days>(utc)).year();
        const auto lastSunday = [&](month m) {
            return sys_days(year_month_weekday_last(y, m, weekday_last(Sunday))) + hours(1);
        };
        return utc >= lastSunday(March) && utc < lastSunday(October) ? hours(2) : hours(1);
    }
};

sys_seconds Utc(int y, unsigned m, unsigned d, int h, int min = 0, int s = 0) {
    return sys_days(year(y) / m / d) + hours(h) + minutes(min) + seconds(s);
}

Station Every(const char* every, const char* at = nullptr) {
    Station s;
    s.timing.every = ParseDuration(every);
    if (at) s.timing.at = minutes(std::stoi(at) * 60 + std::stoi(at + 3));
    return s;
}

TEST(ScheduleTest, ASilentStationIsRetriedAsScheduledThenBackOnItsTimes) {
    Station s = Every("1h");
    s.timing.retries = 3;
    s.timing.retryEvery = minutes(5);
    s.timing.secondaryEvery = minutes(30);
    const sys_seconds t0 = Utc(2026, 12, 1, 0);
    const CentralEurope zone;
    Schedule schedule({s}, t0, zone);
    // Silent for its first two hours; every visit takes 20 s.
    std::vector<sys_seconds> visits;
    while (visits.size() < 10) {
        const sys_seconds now = *schedule.NextWake();
        ASSERT_EQ(schedule.Due(now), 0u);
        visits.push_back(now);
        schedule.Visited(0, now, now + seconds(20), now >= t0 + hours(2));
    }
    const auto at = [&](int h, int m, int sec) {
        return t0 + hours(h) + minutes(m) + seconds(sec);
    };
    EXPECT_EQ(visits, (std::vector<sys_seconds>{
                          at(0, 0, 0), at(0, 5, 20), at(0, 10, 40), at(0, 16, 0), at(0, 46, 20),
                          at(1, 16, 40), at(1, 47, 0), at(2, 17, 20), at(3, 0, 0), at(4, 0, 0)}));
    EXPECT_EQ(schedule.History(0).failures, 0);
    EXPECT_EQ(schedule.History(0).lastSuccess, at(4, 0, 0));
}

TEST(ScheduleTest, SeveralDueAreVisitedByDueTimeThenInTheOrderOfTheFile) {
    const sys_seconds t0 = Utc(2026, 12, 1, 0);
    const CentralEurope zone;
    Station once;
    Schedule s({Every("1h"), Every("1h"), Every("1h"), once}, t0, zone);
    EXPECT_EQ(s.Due(t0 - seconds(1)), std::nullopt);
    EXPECT_EQ(s.Due(t0), 0u);
    s.Visited(0, t0, t0, true);
    s.Visited(1, t0, t0, false);  // tried again at 00:05
    EXPECT_EQ(s.Due(t0 + hours(1)), 2u);
    s.Visited(2, t0, t0, true);
    EXPECT_EQ(s.Due(t0 + hours(1)), 3u);
    s.Visited(3, t0, t0, true);
    EXPECT_EQ(s.NextVisit(3), std::nullopt) << "once, at the start";
    EXPECT_EQ(s.Due(t0 + hours(1)), 1u);
    s.Visited(1, t0 + hours(1), t0 + hours(1), true);
    EXPECT_EQ(s.Due(t0 + hours(1)), 0u);
    EXPECT_EQ(s.NextVisit(1), t0 + hours(2));
    EXPECT_EQ(s.NextVisit(2), t0 + hours(1));
}

TEST(ScheduleTest, AtWithEveryKeepsTheLocalHourAcrossSummerTime) {
    const CentralEurope zone;
    // Spring: 02:30 CET, then the clock skips 02:00 to 03:00 and visits at 03:00 CEST.
    Schedule spring({Every("1d", "02:30")}, Utc(2026, 3, 27, 12), zone);
    std::vector<sys_seconds> due;
    for (int i = 0; i < 3; ++i) {
        due.push_back(*spring.NextVisit(0));
        spring.Visited(0, due.back(), due.back() + minutes(1), true);
    }
    EXPECT_EQ(due, (std::vector<sys_seconds>{Utc(2026, 3, 28, 1, 30), Utc(2026, 3, 29, 1),
                                             Utc(2026, 3, 30, 0, 30)}));
    // Autumn: 02:30 shows twice and is visited the first time; every six hours from 02:30.
    Schedule autumn({Every("6h", "02:30")}, Utc(2026, 10, 24, 22), zone);
    due.clear();
    for (int i = 0; i < 3; ++i) {
        due.push_back(*autumn.NextVisit(0));
        autumn.Visited(0, due.back(), due.back() + minutes(1), true);
    }
    EXPECT_EQ(due, (std::vector<sys_seconds>{Utc(2026, 10, 25, 0, 30), Utc(2026, 10, 25, 7, 30),
                                             Utc(2026, 10, 25, 13, 30)}));
    // A run that was down at 02:30 visits at its start, once; one that was not waits.
    const sys_seconds start = Utc(2026, 12, 2, 9);
    Schedule down({Every("1d", "02:30")}, start, zone, {{Utc(2026, 12, 1, 1, 30), {}, 0}});
    EXPECT_EQ(down.NextVisit(0), start);
    Schedule up({Every("1d", "02:30")}, start, zone, {{Utc(2026, 12, 2, 1, 30), {}, 0}});
    EXPECT_EQ(up.NextVisit(0), Utc(2026, 12, 3, 1, 30));
}

TEST(ScheduleTest, TheVisitLogRebuildsTheHistoryAndItsRetriesCarryOn) {
    std::random_device rd;
    const fs::path folder = fs::temp_directory_path() / ("qm_schedule_" + std::to_string(rd()));
    fs::create_directories(folder);
    VisitRecord r;
    r.station = "A";
    r.link = "radio";
    r.addressNumber = 5;
    for (const auto& [minute, collected] : {std::pair{0, false}, {5, true}, {10, false}}) {
        r.time = Utc(2026, 12, 1, 0, minute);
        r.collected = collected;
        ASSERT_FALSE(AppendVisitRecord(folder, r));
    }
    std::ofstream(folder / kVisitLogName, std::ios::app) << "{\"time\": garbled\n";
    r.time = Utc(2026, 12, 1, 0, 15);
    r.collected = false;
    ASSERT_FALSE(AppendVisitRecord(folder, r));
    std::ofstream(folder / kVisitLogName, std::ios::app) << R"({"time":"2026-12-01T00:20:00Z")";
    const StationHistory h = ReadStationHistory(folder);
    fs::remove_all(folder);
    EXPECT_EQ(h, (StationHistory{Utc(2026, 12, 1, 0, 15), Utc(2026, 12, 1, 0, 5), 2}));

    Station s = Every("1h");
    s.timing.retries = 1;
    const CentralEurope zone;
    Schedule schedule({s}, Utc(2026, 12, 1, 0, 20), zone, {h});
    EXPECT_EQ(schedule.NextVisit(0), Utc(2026, 12, 1, 0, 15) + s.timing.secondaryEvery);
}

}  // namespace
}  // namespace qm::test
