#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DateTime.h"
#include "sim/FaultyDevice.h"
#include "sim/VirtualLogger.h"
#include "text/Messages.h"

namespace qm {

// The program's command line: one table that declares every option, and one parse of the
// arguments into Options. The parse needs no Qt application object and no display, so that a
// run without a window knows it is one before anything of the GUI exists.

// What the command line asks the program to do. Window is the default: no mode option given.
enum class Mode {
    Window,       // the main window, with a logger on USB or --port
    Demo,         // --demo: the main window against the virtual logger
    Info,         // --info, without a window
    Copy,         // --copy DIR, without a window
    CopyAll,      // --copy-all, without a window
    SyncClock,    // --sync-clock, without a window
    Collect,      // --collect STATIONS: many loggers from a stations file, without a window
    Serve,        // --serve STATIONS: the same on the stations' schedules, until stopped
    Status,       // --status STATIONS: the status of the stations' last visits, as JSON
    ArchiveSync,  // --archive-sync FOLDER|STATIONS: push the data sets into the archive
    ArchiveInit,  // --archive-init URL: make the archive's schema
    Export,       // --export FOLDER: the table of copied data, without a window
    View,         // --view FOLDER: the viewer of copied data
    Summary,      // --summary FOLDER: the sensors' health and the borehole's figures, as JSON
    Report,       // --report FOLDER --pdf FILE: the monitoring report of a borehole, as PDF
    Help,         // -h, --help: the options, on standard output
    Version,      // --version: the program's name and version, on standard output
};

// The runs of the controller without a window or a display.
constexpr bool RunsWithoutWindow(Mode m) {
    return m == Mode::Info || m == Mode::Copy || m == Mode::CopyAll || m == Mode::SyncClock;
}

// A set of modes.
class Modes {
public:
    constexpr Modes() = default;
    constexpr Modes(std::initializer_list<Mode> modes) {
        for (const Mode m : modes) bits_ |= Bit(m);
    }
    static constexpr Modes All() {
        return {Mode::Window,      Mode::Demo,    Mode::Info,  Mode::Copy,    Mode::CopyAll,
                Mode::SyncClock,   Mode::Collect, Mode::Serve, Mode::Status,  Mode::ArchiveSync,
                Mode::ArchiveInit, Mode::Export,  Mode::View,  Mode::Summary, Mode::Report,
                Mode::Help,        Mode::Version};
    }
    constexpr bool Has(Mode m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool operator==(const Modes&) const = default;

private:
    static constexpr unsigned Bit(Mode m) { return 1u << static_cast<unsigned>(m); }
    unsigned bits_ = 0;
};

// One option of the command line.
struct OptionRow {
    std::string_view name = {};        // as written after "--": "copy-all"
    std::string_view shortNames = {};  // one-letter spellings after "-" ("h?" for -h and -?)
    std::string_view valueRu = {};     // the value's name in the help; empty for a switch
    std::string_view valueEn = {};
    std::string_view helpRu = {};  // wrapped; a line that starts with a blank is kept as it is
    std::string_view helpEn = {};
    Modes modes = {};                  // the modes that accept it
    std::optional<Mode> selects = {};  // the mode it asks for, if it is a mode option
};

// Every option of the program, in the order --help lists them.
std::span<const OptionRow> OptionTable();

// Why a command line cannot be used, worded by ErrorText in the language of --lang.
struct OptionError {
    Msg id;
    std::vector<std::string> args;
};

// Defaults the parse fills in.
inline constexpr int kWindowScreenshotAfterMs = 6000;
inline constexpr int kViewerScreenshotAfterMs = 1000;
// Reading out takes seconds; a copy of a year over a slow line takes minutes.
inline constexpr int kReadOutLimitSeconds = 600;
inline constexpr int kCopyLimitSeconds = 6 * 3600;
inline constexpr int kLongestTimeLimitSeconds = 7 * 24 * 3600;

// The command line, parsed and checked. Paths and names are UTF-8, as given.
struct Options {
    Mode mode = Mode::Window;
    // Set when the command line cannot be used: the program says why and ends with status 2.
    std::optional<OptionError> error;
    Language language = Language::Russian;  // --lang en: English
    bool qtOptions = false;                 // --help-all: the help lists Qt's window options too

    // The window (and the runs without one): --port DEVICE.
    std::optional<std::string> port;
    // The window, the demo and the viewer: --screenshot FILE [--after MS], by default after
    // kViewerScreenshotAfterMs for --view.
    std::string screenshot;  // empty: none
    int screenshotAfterMs = kWindowScreenshotAfterMs;
    // The demo: --device-type N, --via MODEM, --faults SPEC.
    int deviceType = sim::LoggerConfig{}.deviceType;
    std::string via;  // "", "radio" or "bluetooth"
    sim::LinkFaults faults;
    // The runs without a window.
    bool usb = false;             // --usb
    std::string directory;        // --copy DIR
    bool newData = false;         // --new
    std::optional<DateTime> day;  // --day YYYY-MM-DD
    // --time-limit SECONDS; by default kCopyLimitSeconds for copies.
    int timeLimitSeconds = kReadOutLimitSeconds;
    // The collection: --collect FILE [--dry-run] or --serve FILE; --demo with either: the virtual
    // network. Its status: --status FILE.
    std::string stationsFile;
    bool dryRun = false;
    bool demoNetwork = false;
    // The copied data: --export FOLDER / --view FOLDER / --summary FOLDER, --csv FILE, --xlsx FILE,
    // --netcdf FILE;
    // --from YYYY-MM-DD, --to YYYY-MM-DD (both days included).
    std::string folder;
    std::optional<DateTime> fromDay;
    std::optional<DateTime> toDay;
    std::optional<std::string> csv;
    std::optional<std::string> xlsx;
    std::optional<std::string> netcdf;
    // The report: --report FOLDER --pdf FILE [--report-title TEXT], with --from and --to.
    std::optional<std::string> pdf;
    std::string reportTitle;
    // The archive: --archive-sync FOLDER|STATIONS [--archive URL], --archive URL with --copy and
    // --copy-all, --archive-init URL.
    std::string archiveSync;
    std::optional<std::string> archiveUrl;
};

// Parses the arguments (args[0], the program, is left out). Qt's own options of a window
// ("-platform offscreen", "-style NAME", ...) are let through for Qt to take.
Options ParseOptions(const std::vector<std::string>& args);

// The error of a command line that cannot be used, in its language.
std::string ErrorText(const Options& options);

// The text of --help, made from OptionTable(): every option of every mode, grouped by mode.
std::string HelpText(Language language, bool qtOptions = false);

}  // namespace qm
