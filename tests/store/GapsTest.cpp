#include <gtest/gtest.h>

#include "store/DataSet.h"
#include "store/Gaps.h"

namespace qm::test {
namespace {

// Measurements at the given minutes after midnight of 1 March 2024.
std::vector<Measurement> At(std::initializer_list<int> minutes) {
    const DateTime day = *DateTime::FromDate(2024, 3, 1);
    std::vector<Measurement> list;
    for (const int m : minutes) {
        Measurement measurement;
        measurement.time = DateTime::FromMilliseconds(day.Milliseconds() + m * 60'000LL);
        list.push_back(measurement);
    }
    return list;
}

TEST(Gaps, AGapIsMoreThanThreeUsualIntervalsWithoutAMeasurement) {
    // Hourly, then three hours without one (not a gap), then five (a gap).
    const auto list = At({0, 60, 120, 180, 360, 420, 480, 540, 840, 900});
    EXPECT_EQ(UsualIntervalMinutes(list), 60);
    const auto gaps = FindGaps(list);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].from.Milliseconds(), list[7].time.Milliseconds());
    EXPECT_EQ(gaps[0].to.Milliseconds(), list[8].time.Milliseconds());
}

TEST(Gaps, TooFewMeasurementsOrOnesAtTheSameTimeMakeNoGap) {
    EXPECT_TRUE(FindGaps(At({})).empty());
    EXPECT_TRUE(FindGaps(At({0})).empty());
    EXPECT_EQ(UsualIntervalMinutes(At({5, 5, 5})), 0);
    EXPECT_TRUE(FindGaps(At({5, 5, 5})).empty());
    // Ten-minute readings with one long pause: the pause does not become the interval.
    const auto gaps = FindGaps(At({0, 10, 20, 30, 40, 1000, 1010, 1020}));
    ASSERT_EQ(gaps.size(), 1u);
}

}  // namespace
}  // namespace qm::test
