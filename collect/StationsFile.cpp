#include "collect/StationsFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"

// toml++ as headers only, reporting a syntax error as a value rather than an exception; only
// this file includes it.
#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
// Its internal checks as in a release build, whatever ours is: some assert what a damaged file
// breaks (a table's name that starts with '='), where the parse goes on to refuse the file.
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLinkKeys[] = {"port", "usb", "radio", "bluetooth"};

// A refusal on its way out of the checks.
struct Refusal {
    StationsFileError error;
};

using Worded = StationsFileError::Worded;

[[noreturn]] void Refuse(const toml::source_region& where, Msg reason,
                         std::vector<std::string> args = {}, std::vector<Worded> worded = {}) {
    StationsFileError e;
    e.line = static_cast<int>(where.begin.line);
    e.column = static_cast<int>(where.begin.column);
    e.reason = reason;
    e.args = std::move(args);
    e.worded = std::move(worded);
    throw Refusal{std::move(e)};
}

[[noreturn]] void RefuseLine(int line, Msg reason, std::vector<std::string> args = {}) {
    StationsFileError e;
    e.line = line;
    e.reason = reason;
    e.args = std::move(args);
    throw Refusal{std::move(e)};
}

[[noreturn]] void WrongType(const toml::node& value, std::string_view key, Msg kind) {
    Refuse(value.source(), Msg::StationsWrongType, {std::string(key)}, {{kind, {}}});
}

std::string Str(const toml::node& value, std::string_view key) {
    const auto* s = value.as_string();
    if (!s) WrongType(value, key, Msg::StationsTypeString);
    return s->get();
}

std::string NonEmpty(const toml::node& value, std::string_view key) {
    std::string text = Str(value, key);
    if (text.empty()) Refuse(value.source(), Msg::StationsEmptyValue, {std::string(key)});
    return text;
}

std::int64_t Integer(const toml::node& value, std::string_view key) {
    const auto* i = value.as_integer();
    if (!i) WrongType(value, key, Msg::StationsTypeInteger);
    return i->get();
}

bool Boolean(const toml::node& value, std::string_view key) {
    const auto* b = value.as_boolean();
    if (!b) WrongType(value, key, Msg::StationsTypeBoolean);
    return b->get();
}

std::string NumberText(double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", number);
    return text;
}

// A whole number or a fraction, above zero.
double PositiveNumber(const toml::node& value, std::string_view key) {
    double number = 0;
    if (const auto* i = value.as_integer())
        number = static_cast<double>(i->get());
    else if (const auto* f = value.as_floating_point())
        number = f->get();
    else
        WrongType(value, key, Msg::StationsTypeNumber);
    if (!(number > 0) || !std::isfinite(number))
        Refuse(value.source(), Msg::StationsNotPositive, {std::string(key), NumberText(number)});
    return number;
}

std::int64_t NotNegative(const toml::node& value, std::string_view key) {
    const std::int64_t number = Integer(value, key);
    if (number < 0)
        Refuse(value.source(), Msg::StationsNegative, {std::string(key), std::to_string(number)});
    return number;
}

std::int64_t PositiveInteger(const toml::node& value, std::string_view key) {
    const std::int64_t number = Integer(value, key);
    if (number < 1)
        Refuse(value.source(), Msg::StationsNotPositive,
               {std::string(key), std::to_string(number)});
    return number;
}

std::chrono::seconds Duration(const toml::node& value, std::string_view key) {
    if (!value.is_string()) WrongType(value, key, Msg::StationsTypeDuration);
    const std::string text = Str(value, key);
    const auto duration = ParseDuration(text);
    if (!duration)
        Refuse(value.source(), Msg::StationsBadDuration,
               {std::string(key), text, "\"20s\", \"5m\", \"6h\", \"1d\""});
    return *duration;
}

// A text that goes into a mail's envelope or headers: no line break may smuggle in another.
std::string HeaderText(const toml::node& value, std::string_view key) {
    std::string text = NonEmpty(value, key);
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        Refuse(value.source(), Msg::StationsControlCharacter, {std::string(key)});
    return text;
}

// "02:30" or "2:30": minutes since midnight.
std::optional<std::chrono::minutes> ParseTimeOfDay(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3)
        return std::nullopt;
    const auto digits = [](std::string_view part) {
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const int hour = digits(text.substr(0, colon)), minute = digits(text.substr(colon + 1));
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    return std::chrono::minutes(hour * 60 + minute);
}

// What a station takes from [defaults] unless it says otherwise.
struct Settings {
    CollectMode mode = CollectMode::New;
    ClockPolicy clock = ClockPolicy::Check;
    std::int64_t maxOffsetSeconds = 60;
    std::string data = "DATA";
    std::optional<std::chrono::seconds> every;
    std::optional<std::chrono::minutes> at;
    std::optional<toml::source_region> atWhere;
    bool atOwn = false;  // "at" is the table's own, not taken from [defaults]
    std::optional<std::int64_t> retries;
    std::optional<std::chrono::seconds> retryEvery;
    std::optional<std::chrono::seconds> secondaryEvery;
};

// Reads one of the keys every table may set; false for any other key.
bool ReadSetting(std::string_view key, const toml::node& value, Settings& s) {
    if (key == "mode") {
        const std::string word = Str(value, key);
        if (word == "new")
            s.mode = CollectMode::New;
        else if (word == "all")
            s.mode = CollectMode::All;
        else
            Refuse(value.source(), Msg::StationsBadWord, {"mode", word, "new, all"});
    } else if (key == "clock") {
        const std::string word = Str(value, key);
        if (word == "check")
            s.clock = ClockPolicy::Check;
        else if (word == "set")
            s.clock = ClockPolicy::Set;
        else
            Refuse(value.source(), Msg::StationsBadWord, {"clock", word, "check, set"});
    } else if (key == "max_offset_s") {
        s.maxOffsetSeconds = Integer(value, key);
        if (s.maxOffsetSeconds < 0)
            Refuse(value.source(), Msg::StationsNegative,
                   {std::string(key), std::to_string(s.maxOffsetSeconds)});
    } else if (key == "data") {
        s.data = NonEmpty(value, key);
    } else if (key == "every") {
        s.every = Duration(value, key);
    } else if (key == "at") {
        const std::string text = Str(value, key);
        s.at = ParseTimeOfDay(text);
        if (!s.at) Refuse(value.source(), Msg::StationsBadTimeOfDay, {"at", text});
        s.atWhere = value.source();
        s.atOwn = true;
    } else if (key == "retries") {
        s.retries = NotNegative(value, key);
    } else if (key == "retry_every") {
        s.retryEvery = Duration(value, key);
    } else if (key == "secondary_every") {
        s.secondaryEvery = Duration(value, key);
    } else {
        return false;
    }
    return true;
}

bool IsHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// The name as Windows compares folder names: Latin and Cyrillic letters in one case.
std::u32string FoldedName(const std::string& utf8) {
    std::u32string name = Utf8Path(utf8).u32string();
    for (char32_t& c : name) {
        if (c >= U'a' && c <= U'z')
            c = c - U'a' + U'A';
        else if (c >= U'\u0430' && c <= U'\u044F')
            c = c - 0x20;
        else if (c >= U'\u0450' && c <= U'\u045F')
            c = c - 0x50;
    }
    return name;
}

class Reader {
public:
    explicit Reader(const fs::path& file) : file_(file) {}

    StationsPlan Read(const toml::table& root) {
        Settings defaults;
        const toml::node* stations = nullptr;
        const toml::node* alarms = nullptr;
        const toml::node* mail = nullptr;
        const toml::node* archive = nullptr;
        for (const auto& [key, value] : root) {
            if (key == "defaults") {
                const auto* table = value.as_table();
                if (!table) WrongType(value, key.str(), Msg::StationsTypeTable);
                for (const auto& [k, v] : *table)
                    if (!ReadSetting(k.str(), v, defaults))
                        Refuse(k.source(), Msg::StationsUnknownKey, {std::string(k.str())});
            } else if (key == "station") {
                stations = &value;
            } else if (key == "alarms") {
                alarms = &value;
            } else if (key == "mail") {
                mail = &value;
            } else if (key == "archive") {
                archive = &value;
            } else {
                Refuse(key.source(), Msg::StationsUnknownKey, {std::string(key.str())});
            }
        }
        StationsPlan plan;
        plan.file = file_;
        if (alarms) plan.alarms = Alarms(*alarms);
        if (mail) plan.mail = Mail(*mail);
        if (archive) plan.archive = Archive(*archive);
        plan.data = Utf8Path(defaults.data);
        if (plan.data.is_relative()) plan.data = file_.parent_path() / plan.data;
        plan.data = plan.data.lexically_normal();
        if (!stations) RefuseLine(0, Msg::StationsNone);
        if (const auto* list = stations->as_array(); list && list->empty())
            Refuse(stations->source(), Msg::StationsNone);
        if (!stations->is_array_of_tables())
            WrongType(*stations, "station", Msg::StationsTypeTableList);
        const toml::array& list = *stations->as_array();
        if (list.size() > kMaxStations)
            Refuse(list[kMaxStations].source(), Msg::StationsTooMany,
                   {std::to_string(kMaxStations)});
        for (const toml::node& entry : list) {
            plan.stations.push_back(ReadStation(*entry.as_table(), defaults));
            WarnOfSameLink(plan);
        }
        return plan;
    }

private:
    static AlarmSettings Alarms(const toml::node& node) {
        const auto* table = node.as_table();
        if (!table) WrongType(node, "alarms", Msg::StationsTypeTable);
        AlarmSettings a;
        for (const auto& [key, value] : *table) {
            const std::string_view k = key.str();
            if (k == "stale_hours")
                a.staleHours = PositiveNumber(value, k);
            else if (k == "failures")
                a.failures = PositiveInteger(value, k);
            else if (k == "battery_below_v")
                a.batteryBelowVolts = PositiveNumber(value, k);
            else if (k == "clock_offset_above_s")
                a.clockOffsetAboveSeconds = NotNegative(value, k);
            else if (k == "flags")
                a.flags = Boolean(value, k);
            else if (k == "limits")
                a.limits = Boolean(value, k);
            else if (k == "repeat")
                a.repeat = Duration(value, k);
            else if (k == "command")
                a.command = NonEmpty(value, k);
            else
                Refuse(key.source(), Msg::StationsUnknownKey, {std::string(k)});
        }
        return a;
    }

    MailSettings Mail(const toml::node& node) const {
        const auto* table = node.as_table();
        if (!table) WrongType(node, "mail", Msg::StationsTypeTable);
        MailSettings m;
        for (const auto& [key, value] : *table) {
            const std::string_view k = key.str();
            if (k == "server") {
                m.server = HeaderText(value, k);
            } else if (k == "port") {
                const std::int64_t port = Integer(value, k);
                if (port < 1 || port > 65535)
                    Refuse(value.source(), Msg::StationsMailPort, {std::to_string(port)});
                m.port = static_cast<int>(port);
            } else if (k == "from") {
                m.from = HeaderText(value, k);
            } else if (k == "to") {
                m.to.clear();
                if (value.is_string()) {
                    m.to.push_back(HeaderText(value, k));
                } else if (const auto* list = value.as_array()) {
                    if (list->empty()) Refuse(value.source(), Msg::StationsEmptyValue, {"to"});
                    for (const toml::node& item : *list) {
                        if (!item.is_string()) WrongType(item, k, Msg::StationsTypeStringOrList);
                        m.to.push_back(HeaderText(item, k));
                    }
                } else {
                    WrongType(value, k, Msg::StationsTypeStringOrList);
                }
            } else if (k == "starttls") {
                m.starttls = Boolean(value, k);
            } else if (k == "user") {
                m.user = HeaderText(value, k);
            } else if (k == "password_file") {
                fs::path file = Utf8Path(NonEmpty(value, k));
                if (file.is_relative()) file = file_.parent_path() / file;
                m.passwordFile = file.lexically_normal();
            } else {
                Refuse(key.source(), Msg::StationsUnknownKey, {std::string(k)});
            }
        }
        for (const auto& [key, given] :
             {std::pair{"server", !m.server.empty()}, std::pair{"from", !m.from.empty()},
              std::pair{"to", !m.to.empty()}})
            if (!given) Refuse(node.source(), Msg::StationsMissingKey, {"mail", key});
        return m;
    }

    ArchiveSettings Archive(const toml::node& node) const {
        const auto* table = node.as_table();
        if (!table) WrongType(node, "archive", Msg::StationsTypeTable);
        ArchiveSettings a;
        for (const auto& [key, value] : *table) {
            const std::string_view k = key.str();
            if (k == "url") {
                a.url = NonEmpty(value, k);
            } else if (k == "source") {
                a.source = NonEmpty(value, k);
            } else if (k == "password_file") {
                fs::path file = Utf8Path(NonEmpty(value, k));
                if (file.is_relative()) file = file_.parent_path() / file;
                a.passwordFile = file.lexically_normal();
            } else {
                Refuse(key.source(), Msg::StationsUnknownKey, {std::string(k)});
            }
        }
        if (a.url.empty()) Refuse(node.source(), Msg::StationsMissingKey, {"archive", "url"});
        return a;
    }

    // Warns when the station just read reaches its logger as an earlier one does.
    void WarnOfSameLink(StationsPlan& plan) const {
        const Station& s = plan.stations.back();
        const auto same = [&s](const Station& other) {
            if (other.link.kind != s.link.kind) return false;
            // Windows knows "com3" as "COM3".
            return std::equal(other.link.port.begin(), other.link.port.end(), s.link.port.begin(),
                              s.link.port.end(),
                              [](char a, char b) {
                                  return std::toupper(static_cast<unsigned char>(a)) ==
                                         std::toupper(static_cast<unsigned char>(b));
                              }) &&
                   other.link.radioAddress == s.link.radioAddress &&
                   other.link.bluetoothAddress == s.link.bluetoothAddress;
        };
        const auto first = std::find_if(plan.stations.begin(), plan.stations.end() - 1, same);
        if (first == plan.stations.end() - 1) return;
        std::string link;
        switch (s.link.kind) {
            case StationLink::Kind::Serial:
                link = "port = \"" + s.link.port + "\"";
                break;
            case StationLink::Kind::Usb:
                link = "usb = true";
                break;
            case StationLink::Kind::Radio:
                link = "radio = " + std::to_string(s.link.radioAddress);
                break;
            case StationLink::Kind::Bluetooth:
                link = "bluetooth = \"" + s.link.bluetoothAddress + "\"";
                break;
        }
        plan.warnings.push_back(
            {file_,
             s.line,
             Msg::StationsSameLink,
             {s.name, first->name, std::to_string(first->line), std::move(link)}});
    }

    Station ReadStation(const toml::table& table, Settings settings) {
        Station s;
        s.line = static_cast<int>(table.source().begin.line);
        settings.atOwn = false;
        std::optional<std::string> name;
        std::vector<std::pair<std::string_view, const toml::node*>> links;
        for (const auto& [key, value] : table) {
            const std::string_view k = key.str();
            if (k == "name") {
                name = NonEmpty(value, k);
                if (auto why = RefusedStationName(*name))
                    Refuse(value.source(), Msg::StationsBadName, {*name},
                           {{why->reason, std::string(1, why->character)}});
            } else if (k == "port") {
                s.link = {StationLink::Kind::Serial, NonEmpty(value, k), 0, {}};
                links.emplace_back(kLinkKeys[0], &value);
            } else if (k == "usb") {
                // "usb = false" says no more than leaving the key out.
                if (Boolean(value, k)) {
                    s.link = {StationLink::Kind::Usb, {}, 0, {}};
                    links.emplace_back(kLinkKeys[1], &value);
                }
            } else if (k == "radio") {
                const std::int64_t address = Integer(value, k);
                if (address < 0 || address > 254)
                    Refuse(value.source(), Msg::StationsRadioAddress, {std::to_string(address)});
                s.link = {StationLink::Kind::Radio, {}, static_cast<int>(address), {}};
                links.emplace_back(kLinkKeys[2], &value);
            } else if (k == "bluetooth") {
                std::string address = Str(value, k);
                if (address.size() != 12 ||
                    !std::all_of(address.begin(), address.end(), IsHexDigit))
                    Refuse(value.source(), Msg::StationsBluetoothAddress, {address});
                for (char& ch : address)
                    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                s.link = {StationLink::Kind::Bluetooth, {}, 0, address};
                links.emplace_back(kLinkKeys[3], &value);
            } else if (k == "directories") {
                s.directories = Directories(value);
            } else if (!ReadSetting(k, value, settings)) {
                Refuse(key.source(), Msg::StationsUnknownKey, {std::string(k)});
            }
        }
        if (!name) RefuseLine(s.line, Msg::StationsNoName);
        s.name = *name;
        if (links.empty())
            RefuseLine(s.line, Msg::StationsNoLink, {s.name, "port, usb, radio, bluetooth"});
        if (links.size() > 1) {
            // Pointed at the second one given, in the order of the file.
            std::sort(links.begin(), links.end(), [](const auto& a, const auto& b) {
                const auto pa = a.second->source().begin, pb = b.second->source().begin;
                return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
            });
            std::string keys;
            for (const auto& [k, v] : links) keys += (keys.empty() ? "" : ", ") + std::string(k);
            Refuse(links[1].second->source(), Msg::StationsManyLinks, {s.name, keys});
        }
        const auto [first, added] = names_.emplace(FoldedName(s.name), s.line);
        if (!added)
            RefuseLine(s.line, Msg::StationsSameName, {s.name, std::to_string(first->second)});

        s.mode = settings.mode;
        s.clock = settings.clock;
        s.maxOffsetSeconds = settings.maxOffsetSeconds;
        s.timing = Timing(settings, s);
        fs::path data = Utf8Path(settings.data);
        if (data.is_relative()) data = file_.parent_path() / data;
        s.folder = (data / Utf8Path(s.name)).lexically_normal();
        return s;
    }

    static StationTiming Timing(const Settings& settings, const Station& s) {
        if (settings.at && !settings.every) {
            // Pointed at the station when "at" came from [defaults].
            if (!settings.atOwn)
                RefuseLine(s.line, Msg::StationsAtWithoutEvery, {s.name, "at", "every"});
            Refuse(*settings.atWhere, Msg::StationsAtWithoutEvery, {s.name, "at", "every"});
        }
        StationTiming t;
        t.every = settings.every;
        t.at = settings.at;
        if (settings.retries) t.retries = *settings.retries;
        const auto atMostEvery = [&](std::chrono::seconds d) {
            return settings.every ? std::min(d, *settings.every) : d;
        };
        t.retryEvery = settings.retryEvery.value_or(atMostEvery(t.retryEvery));
        t.secondaryEvery = settings.secondaryEvery.value_or(atMostEvery(t.secondaryEvery));
        return t;
    }

    static std::vector<std::string> Directories(const toml::node& value) {
        const auto* list = value.as_array();
        if (!list) WrongType(value, "directories", Msg::StationsTypeStringList);
        // An empty list is more likely a list not yet written than "every directory".
        if (list->empty()) Refuse(value.source(), Msg::StationsNoDirectories, {"directories"});
        std::vector<std::string> names;
        for (const toml::node& item : *list) {
            if (!item.is_string()) WrongType(item, "directories", Msg::StationsTypeStringList);
            std::string name = NonEmpty(item, "directories");
            // The logger is asked for the directory in Windows-1251.
            const std::u32string chars = Utf8Path(name).u32string();
            if (!std::all_of(chars.begin(), chars.end(),
                             [](char32_t c) { return UnicodeToCp1251(c).has_value(); }))
                Refuse(item.source(), Msg::StationsDirectoryName, {name});
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
        return names;
    }

    fs::path file_;
    std::map<std::u32string, int> names_;  // folded name, line
};

fs::path Absolute(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.lexically_normal();
}

// The parser's test for Unicode blanks is not sound for every character: a Cyrillic letter
// where it looks for a blank (a key, the run of a damaged value) reaches code it marks
// unreachable. So it is given ASCII alone: every other character of a quoted text becomes its
// escape (a single-quoted text becomes a double-quoted one), one in a comment a '?', and one
// anywhere else is refused at its place. Lines stay where they were; the column each character
// of the parser's text came from is kept, so that a fault is placed in the file as written.
struct AsciiText {
    std::string text;
    std::vector<int> columns;  // for each character of `text`, its column in the file (from 1)
    std::optional<std::pair<int, int>> refused;  // line and column from 1
    Msg reason = Msg::StationsLetterOutsideQuotes;

    // The column in the file of a place the parser names in `text`.
    int ColumnInFile(int line, int column) const {
        std::size_t start = 0;
        for (int l = 1; l < line && start < text.size(); ++l) {
            const std::size_t end = text.find('\n', start);
            if (end == std::string::npos) return column;
            start = end + 1;
        }
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (column <= 0 || end == start) return column;
        const std::size_t at = start + static_cast<std::size_t>(column) - 1;
        // Past the line's last character: as far beyond the last one in the file.
        if (at >= end) return columns[end - 1] + static_cast<int>(at - end) + 1;
        return columns[at];
    }
};

// The code point of the UTF-8 sequence at `i` and its length; none when it is not one.
std::optional<std::pair<char32_t, std::size_t>> CodePoint(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    const std::size_t n = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (n == 0 || lead >= 0xF5 || i + n > s.size()) return std::nullopt;
    char32_t c = lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (b(i + k) & 0x3F);
    }
    const char32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    return std::pair{c, n};
}

// What TOML lets stand outside quotes and comments: keys, numbers, dates, booleans and their
// punctuation, and blanks. The parser asserts rather than refuses some of the others (a
// backslash in a table's name).
bool MayStandBare(char c) {
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
    return std::string_view("_-.=[]{},\"'#+: \t\r\n").find(c) != std::string_view::npos;
}

AsciiText AsciiForParser(std::string_view text) {
    enum class In { Bare, Comment, Basic, Literal, LongBasic, LongLiteral };
    In in = In::Bare;
    AsciiText out;
    int line = 1;
    int column = 0;
    const auto at = [&](std::size_t i, std::string_view s) {
        return text.substr(i, s.size()) == s;
    };
    const auto emit = [&](std::string_view s) {
        out.text += s;
        out.columns.insert(out.columns.end(), s.size(), column);
    };
    const auto refuse = [&](Msg reason) {
        out.refused = std::pair{line, column};
        out.reason = reason;
        return out;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        ++column;
        if (static_cast<unsigned char>(c) >= 0x80) {
            const auto point = CodePoint(text, i);
            if (!point) return refuse(Msg::StationsNotUtf8);
            if (in == In::Bare) return refuse(Msg::StationsLetterOutsideQuotes);
            if (in == In::Comment) {
                emit("?");
            } else {
                char escape[16];
                std::snprintf(escape, sizeof escape, "\\U%08X",
                              static_cast<unsigned>(point->first));
                emit(escape);
            }
            i += point->second - 1;
            continue;
        }
        if (c == '\n') {
            ++line;
            column = 0;
        }
        switch (in) {
            case In::Bare:
                if (!MayStandBare(c)) return refuse(Msg::StationsLetterOutsideQuotes);
                if (c == '#') {
                    in = In::Comment;
                } else if (at(i, "\"\"\"")) {
                    in = In::LongBasic;
                    emit("\"\"");
                    i += 2;
                    column += 2;
                } else if (c == '"') {
                    in = In::Basic;
                } else if (at(i, "'''")) {
                    // Written as a multi-line double-quoted text, which has escapes.
                    in = In::LongLiteral;
                    emit("\"\"\"");
                    i += 2;
                    column += 2;
                    continue;
                } else if (c == '\'') {
                    in = In::Literal;
                    emit("\"");  // written as a double-quoted text
                    continue;
                }
                break;
            case In::Comment:
                if (c == '\n') in = In::Bare;
                break;
            case In::Basic:
            case In::LongBasic:
                if (c == '\\' && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) < 0x80 && text[i + 1] != '\n') {
                    emit(text.substr(i, 2));  // an escaped character
                    ++i;
                    ++column;
                    continue;
                }
                if (in == In::Basic && (c == '"' || c == '\n')) in = In::Bare;
                if (in == In::LongBasic && at(i, "\"\"\"")) {
                    in = In::Bare;
                    emit("\"\"");
                    i += 2;
                    column += 2;
                }
                break;
            case In::Literal:
                if (c == '\'') {
                    in = In::Bare;
                    emit("\"");
                    continue;
                }
                if (c == '\n') in = In::Bare;
                if (c == '\\' || c == '"') emit("\\");  // as they stand in the single quotes
                break;
            case In::LongLiteral:
                if (at(i, "'''")) {
                    // One or two quotes may end the text right before its closing three.
                    std::size_t quotes = 3;
                    while (quotes < 5 && at(i + quotes, "'")) ++quotes;
                    emit(std::string(quotes - 3, '\''));
                    emit("\"\"\"");
                    in = In::Bare;
                    i += quotes - 1;
                    column += static_cast<int>(quotes) - 1;
                    continue;
                }
                if (c == '\\' || c == '"') emit("\\");
                break;
        }
        emit(std::string_view(&text[i], 1));
    }
    return out;
}

}  // namespace

std::optional<std::chrono::seconds> ParseDuration(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    std::int64_t unit = 0;
    switch (text.back()) {
        case 's':
            unit = 1;
            break;
        case 'm':
            unit = 60;
            break;
        case 'h':
            unit = 60 * 60;
            break;
        case 'd':
            unit = 24 * 60 * 60;
            break;
        default:
            return std::nullopt;
    }
    const std::string_view digits = text.substr(0, text.size() - 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int64_t count = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (ec != std::errc() || end != digits.data() + digits.size() || count <= 0 ||
        count > kMaxDuration.count() / unit)
        return std::nullopt;
    return std::chrono::seconds(count * unit);
}

std::string StationsFileError::Text(Language language) const {
    const std::string path = PathText(file);
    if (reason == Msg::StationsFileUnreadable)
        return Message(reason, language, {path, SystemReason(systemReason, language)});
    std::vector<std::string> words = args;
    for (const Worded& w : worded) words.push_back(Message(w.id, language, {w.arg}));
    std::string fault;
    switch (words.size()) {
        case 0:
            fault = Message(reason, language);
            break;
        case 1:
            fault = Message(reason, language, {words[0]});
            break;
        case 2:
            fault = Message(reason, language, {words[0], words[1]});
            break;
        default:
            fault = Message(reason, language, {words[0], words[1], words[2]});
            break;
    }
    if (line <= 0) return Message(Msg::StationsFileWhole, language, {path, fault});
    if (column <= 0)
        return Message(Msg::StationsFileAt, language, {path, std::to_string(line), fault});
    return Message(Msg::StationsFileAtColumn, language,
                   {path, std::to_string(line), std::to_string(column), fault});
}

StationsFileRead ParseStationsFile(const std::string& text, const fs::path& path) {
    const fs::path file = Absolute(path);
    const std::string source = PathText(file);
    const auto whole = [&](Msg reason, std::vector<std::string> args) {
        StationsFileError error;
        error.file = file;
        error.reason = reason;
        error.args = std::move(args);
        return error;
    };
    if (text.size() > kMaxStationsFileBytes)
        return whole(Msg::StationsTooLarge,
                     {std::to_string(text.size()), std::to_string(kMaxStationsFileBytes)});
    std::string_view body = text;
    // The mark Windows' Notepad puts at the start of a UTF-8 file.
    if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
    const AsciiText ascii = AsciiForParser(body);
    if (ascii.refused) {
        StationsFileError error = whole(ascii.reason, {});
        error.line = ascii.refused->first;
        error.column = ascii.refused->second;
        return error;
    }
    toml::parse_result parsed = toml::parse(std::string_view(ascii.text), std::string_view(source));
    StationsFileError error;
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        error = whole(Msg::StationsSyntax, {std::string(e.description())});
        error.line = static_cast<int>(e.source().begin.line);
        error.column = static_cast<int>(e.source().begin.column);
    } else {
        try {
            return Reader(file).Read(parsed.table());
        } catch (Refusal& r) {
            error = std::move(r.error);
            error.file = file;
        }
    }
    if (error.line > 0 && error.column > 0)
        error.column = ascii.ColumnInFile(error.line, error.column);
    return error;
}

StationsFileRead ReadStationsFile(const fs::path& path) {
    const fs::path file = Absolute(path);
    auto unreadable = [&](std::error_code why) {
        StationsFileError error;
        error.file = file;
        error.reason = Msg::StationsFileUnreadable;
        error.systemReason = why;
        return error;
    };
    std::error_code ec;
    if (fs::is_directory(file, ec))
        return unreadable(std::make_error_code(std::errc::is_a_directory));
    // Told before anything of it is read.
    if (const std::uintmax_t size = fs::file_size(file, ec); !ec && size > kMaxStationsFileBytes) {
        StationsFileError error;
        error.file = file;
        error.reason = Msg::StationsTooLarge;
        error.args = {std::to_string(size), std::to_string(kMaxStationsFileBytes)};
        return error;
    }
    try {
        return ParseStationsFile(ReadWholeFile(file), file);
    } catch (const FileError& e) {
        return unreadable(e.Reason());
    }
}

std::string StationsFileWarning::Text(Language language) const {
    std::string what;
    switch (args.size()) {
        case 4:
            what = Message(reason, language, {args[0], args[1], args[2], args[3]});
            break;
        default:
            what = Message(reason, language);
            break;
    }
    return Message(Msg::StationsWarningAt, language, {PathText(file), std::to_string(line), what});
}

const char* LinkKindWord(StationLink::Kind kind) {
    switch (kind) {
        case StationLink::Kind::Serial:
            return "serial";
        case StationLink::Kind::Usb:
            return "usb";
        case StationLink::Kind::Radio:
            return "radio";
        case StationLink::Kind::Bluetooth:
            return "bluetooth";
    }
    return "usb";
}

const char* CollectModeWord(CollectMode mode) {
    return mode == CollectMode::All ? "all" : "new";
}

const char* ClockPolicyWord(ClockPolicy clock) {
    return clock == ClockPolicy::Set ? "set" : "check";
}

}  // namespace qm
