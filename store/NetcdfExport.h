#pragma once

#include <filesystem>
#include <string>

namespace qm {

struct DataSet;
struct SensorTable;

// The data set as a NetCDF-4 file after the CF conventions (1.8): a time series of temperature
// profiles at one borehole (featureType "timeSeriesProfile"). The file holds:
//   dimensions  time (one per measurement), depth (one per sensor, by number);
//   time(time)              seconds since 1970-01-01 00:00:00, the logger's clock;
//   depth(depth)            the sensors' depths in metres, positive down, when the sensor table
//                           gives every sensor a depth and they grow with the numbers; otherwise
//                           the sensor numbers (units "1"), and the depths that are known go in
//                           the auxiliary coordinate sensor_depth(depth) (fill for unknown). A
//                           coordinate variable may hold neither gaps nor a turn, so it says only
//                           what it can say truly;
//   sensor(depth)           the sensor numbers; label(depth) their labels (strings);
//   station                 the data set's name, the time series' identifier;
//   temperature(time,depth) °C as the logger read them, fill where it read none;
//   temperature_flag(time,depth)  0 good, 1 spike, 2 out of range, 3 stuck; fill where there is
//                           no value;
//   sensor_flags(depth)     bits: 1 dead, 2 stuck, 4 spikes, 8 out of range, over the whole set.
// There is no latitude or longitude: the data files do not know where the borehole is.

// The fill values: no temperature read, no value to flag, no depth known (the library's own).
inline constexpr float kNetcdfNoTemperature = 9.9692099683868690e+36f;
inline constexpr signed char kNetcdfNoFlag = -127;
inline constexpr double kNetcdfNoDepth = 9.9692099683868690e+36;

// The name of a data set for the file (UTF-8): its folder's name; for a single data file, the name
// of the folder that holds it.
std::string DataSetName(const std::filesystem::path& folderOrFile);

// Whether this build can write NetCDF.
bool NetcdfExportAvailable();
// Writes the file, in place only when complete; `name` (UTF-8) is the data set's, for the title
// and the station. Throws FileError: ExportEmpty for a set without a table (nothing written),
// NetcdfFailed, NetcdfNotBuilt.
void ExportNetcdf(const DataSet& set, const SensorTable& table, const std::string& name,
                  const std::filesystem::path& file);

}  // namespace qm
