#include "store/Gaps.h"

#include <map>

#include "store/DataSet.h"

namespace qm {

namespace {

std::int64_t StepMinutes(const Measurement& a, const Measurement& b) {
    return (b.time.Milliseconds() - a.time.Milliseconds()) / 60'000;
}

}  // namespace

std::int64_t UsualIntervalMinutes(std::span<const Measurement> measurements) {
    std::map<std::int64_t, std::size_t> steps;
    for (std::size_t i = 1; i < measurements.size(); ++i) {
        const std::int64_t step = StepMinutes(measurements[i - 1], measurements[i]);
        if (step > 0) ++steps[step];
    }
    std::int64_t usual = 0;
    std::size_t most = 0;
    for (const auto& [step, count] : steps)
        if (count > most) {
            most = count;
            usual = step;
        }
    return usual;
}

std::vector<DataGap> FindGaps(std::span<const Measurement> measurements) {
    std::vector<DataGap> gaps;
    const std::int64_t usual = UsualIntervalMinutes(measurements);
    if (usual == 0) return gaps;
    for (std::size_t i = 1; i < measurements.size(); ++i)
        if (StepMinutes(measurements[i - 1], measurements[i]) > 3 * usual)
            gaps.push_back({measurements[i - 1].time, measurements[i].time});
    return gaps;
}

}  // namespace qm
