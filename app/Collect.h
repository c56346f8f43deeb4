#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "collect/Schedule.h"
#include "collect/Serve.h"
#include "session/PcClock.h"

namespace qm {

struct Options;

// The collection of many loggers from a stations file, with no window and no display:
//   --collect STATIONS.toml [--dry-run] [--demo [--faults F]] [--lang L] [--time-limit S]
// Stations are collected one after another, each by a session of its own: its link opened (a
// serial port, the USB logger, a radio address through the USB radio modem, a Bluetooth
// address dialled through the USB Bluetooth modem), the logger read out, its clock checked
// (and set when the station allows it and it is off by more than its limit), its directories
// copied; then the link is released. With --demo the USB modems are those of a virtual network.

// Returns the exit status: 0 every station collected, 1 some failed, 2 none reached, the
// stations file cannot be used or another collection holds one of its data folders. `argc` and
// `argv` are Qt's.
int RunCollect(int argc, char* argv[], const Options& options);

// The collection on schedule, until it is stopped:
//   --serve STATIONS.toml [--demo [--faults F]] [--lang L] [--time-limit S]
// Each station is visited when its schedule says (one visit at a time), logged and the status
// rewritten with every station's next due time after each visit; --time-limit bounds each visit.
// SIGTERM or SIGINT (on Windows Ctrl+C or the console closing) ends a visit under way as the
// window's Stop does and ends the run. Like --collect, it holds the lock of every data folder
// while it runs. Returns 0 when stopped, 2 when the stations file cannot be used or another
// collection holds a data folder.
int RunServe(int argc, char* argv[], const Options& options);

// What --serve takes from Qt and the PC, given instead: its clock and time zone, the runner of
// each visit, the wait between visits (until the time given, or a stop) and whether it is
// stopped. Virtual time for tests and benchmarks.
struct ServeParts {
    PcClock& clock;
    const LocalZone& zone;
    std::function<std::unique_ptr<VisitRunner>()> newVisit;
    std::function<void(std::optional<std::chrono::sys_seconds>)> wait;
    std::function<bool()> stopped;
};
// --serve as RunServe runs it, on `parts` and without Qt's event loop; the exit status.
int ServeWith(const Options& options, const ServeParts& parts);

// The status of the last visits of the stations file's stations, as --collect wrote it:
//   --status STATIONS.toml [--lang L]
// prints "status.json" of the file's data folder. Returns 0 when no station fails, 1 when some
// station's last visit failed or an alarm of it holds, 2 when the stations file cannot be used,
// 3 when there is no status yet.
int RunStatus(const Options& options);

}  // namespace qm
