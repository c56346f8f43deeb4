#include "collect/StationStatus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <system_error>
#include <utility>

#include "store/CollectionLog.h"
#include "store/DataSet.h"
#include "store/Health.h"
#include "store/JsonWriter.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "text/Messages.h"

namespace qm {

namespace fs = std::filesystem;
using std::chrono::sys_seconds;

namespace {

// A time of the loggers' clocks in UTC, by the PC's offset now.
sys_seconds UtcOf(const DateTime& local, const StatusNow& now) {
    const std::int64_t ms = now.local.Milliseconds() - local.Milliseconds();
    return now.utc - std::chrono::seconds(ms / DateTime::kMsPerSecond);
}

StatusDataSet DataSetStatus(const fs::path& folder, const StatusNow& now) {
    StatusDataSet d;
    d.directory = PathText(folder.filename());
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError&) {
        return d;
    }
    d.measurements = set.measurements.size();
    if (set.measurements.empty()) return d;
    const DateTime newest = set.measurements.back().time;
    d.newest = UtcOf(newest, now);
    SensorTable table;
    try {
        table = ReadSensorTable(folder);
    } catch (const FileError&) {
        // Sensors known by number only, and no limits.
    }
    // The last days up to the newest measurement, both ends whole days.
    const DateTime from = DateTime::FromMilliseconds(newest.DatePart().Milliseconds() -
                                                     (kStatusDays - 1) * DateTime::kMsPerDay);
    const Summary summary = Summarize(set, table, PeriodOf(set, from, newest));
    for (const SensorSummary& s : summary.sensors) {
        if (s.flags != 0) d.flagged.push_back({s.sensor, s.label, s.flags});
        if (s.exceedance && s.limitC)
            d.exceeded.push_back({s.sensor, s.label, *s.limitC, s.exceedance->maxC,
                                  UtcOf(s.exceedance->first, now), UtcOf(s.exceedance->last, now)});
    }
    return d;
}

// The data-set folders of a station's folder, in name order.
std::vector<StatusDataSet> DataSetsOf(const fs::path& folder, const StatusNow& now) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_directory(kind) || it->path().filename() == kStagingFolderName) continue;
        folders.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end());
    std::vector<StatusDataSet> sets;
    sets.reserve(folders.size());
    for (const fs::path& f : folders) sets.push_back(DataSetStatus(f, now));
    return sets;
}

StatusAttempt AttemptOf(const VisitRecord& r) {
    StatusAttempt a;
    a.time = r.time;
    a.collected = r.collected;
    if (r.error) a.errors.push_back(*r.error);
    return a;
}

}  // namespace

std::string_view StatusColourWord(StatusColour colour) {
    switch (colour) {
        case StatusColour::Green:
            return "green";
        case StatusColour::Amber:
            return "amber";
        case StatusColour::Red:
            return "red";
        case StatusColour::None:
            break;
    }
    return {};
}

StatusColour StationStatus::Colour() const {
    if (!alarms.empty()) return StatusColour::Red;
    if (!lastAttempt) return StatusColour::None;
    return lastAttempt->collected ? StatusColour::Green : StatusColour::Amber;
}

StationStatus StationStatusOf(const Station& station, const StatusNow& now,
                              const std::optional<StatusAttempt>& thisRun) {
    StationStatus s;
    s.name = station.name;
    s.link = LinkKindWord(station.link.kind);
    switch (station.link.kind) {
        case StationLink::Kind::Serial:
            s.addressText = station.link.port;
            break;
        case StationLink::Kind::Radio:
            s.addressNumber = station.link.radioAddress;
            break;
        case StationLink::Kind::Bluetooth:
            s.addressText = station.link.bluetoothAddress;
            break;
        case StationLink::Kind::Usb:
            break;
    }
    const VisitLogRead log = ReadVisitLog(station.folder);
    for (const VisitRecord& r : log.records) {
        if (r.collected) {
            s.lastSuccess = r.time;
            s.consecutiveFailures = 0;
        } else {
            ++s.consecutiveFailures;
        }
        if (r.batteryVolts) s.batteryVolts = r.batteryVolts;
        if (r.clockOffsetSeconds) s.clockOffsetSeconds = r.clockOffsetSeconds;
    }
    if (!log.records.empty()) s.lastAttempt = AttemptOf(log.records.back());
    if (thisRun) {
        s.lastAttempt = thisRun;
        // An attempt not tried has no line in the log, yet failed all the same.
        if (!thisRun->tried) ++s.consecutiveFailures;
        if (thisRun->collected && (!s.lastSuccess || *s.lastSuccess < thisRun->time))
            s.lastSuccess = thisRun->time;
    }
    s.dataSets = DataSetsOf(station.folder, now);
    for (const StatusDataSet& d : s.dataSets)
        if (d.newest && (!s.newestMeasurement || *s.newestMeasurement < *d.newest))
            s.newestMeasurement = d.newest;
    if (s.newestMeasurement) {
        const auto age = now.utc - *s.newestMeasurement;
        s.newestMeasurementAgeHours = std::round(static_cast<double>(age.count()) / 360.0) / 10;
    }
    return s;
}

CollectionStatus CollectionStatusOf(const StationsPlan& plan, const StatusNow& now,
                                    const std::map<std::string, StatusAttempt>& thisRun) {
    CollectionStatus status;
    status.time = now.utc;
    status.stationsFile = plan.file;
    for (const Station& station : plan.stations) {
        const auto it = thisRun.find(station.name);
        status.stations.push_back(StationStatusOf(
            station, now,
            it == thisRun.end() ? std::nullopt : std::optional<StatusAttempt>(it->second)));
    }
    return status;
}

// ---- status.json ------------------------------------------------------------------------------

namespace {

void Time(JsonWriter& w, std::string_view key, const std::optional<sys_seconds>& time) {
    w.Key(key);
    if (time)
        w.String(UtcText(*time));
    else
        w.Null();
}

void Texts(JsonWriter& w, std::string_view key, const std::vector<std::string>& texts) {
    w.Key(key).BeginArray();
    for (const std::string& t : texts) w.String(t);
    w.EndArray();
}

void Sensor(JsonWriter& w, std::size_t sensor, const std::string& label) {
    w.Key("sensor").Integer(static_cast<std::int64_t>(sensor));
    w.Key("label");
    if (label.empty())
        w.Null();
    else
        w.String(label);
}

void DataSetJson(JsonWriter& w, const StatusDataSet& d) {
    w.BeginObject();
    w.Key("directory").String(d.directory);
    w.Key("measurements").Integer(static_cast<std::int64_t>(d.measurements));
    Time(w, "newestMeasurement", d.newest);
    w.Key("flaggedSensors").BeginArray();
    for (const StatusSensor& s : d.flagged) {
        w.BeginObject();
        Sensor(w, s.sensor, s.label);
        w.Key("flags").BeginArray();
        for (const std::string_view word : FlagWords(s.flags)) w.String(word);
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();
    w.Key("exceededLimits").BeginArray();
    for (const StatusExceedance& e : d.exceeded) {
        w.BeginObject();
        Sensor(w, e.sensor, e.label);
        w.Key("limitC").Number(e.limitC);
        w.Key("maxC").Number(e.maxC);
        Time(w, "firstTime", e.first);
        Time(w, "lastTime", e.last);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

}  // namespace

std::string StatusJson(const CollectionStatus& status) {
    JsonWriter w(JsonWriter::Layout::Indented);
    w.BeginObject();
    Time(w, "time", status.time);
    w.Key("stationsFile").String(PathText(status.stationsFile));
    w.Key("stations").BeginArray();
    for (const StationStatus& s : status.stations) {
        w.BeginObject();
        w.Key("name").String(s.name);
        w.Key("link").String(s.link);
        w.Key("address");
        if (s.addressNumber)
            w.Integer(*s.addressNumber);
        else
            w.OptionalString(s.addressText);
        w.Key("colour");
        if (const std::string_view colour = StatusColourWord(s.Colour()); colour.empty())
            w.Null();
        else
            w.String(colour);
        w.Key("lastAttempt");
        if (const auto& a = s.lastAttempt) {
            w.BeginObject();
            Time(w, "time", a->time);
            w.Key("tried").Bool(a->tried);
            w.Key("collected").Bool(a->collected);
            Texts(w, "errors", a->errors);
            Texts(w, "warnings", a->warnings);
            w.EndObject();
        } else {
            w.Null();
        }
        Time(w, "lastSuccess", s.lastSuccess);
        w.Key("consecutiveFailures").Integer(s.consecutiveFailures);
        Time(w, "nextDue", s.nextDue);
        w.Key("batteryVolts").Number(s.batteryVolts);
        w.Key("clockOffsetSeconds");
        if (s.clockOffsetSeconds)
            w.Integer(*s.clockOffsetSeconds);
        else
            w.Null();
        Time(w, "newestMeasurement", s.newestMeasurement);
        w.Key("newestMeasurementAgeHours").Number(s.newestMeasurementAgeHours);
        w.Key("dataSets").BeginArray();
        for (const StatusDataSet& d : s.dataSets) DataSetJson(w, d);
        w.EndArray();
        Texts(w, "alarms", s.alarms);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return std::move(w).Take() + "\n";
}

// ---- status.html ------------------------------------------------------------------------------

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

namespace {

// The page's look: a table on a screen, one block per station on a phone. The row colours are
// those the status names.
constexpr std::string_view kStyle = R"(body{font-family:sans-serif;margin:1em;color:#111}
h1{font-size:1.4em}
table{border-collapse:collapse;width:100%}
th,td{border:1px solid #999;padding:.3em .5em;text-align:left;vertical-align:top}
th{background:#ddd}
tr.green td{background:#c8f0c8}
tr.amber td{background:#ffe08a}
tr.red td{background:#ffb0b0}
tr.none td{background:#eee}
ul{margin:0;padding-left:1.2em}
.small{font-size:.85em;color:#333}
@media (max-width:700px){
table,tbody,tr,td{display:block;width:auto}
thead{display:none}
tr{margin-bottom:.8em;border:1px solid #999}
td{border:none;border-bottom:1px solid #ccc}
td::before{content:attr(data-label) ": ";font-weight:bold}
}
)";

class Page {
public:
    explicit Page(Language language) : language_(language) {}

    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return HtmlEscaped(Message(id, language_, args));
    }
    void Put(std::string_view html) { out_ += html; }
    void Cell(Msg label, std::string_view html) {
        out_ += "<td data-label=\"" + Text(label) + "\">";
        out_ += html;
        out_ += "</td>";
    }
    std::string Take() && { return std::move(out_); }

private:
    Language language_;
    std::string out_;
};

std::string TimeHtml(const std::optional<sys_seconds>& time) {
    return time ? UtcText(*time) : "—";
}

std::string ListHtml(const std::vector<std::string>& texts) {
    if (texts.empty()) return {};
    std::string html = "<ul>";
    for (const std::string& t : texts) html += "<li>" + HtmlEscaped(t) + "</li>";
    return html + "</ul>";
}

std::string Number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string LinkHtml(const Page& p, const StationStatus& s) {
    if (s.link == "serial") return p.Text(Msg::LinkSerial, {s.addressText.value_or("")});
    if (s.link == "radio")
        return p.Text(Msg::LinkRadio) + " " + std::to_string(s.addressNumber.value_or(0));
    if (s.link == "bluetooth")
        return p.Text(Msg::LinkBluetooth) + " " + HtmlEscaped(s.addressText.value_or(""));
    return p.Text(Msg::LinkUsb);
}

std::string SensorHtml(const Page& p, std::size_t sensor, const std::string& label) {
    std::string name = p.Text(Msg::StatusSensor, {std::to_string(sensor)});
    if (!label.empty()) name += " (" + HtmlEscaped(label) + ")";
    return name;
}

std::string DataSetsHtml(const Page& p, const StationStatus& s) {
    if (s.dataSets.empty()) return p.Text(Msg::StatusNoData);
    std::string html;
    for (const StatusDataSet& d : s.dataSets) {
        html += "<div><b>" + HtmlEscaped(d.directory) +
                "</b>: " + p.Text(Msg::StatusMeasurements, {std::to_string(d.measurements)});
        std::vector<std::string> lines;
        for (const StatusSensor& f : d.flagged) {
            std::string words;
            for (const std::string_view w : FlagWords(f.flags))
                words += (words.empty() ? "" : ", ") + std::string(w);
            lines.push_back(SensorHtml(p, f.sensor, f.label) + ": " + words);
        }
        for (const StatusExceedance& e : d.exceeded)
            lines.push_back(SensorHtml(p, e.sensor, e.label) + ": " +
                            p.Text(Msg::StatusExceeded, {Number(e.maxC, 2), Number(e.limitC, 2),
                                                         UtcText(e.first), UtcText(e.last)}));
        if (!lines.empty()) {
            html += "<ul>";
            // Already escaped, piece by piece.
            for (const std::string& line : lines) html += "<li>" + line + "</li>";
            html += "</ul>";
        }
        html += "</div>";
    }
    return html;
}

std::string StateHtml(const Page& p, const StationStatus& s) {
    std::string html;
    if (!s.lastAttempt)
        html = p.Text(Msg::StatusNotVisited);
    else if (!s.lastAttempt->tried)
        html = p.Text(Msg::StatusNotTried);
    else
        html = p.Text(s.lastAttempt->collected ? Msg::StatusCollected : Msg::StatusNotCollected);
    return html + ListHtml(s.alarms);
}

void Row(Page& p, const StationStatus& s) {
    const std::string_view colour = StatusColourWord(s.Colour());
    p.Put("<tr class=\"" + std::string(colour.empty() ? "none" : colour) + "\">");
    p.Cell(Msg::StatusColumnStation, "<b>" + HtmlEscaped(s.name) +
                                         "</b><br><span class=\"small\">" + LinkHtml(p, s) +
                                         "</span>");
    p.Cell(Msg::StatusColumnState, StateHtml(p, s));
    std::string attempt = "—";
    if (const auto& a = s.lastAttempt)
        attempt = UtcText(a->time) + ListHtml(a->errors) + ListHtml(a->warnings);
    p.Cell(Msg::StatusColumnLastAttempt, attempt);
    p.Cell(Msg::StatusColumnLastSuccess, TimeHtml(s.lastSuccess));
    p.Cell(Msg::StatusColumnFailures, std::to_string(s.consecutiveFailures));
    p.Cell(Msg::StatusColumnNextDue, TimeHtml(s.nextDue));
    p.Cell(Msg::StatusColumnBattery, s.batteryVolts ? Number(*s.batteryVolts, 2) : "—");
    p.Cell(Msg::StatusColumnClock,
           s.clockOffsetSeconds ? std::to_string(*s.clockOffsetSeconds) : "—");
    std::string newest = "—";
    if (s.newestMeasurement && s.newestMeasurementAgeHours)
        newest = UtcText(*s.newestMeasurement) + "<br><span class=\"small\">" +
                 p.Text(Msg::StatusAge, {Number(*s.newestMeasurementAgeHours, 1)}) + "</span>";
    p.Cell(Msg::StatusColumnNewest, newest);
    p.Cell(Msg::StatusColumnDataSets, DataSetsHtml(p, s));
    p.Put("</tr>\n");
}

}  // namespace

std::string StatusHtml(const CollectionStatus& status, Language language) {
    Page p(language);
    p.Put("<!DOCTYPE html>\n<html lang=\"");
    p.Put(language == Language::English ? "en" : "ru");
    p.Put(
        "\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"refresh\" content=\"60\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    p.Put(p.Text(Msg::StatusTitle));
    p.Put("</title>\n<style>\n");
    p.Put(kStyle);
    p.Put("</style>\n</head>\n<body>\n<h1>");
    p.Put(p.Text(Msg::StatusTitle));
    p.Put("</h1>\n<p>");
    p.Put(p.Text(Msg::StatusUpdated, {UtcText(status.time)}));
    p.Put("</p>\n<table>\n<thead><tr>");
    for (const Msg column :
         {Msg::StatusColumnStation, Msg::StatusColumnState, Msg::StatusColumnLastAttempt,
          Msg::StatusColumnLastSuccess, Msg::StatusColumnFailures, Msg::StatusColumnNextDue,
          Msg::StatusColumnBattery, Msg::StatusColumnClock, Msg::StatusColumnNewest,
          Msg::StatusColumnDataSets})
        p.Put("<th>" + p.Text(column) + "</th>");
    p.Put("</tr></thead>\n<tbody>\n");
    for (const StationStatus& s : status.stations) Row(p, s);
    p.Put("</tbody>\n</table>\n<p class=\"small\">");
    p.Put(p.Text(Msg::StatusLegend));
    p.Put("</p>\n</body>\n</html>\n");
    return std::move(p).Take();
}

std::optional<FileError> WriteStatusFiles(const fs::path& data, const CollectionStatus& status,
                                          Language language) {
    try {
        std::error_code ec;
        fs::create_directories(data, ec);
        if (ec) return FileError(Msg::FileCreateFolder, data, ec);
        for (const auto& [name, text] :
             {std::pair{kStatusJsonName, StatusJson(status)},
              std::pair{kStatusHtmlName, StatusHtml(status, language)}}) {
            StagedFile out;
            out.Begin(data / name, false);
            out.Write(text);
            out.Commit();
        }
    } catch (const FileError& e) {
        return e;
    }
    return std::nullopt;
}

}  // namespace qm
