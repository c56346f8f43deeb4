#include "measure/Calibration.h"

namespace qm {

void StoreCalibrationEntries(CalibrationTable& table, const Reply& reply, int first, int last) {
    for (int i = first; i <= last && i <= kCalibrationEntries; ++i) {
        const std::size_t lo = packet::kData + 2 * static_cast<std::size_t>(i - first);
        if (lo + 1 > reply.Received()) break;
        const auto w = static_cast<std::uint16_t>(reply.At(lo) | (reply.At(lo + 1) << 8));
        table[static_cast<std::size_t>(i)] = SignedWord(w);
    }
}

}  // namespace qm
