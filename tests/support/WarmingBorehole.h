#pragma once

#include <cstddef>
#include <filesystem>

namespace qm::test {

// Three years, hourly from 1 Jan 2021 00:00 to 31 Dec 2023 23:00, of a string of three sensors
// (1, 5 and 10 m) in permafrost warming by kWarmingPerDecade at every depth under a yearly wave.
// Sensor 1 has a design limit of 5 °C, a summer maximum near 3 °C, and reads 6 °C for kWarmHours
// hours from 1 Aug 2023 00:00; one spike of +25 °C a year earlier is flagged and never counts.
// Sensor 2 has a limit of 0 °C it never reaches; sensor 3 has none. Written as monthly files
// "2021_1.dat"… and sensors.csv with the limit column; the folder is made.
inline constexpr double kWarmingPerDecade = 0.5;
inline constexpr std::size_t kWarmHours = 20;

void WriteWarmingBorehole(const std::filesystem::path& folder);

}  // namespace qm::test
