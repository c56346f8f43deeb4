// Copies of a directory's files into its local data-set folder: "Копировать" copies every file
// from its first line, "Новые" reopens the file where the last copy ended after the lines
// already held locally and copies the files listed after it whole.
//
// A copy can be cut at any reply (link lost, program closed, disk full). Each local file is
// therefore written beside its final name and moved over it only when the logger has sent all
// of it, and the resume record advances after each completed file: afterwards every local file
// is as it was or complete, and the record names a point up to which the local files are
// complete, so the next "Новые" copy neither skips nor repeats a line.

#include "session/CopySession.h"

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/Catalogue.h"
#include "session/CopyProgress.h"
#include "session/CopyTally.h"
#include "session/DayCopy.h"
#include "session/ProblemWords.h"
#include "session/WorkContext.h"
#include "store/Catalogue.h"
#include "store/ValueLines.h"

namespace qm {

namespace C = CommandCode;
namespace fs = std::filesystem;

template <typename F>
void CopySession::Report(F&& tell) {
    ctx_.session.Report(std::forward<F>(tell));
}

void CopySession::GuardCopy(const std::function<void()>& step) {
    try {
        step();
    } catch (const FileError& e) {
        FailCopy(FileProblem(e));
    }
}

void CopySession::FailCopy(Msg message, std::initializer_list<std::string_view> args) {
    SessionProblem p;
    p.message = message;
    for (std::string_view a : args) p.args.emplace_back(a);
    FailCopy(std::move(p));
}

void CopySession::FailCopy(SessionProblem problem) {
    NoteWhatIsDropped();
    c_.DataFile.Abandon();
    c_.DataFileOpen = false;
    c_.ListingFiles = false;
    c_.ResumeRequested = false;
    stopRequested_ = false;
    Report([](SessionEvents& e) { e.CopyStopClosed(); });
    Report([](SessionEvents& e) { e.CopyBusy(false); });
    outcome_ = Outcome::Failed;
    failure_ = problem;
    ctx_.Fail(std::move(problem));
    ctx_.timers.Timer2.Start();
}

void CopySession::Stop() {
    const bool day = day_ && day_->Active();
    const bool running = day ? outcome_ == Outcome::Running : c_.ListingFiles || c_.DataFileOpen;
    if (!running || stopRequested_ || ctx_.timers.Timer2.Enabled()) return;
    stopRequested_ = true;
    Report([](SessionEvents& e) { e.CopyStopClosed(); });
    progress_.Stopping();
    // A copy always awaits a reply; were none awaited, nothing could end it later.
    if (!ctx_.x.Outstanding) FinishStopped();
}

void CopySession::CopyStarted(CopyMode mode) {
    mode_ = mode;
    outcome_ = Outcome::Running;
    endReported_ = false;
    if (tally_) tallyAtStart_ = tally_->Totals();
    startedMs_ = ctx_.clock.SteadyMs();
    droppedFile_.clear();
    filesLeft_ = 0;
    failure_.reset();
    keptMeasurements_.reset();
    ctx_.session.Report([](SessionEvents& e) { e.CopyBegan(); });
}

// Before an unfinished copy drops its open file: which file that is, the measurements of the
// files it keeps, and the listed files it never reached.
void CopySession::NoteWhatIsDropped() {
    const bool day = day_ && day_->Active();
    if (c_.DataFileOpen) {
        droppedFile_ = PathText(c_.DataFile.FinalPath().filename());
        keptMeasurements_ = day ? 0 : countAtFileStart_;
    } else {
        keptMeasurements_ = day ? 0 : c_.MeasurementCount;
    }
    if (!day && !c_.ListingFiles && c_.CurrentFileIndex >= 1 &&
        c_.CurrentFileIndex < c_.FileNameTable.size())
        filesLeft_ = static_cast<std::int64_t>(c_.FileNameTable.size() - c_.CurrentFileIndex);
}

void CopySession::FinishStopped() {
    stopRequested_ = false;
    outcome_ = Outcome::Stopped;
    NoteWhatIsDropped();
    c_.DataFile.Abandon();
    c_.DataFileOpen = false;
    c_.ListingFiles = false;
    c_.ResumeRequested = false;
    measurementOpen_ = headerAsked_ = false;
    c_.ValueBlock.clear();
    Report([](SessionEvents& e) { e.CopyBusy(false); });
    ctx_.timers.Timer2.Start();
}

bool CopySession::UsableAsLocalFolder(const std::string& directory) {
    auto why = RefusedFolderName(directory);
    if (!why) why = RefusedBesideEntries(catalogue_.DataFolder(), directory);
    if (!why) return true;
    SessionProblem p;
    p.message = Msg::FolderNameRefused;
    p.args = {Cp1251ToUtf8(directory)};
    p.reasons = {NameProblem(*why)};
    ctx_.Fail(std::move(p));
    return false;
}

void CopySession::MakeCopyFolder() {
    DropStagingLeftovers(c_.copyFolder);
    std::error_code ec;
    if (fs::is_directory(c_.copyFolder, ec)) return;
    fs::create_directory(c_.copyFolder, ec);
    if (ec) throw FileError(Msg::FileCreateFolder, c_.copyFolder, ec);
}

void CopySession::Start(const std::string& directory, bool resume) {
    // The name becomes a local folder and travels in the listing request: check both first,
    // before anything is locked.
    if (!UsableAsLocalFolder(directory)) return;
    if (!NameFitsRequest(directory)) {
        ctx_.Fail(Msg::DirectoryTooLongNotCopied, {Cp1251ToUtf8(directory)});
        return;
    }
    // Its requests would cross the read-out's.
    if (catalogue_.CopyMustWait()) return;
    const CopyMode mode = resume ? CopyMode::New : CopyMode::All;
    Lock();
    Report([mode](SessionEvents& e) { e.CopyStarting(mode); });
    CopyStarted(mode);
    CopyState& c = c_;
    c.MeasurementCount = 0;
    stopRequested_ = false;
    progress_.BeginListing();
    c.ResumeRequested = resume;
    c.ListingFiles = true;
    c.FileNameTable.clear();
    c.copyDirectory = directory;
    c.copyFolder = DataSetFolder(catalogue_.DataFolder(), directory);
    GuardCopy([&] {
        MakeCopyFolder();
        if (resume) Report([](SessionEvents& e) { e.CopyBusy(true); });
        catalogue_.RequestDirectoryList(c.copyDirectory);
    });
}

void CopySession::FileListingEntry(const std::string& nameBytes) {
    c_.FileNameTable.push_back(nameBytes);
}

// The file names are listed: start with the first file, or with the one where the last copy
// ended.
void CopySession::FileListingEnded() {
    c_.ListingFiles = false;
    CopyState& c = c_;
    c.CurrentFileIndex = 1;
    const bool resume = c.ResumeRequested;
    c.ResumeRequested = false;
    if (c.FileNameTable.empty()) {
        Report([](SessionEvents& e) { e.CopyBusy(false); });
        CopyCompleted();
        FoundNoData();
        return;
    }
    GuardCopy([&] {
        if (!resume) {
            progress_.FilesChosen(c.FileNameTable, 1);
            CopyFilesFrom(1, false);
            return;
        }
        const ResumeRecord record = ReadResumeRecord(c.copyFolder);
        c.ResumeName = record.name;
        std::size_t i = 1;
        while (i <= c.FileNameTable.size() && c.FileNameTable[i - 1] != c.ResumeName) ++i;
        if (i > c.FileNameTable.size()) {
            // The file is gone from the logger (the directory was cleared, say): the files
            // there now are all new.
            ctx_.Warn(Msg::ResumeFileGone,
                      {Cp1251ToUtf8(c.ResumeName), Cp1251ToUtf8(c.copyDirectory)});
            progress_.FilesChosen(c.FileNameTable, 1);
            CopyFilesFrom(1, false);
            return;
        }
        progress_.FilesChosen(c.FileNameTable, i);
        const std::int64_t lines = ResumeLines(c.copyFolder, c.ResumeName, record.lines);
        c.LinesWritten = static_cast<std::int32_t>(lines);
        if (lines > 0xFFFF) {
            // Request 69 carries 16 bits of the position; a cut one would repeat or skip lines.
            ctx_.Warn(Msg::ResumeTooManyLines, {Cp1251ToUtf8(c.ResumeName), std::to_string(lines)});
            CopyFilesFrom(i, false);
            return;
        }
        CopyFilesFrom(i, true);
    });
}

// Starts the first file from `index` on whose name can be used; when none is left, the copy
// is complete.
void CopySession::CopyFilesFrom(std::size_t index, bool resumeFirst) {
    CopyState& c = c_;
    for (std::size_t i = index; i <= c.FileNameTable.size(); ++i)
        if (OpenCopyFile(i, resumeFirst && i == index)) return;
    // Every name may have been refused before a line came in; nothing is left to stop.
    Report([](SessionEvents& e) { e.CopyBusy(false); });
    Report([](SessionEvents& e) { e.CopyStopClosed(); });
    CopyCompleted();
    if (c.MeasurementCount == 0) FoundNoData();
    ctx_.timers.Timer2.Start();
}

void CopySession::NextFileOrFinish() {
    CopyFilesFrom(c_.CurrentFileIndex + 1, false);
}

bool CopySession::OpenCopyFile(std::size_t index, bool resume) {
    CopyState& c = c_;
    c.CurrentFileIndex = index;
    const std::string& name = c.FileNameTable[index - 1];
    auto why = RefusedFileName(name);
    if (!why) why = RefusedBesideEntries(c.copyFolder, name);
    if (why) {
        SessionProblem p;
        p.message = Msg::FileNameRefused;
        p.args = {Cp1251ToUtf8(name), Cp1251ToUtf8(c.copyDirectory)};
        p.reasons = {NameProblem(*why)};
        ctx_.Fail(std::move(p));
        return false;
    }
    const std::string path = c.copyDirectory + "\\" + name;
    if (!NameFitsRequest(path)) {
        ctx_.Fail(Msg::PathTooLongSkipped, {Cp1251ToUtf8(path)});
        return false;
    }
    c.RequestPath = path;
    const fs::path local = c.copyFolder / LocalName(name);
    if (resume && !NameFitsRequest(path, 2)) {
        ctx_.Warn(Msg::PathTooLongForResume, {Cp1251ToUtf8(path)});
        resume = false;
    }
    std::error_code ec;
    if (resume && !fs::exists(local, ec)) {
        ctx_.Warn(Msg::LocalCopyMissing, {Cp1251ToUtf8(name)});
        resume = false;
    }
    c.DataFile.Begin(local, resume);
    c.DataFileOpen = true;
    measurementOpen_ = headerAsked_ = false;
    countAtFileStart_ = c.MeasurementCount;
    progress_.FileOpened(index);
    if (resume) {
        RequestResumeFile();
    } else {
        c.LinesWritten = 0;
        RequestOpenFile();
    }
    return true;
}

// The logger has sent the whole file: it replaces the local one, and the resume record moves
// on to it.
void CopySession::CompleteCopyFile() {
    CopyState& c = c_;
    // Both are written out before either is put in place, so that a full disk leaves the file
    // and the record as they were. A record that lagged behind its file would make the next
    // "Новые" copy append lines the file already holds.
    const bool listed = c.CurrentFileIndex >= 1 && c.CurrentFileIndex <= c.FileNameTable.size();
    if (c.DataFile.KeptSize() > 0 && c.DataFile.Size() == c.DataFile.KeptSize()) {
        // "Новые" found nothing after the lines already held: the local file and the resume
        // record stay as they are, and nothing is counted as copied.
        c.DataFileOpen = false;
        c.DataFile.Abandon();
        return;
    }
    std::optional<StagedFile> record;
    if (listed)
        record = StageResumeRecord(c.copyFolder, c.FileNameTable[c.CurrentFileIndex - 1],
                                   c.LinesWritten);
    c.DataFileOpen = false;
    CommitDataFile();
    if (record) record->Commit();
}

bool CopySession::ResumeAfterMissedReply() {
    CopyState& c = c_;
    if (!c.DataFileOpen) return false;
    GuardCopy([&] {
        // Reopened at the measurement's header, the logger answers with that header again.
        const bool headerAgain = measurementOpen_ || headerAsked_;
        if (measurementOpen_) {
            c.DataFile.CutBack(bytesAtMeasurement_);
            c.LinesWritten = linesAtMeasurement_;
            measurementOpen_ = false;
            if (c.MeasurementCount > 0) --c.MeasurementCount;
            progress_.Recount(c.MeasurementCount);
        }
        c.ValueBlock.clear();
        if (c.LinesWritten == 0) {
            RequestOpenFile();
            return;
        }
        if (c.LinesWritten > 0xFFFF || !NameFitsRequest(c.RequestPath, 2)) {
            // Request 69 cannot carry this position: the file is copied again whole.
            const fs::path local = c.DataFile.FinalPath();
            c.DataFile.Begin(local, false);
            c.LinesWritten = 0;
            c.MeasurementCount = countAtFileStart_;
            progress_.Recount(c.MeasurementCount);
            RequestOpenFile();
            return;
        }
        headerAsked_ = headerAgain;
        if (headerAgain) ctx_.x.ExpectAnswer(headerReply_);
        RequestResumeFile();
    });
    return true;
}

void CopySession::RequestOpenFile() {
    // The path has been checked against the request's room before.
    Request r =
        requests::WithName(C::OpenFile, c_.RequestPath).value_or(Request{C::OpenFile, 0, {}});
    ctx_.x.Send(r);
}

void CopySession::RequestResumeFile() {
    ctx_.x.Send(requests::ResumeFile(c_.RequestPath, static_cast<std::uint32_t>(c_.LinesWritten)));
}

void CopySession::RequestFirstValues() {
    c_.ValueBlock.clear();
    ctx_.x.Send(requests::Plain(C::FirstValues));
}

bool CopySession::RefusedReply(std::uint8_t status) {
    if (status == ReplyStatus::Complete || status == ReplyStatus::Partial ||
        status == ReplyStatus::End)
        return false;
    if (c_.DataFileOpen || outcome_ == Outcome::Running)
        FailCopy(Msg::CopyReplyRefused, {Cp1251ToUtf8(c_.RequestPath), std::to_string(status)});
    return true;
}

// Row 66/67/69.
void CopySession::LineReply() {
    Report([](SessionEvents& e) { e.CopyBusy(false); });
    if (RefusedReply(ctx_.CurrentReply().Status())) return;
    GuardCopy([&] {
        if (day_ && day_->Active())
            day_->HandleDayLineReply();
        else
            HandleLineReply();
    });
}

void CopySession::HandleLineReply() {
    CopyState& c = c_;
    // A reply that comes when no file is being copied (late, repeated) belongs to no copy.
    if (!c.DataFileOpen) return;
    const Reply r = ctx_.CurrentReply();
    // The next request reuses the packet buffer: take everything from the reply first.
    const std::uint8_t status = r.Status();
    if (status == ReplyStatus::End) {
        CompleteCopyFile();
        NextFileOrFinish();
        return;
    }
    const std::string text = r.Text();
    const bool header = IsHeaderLine(text);
    headerAsked_ = false;
    if (header && status == ReplyStatus::Partial) {
        measurementOpen_ = true;
        linesAtMeasurement_ = c.LinesWritten;
        bytesAtMeasurement_ = c.DataFile.Size();
        headerReply_ = ctx_.x.ReplyBytes();
    }
    ++c.LinesWritten;
    c.DataFile.WriteLine(text);
    if (header) {
        CountMeasurement(text);
        if (status == ReplyStatus::Partial) RequestFirstValues();
    } else if (status == ReplyStatus::Partial) {
        ctx_.x.Send(requests::Plain(C::NextLine));
    }
    if (status == ReplyStatus::Complete) {
        CompleteCopyFile();
        NextFileOrFinish();
    }
}

// Row 71/72.
void CopySession::ValuesReply() {
    if (!c_.DataFileOpen) return;  // values that belong to no file being copied
    const std::uint8_t status = ctx_.CurrentReply().Status();
    if (RefusedReply(status)) return;
    GuardCopy([&] {
        switch (status) {
            case ReplyStatus::Complete:
                CollectValues();
                WriteValueLines();
                ctx_.x.Send(requests::Plain(C::NextLine));
                break;
            case ReplyStatus::Partial:
                CollectValues();
                ctx_.x.Send(requests::Plain(C::NextValues));
                break;
            case ReplyStatus::End:
                CollectValues();
                WriteValueLines();
                if (day_ && day_->Active()) {
                    day_->FinishDayCopy();
                } else {
                    CompleteCopyFile();
                    NextFileOrFinish();
                }
                break;
            default:
                break;
        }
    });
}

void CopySession::CollectValues() {
    const Reply r = ctx_.CurrentReply();
    const std::size_t n = r.Length() / 2;
    // A reply cut short holds fewer words than its length claims: keep only whole words that
    // arrived, rather than writing zeros the logger never sent.
    for (std::size_t i = 1; i <= n && r.Holds(2 + 2 * i); ++i) {
        c_.ValueBlock.push_back(SignedWord(r.WordLowFirst(1 + 2 * i)));
    }
}

void CopySession::WriteValueLines() {
    CopyState& c = c_;
    measurementOpen_ = false;
    c.LinesWritten += ValueLineCount(c.ValueBlock.size());
    for (const std::string& line : ValueLines(c.ValueBlock)) c.DataFile.WriteLine(line);
}

void CopySession::CountMeasurement(const std::string& header) {
    ++c_.MeasurementCount;
    progress_.Measurement(header, c_.MeasurementCount);
    const std::int64_t count = c_.MeasurementCount;
    Report([count](SessionEvents& e) { e.CopyCounted(count); });
}

void CopySession::FoundNoData() {
    Report([](SessionEvents& e) { e.CopyFoundNoData(); });
    ctx_.timers.Timer2.Start();
}

// The finishing step, one tick after the copy ended.
void CopySession::Timer2Timer() {
    ctx_.timers.Timer2.Stop();
    CloseLocalFiles();
    Report([](SessionEvents& e) { e.CopyFinishing(); });
    Unlock();
    if (day_) day_->End();
    stopRequested_ = false;
    progress_.End();
    if (outcome_ == Outcome::None || endReported_) return;
    endReported_ = true;
    const CopyResult result = SoFar();
    ctx_.session.Report([&](SessionEvents& e) { e.CopyEnded(result); });
}

CopyResult CopySession::SoFar() const {
    CopyResult result;
    result.end = outcome_ == Outcome::Complete  ? CopyResult::End::Done
                 : outcome_ == Outcome::Stopped ? CopyResult::End::Stopped
                                                : CopyResult::End::Failed;
    result.directory = c_.copyDirectory;
    result.mode = mode_;
    result.measurements = keptMeasurements_.value_or(c_.MeasurementCount);
    if (tally_) result.totals = tally_->Totals() - tallyAtStart_;
    result.seconds = static_cast<double>(ctx_.clock.SteadyMs() - startedMs_) / 1000.0;
    result.droppedFile = droppedFile_;
    result.filesLeft = filesLeft_;
    if (outcome_ == Outcome::Failed) result.problem = failure_;
    return result;
}

// Program end (or an unfinished copy at the finishing step): a file that is not complete is
// dropped, so its local copy stays as it was.
void CopySession::CloseLocalFiles() {
    c_.DataFile.Abandon();
    c_.DataFileOpen = false;
}

}  // namespace qm

namespace qm {

void CopySession::Aim(const std::string& directory, const std::string& requestPath) {
    c_.RequestPath = requestPath;
    c_.copyDirectory = directory;
    c_.copyFolder = DataSetFolder(catalogue_.DataFolder(), directory);
}

void CopySession::BeginLocalFile(const std::filesystem::path& name) {
    c_.DataFile.Begin(c_.copyFolder / name, false);
    c_.DataFileOpen = true;
}

void CopySession::CommitLocalFile() {
    if (!c_.DataFileOpen) return;
    c_.DataFileOpen = false;
    CommitDataFile();
}

void CopySession::CommitDataFile() {
    // A file carried on from an earlier copy counts with the bytes added to it.
    const std::uint64_t bytes = c_.DataFile.Size() - c_.DataFile.KeptSize();
    c_.DataFile.Commit();
    if (tally_) tally_->FileWritten(bytes);
}

bool CopySession::CopyRunning() const {
    return c_.DataFileOpen || c_.ListingFiles || locked_ || ctx_.timers.Timer2.Enabled();
}

Transaction::Missed CopySession::OnMissed(std::uint8_t /*code*/, int /*attempt*/) {
    if (tally_) tally_->Retried();
    const bool asked = day_ && day_->Active() ? day_->RestartDay() : ResumeAfterMissedReply();
    return asked ? Missed::AskedItself : Missed::GiveUp;
}

bool CopySession::OnGivenUp(std::uint8_t /*code*/, const SessionProblem& reason) {
    FailCopy(reason);
    return true;
}

void CopySession::OnReply(std::uint8_t code) {
    if (code == C::FirstValues || code == C::NextValues)
        ValuesReply();  // -> 67, 72, 66 or none
    else
        LineReply();  // -> 67, 70, 71 or none
}

}  // namespace qm
