#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/Transaction.h"

namespace qm {

class ConnectionSequence;
class CopySession;

// The logger's data catalogue: listing its directories (rows 64/65, which also carry a copy's
// file listing), the selected directory, and deleting a directory on the logger.
class Catalogue : public Transaction {
public:
    Catalogue(PartContext& ctx, ConnectionSequence& sequence, CopySession& copy)
        : ctx_(ctx), sequence_(sequence), copy_(copy) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    // Makes sure a DATA folder exists in the start folder (the working directory at start).
    void SetUpFolders(const std::filesystem::path& startFolder);
    const std::filesystem::path& DataFolder() const { return DataFolder_; }
    // Copies go to `folder` (made with its parents when missing); false when it cannot be made.
    bool UseDataFolder(const std::filesystem::path& folder);

    // Lists the logger's root directory.
    void ListRoot();
    // Lists a directory; the operator is told when its name cannot travel in a request.
    void RequestDirectoryList(const std::string& name);
    // Rows 64/65: one entry of a listing, or its end.
    void ListingReply();
    // Row 76: whatever the logger says, list the root again to show what is left.
    void DeleteReply();
    // The listing running starts over from its first entry.
    void RestartListing();
    // Another logger is to be read out: the directories listed so far are not its own, and the
    // data group waits for its listing.
    void Forget();

    void ComboBox1Change();
    void bDeleteClick();
    // The selected directory is deleted as bDelete does once confirmed.
    void DeleteWithoutAsking() { DeleteSelectedDirectory(); }
    // The deletion's request or its listing went unanswered.
    void DeleteGaveUp();

    // No copy may start now, its requests would cross others: the connection's read-out has not
    // ended yet, or a request is still awaited (the line value after the read-out, a test).
    bool CopyMustWait() const;

    // The logger's name of the selected directory, or nothing when none is selected.
    const std::string* SelectedDirectory() const;
    // Directory names in the order the logger listed them, parallel to ComboBox1's items (which
    // show them in Unicode).
    const std::vector<std::string>& DirectoryNames() const { return directoryNames_; }
    void SetDirectoryNames(std::vector<std::string> names) { directoryNames_ = std::move(names); }

private:
    void DeleteSelectedDirectory();
    // Tells the listeners how the deletion asked for ended, once.
    void EndDelete(bool deleted);
    // The directory whose deletion awaits the listing after it (Windows-1251).
    std::optional<std::string> deleteAsked_;
    void ClearDirectories();
    void DirectoryListingEnded();

    PartContext& ctx_;
    ConnectionSequence& sequence_;
    CopySession& copy_;
    // The session's list of the logger's directories.
    std::vector<std::string>& directoryNames_ = ctx_.session.MutableLogger().directories;
    // Directory names of the listing running; the selector takes them once, at its end.
    std::vector<std::string> listed_;
    std::string DirectoryName_;  // Windows-1251 bytes, as the logger lists it
    std::filesystem::path DataFolder_;
};

}  // namespace qm
