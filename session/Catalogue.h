#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class ConnectionSequence;
class CopySession;

// The logger's data catalogue: listing its directories (rows 64/65, which also carry a copy's
// file listing), deleting a directory on the logger, and the local DATA folder the copies go to.
class Catalogue : public Transaction {
public:
    Catalogue(WorkContext& ctx, ConnectionSequence& sequence, CopySession& copy)
        : ctx_(ctx), sequence_(sequence), copy_(copy) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // A listing starts over from its first entry; a deletion is not repeated: gone or not, the
    // listing of the root shows what is left.
    Missed OnMissed(std::uint8_t code, int attempt) override;
    // A copy listing its files fails with `reason`; a deletion asked for ends undone.
    bool OnGivenUp(std::uint8_t code, const SessionProblem& reason) override;

    // Makes sure a DATA folder exists in the start folder (the working directory at start).
    void SetUpFolders(const std::filesystem::path& startFolder);
    const std::filesystem::path& DataFolder() const { return DataFolder_; }
    // Copies go to `folder` (made with its parents when missing); false when it cannot be made.
    bool UseDataFolder(const std::filesystem::path& folder);

    // Lists the logger's root directory.
    void ListRoot();
    // Lists a directory; false, and the listeners told, when its name cannot travel in a
    // request.
    bool RequestDirectoryList(const std::string& name);
    // Rows 64/65: one entry of a listing, or its end.
    void ListingReply();
    // Row 76: whatever the logger says, list the root again to show what is left.
    void DeleteReply();
    // Another logger is to be read out: the directories listed so far are not its own.
    void Forget();

    // Deletes the listed directory `directory` (Windows-1251) on the logger; the listing after it
    // tells how it ended (DeleteEnded). False, and the listeners told, when its name cannot
    // travel in a request.
    bool Delete(const std::string& directory);

    // No copy may start now, its requests would cross others: the connection's read-out has not
    // ended yet, or a request is still awaited (the line value after the read-out, a test).
    bool CopyMustWait() const;

    // Directory names in the order the logger listed them (the system directory left out).
    const std::vector<std::string>& DirectoryNames() const { return directoryNames_; }
    void SetDirectoryNames(std::vector<std::string> names) { directoryNames_ = std::move(names); }

private:
    // The listing running starts over from its first entry.
    void RestartListing();
    // Tells the listeners how the deletion asked for ended, once.
    void EndDelete(bool deleted);
    // The directory whose deletion awaits the listing after it (Windows-1251).
    std::optional<std::string> deleteAsked_;
    void ClearDirectories(bool deleted);

    WorkContext& ctx_;
    ConnectionSequence& sequence_;
    CopySession& copy_;
    // The session's list of the logger's directories.
    std::vector<std::string>& directoryNames_ = ctx_.Logger().directories;
    // Directory names of the listing running; the session's list takes them once, at its end.
    std::vector<std::string> listed_;
    std::string DirectoryName_;  // Windows-1251 bytes, as the logger lists it
    std::filesystem::path DataFolder_;
};

}  // namespace qm
