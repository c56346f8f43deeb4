#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DateTime.h"
#include "text/Language.h"

namespace qm {

// The copied data files of one data-set folder, read back as a time series. Nothing in a file is
// trusted: a line the reader cannot make sense of is reported with its file and line number and
// skipped, and the rest of the file is still read.

// One measurement: its time (to the minute), the free text of its header after the date, and
// where its values lie in the data set's value pool.
struct Measurement {
    DateTime time;
    std::string text;  // UTF-8
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint32_t file = 0;  // index into DataSet::files
    std::uint32_t line = 0;  // of its header
};

// Why a line was skipped or only partly used.
enum class ReadProblem {
    BadHeader,       // ':' third, but no readable time and date
    NoMonthAndYear,  // the header has no month and year, and the file name gives none
    ValuesWithoutHeader,
    DamagedValueLine,  // a value line with a field that is no value, or off the layout of fields;
                       // what cannot be read is counted as missing
    StrayLine,         // no value line, between value lines of a measurement; skipped
    ShortValueLine,    // fewer than five values before more value lines; the rest counted missing
    LongValueLine,     // more than five values in one line; counted as five missing
    TooManyValues,     // a measurement with more values than any logger has sensors
    SameTimeDiffers,   // two different measurements at the same time; both kept
    FileTooLarge,
    Unreadable,
};

struct ReadIssue {
    std::filesystem::path file;
    std::size_t line = 0;  // 1-based; 0 for the whole file
    ReadProblem problem = ReadProblem::BadHeader;
};

// One line of text for an issue: "2024_3.dat:17: ...", in either language (UTF-8).
std::string IssueText(const ReadIssue& issue, Language language);

struct DataSet {
    std::vector<Measurement> measurements;     // in time order
    std::vector<std::int32_t> values;          // hundredths; kMissingValue for no value
    std::size_t sensorCount = 0;               // the largest value count of any measurement
    std::vector<std::filesystem::path> files;  // as issues name them, in reading order
    std::vector<ReadIssue> issues;             // at most kIssueLimit kept
    std::size_t issueCount = 0;                // all of them, also those not kept

    std::span<const std::int32_t> ValuesOf(const Measurement& m) const {
        return std::span<const std::int32_t>(values).subspan(m.first, m.count);
    }
    // Value of sensor s (0-based) of measurement i, kMissingValue when it has none.
    std::int32_t Value(std::size_t i, std::size_t s) const;
};

inline constexpr std::size_t kIssueLimit = 1000;
// More values in one measurement than this are not a logger's (its readings are numbered in a
// byte); the rest of such a block is dropped.
inline constexpr std::size_t kMaxSensors = 255;
// A data file larger than this is no copy of a logger file.
inline constexpr std::uintmax_t kMaxDataFileBytes = 256u * 1024u * 1024u;

// Month and year (and, for a day file, the day) that a file's name gives its headers.
struct FileDate {
    int year = 0;
    int month = 0;
    int day = 0;  // 0: a monthly file
};
// "year_month.dat" or "year_month_day.dat"; nothing for any other name.
std::optional<FileDate> FileDateOf(std::string_view fileName);

// Reads the text of one data file into `set` (appending; call Finish when all files are in).
// `name` is the file's name as issues report it; `date` what the name gives.
void ReadDataText(std::string_view text, const std::filesystem::path& name,
                  std::optional<FileDate> date, DataSet& set);
// Puts the measurements in time order and keeps a measurement that two files hold once.
void Finish(DataSet& set);

// Reads a data-set folder (every ".dat" file in it) or a single data file. Throws FileError when
// the path does not exist or cannot be listed; a file that cannot be read is an issue.
DataSet ReadDataSet(const std::filesystem::path& folderOrFile);

}  // namespace qm
