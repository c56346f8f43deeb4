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

// One download into a data-set folder, as the collection log keeps it: one JSON object on one
// line of "collection.jsonl". What was not learnt of the logger stays empty and is written as
// null.
struct CollectionRecord {
    std::chrono::sys_seconds time{};  // UTC, whole seconds
    std::string station;              // UTF-8; kWindowStation for the window's copies
    std::optional<int> deviceType;
    std::optional<int> version;
    std::optional<int> line;
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

}  // namespace qm
