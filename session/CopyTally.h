#pragma once

#include <cstdint>

namespace qm {

// What the copies of this run have done, counted from the program's start: local files put in
// place, their bytes, and the copy requests that went unanswered and were asked again. A caller
// that reports one copy takes the difference of two readings.
struct CopyTotals {
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
    std::int64_t retries = 0;
};

class CopyTally {
public:
    // A local file of a copy is complete and in place; `bytes` is its size.
    void FileWritten(std::uint64_t bytes) {
        ++totals_.files;
        totals_.bytes += bytes;
    }
    // A copy request went unanswered and is asked again.
    void Retried() { ++totals_.retries; }

    const CopyTotals& Totals() const { return totals_; }

private:
    CopyTotals totals_;
};

// What happened between two readings of the tally.
inline CopyTotals operator-(const CopyTotals& later, const CopyTotals& earlier) {
    return {later.files - earlier.files, later.bytes - earlier.bytes,
            later.retries - earlier.retries};
}

}  // namespace qm
