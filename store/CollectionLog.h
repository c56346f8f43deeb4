#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/LocalFiles.h"

namespace qm {

// What a download was asked to copy, and how it ended.
enum class CollectedMode { New, All, Day };
enum class CollectionResult { Done, Failed, Stopped };
// Their words in the log: "new", "all", "day"; "done", "failed", "stopped".
std::string_view CollectedModeWord(CollectedMode mode);
std::string_view CollectionResultWord(CollectionResult result);

// One download into a data-set folder, as the collection log keeps it: one JSON object on one
// line of "collection.jsonl". What was not learnt of the logger stays empty and is written as
// null.
struct CollectionRecord {
    std::chrono::sys_seconds time{};  // UTC, whole seconds
    std::string station;              // UTF-8; kWindowStation for the window's copies
    std::optional<int> deviceType;
    std::optional<int> version;
    std::optional<int> line;              // the line value when the title shows a whole number
    std::optional<std::string> lineText;  // the line value as the title shows it
    std::optional<double> batteryVolts;
    std::optional<std::int64_t> clockOffsetSeconds;
    bool clockSet = false;
    CollectedMode mode = CollectedMode::New;
    std::optional<std::string> directory;  // UTF-8
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    std::int64_t measurements = 0;
    std::int64_t retries = 0;
    CollectionResult result = CollectionResult::Done;
    std::optional<std::string> error;  // UTF-8, in the language of the run

    bool operator==(const CollectionRecord&) const = default;
};

// The line value of a title's text ("25"), or nothing when the text is not a whole number
// ("-", "3.5").
std::optional<int> LineNumber(std::string_view lineText);

// One visit of a station by the collection, reached or not, as its folder's visit log keeps it:
// one flat JSON object on one line of "visits.jsonl".
struct VisitRecord {
    std::chrono::sys_seconds time{};         // UTC, whole seconds: when the visit began
    std::string station;                     // UTF-8
    std::string link;                        // "serial", "usb", "radio" or "bluetooth"
    std::optional<std::string> addressText;  // a port or a Bluetooth address
    std::optional<int> addressNumber;        // a radio address
    bool reached = false;
    std::optional<std::string> error;  // why it was not collected, in the language of the run
    std::optional<std::int64_t> clockOffsetSeconds;
    std::optional<double> batteryVolts;
    bool clockSet = false;
    std::int64_t copies = 0;  // the copies that ended done
    bool collected = false;   // reached, every copy done, the clock set where it was to be

    bool operator==(const VisitRecord&) const = default;
};

// The record as its line of the visit log, without the line feed.
std::string VisitRecordJson(const VisitRecord& record);

// Appends the record to the visit log of the station's folder `folder` (which must be there),
// synced as the collection log is. Returns the failure instead of throwing.
std::optional<FileError> AppendVisitRecord(const std::filesystem::path& folder,
                                           const VisitRecord& record);

// The record a line of the visit log holds, or nothing when the line is not a whole record.
// Fields it does not know are passed over.
std::optional<VisitRecord> ParseVisitRecord(std::string_view line);

struct VisitLogRead {
    std::vector<VisitRecord> records;  // in the order of the file
    std::size_t skipped = 0;           // lines that hold no whole record
    std::optional<FileError> error;    // the log is there but cannot be read
};
// The records of the visit log of the station's folder `folder`; no log gives none and no error.
VisitLogRead ReadVisitLog(const std::filesystem::path& folder);

// The station name of the copies made from the window.
inline constexpr const char* kWindowStation = "window";

// The record as its line of the log, without the line feed.
std::string CollectionRecordJson(const CollectionRecord& record);
// The record a line holds, or nothing when the line is not a whole record (cut short, garbled,
// a field of the wrong kind or missing). Fields it does not know are passed over.
std::optional<CollectionRecord> ParseCollectionRecord(std::string_view line);

// "2026-12-09T02:30:11Z", and back; nothing for any other text.
std::string UtcText(std::chrono::sys_seconds time);
std::optional<std::chrono::sys_seconds> ParseUtcText(std::string_view text);

// Appends the record to the log of `folder` (made when missing) and has it on the disk before
// returning. Earlier lines are never rewritten; a last line cut short by a run that was killed
// gets its line end first, so that it stays apart from the new one. Returns the failure instead
// of throwing.
std::optional<FileError> AppendCollectionRecord(const std::filesystem::path& folder,
                                                const CollectionRecord& record);

struct CollectionLogRead {
    std::vector<CollectionRecord> records;  // in the order of the file
    std::size_t skipped = 0;                // lines that hold no whole record
    std::optional<FileError> error;         // the log is there but cannot be read
};
// The records of the log of `folder`; no log gives none and no error.
CollectionLogRead ReadCollectionLog(const std::filesystem::path& folder);

// One line of a collection's alarm log, "alarms.jsonl" in its data folder: an alarm of a station
// raised, repeated or cleared, or a later line saying one of those was delivered. Lines are only
// ever appended: a delivery is its own line naming the event it delivered (`of`, the event's
// time, with the station, condition and `channel`), never an edit of the event's line.
struct AlarmRecord {
    std::chrono::sys_seconds time{};  // UTC, whole seconds
    std::string station;              // UTF-8
    std::string condition;            // "stale", "failures", "battery", "clock", "flags", "limits"
    std::string event;                // "raised", "repeated", "cleared" or "delivered"
    std::optional<std::chrono::sys_seconds> since;  // since when the condition holds
    std::optional<double> value;                    // what was seen
    std::optional<double> threshold;                // what it was held against
    std::optional<std::string> detail;              // the sensors concerned, UTF-8
    // Per delivery channel of an event: false until delivered, nothing for a channel not used.
    std::optional<bool> mail;
    std::optional<bool> command;
    // Of a delivery: the channel and the time of the event it delivered.
    std::optional<std::string> channel;
    std::optional<std::chrono::sys_seconds> of;

    bool operator==(const AlarmRecord&) const = default;
};

// The record as its line of the alarm log, without the line feed.
std::string AlarmRecordJson(const AlarmRecord& record);
// The record a line holds, or nothing when the line is not a whole record.
std::optional<AlarmRecord> ParseAlarmRecord(std::string_view line);
// Appends the record to the alarm log of `data` (made when missing), synced as the collection
// log is. Returns the failure instead of throwing.
std::optional<FileError> AppendAlarmRecord(const std::filesystem::path& data,
                                           const AlarmRecord& record);

struct AlarmLogRead {
    std::vector<AlarmRecord> records;  // in the order of the file
    std::size_t skipped = 0;           // lines that hold no whole record
    std::optional<FileError> error;    // the log is there but cannot be read
};
// The records of the alarm log of `data`; no log gives none and no error.
AlarmLogRead ReadAlarmLog(const std::filesystem::path& data);

}  // namespace qm
