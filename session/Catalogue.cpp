#include "session/Catalogue.h"

#include <algorithm>
#include <system_error>

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "session/ConnectionSequence.h"
#include "session/CopySession.h"
#include "store/Catalogue.h"

namespace qm {

namespace C = CommandCode;

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

bool Catalogue::CopyMustWait() const {
    return sequence_.ReadingOut() || ctx_.timers.StartTimer.Enabled() || ctx_.x.Outstanding;
}

bool Catalogue::Delete(const std::string& directory) {
    const auto request = requests::WithName(C::DeleteDirectory, directory);
    if (!request) {
        ctx_.Fail(Msg::DirectoryTooLongNotDeleted, {Cp1251ToUtf8(directory)});
        return false;
    }
    DirectoryName_ = directory;
    deleteAsked_ = directory;
    ctx_.x.Send(*request);
    return true;
}

void Catalogue::EndDelete(bool deleted) {
    if (!deleteAsked_) return;
    const std::string name = *deleteAsked_;
    deleteAsked_.reset();
    ctx_.session.Report([&](SessionEvents& e) { e.DeleteEnded(name, deleted); });
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

bool Catalogue::RequestDirectoryList(const std::string& name) {
    const auto request = requests::WithName(C::ListFirst, name);
    if (!request) {
        ctx_.Fail(Msg::DirectoryTooLong, {Cp1251ToUtf8(name)});
        return false;
    }
    DirectoryName_ = name;
    listed_.clear();
    ctx_.x.Send(*request);
    return true;
}

void Catalogue::ListingReply() {
    const Reply r = ctx_.CurrentReply();
    if (r.Status() != ReplyStatus::Complete) {
        // A refusal. A copy cannot know its files and stops with a message; the read-out's
        // listing leaves the data group hidden but gives the clock and test buttons back.
        if (copy_.ListingFiles()) {
            copy_.FailCopy(Msg::ListingRefused,
                           {QuotedName(DirectoryName_), std::to_string(r.Status())});
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
        ctx_.Warn(Msg::ListingTooLong, {QuotedName(DirectoryName_), std::to_string(held)});
    }
    if (copy_.ListingFiles()) {
        copy_.FileListingEnded();
    } else {
        std::vector<std::string> added;
        for (const std::string& name : listed_)
            if (name != kSystemDirectory) added.push_back(name);
        listed_.clear();
        directoryNames_.insert(directoryNames_.end(), added.begin(), added.end());
        ctx_.session.Report([&added](SessionEvents& e) { e.DirectoriesListed(added); });
        if (deleteAsked_)
            EndDelete(std::find(directoryNames_.begin(), directoryNames_.end(), *deleteAsked_) ==
                      directoryNames_.end());
    }
    sequence_.EndOfListing();
}

void Catalogue::ClearDirectories(bool deleted) {
    directoryNames_.clear();
    listed_.clear();
    ctx_.session.Report([deleted](SessionEvents& e) { e.DirectoriesCleared(deleted); });
}

void Catalogue::Forget() {
    DirectoryName_.clear();
    ClearDirectories(false);
}

void Catalogue::DeleteReply() {
    ClearDirectories(true);
    ListRoot();
}

Transaction::Missed Catalogue::OnMissed(std::uint8_t code, int /*attempt*/) {
    if (code == C::DeleteDirectory)
        DeleteReply();
    else
        RestartListing();
    return Missed::AskedItself;
}

bool Catalogue::OnGivenUp(std::uint8_t /*code*/, const SessionProblem& reason) {
    if (copy_.ListingFiles()) {
        copy_.FailCopy(reason);
        return true;
    }
    EndDelete(false);
    return false;
}

void Catalogue::OnReply(std::uint8_t code) {
    if (code == C::DeleteDirectory)
        DeleteReply();  // -> 64
    else
        ListingReply();  // -> 65, or the end of a listing
}

}  // namespace qm
