#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
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
};

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
// an unknown mode or clock word, a negative clock limit, an empty list of directories, no station
// at all, more than kMaxStations, a file larger than kMaxStationsFileBytes (before it is parsed). A
// column counts characters. Stations reached the same way are warned of. A relative data folder is
// taken from the file's folder.
StationsFileRead ReadStationsFile(const std::filesystem::path& path);
// The same for the file's text, as if read from `path`.
StationsFileRead ParseStationsFile(const std::string& text, const std::filesystem::path& path);

// The words of the file, as the dry run prints them.
const char* LinkKindWord(StationLink::Kind kind);
const char* CollectModeWord(CollectMode mode);
const char* ClockPolicyWord(ClockPolicy clock);

}  // namespace qm
