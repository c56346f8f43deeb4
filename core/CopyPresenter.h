#pragma once

#include <string>
#include <vector>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/Catalogue.h"
#include "session/CopyProgress.h"
#include "session/SessionEvents.h"

namespace qm {

// The data group as the window shows it: the logger's directories in the selector, their
// deletion once the operator confirms it, and the progress line of the running copy.
class CopyPresenter : public SessionEvents {
public:
    CopyPresenter(PartContext& ctx, Catalogue& catalogue, const CopyProgress& progress)
        : ctx_(ctx), catalogue_(catalogue), progress_(progress) {}
    void Register(Handlers& h);

    void CopyProgressed(const CopyProgressView& progress) override;
    void DirectoriesListed(const std::vector<std::string>& added) override;
    void DirectoriesCleared(bool deleted) override;

    // Words the progress line again in the window's language.
    void ShowProgress() { CopyProgressed(progress_.View()); }
    // The logger's name of the directory selected, or nothing when none is selected.
    const std::string* SelectedDirectory() const;

private:
    void bDeleteClick();

    PartContext& ctx_;
    Catalogue& catalogue_;
    const CopyProgress& progress_;
};

}  // namespace qm
