#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "collect/StationStatus.h"
#include "collect/StationsFile.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"
#include "text/Language.h"

namespace qm {

// The alarms of a collection's stations: which conditions hold after each visit, raised once
// when one begins, repeated each time the plan's `repeat` has passed while it holds, cleared once
// when it ends. Every event is a line of "alarms.jsonl" in the collection's data folder, from
// which the state is rebuilt at start, so a restart neither raises an alarm again nor forgets
// one.

enum class AlarmCondition { Stale, Failures, Battery, Clock, Flags, Limits };
inline constexpr AlarmCondition kAlarmConditions[] = {
    AlarmCondition::Stale, AlarmCondition::Failures, AlarmCondition::Battery,
    AlarmCondition::Clock, AlarmCondition::Flags,    AlarmCondition::Limits};
// "stale", "failures", "battery", "clock", "flags", "limits"; and back.
std::string_view AlarmConditionWord(AlarmCondition condition);
std::optional<AlarmCondition> AlarmConditionOfWord(std::string_view word);

// A watched condition as a station's status shows it now, with the figures its message needs.
struct AlarmFinding {
    AlarmCondition condition = AlarmCondition::Stale;
    bool holds = false;
    std::optional<std::chrono::sys_seconds> since;  // when it began, where the status tells
    std::optional<double> value;
    std::optional<double> threshold;
    std::optional<std::string> detail;  // the sensors concerned
};

// The channels an alarm is delivered by; each event waits for every one of them.
struct AlarmChannels {
    bool mail = false;
    bool command = false;
};

// The condition of a finding in the operator's words, with its figures.
std::string AlarmText(const AlarmFinding& finding, Language language);

class Alarms {
public:
    // The state as the alarm log of `data` leaves it; a line that cannot be read is passed over.
    explicit Alarms(std::filesystem::path data);
    std::size_t SkippedLines() const { return skipped_; }
    const std::optional<FileError>& ReadError() const { return readError_; }

    struct Judged {
        std::vector<AlarmRecord> events;  // in the order they were logged
        std::optional<FileError> error;   // the first line that could not be logged
    };
    // After a visit of the station: judges its status against `settings` at `now`, logs what was
    // raised, repeated or cleared, and puts the alarms that hold into `status.alarms` in
    // `language`. The flags and the limits are judged only when new measurements came; until
    // then they stay as they were.
    Judged Judge(StationStatus& status, const AlarmSettings& settings,
                 const AlarmChannels& channels, std::chrono::sys_seconds now, Language language);

    // The conditions that hold for the station, in the order of kAlarmConditions.
    std::vector<AlarmCondition> Holding(const std::string& station) const;
    // The events some channel has not delivered yet, oldest first.
    const std::vector<AlarmRecord>& Undelivered() const { return undelivered_; }
    // Logs that `channel` ("mail" or "command") delivered the event, one of Undelivered(), at
    // `now`. An event whose delivery could not be logged stays undelivered, to be sent again.
    std::optional<FileError> Delivered(const AlarmRecord& event, std::string_view channel,
                                       std::chrono::sys_seconds now);

private:
    struct Active {
        std::chrono::sys_seconds since{};
        std::chrono::sys_seconds lastSent{};
        AlarmFinding finding;
    };
    // What the flags and limits are judged against: the previous collected visit's.
    struct Seen {
        std::optional<std::chrono::sys_seconds> newest;
        std::set<std::string> flagged;
    };
    using Key = std::pair<std::string, AlarmCondition>;

    void Replay(const AlarmRecord& record);
    std::vector<AlarmFinding> Findings(const StationStatus& status, const AlarmSettings& settings,
                                       std::chrono::sys_seconds now);

    std::filesystem::path data_;
    std::size_t skipped_ = 0;
    std::optional<FileError> readError_;
    std::map<Key, Active> active_;
    std::map<std::string, Seen> seen_;
    std::vector<AlarmRecord> undelivered_;
};

}  // namespace qm
