#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "protocol/DateTime.h"
#include "store/DataSet.h"
#include "store/SensorTable.h"

namespace qm::test {

// A year, hourly from 1 Jan 2024 00:00 to 31 Dec 23:00, of a string of eleven sensors down to 12 m
// in ground of mean -3 °C whose yearly swing of 15 °C at the surface dies out with depth (damping
// depth 2 m; the daily one of 3 °C, 0.15 m), with the faults a string in the field shows:
//   sensor 2 (0.5 m)  three spikes: +37 °C, +21.5 °C and -25 °C
//   sensor 4 (2 m)    stuck at -1.5 °C for 27 weeks, more than half the year, its neighbours moving
//   sensor 7 (5 m)    misses every tenth reading
//   sensor 9 (8 m)    dead: no value at all
//   sensor 10 (10 m)  one reading of 85 °C, out of any ground's range
// The maximum of the ground reaches 0 °C at 2 ln 5 = 3.22 m, the yearly range falls to 0.1 °C at
// 2 ln 300 = 11.41 m; between the sensors, interpolated linearly as the summary does, that is
// kFailingYearActiveLayer and kFailingYearZeroAmplitude. Sensors are labelled "S1".."S11".
struct FailingYear {
    DataSet set;
    SensorTable table;
};

inline constexpr std::size_t kFailingYearSensors = 11;
inline constexpr std::size_t kFailingYearHours = 366 * 24;  // 2024 is a leap year
inline constexpr std::array<double, kFailingYearSensors> kFailingYearDepths = {
    0.0, 0.5, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0, 12.0};
// 1-based sensor numbers of the faults, and where they are.
inline constexpr std::size_t kSpikySensor = 2;
inline constexpr std::array<std::size_t, 3> kSpikeHours = {1000, 3000, 5000};
inline constexpr std::array<std::int32_t, 3> kSpikeHundredths = {3700, 2150, -2500};
inline constexpr std::size_t kStuckSensor = 4;
inline constexpr std::size_t kStuckFromHour = 2000;
inline constexpr std::size_t kStuckToHour = 6500;  // the first hour it moves again
inline constexpr std::int32_t kStuckHundredths = -150;
inline constexpr std::size_t kGappySensor = 7;
inline constexpr std::size_t kDeadSensor = 9;
inline constexpr std::size_t kRangeSensor = 10;
inline constexpr std::size_t kRangeHour = 6000;
inline constexpr std::int32_t kRangeHundredths = 8500;
// The crossings the summary finds between the sensors (the ground's own, interpolated).
inline constexpr double kFailingYearActiveLayer = 3.27;
inline constexpr double kFailingYearZeroAmplitude = 11.67;

// The ground's temperature at a depth and hour of the year, in hundredths: what a sound sensor
// there reads.
std::int32_t FailingYearGround(double depthMetres, std::size_t hour);

// The year as a data set and its sensor table.
FailingYear MakeFailingYear();

// The year as a data-set folder: monthly files "2024_1.dat"… as a logger writes them, and
// sensors.csv. The folder is made when missing.
void WriteFailingYear(const std::filesystem::path& folder);

}  // namespace qm::test
