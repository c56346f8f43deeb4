#include "collect/Alarms.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "store/Health.h"
#include "text/Messages.h"

namespace qm {

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

constexpr std::string_view kRaised = "raised";
constexpr std::string_view kRepeated = "repeated";
constexpr std::string_view kCleared = "cleared";
constexpr std::string_view kDelivered = "delivered";
constexpr unsigned kFaultFlags = SensorFlag::kDead | SensorFlag::kStuck | SensorFlag::kSpikes;
constexpr std::string_view kSensorSeparator = ", ";

std::string Figure(std::optional<double> value, int decimals) {
    if (!value) return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, *value);
    return text;
}

std::string SensorKey(const std::string& directory, std::size_t sensor) {
    return directory + " #" + std::to_string(sensor);
}

std::string Joined(const std::set<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) {
        if (!text.empty()) text += kSensorSeparator;
        text += key;
    }
    return text;
}

std::set<std::string> Split(const std::optional<std::string>& text) {
    std::set<std::string> keys;
    if (!text) return keys;
    std::size_t start = 0;
    while (start <= text->size()) {
        std::size_t end = text->find(kSensorSeparator, start);
        if (end == std::string::npos) end = text->size();
        if (end > start) keys.insert(text->substr(start, end - start));
        start = end + kSensorSeparator.size();
    }
    return keys;
}

bool Watched(const AlarmSettings& s, AlarmCondition c) {
    switch (c) {
        case AlarmCondition::Stale:
            return s.staleHours.has_value();
        case AlarmCondition::Failures:
            return s.failures.has_value() && *s.failures > 0;
        case AlarmCondition::Battery:
            return s.batteryBelowVolts.has_value();
        case AlarmCondition::Clock:
            return s.clockOffsetAboveSeconds.has_value();
        case AlarmCondition::Flags:
            return s.flags;
        case AlarmCondition::Limits:
            return s.limits;
    }
    return false;
}

}  // namespace

std::string_view AlarmConditionWord(AlarmCondition c) {
    switch (c) {
        case AlarmCondition::Stale:
            return "stale";
        case AlarmCondition::Failures:
            return "failures";
        case AlarmCondition::Battery:
            return "battery";
        case AlarmCondition::Clock:
            return "clock";
        case AlarmCondition::Flags:
            return "flags";
        case AlarmCondition::Limits:
            return "limits";
    }
    return {};
}

std::optional<AlarmCondition> AlarmConditionOfWord(std::string_view word) {
    for (const AlarmCondition c : kAlarmConditions)
        if (AlarmConditionWord(c) == word) return c;
    return std::nullopt;
}

std::string AlarmText(const AlarmFinding& f, Language language) {
    const std::string detail = f.detail.value_or("");
    switch (f.condition) {
        case AlarmCondition::Stale:
            return Message(Msg::AlarmStale, language, {Figure(f.value, 1), Figure(f.threshold, 1)});
        case AlarmCondition::Failures:
            return Message(Msg::AlarmFailures, language,
                           {Figure(f.value, 0), Figure(f.threshold, 0)});
        case AlarmCondition::Battery:
            return Message(Msg::AlarmBattery, language,
                           {Figure(f.value, 2), Figure(f.threshold, 2)});
        case AlarmCondition::Clock:
            return Message(Msg::AlarmClock, language, {Figure(f.value, 0), Figure(f.threshold, 0)});
        case AlarmCondition::Flags:
            return Message(Msg::AlarmFlags, language, {detail});
        case AlarmCondition::Limits:
            return Message(Msg::AlarmLimits, language, {detail});
    }
    return {};
}

Alarms::Alarms(fs::path data) : data_(std::move(data)) {
    AlarmLogRead read = ReadAlarmLog(data_);
    skipped_ = read.skipped;
    readError_ = std::move(read.error);
    for (const AlarmRecord& record : read.records) Replay(record);
}

void Alarms::Replay(const AlarmRecord& r) {
    const auto condition = AlarmConditionOfWord(r.condition);
    if (!condition) {
        ++skipped_;
        return;
    }
    if (r.event == kDelivered) {
        if (!r.channel || !r.of) return;
        for (auto it = undelivered_.begin(); it != undelivered_.end(); ++it) {
            if (it->station != r.station || it->condition != r.condition || it->time != *r.of)
                continue;
            if (*r.channel == "mail" && it->mail) it->mail = true;
            if (*r.channel == "command" && it->command) it->command = true;
            if (it->mail.value_or(true) && it->command.value_or(true)) undelivered_.erase(it);
            break;
        }
        return;
    }
    const Key key{r.station, *condition};
    if (r.event == kRaised || r.event == kRepeated) {
        Active& a = active_[key];
        if (r.event == kRaised || a.finding.condition != *condition || !a.finding.holds)
            a.since = r.since.value_or(r.time);
        a.lastSent = r.time;
        a.finding = {*condition, true, a.since, r.value, r.threshold, r.detail};
    } else if (r.event == kCleared) {
        active_.erase(key);
    } else {
        ++skipped_;
        return;
    }
    if (r.mail == false || r.command == false) undelivered_.push_back(r);
}

std::vector<AlarmFinding> Alarms::Findings(const StationStatus& st, const AlarmSettings& s,
                                           sys_seconds now) {
    std::vector<AlarmFinding> found;
    if (s.staleHours && st.newestMeasurement) {
        const double age = duration<double>(now - *st.newestMeasurement).count() / 3600.0;
        const auto since = *st.newestMeasurement +
                           duration_cast<seconds>(duration<double>(*s.staleHours * 3600.0));
        found.push_back({AlarmCondition::Stale, age > *s.staleHours, since,
                         std::round(age * 10.0) / 10.0, *s.staleHours, std::nullopt});
    }
    if (s.failures)
        found.push_back({AlarmCondition::Failures, st.consecutiveFailures >= *s.failures,
                         std::nullopt, static_cast<double>(st.consecutiveFailures),
                         static_cast<double>(*s.failures), std::nullopt});
    if (s.batteryBelowVolts && st.batteryVolts)
        found.push_back({AlarmCondition::Battery, *st.batteryVolts < *s.batteryBelowVolts,
                         std::nullopt, *st.batteryVolts, *s.batteryBelowVolts, std::nullopt});
    if (s.clockOffsetAboveSeconds && st.clockOffsetSeconds)
        found.push_back({AlarmCondition::Clock,
                         std::llabs(*st.clockOffsetSeconds) > *s.clockOffsetAboveSeconds,
                         std::nullopt, static_cast<double>(*st.clockOffsetSeconds),
                         static_cast<double>(*s.clockOffsetAboveSeconds), std::nullopt});

    // The sensors' flags and limits count only in data that came since the previous visit that
    // brought any: the first judgement after a start only learns what is there.
    std::set<std::string> flagged;
    std::set<std::string> exceeded;
    for (const StatusDataSet& d : st.dataSets) {
        for (const StatusSensor& f : d.flagged)
            if (f.flags & kFaultFlags) flagged.insert(SensorKey(d.directory, f.sensor));
    }
    const auto seen = seen_.find(st.name);
    if (seen == seen_.end()) {
        Seen& first = seen_[st.name];
        first.newest = st.newestMeasurement;
        first.flagged = flagged;
        if (const auto a = active_.find({st.name, AlarmCondition::Flags}); a != active_.end())
            for (const std::string& key : Split(a->second.finding.detail)) first.flagged.erase(key);
        return found;
    }
    Seen& before = seen->second;
    if (!st.newestMeasurement || (before.newest && *st.newestMeasurement <= *before.newest))
        return found;
    for (const StatusDataSet& d : st.dataSets)
        for (const StatusExceedance& e : d.exceeded)
            if (!before.newest || e.last > *before.newest)
                exceeded.insert(SensorKey(d.directory, e.sensor));
    std::set<std::string> fresh;
    for (const std::string& key : flagged)
        if (!before.flagged.contains(key)) fresh.insert(key);
    if (s.flags)
        found.push_back({AlarmCondition::Flags, !fresh.empty(), std::nullopt,
                         static_cast<double>(fresh.size()), std::nullopt,
                         fresh.empty() ? std::nullopt : std::optional(Joined(fresh))});
    if (s.limits)
        found.push_back({AlarmCondition::Limits, !exceeded.empty(), std::nullopt,
                         static_cast<double>(exceeded.size()), std::nullopt,
                         exceeded.empty() ? std::nullopt : std::optional(Joined(exceeded))});
    if (fresh.empty()) before.flagged = flagged;
    before.newest = st.newestMeasurement;
    return found;
}

Alarms::Judged Alarms::Judge(StationStatus& status, const AlarmSettings& settings,
                             const AlarmChannels& channels, sys_seconds now, Language language) {
    Judged judged;
    const std::vector<AlarmFinding> found = Findings(status, settings, now);
    const auto log = [&](std::string_view event, const Active& a, const AlarmFinding& f) {
        AlarmRecord r;
        r.time = now;
        r.station = status.name;
        r.condition = std::string(AlarmConditionWord(f.condition));
        r.event = std::string(event);
        r.since = a.since;
        r.value = f.value;
        r.threshold = f.threshold;
        r.detail = f.detail;
        if (channels.mail) r.mail = false;
        if (channels.command) r.command = false;
        auto error = AppendAlarmRecord(data_, r);
        if (error && !judged.error) judged.error = std::move(error);
        if (r.mail || r.command) undelivered_.push_back(r);
        judged.events.push_back(std::move(r));
    };

    status.alarms.clear();
    for (const AlarmCondition c : kAlarmConditions) {
        const Key key{status.name, c};
        const auto active = active_.find(key);
        const AlarmFinding* finding = nullptr;
        for (const AlarmFinding& f : found)
            if (f.condition == c) finding = &f;
        if (!Watched(settings, c) || (finding && !finding->holds)) {
            // It ended, or is no longer watched.
            if (active != active_.end()) {
                log(kCleared, active->second, finding ? *finding : active->second.finding);
                active_.erase(active);
            }
            continue;
        }
        if (!finding) {
            // Not judged this time: as it was.
            if (active != active_.end())
                status.alarms.push_back(AlarmText(active->second.finding, language));
            continue;
        }
        if (active == active_.end()) {
            Active& a = active_[key];
            a.since = finding->since.value_or(now);
            a.lastSent = now;
            a.finding = *finding;
            log(kRaised, a, *finding);
        } else {
            Active& a = active->second;
            a.finding = *finding;
            if (now - a.lastSent >= settings.repeat) {
                a.lastSent = now;
                log(kRepeated, a, *finding);
            }
        }
        status.alarms.push_back(AlarmText(*finding, language));
    }
    return judged;
}

std::optional<FileError> Alarms::Delivered(const AlarmRecord& event, std::string_view channel,
                                           sys_seconds now) {
    AlarmRecord r;
    r.time = now;
    r.station = event.station;
    r.condition = event.condition;
    r.event = std::string(kDelivered);
    r.channel = std::string(channel);
    r.of = event.time;
    if (auto error = AppendAlarmRecord(data_, r)) return error;
    Replay(r);
    return std::nullopt;
}

std::vector<AlarmCondition> Alarms::Holding(const std::string& station) const {
    std::vector<AlarmCondition> holding;
    for (const AlarmCondition c : kAlarmConditions)
        if (active_.contains({station, c})) holding.push_back(c);
    return holding;
}

}  // namespace qm
