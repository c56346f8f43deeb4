#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/DateTime.h"

namespace qm::test {

// Hourly measurements from `start` in monthly files as a logger writes them: each file opens with
// "BOREHOLE  <its name>", each measurement is its header line ("hh:mm dd.mm.yyyy", with
// "  N=<count>" when `count` is given) and its value lines; `row(hour)` gives the values of the
// measurement that many hours after `start`. The folder is made when missing; throws
// std::runtime_error when a file cannot be written.
void WriteHourlyMonths(const std::filesystem::path& folder, DateTime start, std::size_t hours,
                       std::optional<std::size_t> count,
                       const std::function<std::vector<std::int32_t>(std::size_t hour)>& row);

}  // namespace qm::test
