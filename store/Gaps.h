#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/DateTime.h"

namespace qm {

struct Measurement;

// A stretch of time with no measurement where the logger's schedule would have put some.
struct DataGap {
    DateTime from;  // the last measurement before it
    DateTime to;    // the first measurement after it
};

// The logger's usual interval: the commonest step between measurements that follow each other
// (the smallest of equally common ones), in minutes; 0 when there are fewer than two.
std::int64_t UsualIntervalMinutes(std::span<const Measurement> measurements);

// Where no measurement came for more than three usual intervals, in time order. The usual
// interval is the commonest step, so a schedule changed once, or a few gaps, do not move it.
std::vector<DataGap> FindGaps(std::span<const Measurement> measurements);

}  // namespace qm
