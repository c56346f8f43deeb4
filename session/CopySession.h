#pragma once

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/CopyTally.h"
#include "session/SessionEvents.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"
#include "store/CopyState.h"

namespace qm {

class Catalogue;
class CopyProgress;
class DayCopy;

// Copies of a directory's files into its local data-set folder: "Копировать" copies every file
// from its first line, "Новые" reopens the file where the last copy ended after the lines
// already held locally and copies the files listed after it whole. It also holds what the day
// copy shares with them: the local file being written, the value blocks, the measurement count
// and the finishing step.
class CopySession : public Transaction {
public:
    CopySession(WorkContext& ctx, Catalogue& catalogue, CopyProgress& progress)
        : ctx_(ctx), catalogue_(catalogue), progress_(progress) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The logger stopped answering in the middle of a file: the copy resumes after its last
    // complete line (a day copy starts its day again); nothing to resume gives up.
    Missed OnMissed(std::uint8_t code, int attempt) override;
    // The copy fails with `reason`: the unfinished file is dropped, and the finishing step gives
    // the data group back. The resume record still names the last file that was completed.
    bool OnGivenUp(std::uint8_t code, const SessionProblem& reason) override;
    void SetDayCopy(DayCopy& day) { day_ = &day; }
    // Counts the files each copy puts in place.
    void SetTally(CopyTally& tally) { tally_ = &tally; }

    // Copies the listed directory `directory` (Windows-1251): every file from its first line, or
    // (`resume`) from where the last copy of it ended. Nothing starts, with the listeners told
    // why, when its name can be no local folder or travel in no request, and nothing while the
    // read-out or a request runs (CopyMustWait).
    void Start(const std::string& directory, bool resume);
    // Stops the running copy: it ends with the reply now awaited, which is not used. The
    // unfinished file is dropped; the files completed so far and the resume record stay, so
    // the next "Новые" carries on exactly.
    void Stop();
    // The operator has stopped the copy and its last reply is awaited.
    bool StopRequested() const { return stopRequested_; }
    // The reply awaited by a stopped copy has come, or will not come: the copy ends.
    void FinishStopped();

    // A file listing of the copy is running (rows 64/65).
    bool ListingFiles() const { return c_.ListingFiles; }
    void FileListingEntry(const std::string& nameBytes);
    void FileListingEnded();
    // A reply of the copy whose status means nothing to it (garbled, or a refusal): nothing of it
    // is written and a copy running stops with a message. False for the three statuses.
    bool RefusedReply(std::uint8_t status);
    // Rows 66/67/69 and 71/72.
    void LineReply();
    void ValuesReply();
    // The finishing step, one tick after the copy ended.
    void Timer2Timer();
    // A copy (or its finishing step) is running.
    bool CopyRunning() const;
    // How the last copy of any kind ended: every file it was to copy is in place (Complete, also
    // when there was nothing to copy), it stopped with a message (Failed), or the operator
    // stopped it (Stopped).
    enum class Outcome { None, Running, Complete, Failed, Stopped };
    Outcome LastOutcome() const { return outcome_; }
    void CopyStarted(CopyMode mode);
    // The last copy as it stands: how it ended (Failed while it runs), its measurements and
    // what it has put in place.
    CopyResult SoFar() const;
    void CopyCompleted() { outcome_ = Outcome::Complete; }
    // A listing of the copy starts over after a missed reply: the names listed so far go, and
    // the retry is counted.
    void RestartFileListing() {
        if (tally_) tally_->Retried();
        c_.FileNameTable.clear();
    }
    // How many names a listing can hold: files are counted by a 16-bit index.
    static constexpr std::size_t kMaxFileNames = 0xFFFF;
    // A local file failed or the link went: the listeners are told, the unfinished file is
    // dropped and the finishing step ends the copy.
    void FailCopy(SessionProblem problem);
    void FailCopy(Msg message, std::initializer_list<std::string_view> args = {});
    // Program end: a file that is not complete is dropped, so its local copy stays as it was.
    void CloseLocalFiles();

    // Shared with the day copy: a copy holds the data group from its start (or the day copy's
    // arming) to its finishing step.
    void Lock() { locked_ = true; }
    void Unlock() { locked_ = false; }
    // Whether a logger directory's name can be its local data-set folder; when it cannot, the
    // listeners are told why.
    bool UsableAsLocalFolder(const std::string& directory);
    // The directory and the logger path of the file to open, and the local folder.
    void Aim(const std::string& directory, const std::string& requestPath);
    void ResetCount() { c_.MeasurementCount = 0; }
    std::int32_t MeasurementCount() const { return c_.MeasurementCount; }
    void RequestOpenFile();
    void RequestFirstValues();
    // Creates the data-set folder of the running copy when it does not exist yet.
    void MakeCopyFolder();
    // Starts the local file `name` of the data-set folder, from empty.
    void BeginLocalFile(const std::filesystem::path& name);
    void WriteLine(const std::string& text) { c_.DataFile.WriteLine(text); }
    // Puts the local file in place, if one is being written.
    void CommitLocalFile();
    bool DataFileOpen() const { return c_.DataFileOpen; }
    // A measurement's header line has been written.
    void CountMeasurement(const std::string& header);
    // The copy found no measurement to copy.
    void FoundNoData();
    void GuardCopy(const std::function<void()>& step);

    // The running copy's file list, paths and counts, for tests that look at it or set it up.
    const CopyState& Files() const { return c_; }
    CopyState& StateForTest() { return c_; }

private:
    // The staged file is cut back to its last complete line or measurement and the file is
    // reopened on the logger after it. False when no file is being copied.
    bool ResumeAfterMissedReply();
    // Tells the session's listeners.
    template <typename F>
    void Report(F&& tell);
    void HandleLineReply();
    void CollectValues();
    void WriteValueLines();
    void NextFileOrFinish();
    void CopyFilesFrom(std::size_t index, bool resumeFirst);
    bool OpenCopyFile(std::size_t index, bool resume);
    void CompleteCopyFile();
    void RequestResumeFile();
    // Puts the staged local file in place and counts it.
    void CommitDataFile();

    WorkContext& ctx_;
    Catalogue& catalogue_;
    CopyProgress& progress_;
    DayCopy* day_ = nullptr;
    bool stopRequested_ = false;
    CopyMode mode_ = CopyMode::All;  // what the running (or last) copy was asked to copy
    // Between Lock and Unlock: a copy holds the data group.
    bool locked_ = false;
    CopyTally* tally_ = nullptr;
    CopyState c_;
    // Where the measurement whose values are being read began in the staged file, so that one
    // whose values did not all arrive can be dropped whole.
    bool measurementOpen_ = false;
    std::int32_t linesAtMeasurement_ = 0;
    std::uint64_t bytesAtMeasurement_ = 0;
    std::vector<std::uint8_t> headerReply_;  // the open measurement's header as it came
    bool headerAsked_ = false;               // the file was reopened at that header
    std::int32_t countAtFileStart_ = 0;
    Outcome outcome_ = Outcome::None;
    // The copy's end has been told to the session's listeners (once per copy).
    bool endReported_ = true;
    CopyTotals tallyAtStart_;
    std::int64_t startedMs_ = 0;  // PC steady clock
    // What a copy that did not complete dropped (see CopyResult), and what it kept.
    void NoteWhatIsDropped();
    std::string droppedFile_;
    std::int64_t filesLeft_ = 0;
    std::optional<SessionProblem> failure_;  // why a copy failed
    std::optional<std::int64_t> keptMeasurements_;
};

}  // namespace qm
