#pragma once

#include <optional>
#include <span>

#include "protocol/DateTime.h"
#include "sim/LoggerStore.h"

namespace qm::sim {

// How much data the demo store holds in each of its directories.
struct DemoStoreShape {
    int months = 12;           // monthly files up to and including the current month
    int intervalMinutes = 60;  // time between measurements
    int sensors = 63;          // values per measurement
    int daysPerMonth = 0;      // 0: the whole month; otherwise only its first days
    bool withSystemDirectory = true;
    // The permafrost borehole (kBoreholeDirectory) after the other directories. The demo an
    // operator tries has it; the stores of the tests, whose listings and copies are counted and
    // kept byte for byte, do not.
    bool withBorehole = false;

    // A store small enough to copy whole in a test: two months, three days each, three
    // measurements a day of seven sensors.
    static DemoStoreShape Small() { return {2, 8 * 60, 7, 3, true}; }
    // The demo an operator tries: a year of hourly measurements, the borehole included.
    static DemoStoreShape Operator() {
        DemoStoreShape shape;
        shape.withBorehole = true;
        return shape;
    }
};

// The demo's borehole in permafrost (UTF-8 name). Its string of sensors hangs from 0.5 m to 18 m;
// each measurement holds one value per sensor (at most the shape's sensor count). The ground's
// mean temperature is -1.7 °C at the surface, warming by 0.03 °C a metre; the yearly wave of about
// ±10 °C at 0.5 m is damped strongly in the active layer and then with a damping depth of 2.45 m,
// so that the yearly maximum crosses 0 °C at about 2.2 m (the active layer) and the yearly range
// falls to 0.1 °C at about 11.3 m (the depth of zero annual amplitude). Readings carry a noise of
// up to ±0.03 °C above 8 m and ±0.01 °C below, and now and then a sensor gives no value; there
// are no spikes and no failed sensors. It holds three years of monthly files, whatever the shape's
// month count, and the ground warms by kBoreholeWarmingPerDecade at every depth: the last year
// reads as described, earlier years a little colder. The design limits of its sensors at 2.5 m to
// 5 m are those of a building on piles; the sensor at 3 m (T06) exceeds its limit of -0.6 °C late
// in its warm season, in early October.
inline constexpr const char* kBoreholeDirectory = "Скважина_7";
inline constexpr int kBoreholeMonths = 36;
inline constexpr double kBoreholeWarmingPerDecade = 0.3;
inline constexpr std::size_t kBoreholeExceedingSensor = 6;
inline constexpr double kBoreholeActiveLayerMetres = 2.2;
inline constexpr double kBoreholeZeroAmplitudeMetres = 11.3;

struct DemoSensor {
    double depthMetres = 0.0;
    const char* label = "";                       // UTF-8
    std::optional<double> limitC = std::nullopt;  // the design's warmest, °C
};
// The borehole's sensors, sensor 1 first: the one place their depths and labels are kept (the
// demo's sensor table is written from it).
std::span<const DemoSensor> BoreholeSensors();
// How many of them a store of this shape has: the first ones, as many as its sensor count allows.
std::size_t BoreholeSensorCount(const DemoStoreShape& shape);

// Fills the store with a demo set: directories (some with Cyrillic names), the logger's own
// "SYSTEM~1", and monthly files "year_month.dat" of measurements up to `now`. The files are
// generated the first time they are read, always with the same content for the same `now`.
void FillDemoStore(LoggerStore& store, const DemoStoreShape& shape, DateTime now);

// The name of the monthly file of a month: "2009_3.dat".
std::string MonthlyFileName(int year, int month);

}  // namespace qm::sim
