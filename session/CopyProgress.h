#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/DateTime.h"
#include "session/SessionEvents.h"
#include "session/WorkContext.h"

namespace qm {

// The progress of the running copy ("Копировать", "Новые", the day copy): which file of how
// many, the measurements so far and the time left, told to the session's listeners at every
// change (a presenter shows it in the progress line lProgress).
//
// The time left comes from what the logger tells. Monthly file names ("2024_3.dat") give the
// months still to come; the header times of the current file say how far into its month the
// copy is; the measurements copied so far and their header times give the measurements per
// hour of logger time, and the PC clock the time each measurement takes to copy. A file that
// is not named by its month counts like an average file copied so far.
class CopyProgress {
public:
    explicit CopyProgress(WorkContext& ctx) : ctx_(&ctx) {}

    // A full or "Новые" copy lists its files.
    void BeginListing();
    // The copy takes the listed files from `first` (1-based) on.
    void FilesChosen(const std::vector<std::string>& names, std::size_t first);
    // The listed file `index` (1-based) is opened on the logger.
    void FileOpened(std::size_t index);
    // A day copy of the day that starts at `day` (00:00).
    void BeginDay(DateTime day);
    // The day copy starts over from its monthly file's start after a missed reply. The
    // measurements shown stay until the new pass has copied more of them: the count only goes up.
    void RestartDay();
    // A header line has been copied; `measurements` is the copy's count with it.
    void Measurement(const std::string& headerText, std::int64_t measurements);
    // The count went back (a measurement whose values did not all arrive was dropped).
    void Recount(std::int64_t measurements);
    // The operator asked the copy to stop: it ends with the reply now awaited.
    void Stopping();
    // The copy has ended, whichever way.
    void End();

    CopyProgressView View() const;
    // Tells the listeners where the copy stands (the time left goes on as the clock runs).
    void Tell();
    // The progress line's text: the listing, file i of n with the measurements and the time
    // left on a second line, or the stop awaited.
    static std::string Caption(const CopyProgressView& view, Language language);

    // The time of a header line ("hh:mm dd.mm.yyyy", the day may be blank-padded), if it holds a
    // valid one.
    static std::optional<DateTime> HeaderTime(const std::string& text);
    // The month a file is named by ("year_month.dat", any letter case of the extension).
    static std::optional<std::pair<int, int>> MonthOfFileName(const std::string& name);
    // A duration for the progress line: "2 мин 10 с", "1 h 05 min".
    static std::string DurationText(double seconds, Language language);

private:
    struct FileSpan {
        // The logger time the file's data can cover (its month or day); an unnamed file has
        // none.
        std::optional<std::int64_t> beginMs, endMs;
    };
    // The spans of the listed files, and for each index the logger time the named files from it
    // on can cover (but the one running now) and how many files from it on are not named by
    // their months.
    void ChartFiles();
    std::optional<double> SecondsLeft() const;
    // How much of their spans data of the kind seen so far fill.
    double Fill() const;
    // Where the data of a named file are expected to end: as far into its span as data filled
    // the files copied so far, and no later than now.
    double ExpectedEndMs(const FileSpan& span) const;
    // Where the span ends, or now for the span running now.
    double SpanEndMs(const FileSpan& span) const;
    void CloseFile();

    WorkContext* ctx_;  // a pointer, so that a new copy starts from a fresh value
    bool active_ = false;
    bool listing_ = false;
    bool stopping_ = false;
    std::vector<std::string> names_;
    std::vector<FileSpan> spans_;          // by index - 1
    std::vector<std::int64_t> spanAfter_;  // by index: named files' logger time from it on
    std::vector<std::int64_t> unnamedAfter_;
    std::size_t runningFile_ = 0;  // the file whose span holds the present, 0 for none
    std::int64_t chartedMs_ = 0;   // the present, when the files were charted
    std::size_t first_ = 1;
    std::size_t current_ = 0;  // 1-based index into names_, 0 before the first file opens
    std::optional<std::int64_t> dayBeginMs_;
    std::int64_t measurements_ = 0;
    std::int64_t shownBeforeRestart_ = 0;    // the day copy's count when it last started over
    std::optional<std::int64_t> startedMs_;  // when the first file was opened (PC clock)

    // The current file: its measurements and their first and last header times.
    std::int64_t fileMeasurements_ = 0;
    std::optional<std::int64_t> fileFirstMs_, fileLastMs_;
    // Files done in this copy: the header intervals and logger time they covered, how many
    // measurements they held, and how much of their months the named ones after the copy's
    // first file filled.
    std::int64_t intervals_ = 0;
    std::int64_t coveredMs_ = 0;
    std::int64_t filesDone_ = 0;
    std::int64_t measurementsDone_ = 0;
    double fillCovered_ = 0;
    double fillSpan_ = 0;
};

}  // namespace qm
