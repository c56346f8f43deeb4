// Copies of a directory's files into its local data-set folder: "Копировать" copies every file
// from its first line, "Новые" reopens the file where the last copy ended after the lines
// already held locally and copies the files listed after it whole.
//
// A copy can be cut at any reply (link lost, program closed, disk full). Each local file is
// therefore written beside its final name and moved over it only when the logger has sent all
// of it, and the resume record advances after each completed file: afterwards every local file
// is as it was or complete, and the record names a point up to which the local files are
// complete, so the next "Новые" copy neither skips nor repeats a line.
#include <system_error>

#include <optional>

#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "store/Catalogue.h"
#include "store/ValueLines.h"
#include "ui/model/Captions.h"

namespace qm {

namespace C = CommandCode;
namespace fs = std::filesystem;

void Controller::GuardCopy(const std::function<void()>& step) {
    try {
        step();
    } catch (const FileError& e) {
        FailCopy(e.Text(IsEnglish()));
    }
}

void Controller::FailCopy(const std::string& message) {
    s_.copy.DataFile.Abandon();
    s_.copy.DataFileOpen = false;
    s_.copy.ListingFiles = false;
    s_.copy.ResumeRequested = false;
    StopBusyIndicator();
    ops_.ShowError(message);
    m_.Timer2.Start();
}

bool Controller::UsableAsLocalFolder(const std::string& directory) {
    const auto why = RefusedLocalName(directory);
    if (!why) return true;
    ops_.ShowError(Text(Msg::FolderNameRefused, {Cp1251ToUtf8(directory), why->Text(IsEnglish())}));
    return false;
}

void Controller::bAllDataClick() {
    Run([&] { StartCopy(false); });
}

void Controller::bNewDataClick() {
    Run([&] { StartCopy(true); });
}

void Controller::LockForCopy() {
    m_.bTest.enabled = false;
    m_.PageControl1.visible = false;
    m_.bClock.enabled = false;
    m_.bSynch.enabled = false;
    m_.ComboBox1.enabled = false;
    m_.Chart1.visible = false;
}

// Undoes LockForCopy; the chart stays hidden until test readings are shown again.
void Controller::UnlockAfterCopy() {
    m_.bTest.enabled = true;
    m_.TabSheet1.visible = true;
    m_.bClock.enabled = true;
    m_.bSynch.enabled = true;
    m_.ComboBox1.enabled = true;
    m_.PageControl1.visible = true;
}

void Controller::MakeCopyFolder() {
    DropStagingLeftovers(s_.copy.copyFolder);
    std::error_code ec;
    if (fs::is_directory(s_.copy.copyFolder, ec)) return;
    fs::create_directory(s_.copy.copyFolder, ec);
    if (ec) throw FileError(Msg::FileCreateFolder, s_.copy.copyFolder, ec);
}

void Controller::StartCopy(bool resume) {
    const std::string* dir = SelectedDirectory();
    if (!dir) return;
    // The name becomes a local folder and travels in the listing request: check both first,
    // before anything is locked.
    if (!UsableAsLocalFolder(*dir)) return;
    if (!NameFitsRequest(*dir)) {
        ops_.ShowError(Text(Msg::DirectoryTooLongNotCopied, {Cp1251ToUtf8(*dir)}));
        return;
    }
    LockForCopy();
    CopyState& c = s_.copy;
    c.MeasurementCount = 0;
    for (Button* b : {&m_.bAllData, &m_.bNewData, &m_.bSelect, &m_.bDelete}) b->enabled = false;
    c.ResumeRequested = resume;
    c.ListingFiles = true;
    c.FileNameTable.clear();
    c.copyDirectory = *dir;
    c.copyFolder = DataSetFolder(s_.DataFolder, *dir);
    GuardCopy([&] {
        MakeCopyFolder();
        if (resume) StartBusyIndicator();
        s_.DirectoryName = c.copyDirectory;
        RequestDirectoryList(s_.DirectoryName);
    });
}

void Controller::FileListingEntry(const std::string& nameBytes) {
    s_.copy.FileNameTable.push_back(nameBytes);
}

// The file names are listed: start with the first file, or with the one where the last copy
// ended.
void Controller::FileListingEnded() {
    CopyState& c = s_.copy;
    c.CurrentFileIndex = 1;
    const bool resume = c.ResumeRequested;
    c.ResumeRequested = false;
    if (c.FileNameTable.empty()) {
        StopBusyIndicator();
        ShowNoData();
        return;
    }
    GuardCopy([&] {
        if (!resume) {
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
            ops_.ShowWarning(Text(Msg::ResumeFileGone,
                                  {Cp1251ToUtf8(c.ResumeName), Cp1251ToUtf8(c.copyDirectory)}));
            CopyFilesFrom(1, false);
            return;
        }
        const std::int64_t lines = ResumeLines(c.copyFolder, c.ResumeName, record.lines);
        c.LinesWritten = static_cast<std::int32_t>(lines);
        if (lines > 0xFFFF) {
            // Request 69 carries 16 bits of the position; a cut one would repeat or skip lines.
            ops_.ShowWarning(
                Text(Msg::ResumeTooManyLines, {Cp1251ToUtf8(c.ResumeName), std::to_string(lines)}));
            CopyFilesFrom(i, false);
            return;
        }
        CopyFilesFrom(i, true);
    });
}

// Starts the first file from `index` on whose name can be used; when none is left, the copy
// is complete.
void Controller::CopyFilesFrom(std::size_t index, bool resumeFirst) {
    CopyState& c = s_.copy;
    for (std::size_t i = index; i <= c.FileNameTable.size(); ++i)
        if (OpenCopyFile(i, resumeFirst && i == index)) return;
    StopBusyIndicator();  // every name may have been refused before a line came in
    if (c.MeasurementCount == 0) ShowNoData();
    m_.Timer2.Start();
}

void Controller::NextFileOrFinish() {
    CopyFilesFrom(s_.copy.CurrentFileIndex + 1, false);
}

bool Controller::OpenCopyFile(std::size_t index, bool resume) {
    CopyState& c = s_.copy;
    c.CurrentFileIndex = index;
    const std::string& name = c.FileNameTable[index - 1];
    if (const auto why = RefusedFileName(name)) {
        ops_.ShowError(
            Text(Msg::FileNameRefused,
                 {Cp1251ToUtf8(name), Cp1251ToUtf8(c.copyDirectory), why->Text(IsEnglish())}));
        return false;
    }
    const std::string path = c.copyDirectory + "\\" + name;
    if (!NameFitsRequest(path)) {
        ops_.ShowError(Text(Msg::PathTooLongSkipped, {Cp1251ToUtf8(path)}));
        return false;
    }
    c.RequestPath = path;
    const fs::path local = c.copyFolder / LocalName(name);
    if (resume && !NameFitsRequest(path, 2)) {
        ops_.ShowWarning(Text(Msg::PathTooLongForResume, {Cp1251ToUtf8(path)}));
        resume = false;
    }
    std::error_code ec;
    if (resume && !fs::exists(local, ec)) {
        ops_.ShowWarning(Text(Msg::LocalCopyMissing, {Cp1251ToUtf8(name)}));
        resume = false;
    }
    c.DataFile.Begin(local, resume);
    c.DataFileOpen = true;
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
void Controller::CompleteCopyFile() {
    CopyState& c = s_.copy;
    // Both are written out before either is put in place, so that a full disk leaves the file
    // and the record as they were. A record that lagged behind its file would make the next
    // "Новые" copy append lines the file already holds.
    const bool listed = c.CurrentFileIndex >= 1 && c.CurrentFileIndex <= c.FileNameTable.size();
    std::optional<StagedFile> record;
    if (listed)
        record = StageResumeRecord(c.copyFolder, c.FileNameTable[c.CurrentFileIndex - 1],
                                   c.LinesWritten);
    c.DataFileOpen = false;
    c.DataFile.Commit();
    if (record) record->Commit();
}

void Controller::RequestOpenFile() {
    const auto count = BuildNameRequest(s_.PacketBuffer, C::OpenFile, s_.copy.RequestPath);
    s_.CurrentCommand = C::OpenFile;
    s_.SendCount = count.value_or(0);
    SendPacket();
}

void Controller::RequestResumeFile() {
    const std::string& path = s_.copy.RequestPath;
    const auto lines = static_cast<std::uint32_t>(s_.copy.LinesWritten);
    PacketBuffer& b = s_.PacketBuffer;
    b[1] = static_cast<std::uint8_t>(path.size() + 5);
    b[2] = 0;
    b[3] = C::ResumeFile;
    b[4] = static_cast<std::uint8_t>(lines & 0xFF);
    b[5] = static_cast<std::uint8_t>((lines >> 8) & 0xFF);
    for (std::size_t i = 0; i < path.size(); ++i) b[6 + i] = static_cast<std::uint8_t>(path[i]);
    b[6 + path.size()] = 0;
    s_.CurrentCommand = C::ResumeFile;
    s_.SendCount = static_cast<int>(path.size() + 7);
    SendPacket();
}

void Controller::RequestFirstValues() {
    s_.copy.ValueBlock.clear();
    SendCommand(C::FirstValues);
}

// Row 66/67/69.
void Controller::LineReply() {
    StopBusyIndicator();
    GuardCopy([&] {
        if (s_.copy.DayCopyMode)
            HandleDayLineReply();
        else
            HandleLineReply();
    });
}

void Controller::HandleLineReply() {
    CopyState& c = s_.copy;
    // A reply that comes when no file is being copied (late, repeated) belongs to no copy.
    if (!c.DataFileOpen) return;
    const Reply r = CurrentReply();
    // The next request reuses the packet buffer: take everything from the reply first.
    const std::uint8_t status = r.Status();
    if (status == ReplyStatus::End) {
        CompleteCopyFile();
        NextFileOrFinish();
        return;
    }
    const std::string text = r.Text();
    ++c.LinesWritten;
    c.DataFile.WriteLine(text);
    if (IsHeaderLine(text)) {
        CountMeasurement();
        if (status == ReplyStatus::Partial) RequestFirstValues();
    } else if (status == ReplyStatus::Partial) {
        SendCommand(C::NextLine);
    }
    if (status == ReplyStatus::Complete) {
        CompleteCopyFile();
        NextFileOrFinish();
    }
}

// Row 71/72.
void Controller::ValuesReply() {
    if (!s_.copy.DataFileOpen) return;  // values that belong to no file being copied
    const std::uint8_t status = CurrentReply().Status();
    GuardCopy([&] {
        switch (status) {
            case ReplyStatus::Complete:
                CollectValues();
                WriteValueLines();
                SendCommand(C::NextLine);
                break;
            case ReplyStatus::Partial:
                CollectValues();
                SendCommand(C::NextValues);
                break;
            case ReplyStatus::End:
                CollectValues();
                WriteValueLines();
                if (s_.copy.DayCopyMode) {
                    FinishDayCopy();
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

void Controller::CollectValues() {
    const Reply r = CurrentReply();
    const std::size_t n = r.Length() / 2;
    // A reply cut short holds fewer words than its length claims: keep only whole words that
    // arrived, rather than writing zeros the logger never sent.
    for (std::size_t i = 1; i <= n && r.Holds(2 + 2 * i); ++i) {
        s_.copy.ValueBlock.push_back(SignedWord(r.WordLowFirst(1 + 2 * i)));
    }
}

void Controller::WriteValueLines() {
    CopyState& c = s_.copy;
    c.LinesWritten += ValueLineCount(c.ValueBlock.size());
    for (const std::string& line : ValueLines(c.ValueBlock)) c.DataFile.WriteLine(line);
}

void Controller::CountMeasurement() {
    ++s_.copy.MeasurementCount;
    Label& l = m_.lMeasureCounter;
    l.caption =
        std::string(MeasurementsCaption(IsEnglish())) + std::to_string(s_.copy.MeasurementCount);
    l.visible = true;
    l.fontColour = Colour::Red;
}

void Controller::ShowNoData() {
    Label& l = m_.lMeasureCounter;
    l.caption = NoDataCaption(IsEnglish());
    l.visible = true;
    l.fontColour = Colour::Red;
    m_.Timer2.Start();
}

// The finishing step, one tick after the copy ended.
void Controller::Timer2Timer() {
    m_.Timer2.Stop();
    CloseLocalFiles();
    m_.lMeasureCounter.visible = false;
    m_.bSelect.visible = true;
    m_.bCopy.visible = false;
    m_.bCancel.visible = false;
    m_.bDelete.visible = true;
    m_.bDelete.enabled = true;
    m_.DateData.visible = false;
    m_.bNewData.visible = true;
    m_.bAllData.visible = true;
    m_.bSelect.enabled = true;
    m_.bAllData.enabled = true;
    // "Новые" only where there is a record to resume from.
    UpdateNewDataButton(m_, s_.DataFolder);
    UnlockAfterCopy();
    m_.bCancel.enabled = true;
    s_.copy.DayCopyMode = false;
}

// Program end (or an unfinished copy at the finishing step): a file that is not complete is
// dropped, so its local copy stays as it was.
void Controller::CloseLocalFiles() {
    s_.copy.DataFile.Abandon();
    s_.copy.DataFileOpen = false;
}

}  // namespace qm
