#pragma once

#include <cstddef>
#include <filesystem>

namespace qm::test {

// Three years, hourly from 1 Jan 2021 00:00 to 31 Dec 2023 23:00, of a string of three sensors
// (1, 5 and 10 m) in permafrost warming by kWarmingPerDecade at every depth under a yearly wave.
// Sensor 2 has a design limit of 0 °C and reads +0.5 °C for kWarmHours hours from
// 1 Aug 2023 00:00, well above its -2.5 °C; one spike of +15 °C a year earlier is flagged and
// never counts. Sensor 1 has a limit of 10 °C it never reaches; sensor 3 has none. Written as
// monthly files "2021_1.dat"… and sensors.csv with the limit column; the folder is made.
inline constexpr double kWarmingPerDecade = 0.5;
inline constexpr std::size_t kWarmHours = 30;

void WriteWarmingBorehole(const std::filesystem::path& folder);

}  // namespace qm::test
