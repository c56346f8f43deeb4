#pragma once

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

    // A store small enough to copy whole in a test: two months, three days each, three
    // measurements a day of seven sensors.
    static DemoStoreShape Small() { return {2, 8 * 60, 7, 3, true}; }
};

// Fills the store with a demo set: directories (some with Cyrillic names), the logger's own
// "SYSTEM~1", and monthly files "year_month.dat" of measurements up to `now`. The files are
// generated the first time they are read, always with the same content for the same `now`.
void FillDemoStore(LoggerStore& store, const DemoStoreShape& shape, DateTime now);

// The name of the monthly file of a month: "2009_3.dat".
std::string MonthlyFileName(int year, int month);

}  // namespace qm::sim
