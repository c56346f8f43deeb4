#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

#include "text/Language.h"
#include "text/Messages.h"

namespace qm {

// What a collection copies of each directory: what was added since the last copy, or all of it.
enum class CollectMode { New, All };
// What it does with the logger's clock: read and record it only, or set it from the PC when it
// is off by more than the station's limit.
enum class ClockPolicy { Check, Set };

// How a station's logger is reached.
struct StationLink {
    enum class Kind { Serial, Usb, Radio, Bluetooth };
    Kind kind = Kind::Usb;
    std::string port;              // Serial: the port's name, as written (UTF-8)
    int radioAddress = 0;          // Radio, through the USB radio modem: 0..254
    std::string bluetoothAddress;  // Bluetooth, through the USB modem: 12 hex digits, upper case

    bool operator==(const StationLink&) const = default;
};

// When a station is visited while the collection serves: due at `at` (local time of day) plus a
// whole number of `every`, or from the run's start without `at`, or once at the start without
// `every`. After a failed visit, `retries` more every `retryEvery`, then every `secondaryEvery`
// until one succeeds. Without keys of their own, retries are three, `retryEvery` five minutes and
// `secondaryEvery` an hour, each at most `every`.
struct StationTiming {
    std::optional<std::chrono::seconds> every;
    std::optional<std::chrono::minutes> at;  // since local midnight
    std::int64_t retries = 3;
    std::chrono::seconds retryEvery{5 * 60};
    std::chrono::seconds secondaryEvery{60 * 60};

    bool operator==(const StationTiming&) const = default;
};

// One logger of a collection and what to do with it.
struct Station {
    std::string name;  // UTF-8, also the name of its folder
    StationLink link;
    std::vector<std::string> directories;  // UTF-8; empty: every directory the logger lists
    CollectMode mode = CollectMode::New;
    ClockPolicy clock = ClockPolicy::Check;
    std::int64_t maxOffsetSeconds = 60;
    std::filesystem::path folder;  // absolute: the data folder and the station's name
    int line = 0;                  // where the station is described
    StationTiming timing;
};

// When the collection raises an alarm for a station; a condition left out is not watched.
struct AlarmSettings {
    std::optional<double> staleHours;      // the newest measurement older than this
    std::optional<std::int64_t> failures;  // this many failed visits in a row
    std::optional<double> batteryBelowVolts;
    std::optional<std::int64_t> clockOffsetAboveSeconds;
    bool flags = false;                         // a sensor newly dead, stuck or spiking
    bool limits = false;                        // a design limit exceeded in newly copied data
    std::chrono::seconds repeat{24 * 60 * 60};  // sent again while it holds
    std::optional<std::string> command;         // run with the alarm on its standard input

    bool operator==(const AlarmSettings&) const = default;
};

// Where alarms are mailed.
struct MailSettings {
    std::string server;
    int port = 587;
    std::string from;
    std::vector<std::string> to;
    bool starttls = true;
    std::optional<std::string> user;
    std::optional<std::filesystem::path> passwordFile;  // absolute

    bool operator==(const MailSettings&) const = default;
};

// Where the collection's copies are archived: a PostgreSQL URL (checked where it is used), the
// file whose first line is the password, and this PC's name in the archive (the host's name when
// not given).
struct ArchiveSettings {
    std::string url;
    std::optional<std::filesystem::path> passwordFile;  // absolute
    std::optional<std::string> source;

    bool operator==(const ArchiveSettings&) const = default;
};

// What the file may well mean but is worth a look: two stations that reach their loggers the
// same way (one logger may rightly be two stations, with other directories or modes).
struct StationsFileWarning {
    std::filesystem::path file;
    int line = 0;  // the later station's
    Msg reason = Msg::StationsSameLink;
    std::vector<std::string> args;
    std::string Text(Language language) const;
};

// The stations of one collection, in the order of the file.
struct StationsPlan {
    std::vector<Station> stations;
    std::filesystem::path file;  // absolute
    std::filesystem::path data;  // absolute: [defaults] data, where the collection's status is
    std::vector<StationsFileWarning> warnings;
    AlarmSettings alarms;
    std::optional<MailSettings> mail;
    std::optional<ArchiveSettings> archive;
};

// The longest duration a stations file may give: ten years.
inline constexpr std::chrono::seconds kMaxDuration{3650LL * 24 * 60 * 60};

// A duration as the stations file writes it: a whole number above zero and its unit, s, m, h or
// d ("20s", "5m", "1d"), at most kMaxDuration; nothing for any other text.
std::optional<std::chrono::seconds> ParseDuration(std::string_view text);

// The most a stations file may hold: the parser takes some fifty times a file's size in memory.
inline constexpr std::size_t kMaxStations = 1000;
inline constexpr std::uintmax_t kMaxStationsFileBytes = 1024 * 1024;

// Why the stations file was refused: where (line and column from 1, or 0 when not known) and
// the fault as a text of the table with its parameters, so that the caller words it in either
// language. A parameter that is itself a text of the table (the kind of value a key takes, why
// a name cannot be a folder name) is kept as its Msg and worded with the rest.
struct StationsFileError {
    std::filesystem::path file;
    int line = 0;
    int column = 0;
    Msg reason = Msg::StationsNone;
    std::vector<std::string> args;
    // Parameters that are texts of the table themselves, placed after `args`.
    struct Worded {
        Msg id;
        std::string arg;  // its own parameter, if it takes one
    };
    std::vector<Worded> worded;
    std::error_code systemReason;  // why the file could not be read
    std::string Text(Language language) const;
};

using StationsFileRead = std::variant<StationsPlan, StationsFileError>;

// Reads and checks a stations file (UTF-8 TOML, with or without a byte-order mark). Every fault
// is refused rather than guessed at: a text that is not UTF-8, a syntax error, a key the file may
// not have (a typing error would otherwise be ignored), a value of the wrong kind, a station
// without a name or with the name of another, a name that cannot be a folder name, no link or more
// than one, a radio address outside 0..254, a Bluetooth address that is not 12 hexadecimal digits,
// an unknown mode or clock word, a negative clock limit, an empty list of directories, a duration
// or time of day that is not one, "at" without "every", a station name the collection keeps for
// a file of its own in the data folder, an alarm threshold out of its range, a mail address or
// server with a control character or without a needed key, no station at all, more than
// kMaxStations, a file larger than kMaxStationsFileBytes (before it is parsed). A column counts
// characters. Stations reached the same way are warned of. A relative data folder is taken from the
// file's folder.
StationsFileRead ReadStationsFile(const std::filesystem::path& path);
// The same for the file's text, as if read from `path`.
StationsFileRead ParseStationsFile(const std::string& text, const std::filesystem::path& path);

// The words of the file, as the dry run prints them.
const char* LinkKindWord(StationLink::Kind kind);
const char* CollectModeWord(CollectMode mode);
const char* ClockPolicyWord(ClockPolicy clock);

}  // namespace qm
