#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "link/HidBackend.h"

namespace qm {

// Report lengths from a HID report descriptor, as the platform HID layer computes them: for each
// report ID the bits of its Input (or Output) main items (report count x report size) rounded up
// to bytes, plus one byte for the report ID, which is sent as 0 when the descriptor declares no
// IDs; the largest report of each kind wins. None when the descriptor is malformed (an item
// running past the end, a Pop without a Push, a report longer than kMaxHidReportLength).
std::optional<HidReportLengths> ReportLengthsFromDescriptor(
    std::span<const std::uint8_t> descriptor);

}  // namespace qm
