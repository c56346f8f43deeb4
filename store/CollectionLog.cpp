#include "store/CollectionLog.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <system_error>
#include <utility>
#include <variant>

#include "store/FileSteps.h"
#include "store/JsonWriter.h"

namespace qm {

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// ---- Reading ------------------------------------------------------------------------------

struct Null {};
using Value = std::variant<Null, bool, double, std::string>;

// The one flat object a line holds: strings, numbers, true, false and null as values. Anything
// else (a nested value, text after the object, a string cut short) makes the line unreadable.
class LineParser {
public:
    explicit LineParser(std::string_view text) : s_(text) {}

    std::optional<std::map<std::string, Value, std::less<>>> Object() {
        std::map<std::string, Value, std::less<>> fields;
        Blanks();
        if (!Take('{')) return std::nullopt;
        Blanks();
        if (!Take('}')) {
            do {
                Blanks();
                std::string key;
                if (!String(key)) return std::nullopt;
                Blanks();
                if (!Take(':')) return std::nullopt;
                Blanks();
                std::optional<Value> value = Scalar();
                if (!value) return std::nullopt;
                fields.insert_or_assign(std::move(key), std::move(*value));
                Blanks();
            } while (Take(','));
            if (!Take('}')) return std::nullopt;
        }
        Blanks();
        if (at_ != s_.size()) return std::nullopt;
        return fields;
    }

private:
    bool Take(char ch) {
        if (at_ < s_.size() && s_[at_] == ch) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (s_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    void Blanks() {
        while (at_ < s_.size() &&
               (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\r' || s_[at_] == '\n'))
            ++at_;
    }

    std::optional<Value> Scalar() {
        if (at_ >= s_.size()) return std::nullopt;
        const char ch = s_[at_];
        if (ch == '"') {
            std::string text;
            if (!String(text)) return std::nullopt;
            return Value(std::move(text));
        }
        if (Word("true")) return Value(true);
        if (Word("false")) return Value(false);
        if (Word("null")) return Value(Null{});
        if (ch == '-' || (ch >= '0' && ch <= '9')) {
            std::size_t end = at_;
            while (end < s_.size() &&
                   std::string_view("+-0123456789.eE").find(s_[end]) != std::string_view::npos)
                ++end;
            double number = 0;
            const auto r = std::from_chars(s_.data() + at_, s_.data() + end, number);
            if (r.ec != std::errc() || r.ptr != s_.data() + end || !std::isfinite(number))
                return std::nullopt;
            at_ = end;
            return Value(number);
        }
        return std::nullopt;
    }

    std::optional<unsigned> Hex4() {
        if (s_.size() - at_ < 4) return std::nullopt;
        unsigned value = 0;
        const auto r = std::from_chars(s_.data() + at_, s_.data() + at_ + 4, value, 16);
        if (r.ec != std::errc() || r.ptr != s_.data() + at_ + 4) return std::nullopt;
        at_ += 4;
        return value;
    }

    static void PutUtf8(std::string& out, char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (at_ < s_.size()) {
            const char ch = s_[at_++];
            if (ch == '"') return true;
            if (static_cast<unsigned char>(ch) < 0x20) return false;
            if (ch != '\\') {
                out += ch;
                continue;
            }
            if (at_ >= s_.size()) return false;
            const char esc = s_[at_++];
            switch (esc) {
                case '"':
                case '\\':
                case '/':
                    out += esc;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    const auto high = Hex4();
                    if (!high) return false;
                    char32_t c = *high;
                    if (c >= 0xD800 && c < 0xDC00) {
                        // The first half of a pair: the second must follow.
                        if (!Word("\\u")) return false;
                        const auto low = Hex4();
                        if (!low || *low < 0xDC00 || *low >= 0xE000) return false;
                        c = 0x10000 + ((c - 0xD800) << 10) + (*low - 0xDC00);
                    } else if (c >= 0xDC00 && c < 0xE000) {
                        return false;
                    }
                    PutUtf8(out, c);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;  // cut off inside the string
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

using Fields = std::map<std::string, Value, std::less<>>;

// A field that must hold a string.
const std::string* TextField(const Fields& f, std::string_view key) {
    const auto it = f.find(key);
    return it == f.end() ? nullptr : std::get_if<std::string>(&it->second);
}

// A field that may be null or missing; false when it holds a value of another kind.
bool OptionalText(const Fields& f, std::string_view key, std::optional<std::string>& out) {
    const auto it = f.find(key);
    if (it == f.end() || std::holds_alternative<Null>(it->second)) return true;
    const auto* text = std::get_if<std::string>(&it->second);
    if (!text) return false;
    out = *text;
    return true;
}

// A whole number within the range of T.
template <typename T>
std::optional<T> WholeNumber(const Value& v) {
    const auto* d = std::get_if<double>(&v);
    if (!d || std::floor(*d) != *d || *d < -9.0e15 || *d > 9.0e15) return std::nullopt;
    const auto n = static_cast<std::int64_t>(*d);
    if (n < std::numeric_limits<T>::min() || n > std::numeric_limits<T>::max()) return std::nullopt;
    return static_cast<T>(n);
}

template <typename T>
bool OptionalInteger(const Fields& f, std::string_view key, std::optional<T>& out) {
    const auto it = f.find(key);
    if (it == f.end() || std::holds_alternative<Null>(it->second)) return true;
    out = WholeNumber<T>(it->second);
    return out.has_value();
}

bool Count(const Fields& f, std::string_view key, std::int64_t& out) {
    const auto it = f.find(key);
    if (it == f.end()) return false;
    const auto n = WholeNumber<std::int64_t>(it->second);
    if (!n || *n < 0) return false;
    out = *n;
    return true;
}

bool Flag(const Fields& f, std::string_view key, bool& out) {
    const auto it = f.find(key);
    if (it == f.end() || !std::holds_alternative<bool>(it->second)) return false;
    out = std::get<bool>(it->second);
    return true;
}

bool OptionalNumber(const Fields& f, std::string_view key, std::optional<double>& out) {
    const auto it = f.find(key);
    if (it == f.end() || std::holds_alternative<Null>(it->second)) return true;
    const auto* v = std::get_if<double>(&it->second);
    if (!v) return false;
    out = *v;
    return true;
}

// The records of a log of one JSON object a line; a line that holds none is counted, not kept.
template <typename Record>
void ReadLog(const fs::path& log, std::optional<Record> (*parse)(std::string_view),
             std::vector<Record>& records, std::size_t& skipped, std::optional<FileError>& error) {
    std::error_code ec;
    const fs::file_status status = fs::status(log, ec);
    if (!fs::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory)
            error = FileError(Msg::FileOpen, log, ec);
        return;
    }
    if (!fs::is_regular_file(status)) {
        error = FileError(Msg::FileRead, log, std::make_error_code(std::errc::is_a_directory));
        return;
    }
    std::string text;
    try {
        text = ReadWholeFile(log);
    } catch (const FileError& e) {
        error = e;
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") != std::string_view::npos) {
            if (auto record = parse(line))
                records.push_back(std::move(*record));
            else
                ++skipped;
        }
        start = end + 1;
    }
}

int Digits(std::string_view text, std::size_t at, std::size_t n) {
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::string_view CollectedModeWord(CollectedMode m) {
    switch (m) {
        case CollectedMode::New:
            return "new";
        case CollectedMode::All:
            return "all";
        case CollectedMode::Day:
            return "day";
    }
    return "new";
}

std::string_view CollectionResultWord(CollectionResult r) {
    switch (r) {
        case CollectionResult::Done:
            return "done";
        case CollectionResult::Failed:
            return "failed";
        case CollectionResult::Stopped:
            return "stopped";
    }
    return "failed";
}

std::string UtcText(sys_seconds time) {
    const sys_days day = floor<days>(time);
    const year_month_day ymd(day);
    const hh_mm_ss hms(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

std::optional<sys_seconds> ParseUtcText(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const int y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const int h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    const year_month_day ymd{year(y), month(static_cast<unsigned>(mo)),
                             day(static_cast<unsigned>(d))};
    if (!ymd.ok()) return std::nullopt;
    return sys_days(ymd) + hours(h) + minutes(mi) + seconds(s);
}

std::string CollectionRecordJson(const CollectionRecord& r) {
    JsonWriter w;
    const auto integer = [&w](std::string_view key, const auto& value) {
        w.Key(key);
        if (value)
            w.Integer(*value);
        else
            w.Null();
    };
    w.BeginObject();
    w.Key("time").String(UtcText(r.time));
    w.Key("station").String(r.station);
    integer("deviceType", r.deviceType);
    integer("version", r.version);
    integer("line", r.line);
    w.Key("lineText").OptionalString(r.lineText);
    w.Key("batteryVolts").Number(r.batteryVolts);
    integer("clockOffsetSeconds", r.clockOffsetSeconds);
    w.Key("clockSet").Bool(r.clockSet);
    w.Key("mode").String(CollectedModeWord(r.mode));
    w.Key("directory").OptionalString(r.directory);
    w.Key("files").Integer(r.files);
    w.Key("bytes").Integer(r.bytes);
    w.Key("measurements").Integer(r.measurements);
    w.Key("retries").Integer(r.retries);
    w.Key("result").String(CollectionResultWord(r.result));
    w.Key("error").OptionalString(r.error);
    w.EndObject();
    return std::move(w).Take();
}

std::optional<CollectionRecord> ParseCollectionRecord(std::string_view line) {
    const auto fields = LineParser(line).Object();
    if (!fields) return std::nullopt;
    const Fields& f = *fields;
    CollectionRecord r;

    const std::string* time = TextField(f, "time");
    const std::string* station = TextField(f, "station");
    const std::string* mode = TextField(f, "mode");
    const std::string* result = TextField(f, "result");
    if (!time || !station || !mode || !result) return std::nullopt;
    const auto when = ParseUtcText(*time);
    if (!when) return std::nullopt;
    r.time = *when;
    r.station = *station;

    bool known = false;
    for (const CollectedMode m : {CollectedMode::New, CollectedMode::All, CollectedMode::Day})
        if (*mode == CollectedModeWord(m)) r.mode = m, known = true;
    if (!known) return std::nullopt;
    known = false;
    for (const CollectionResult x :
         {CollectionResult::Done, CollectionResult::Failed, CollectionResult::Stopped})
        if (*result == CollectionResultWord(x)) r.result = x, known = true;
    if (!known) return std::nullopt;

    if (!Count(f, "files", r.files) || !Count(f, "bytes", r.bytes) ||
        !Count(f, "measurements", r.measurements) || !Count(f, "retries", r.retries))
        return std::nullopt;
    if (!Flag(f, "clockSet", r.clockSet)) return std::nullopt;

    if (!OptionalInteger(f, "deviceType", r.deviceType) ||
        !OptionalInteger(f, "version", r.version) || !OptionalInteger(f, "line", r.line) ||
        !OptionalText(f, "lineText", r.lineText) ||
        !OptionalInteger(f, "clockOffsetSeconds", r.clockOffsetSeconds) ||
        !OptionalText(f, "directory", r.directory) || !OptionalText(f, "error", r.error))
        return std::nullopt;
    if (!OptionalNumber(f, "batteryVolts", r.batteryVolts)) return std::nullopt;
    return r;
}

std::optional<VisitRecord> ParseVisitRecord(std::string_view line) {
    const auto fields = LineParser(line).Object();
    if (!fields) return std::nullopt;
    const Fields& f = *fields;
    VisitRecord r;
    const std::string* time = TextField(f, "time");
    const std::string* station = TextField(f, "station");
    const std::string* link = TextField(f, "link");
    if (!time || !station || !link) return std::nullopt;
    const auto when = ParseUtcText(*time);
    if (!when) return std::nullopt;
    r.time = *when;
    r.station = *station;
    r.link = *link;
    if (const auto address = f.find("address"); address != f.end()) {
        const Value& v = address->second;
        if (const auto* text = std::get_if<std::string>(&v)) {
            r.addressText = *text;
        } else if (std::holds_alternative<double>(v)) {
            r.addressNumber = WholeNumber<int>(v);
            if (!r.addressNumber) return std::nullopt;
        } else if (!std::holds_alternative<Null>(v)) {
            return std::nullopt;
        }
    }
    if (!Flag(f, "reached", r.reached) || !Flag(f, "clockSet", r.clockSet) ||
        !Flag(f, "collected", r.collected) || !Count(f, "copies", r.copies) ||
        !OptionalText(f, "error", r.error) ||
        !OptionalInteger(f, "clockOffsetSeconds", r.clockOffsetSeconds) ||
        !OptionalNumber(f, "batteryVolts", r.batteryVolts))
        return std::nullopt;
    return r;
}

std::optional<int> LineNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::string VisitRecordJson(const VisitRecord& r) {
    JsonWriter w;
    w.BeginObject();
    w.Key("time").String(UtcText(r.time));
    w.Key("station").String(r.station);
    w.Key("link").String(r.link);
    w.Key("address");
    if (r.addressNumber)
        w.Integer(*r.addressNumber);
    else
        w.OptionalString(r.addressText);
    w.Key("reached").Bool(r.reached);
    w.Key("error").OptionalString(r.error);
    w.Key("clockOffsetSeconds");
    if (r.clockOffsetSeconds)
        w.Integer(*r.clockOffsetSeconds);
    else
        w.Null();
    w.Key("batteryVolts").Number(r.batteryVolts);
    w.Key("clockSet").Bool(r.clockSet);
    w.Key("copies").Integer(r.copies);
    w.Key("collected").Bool(r.collected);
    w.EndObject();
    return std::move(w).Take();
}

std::optional<FileError> AppendVisitRecord(const fs::path& folder, const VisitRecord& record) {
    std::error_code ec;
    const fs::path log = folder / kVisitLogName;
    AppendLineDurably(log, VisitRecordJson(record) + '\n', ec);
    if (ec) return FileError(Msg::FileWrite, log, ec);
    return std::nullopt;
}

std::optional<FileError> AppendCollectionRecord(const fs::path& folder,
                                                const CollectionRecord& record) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return FileError(Msg::FileCreateFolder, folder, ec);
    const fs::path log = folder / kCollectionLogName;
    AppendLineDurably(log, CollectionRecordJson(record) + '\n', ec);
    if (ec) return FileError(Msg::FileWrite, log, ec);
    return std::nullopt;
}

CollectionLogRead ReadCollectionLog(const fs::path& folder) {
    CollectionLogRead read;
    ReadLog(folder / kCollectionLogName, &ParseCollectionRecord, read.records, read.skipped,
            read.error);
    return read;
}

VisitLogRead ReadVisitLog(const fs::path& folder) {
    VisitLogRead read;
    ReadLog(folder / kVisitLogName, &ParseVisitRecord, read.records, read.skipped, read.error);
    return read;
}

namespace {

bool OptionalTime(const Fields& f, std::string_view key, std::optional<sys_seconds>& out) {
    std::optional<std::string> text;
    if (!OptionalText(f, key, text)) return false;
    if (!text) return true;
    out = ParseUtcText(*text);
    return out.has_value();
}

bool OptionalFlag(const Fields& f, std::string_view key, std::optional<bool>& out) {
    const auto it = f.find(key);
    if (it == f.end() || std::holds_alternative<Null>(it->second)) return true;
    const auto* b = std::get_if<bool>(&it->second);
    if (!b) return false;
    out = *b;
    return true;
}

void OptionalTimeValue(JsonWriter& w, std::string_view key, const std::optional<sys_seconds>& t) {
    w.Key(key);
    if (t)
        w.String(UtcText(*t));
    else
        w.Null();
}

void OptionalFlagValue(JsonWriter& w, std::string_view key, const std::optional<bool>& b) {
    w.Key(key);
    if (b)
        w.Bool(*b);
    else
        w.Null();
}

}  // namespace

std::string AlarmRecordJson(const AlarmRecord& r) {
    JsonWriter w;
    w.BeginObject();
    w.Key("time").String(UtcText(r.time));
    w.Key("station").String(r.station);
    w.Key("condition").String(r.condition);
    w.Key("event").String(r.event);
    OptionalTimeValue(w, "since", r.since);
    w.Key("value").Number(r.value);
    w.Key("threshold").Number(r.threshold);
    w.Key("detail").OptionalString(r.detail);
    OptionalFlagValue(w, "mail", r.mail);
    OptionalFlagValue(w, "command", r.command);
    if (r.channel || r.of) {
        w.Key("channel").OptionalString(r.channel);
        OptionalTimeValue(w, "of", r.of);
    }
    w.EndObject();
    return std::move(w).Take();
}

std::optional<AlarmRecord> ParseAlarmRecord(std::string_view line) {
    const auto fields = LineParser(line).Object();
    if (!fields) return std::nullopt;
    const Fields& f = *fields;
    AlarmRecord r;
    const std::string* time = TextField(f, "time");
    const std::string* station = TextField(f, "station");
    const std::string* condition = TextField(f, "condition");
    const std::string* event = TextField(f, "event");
    if (!time || !station || !condition || !event) return std::nullopt;
    const auto when = ParseUtcText(*time);
    if (!when) return std::nullopt;
    r.time = *when;
    r.station = *station;
    r.condition = *condition;
    r.event = *event;
    if (!OptionalTime(f, "since", r.since) || !OptionalNumber(f, "value", r.value) ||
        !OptionalNumber(f, "threshold", r.threshold) || !OptionalText(f, "detail", r.detail) ||
        !OptionalFlag(f, "mail", r.mail) || !OptionalFlag(f, "command", r.command) ||
        !OptionalText(f, "channel", r.channel) || !OptionalTime(f, "of", r.of))
        return std::nullopt;
    return r;
}

std::optional<FileError> AppendAlarmRecord(const fs::path& data, const AlarmRecord& record) {
    std::error_code ec;
    fs::create_directories(data, ec);
    if (ec) return FileError(Msg::FileCreateFolder, data, ec);
    const fs::path log = data / kAlarmLogName;
    AppendLineDurably(log, AlarmRecordJson(record) + '\n', ec);
    if (ec) return FileError(Msg::FileWrite, log, ec);
    return std::nullopt;
}

AlarmLogRead ReadAlarmLog(const fs::path& data) {
    AlarmLogRead read;
    ReadLog(data / kAlarmLogName, &ParseAlarmRecord, read.records, read.skipped, read.error);
    return read;
}

}  // namespace qm
