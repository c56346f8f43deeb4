#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "text/Messages.h"

namespace qm {

// A local file operation failed: what failed (a message of the text table), on which path and
// why. what() is the English text; the operator sees Text() in the language chosen.
class FileError : public std::runtime_error {
public:
    FileError(Msg what, std::filesystem::path path, std::error_code reason = {});
    std::string Text(Language language) const;
    Msg What() const { return what_; }
    const std::filesystem::path& Path() const { return path_; }
    std::error_code Reason() const { return reason_; }

private:
    Msg what_;
    std::filesystem::path path_;
    std::error_code reason_;
};

// A path shown to the operator (UTF-8).
std::string PathText(const std::filesystem::path& path);
// A path from UTF-8 text, the same on every platform, in the system's separators.
std::filesystem::path Utf8Path(const std::string& utf8);

// Why a name that came from the logger may not become a local file or folder name.
struct RefusedName {
    Msg reason;
    char character = 0;  // the character refused, for Msg::NameCharacter
    std::string Text(Language language) const;
};
// Why the name may not become a local name, or nothing when it is safe: it must stay one plain
// name inside its folder (no separators, no "." or "..", no drive or root, nothing the file
// systems refuse, not empty).
std::optional<RefusedName> RefusedLocalName(const std::string& nameBytes);
// The same rules for a name the operator wrote (UTF-8), such as a station's folder name.
std::optional<RefusedName> RefusedUtf8Name(const std::string& utf8);

// The same for a logger file name, which also may not be one of the program's own names in its
// data-set folder (kOwnNames), in any letter case: Windows takes "TEMP.BIN" for "Temp.bin".
std::optional<RefusedName> RefusedFileName(const std::string& nameBytes);

// Windows gives a long name a short alias ("LONGFI~1.DAT") and opens the file by it too.
#ifdef _WIN32
inline constexpr bool kShortAliases = true;
#else
inline constexpr bool kShortAliases = false;
#endif

// Whether Windows may have given `longName` the short alias `alias`: the alias is a base of up
// to eight characters ending in "~" and a number, with an extension of up to three; its
// characters before the "~" are the first ones of the long name's base (blanks and dots dropped,
// letters in upper case, "+,;=[]" as "_"), or its first two and four hexadecimal digits (the
// hashed kind), and its extension the first three of the long name's. A character outside
// ASCII may stand for any such one or "_". In doubt the answer is yes.
bool MayBeShortAliasOf(const std::filesystem::path& alias, const std::filesystem::path& longName);

// Why the logger name `nameBytes` may not become a name in `folder` because of what the folder
// holds already: where names have short aliases, one that may be the alias of another entry
// would open that entry. Nothing when it is safe (or the folder is not there yet).
std::optional<RefusedName> RefusedBesideEntries(const std::filesystem::path& folder,
                                                const std::string& nameBytes,
                                                bool shortAliases = kShortAliases);

// The local name of a logger name (Windows-1251 bytes), in Unicode.
std::filesystem::path LocalName(const std::string& nameBytes);

// The folder inside a data-set folder where new content is written until it is complete. No
// logger file may take its name, so nothing the logger lists can land on a staging file.
inline constexpr const char* kStagingFolderName = ".qmc-staging";

// A local file that is written in the staging folder beside its final name and moved over it
// only when complete, so that the final file is always either as it was before or complete.
// Lines go through a buffered stream; nothing is flushed per line. Before the move the new
// content is synced to the disk, and after it the folder, so that a later move (the resume
// record's) never reaches the disk before this one.
class StagedFile {
public:
    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept { *this = std::move(other); }
    StagedFile& operator=(StagedFile&& other) noexcept;
    ~StagedFile() { Abandon(); }

    // Starts the new content of `finalPath`. With `keepExisting`, the bytes the final file holds
    // now are copied in first and new lines follow them (a missing final file gives none).
    void Begin(const std::filesystem::path& finalPath, bool keepExisting);
    // One line as the logger sent it, ended by CR LF.
    void WriteLine(std::string_view bytes);
    // Bytes as they are, with no line end added (a whole text file the program makes).
    void Write(std::string_view bytes);
    // Bytes of new content so far (kept lines included).
    std::uint64_t Size() const;
    // Of those, the bytes kept from the final file by Begin.
    std::uint64_t KeptSize() const { return out_ ? kept_ : 0; }
    // Drops the new content after its first `size` bytes: the lines of a step that did not end.
    void CutBack(std::uint64_t size);
    // Writes everything out and closes the new content; it replaces the final file on Commit.
    void Close();
    // Writes everything out and moves the new content over the final file.
    void Commit();
    // Drops the new content; the final file stays as it was.
    void Abandon() noexcept;

    // New content is being written or waits for Commit.
    bool IsOpen() const { return pending_; }
    const std::filesystem::path& FinalPath() const { return final_; }
    // The name of the new content while it is being written: the final name in the staging
    // folder of the final file's folder.
    static std::filesystem::path StagingPath(const std::filesystem::path& finalPath);

private:
    [[noreturn]] void Fail(Msg what, int err);
    std::unique_ptr<std::ofstream> out_;
    std::unique_ptr<char[]> buffer_;
    std::filesystem::path final_;
    std::uint64_t kept_ = 0;
    std::filesystem::path staging_;
    bool pending_ = false;
    std::uint64_t size_ = 0;
};

// The resume record of a data-set folder: the logger file name where the last full or "Новые"
// copy ended and the number of lines its local copy holds.
struct ResumeRecord {
    std::string name;  // Windows-1251 bytes
    std::int64_t lines = 0;
};
inline constexpr const char* kResumeRecordName = "Temp.bin";

// The log of the network collection and the sensor table a data set may carry.
inline constexpr const char* kCollectionLogName = "collection.jsonl";
inline constexpr const char* kSensorTableName = "sensors.csv";
// The folder where a data set's rows wait until the archive has taken them.
inline constexpr const char* kOutboxFolderName = ".qmc-outbox";
// The names the program itself keeps in a data-set folder: no logger file may take one.
inline constexpr const char* kOwnNames[] = {
    kResumeRecordName, kStagingFolderName, kCollectionLogName, kSensorTableName, kOutboxFolderName};
// The visit log a station's folder keeps beside the folders of its data sets.
inline constexpr const char* kVisitLogName = "visits.jsonl";
// Why the logger directory `nameBytes` may not become a data-set folder: the rules of a local
// name, and not the name of the visit log beside it, in any letter case.
std::optional<RefusedName> RefusedFolderName(const std::string& nameBytes);

// The files the collection keeps in a data folder beside the stations' folders, and the folder
// it stages them in: no station may take one of their names, in any letter case.
inline constexpr const char* kStatusJsonName = "status.json";
inline constexpr const char* kStatusHtmlName = "status.html";
inline constexpr const char* kAlarmLogName = "alarms.jsonl";
inline constexpr const char* kServeLockName = ".qmc-serve.lock";
inline constexpr const char* kCollectionOwnNames[] = {
    kStatusJsonName, kStatusHtmlName, kAlarmLogName, kServeLockName, kStagingFolderName};
// Why the station name `utf8` may not become its folder in a data folder: the rules of a name
// the operator wrote, and none of kCollectionOwnNames.
std::optional<RefusedName> RefusedStationName(const std::string& utf8);

// Reads the record's text: the first line, whole (the copy keeps listed names whole, and the
// record must name the same file), then the number on the next line (blanks and line ends
// before it are skipped). Nothing when there is no such number.
std::optional<ResumeRecord> ParseResumeRecord(std::string_view text);
// Reads "Temp.bin" of `folder`; throws FileError when it is missing or unreadable.
ResumeRecord ReadResumeRecord(const std::filesystem::path& folder);
// The new content of "Temp.bin" of `folder`, written out beside it; Commit puts it in place.
StagedFile StageResumeRecord(const std::filesystem::path& folder, const std::string& name,
                             std::int64_t lines);
// Replaces "Temp.bin" of `folder` in one step (written beside it, then renamed over it).
void WriteResumeRecord(const std::filesystem::path& folder, const std::string& name,
                       std::int64_t lines);

// The lines a local data file holds, counted as the resume record counts them: a text line one,
// the values of a measurement the lines they fill and at least one. An empty value block leaves
// no line behind, so a header line followed by a line that is not a value line counts for two;
// after a header that ends the file nothing tells an empty block from none, so both counts are
// given: `low` without one, `high` with one.
struct CountedLines {
    std::int64_t low = 0;
    std::int64_t high = 0;
};
CountedLines CountLinesAsRecorded(std::string_view fileText);

// Where a "Новые" copy reopens the file `nameBytes` of `folder` whose record says `recorded`.
// The file and the record are moved into place one after the other, so a crash between the two
// leaves one of them behind the other: when the record disagrees with the local file, the
// local file wins, since it is complete and is what the new lines are appended to. The record
// stands when the file is missing or its name is refused (the copy handles both). Throws
// FileError when the file cannot be read.
std::int64_t ResumeLines(const std::filesystem::path& folder, const std::string& nameBytes,
                         std::int64_t recorded);

// Drops what a copy that ended abruptly left in the staging folder of `folder`.
void DropStagingLeftovers(const std::filesystem::path& folder);

// The whole content of a file; throws FileError.
std::string ReadWholeFile(const std::filesystem::path& path);

// The lines of the Bluetooth device list, read the way the list is loaded: every line counts,
// the last one also without a line end, and an empty file gives one empty line.
std::vector<std::string> DeviceListLines(std::string_view text);
inline constexpr std::size_t kBluetoothListSize = 8;

}  // namespace qm
