#include "core/Catalogue.h"

#include <algorithm>
#include <system_error>

#include "core/CopySession.h"
#include "core/DirectoryView.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"
#include "store/Catalogue.h"
#include "text/Captions.h"

namespace qm {

namespace C = CommandCode;

void Catalogue::Register(Handlers& h) {
    h.OnClick("bDelete", [this] { bDeleteClick(); });
    h.OnChange("ComboBox1", [this] { ComboBox1Change(); });
}

void Catalogue::SetUpFolders(const std::filesystem::path& startFolder) {
    const auto data = startFolder / "DATA";
    std::error_code ec;
    if (std::filesystem::is_directory(data, ec) || std::filesystem::create_directory(data, ec))
        DataFolder_ = data;
    else
        DataFolder_.clear();  // copies then work relative to the start folder
}

bool Catalogue::UseDataFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) return false;
    DataFolder_ = folder;
    return true;
}

const std::string* Catalogue::SelectedDirectory() const {
    const int i = ctx_.m.ComboBox1.itemIndex;
    if (i < 0 || static_cast<std::size_t>(i) >= directoryNames_.size()) return nullptr;
    return &directoryNames_[static_cast<std::size_t>(i)];
}

bool Catalogue::CopyMustWait() const {
    return sequence_.ReadingOut() || ctx_.timers.StartTimer.Enabled() || ctx_.x.Outstanding;
}

void Catalogue::ComboBox1Change() {
    UpdateNewDataButton(ctx_.m, DataFolder_);
}

void Catalogue::bDeleteClick() {
    if (!SelectedDirectory()) return;
    if (ctx_.ops.Confirm(std::string(DeleteConfirmationText(ctx_.CurrentLanguage()))))
        DeleteSelectedDirectory();
}

void Catalogue::DeleteSelectedDirectory() {
    const std::string name = *SelectedDirectory();
    const auto request = requests::WithName(C::DeleteDirectory, name);
    if (!request) {
        ctx_.ops.ShowError(ctx_.Text(Msg::DirectoryTooLongNotDeleted, {Cp1251ToUtf8(name)}));
        return;
    }
    DirectoryName_ = name;
    deleteAsked_ = name;
    ctx_.x.Send(*request);
}

void Catalogue::EndDelete(bool deleted) {
    if (!deleteAsked_) return;
    const std::string name = *deleteAsked_;
    deleteAsked_.reset();
    ctx_.session.Report([&](SessionEvents& e) { e.DeleteEnded(name, deleted); });
}

void Catalogue::DeleteGaveUp() {
    EndDelete(false);
}

void Catalogue::ListRoot() {
    DirectoryName_.clear();
    RequestDirectoryList(DirectoryName_);
}

void Catalogue::RestartListing() {
    if (copy_.ListingFiles())
        copy_.RestartFileListing();
    else
        listed_.clear();
    RequestDirectoryList(DirectoryName_);
}

void Catalogue::RequestDirectoryList(const std::string& name) {
    const auto request = requests::WithName(C::ListFirst, name);
    if (!request) {
        ctx_.ops.ShowError(ctx_.Text(Msg::DirectoryTooLong, {Cp1251ToUtf8(name)}));
        return;
    }
    DirectoryName_ = name;
    listed_.clear();
    ctx_.x.Send(*request);
}

void Catalogue::ListingReply() {
    const Reply r = ctx_.CurrentReply();
    if (r.Status() != ReplyStatus::Complete) {
        // A refusal. A copy cannot know its files and stops with a message; the read-out's
        // listing leaves the data group hidden but gives the clock and test buttons back.
        if (copy_.ListingFiles()) {
            copy_.FailCopy(ctx_.Text(Msg::ListingRefused,
                                     {QuotedName(DirectoryName_), std::to_string(r.Status())}));
            return;
        }
        EndDelete(false);  // the listing that was to confirm it was refused
        sequence_.ListingRefused();
        return;
    }
    if (r.Data(0) != 0) {
        const std::string entry = r.Text();
        std::size_t held = 0;
        if (copy_.ListingFiles()) {
            copy_.FileListingEntry(entry);
            held = copy_.Files().FileNameTable.size();
        } else {
            listed_.push_back(entry);
            held = listed_.size();
        }
        if (held < CopySession::kMaxFileNames) {
            ctx_.x.Send(requests::Plain(C::ListNext));
            return;
        }
        // A listing that does not end is taken as far as it can be held.
        ctx_.ops.ShowWarning(
            ctx_.Text(Msg::ListingTooLong, {QuotedName(DirectoryName_), std::to_string(held)}));
    }
    if (copy_.ListingFiles()) {
        copy_.FileListingEnded();
    } else {
        for (const std::string& name : listed_)
            AddDirectoryEntry(directoryNames_, ctx_.m.ComboBox1, name);
        listed_.clear();
        DirectoryListingEnded();
        if (deleteAsked_)
            EndDelete(std::find(directoryNames_.begin(), directoryNames_.end(), *deleteAsked_) ==
                      directoryNames_.end());
    }
    sequence_.EndOfListing();
}

void Catalogue::DirectoryListingEnded() {
    WindowModel& m = ctx_.m;
    ComboBox& combo = m.ComboBox1;
    if (combo.items.empty()) {
        m.Label6.visible = true;
        m.GroupBox1.visible = false;
        ctx_.ArmSysTimer(SysTimerAction::HideNoDirectory, 3000);
        return;
    }
    m.GroupBox1.visible = true;
    combo.itemIndex = 0;
    combo.text = combo.items[0];
    UpdateNewDataButton(m, DataFolder_);
}

void Catalogue::ClearDirectories() {
    ComboBox& combo = ctx_.m.ComboBox1;
    directoryNames_.clear();
    listed_.clear();
    combo.items.clear();
    combo.itemIndex = -1;
    combo.text.clear();
}

void Catalogue::Forget() {
    ClearDirectories();
    DirectoryName_.clear();
    ctx_.m.GroupBox1.visible = false;
    UpdateNewDataButton(ctx_.m, DataFolder_);
}

void Catalogue::DeleteReply() {
    ClearDirectories();
    ++ctx_.m.ComboBox1.focusRequests;
    ListRoot();
}

void Catalogue::OnReply(std::uint8_t code) {
    if (code == C::DeleteDirectory)
        DeleteReply();  // -> 64
    else
        ListingReply();  // -> 65, or the end of a listing
}

}  // namespace qm
