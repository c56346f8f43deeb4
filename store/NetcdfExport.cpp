#include "store/NetcdfExport.h"

#include "store/DataSet.h"
#include "store/Export.h"
#include "store/LocalFiles.h"

#ifdef QMC_HAVE_NETCDF
#include <netcdf.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <system_error>
#include <vector>

#include "store/Health.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"
#endif

namespace qm {

namespace fs = std::filesystem;

std::string DataSetName(const fs::path& folderOrFile) {
    fs::path path = folderOrFile;
    if (!path.has_filename()) path = path.parent_path();  // "DATA/Котельная/"
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) path = fs::absolute(path, ec).parent_path();
    if (path.filename().empty() || path.filename() == "." || path.filename() == "..")
        path = fs::absolute(path, ec).lexically_normal();
    if (!path.has_filename()) path = path.parent_path();
    return PathText(path.filename());
}

#ifdef QMC_HAVE_NETCDF

namespace {

// The library's own errors (negative numbers) with its words for them; the system's errors it
// passes on (positive numbers) are errno values.
class NetcdfCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "netcdf"; }
    std::string message(int status) const override { return nc_strerror(status); }
};

std::error_code NetcdfReason(int status) {
    static const NetcdfCategory category;
    if (status > 0) return {status, std::generic_category()};
    return {status, category};
}

// The program's times count from 30 December 1899; the file's from 1970.
constexpr std::int64_t kUnixEpochMs = 25569LL * DateTime::kMsPerDay;

constexpr signed char kFlagGood = 0;
constexpr signed char kFlagSpike = 1;
constexpr signed char kFlagRange = 2;
constexpr signed char kFlagStuck = 3;

// Rows of the temperature written at a time: the memory stays small for years of data.
constexpr std::size_t kRowsPerBlock = 4096;

// The calls of one file; the first failure ends the export.
class NetcdfFile {
public:
    explicit NetcdfFile(const fs::path& file) : file_(file) {}
    ~NetcdfFile() {
        if (open_) nc_close(id_);
    }
    NetcdfFile(const NetcdfFile&) = delete;
    NetcdfFile& operator=(const NetcdfFile&) = delete;

    void Check(int status) const {
        if (status != NC_NOERR) throw FileError(Msg::NetcdfFailed, file_, NetcdfReason(status));
    }
    void Create(const fs::path& path) {
        Check(nc_create(path.string().c_str(), NC_NETCDF4 | NC_CLOBBER, &id_));
        open_ = true;
    }
    void Close() {
        open_ = false;
        Check(nc_close(id_));
    }
    int Id() const { return id_; }
    int Dimension(const char* name, std::size_t size) {
        int dim = 0;
        Check(nc_def_dim(id_, name, size, &dim));
        return dim;
    }
    int Variable(const char* name, nc_type type, std::initializer_list<int> dims) {
        int var = 0;
        const std::vector<int> d(dims);
        Check(nc_def_var(id_, name, type, static_cast<int>(d.size()), d.data(), &var));
        return var;
    }
    void Text(int var, const char* name, std::string_view text) {
        Check(nc_put_att_text(id_, var, name, text.size(), text.data()));
    }
    void Bytes(int var, const char* name, std::initializer_list<signed char> values) {
        const std::vector<signed char> v(values);
        Check(nc_put_att_schar(id_, var, name, NC_BYTE, v.size(), v.data()));
    }

private:
    fs::path file_;
    int id_ = 0;
    bool open_ = false;
};

// "2024-03-05T14:30:00Z" of the PC's clock now.
std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

bool NetcdfExportAvailable() {
    return true;
}

void ExportNetcdf(const DataSet& set, const SensorTable& table, const std::string& name,
                  const fs::path& file) {
    if (!HasTable(set)) throw FileError(Msg::ExportEmpty, file);
    const Period whole = PeriodOf(set, {}, {});
    const Summary summary = Summarize(set, table, whole);
    const std::size_t sensors = summary.sensors.size();
    const Health health = AssessHealth(set, whole, table, sensors);
    const std::size_t times = set.measurements.size();

    // The depths make the coordinate only when every sensor has one and they go down the string.
    bool depthsAlongTheString = true;
    bool anyDepth = false;
    for (std::size_t s = 0; s < sensors; ++s) {
        const auto& d = summary.sensors[s].depthMetres;
        anyDepth = anyDepth || d.has_value();
        if (!d || (s > 0 && !(*d > *summary.sensors[s - 1].depthMetres)))
            depthsAlongTheString = false;
    }

    LibraryStagedFile staged(file);
    NetcdfFile nc(file);
    nc.Create(staged.Staging());
    const int id = nc.Id();
    const int timeDim = nc.Dimension("time", times);
    const int depthDim = nc.Dimension("depth", sensors);

    nc.Text(NC_GLOBAL, "Conventions", "CF-1.8");
    nc.Text(NC_GLOBAL, "featureType", "timeSeriesProfile");
    nc.Text(NC_GLOBAL, "title", "Ground temperatures of the borehole " + name);
    nc.Text(NC_GLOBAL, "source", "temperature logger, copied by QM Controller");
    nc.Text(NC_GLOBAL, "history", UtcNow() + " written by QM Controller from the logger's files");
    nc.Text(NC_GLOBAL, "comment",
            "Flagged values are kept as the logger read them; temperature_flag marks them.");

    const int station = nc.Variable("station", NC_STRING, {});
    nc.Text(station, "long_name", "data set");
    nc.Text(station, "cf_role", "timeseries_id");

    const int time = nc.Variable("time", NC_DOUBLE, {timeDim});
    nc.Text(time, "standard_name", "time");
    nc.Text(time, "long_name", "time of the measurement by the logger's clock");
    nc.Text(time, "units", "seconds since 1970-01-01 00:00:00");
    nc.Text(time, "calendar", "standard");
    nc.Text(time, "axis", "T");

    const int depth = nc.Variable("depth", NC_DOUBLE, {depthDim});
    nc.Text(depth, "axis", "Z");
    nc.Text(depth, "positive", "down");
    if (depthsAlongTheString) {
        nc.Text(depth, "standard_name", "depth");
        nc.Text(depth, "long_name", "depth of the sensor below the surface");
        nc.Text(depth, "units", "m");
    } else {
        nc.Text(depth, "long_name", "sensor number along the string (depths not known)");
        nc.Text(depth, "units", "1");
        nc.Text(depth, "comment",
                "The sensor table gives no depth to every sensor in the order of their numbers; "
                "the sensors are placed by number, and the depths known are in sensor_depth.");
    }
    int sensorDepth = -1;
    std::string coordinates = "station sensor label";
    if (!depthsAlongTheString && anyDepth) {
        sensorDepth = nc.Variable("sensor_depth", NC_DOUBLE, {depthDim});
        nc.Text(sensorDepth, "standard_name", "depth");
        nc.Text(sensorDepth, "long_name", "depth of the sensor below the surface");
        nc.Text(sensorDepth, "units", "m");
        nc.Text(sensorDepth, "positive", "down");
        nc.Check(nc_def_var_fill(id, sensorDepth, 0, &kNetcdfNoDepth));
        coordinates += " sensor_depth";
    }

    const int sensor = nc.Variable("sensor", NC_INT, {depthDim});
    nc.Text(sensor, "long_name", "sensor number");
    const int label = nc.Variable("label", NC_STRING, {depthDim});
    nc.Text(label, "long_name", "sensor label");

    const int temperature = nc.Variable("temperature", NC_FLOAT, {timeDim, depthDim});
    // The name CF accepts for temperatures in a borehole, below the reach of the soil's.
    nc.Text(temperature, "standard_name", "temperature_in_ground");
    nc.Text(temperature, "long_name", "ground temperature");
    nc.Text(temperature, "units", "degree_Celsius");
    nc.Text(temperature, "coordinates", coordinates);
    nc.Text(temperature, "ancillary_variables", "temperature_flag");
    nc.Check(nc_def_var_fill(id, temperature, 0, &kNetcdfNoTemperature));
    nc.Check(nc_def_var_deflate(id, temperature, 1, 1, 4));

    const int flag = nc.Variable("temperature_flag", NC_BYTE, {timeDim, depthDim});
    nc.Text(flag, "standard_name", "status_flag");
    nc.Text(flag, "long_name", "quality of the temperature");
    nc.Bytes(flag, "flag_values", {kFlagGood, kFlagSpike, kFlagRange, kFlagStuck});
    nc.Text(flag, "flag_meanings", "good spike out_of_range stuck");
    nc.Check(nc_def_var_fill(id, flag, 0, &kNetcdfNoFlag));
    nc.Check(nc_def_var_deflate(id, flag, 1, 1, 4));

    // The design limits, when the sensor table gives any.
    int limit = -1;
    if (table.HasLimits()) {
        limit = nc.Variable("temperature_limit", NC_FLOAT, {depthDim});
        nc.Text(limit, "long_name", "warmest temperature the design allows at the sensor");
        nc.Text(limit, "units", "degree_Celsius");
        nc.Check(nc_def_var_fill(id, limit, 0, &kNetcdfNoTemperature));
    }
    const int sensorFlags = nc.Variable("sensor_flags", NC_BYTE, {depthDim});
    nc.Text(sensorFlags, "long_name", "faults of the sensor over the whole record");
    nc.Bytes(sensorFlags, "flag_masks", {1, 2, 4, 8});
    nc.Text(sensorFlags, "flag_meanings", "dead stuck spikes out_of_range");
    nc.Check(nc_enddef(id));

    const char* stationText = name.c_str();
    nc.Check(nc_put_var_string(id, station, &stationText));
    std::vector<double> seconds(times);
    for (std::size_t i = 0; i < times; ++i)
        seconds[i] =
            static_cast<double>(set.measurements[i].time.Milliseconds() - kUnixEpochMs) / 1000.0;
    nc.Check(nc_put_var_double(id, time, seconds.data()));

    std::vector<double> depths(sensors);
    std::vector<double> known(sensors, kNetcdfNoDepth);
    std::vector<int> numbers(sensors);
    std::vector<const char*> labels(sensors);
    std::vector<signed char> faults(sensors);
    for (std::size_t s = 0; s < sensors; ++s) {
        const SensorSummary& ss = summary.sensors[s];
        numbers[s] = static_cast<int>(ss.sensor);
        depths[s] = depthsAlongTheString ? *ss.depthMetres : static_cast<double>(ss.sensor);
        if (ss.depthMetres) known[s] = *ss.depthMetres;
        labels[s] = ss.label.c_str();
        faults[s] = static_cast<signed char>(ss.flags & 0x0Fu);
    }
    nc.Check(nc_put_var_double(id, depth, depths.data()));
    if (sensorDepth >= 0) nc.Check(nc_put_var_double(id, sensorDepth, known.data()));
    nc.Check(nc_put_var_int(id, sensor, numbers.data()));
    nc.Check(nc_put_var_string(id, label, labels.data()));
    nc.Check(nc_put_var_schar(id, sensorFlags, faults.data()));
    if (limit >= 0) {
        std::vector<float> limits(sensors, kNetcdfNoTemperature);
        for (std::size_t s = 0; s < sensors; ++s)
            if (summary.sensors[s].limitC)
                limits[s] = static_cast<float>(*summary.sensors[s].limitC);
        nc.Check(nc_put_var_float(id, limit, limits.data()));
    }

    std::vector<float> values;
    std::vector<signed char> flags;
    for (std::size_t first = 0; first < times; first += kRowsPerBlock) {
        const std::size_t rows = std::min(kRowsPerBlock, times - first);
        values.assign(rows * sensors, kNetcdfNoTemperature);
        flags.assign(rows * sensors, kNetcdfNoFlag);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t s = 0; s < sensors; ++s) {
                const std::int32_t v = set.Value(first + r, s);
                if (v == kMissingValue) continue;
                values[r * sensors + s] = static_cast<float>(v / 100.0);
                const ValueFlag f = health.FlagOf(first + r, s);
                flags[r * sensors + s] = f == ValueFlag::Spike   ? kFlagSpike
                                         : f == ValueFlag::Range ? kFlagRange
                                         : f == ValueFlag::Stuck ? kFlagStuck
                                                                 : kFlagGood;
            }
        }
        const std::size_t start[2] = {first, 0};
        const std::size_t count[2] = {rows, sensors};
        nc.Check(nc_put_vara_float(id, temperature, start, count, values.data()));
        nc.Check(nc_put_vara_schar(id, flag, start, count, flags.data()));
    }
    nc.Close();
    staged.Finish();
}

#else

bool NetcdfExportAvailable() {
    return false;
}

void ExportNetcdf(const DataSet&, const SensorTable&, const std::string&, const fs::path& file) {
    throw FileError(Msg::NetcdfNotBuilt, file);
}

#endif

}  // namespace qm
