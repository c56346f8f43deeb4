#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/Catalogue.h"
#include "session/CopyProgress.h"
#include "session/CopySession.h"
#include "session/DayCopy.h"
#include "session/SessionEvents.h"

namespace qm {

// The data group as the window shows it: the logger's directories in the selector, their
// deletion once the operator confirms it, the copies of the selected directory (all, new, one
// day) and while one runs the locked controls, the busy bar, the count and the progress line.
class CopyPresenter : public SessionEvents {
public:
    CopyPresenter(PartContext& ctx, Catalogue& catalogue, CopySession& copy, DayCopy& day,
                  const CopyProgress& progress)
        : ctx_(ctx), catalogue_(catalogue), copy_(copy), day_(day), progress_(progress) {}
    void Register(Handlers& h);

    void CopyProgressed(const CopyProgressView& progress) override;
    void DirectoriesListed(const std::vector<std::string>& added) override;
    void DirectoriesCleared(bool deleted) override;
    void CopyStarting(CopyMode mode) override;
    void CopyBusy(bool busy) override;
    void CopyStopClosed() override { ctx_.m.bStop.enabled = false; }
    void CopyCounted(std::int64_t measurements) override;
    void CopyFoundNoData() override;
    void CopyFinishing() override;

    // Words the progress line again in the window's language.
    void ShowProgress() { CopyProgressed(progress_.View()); }
    // The logger's name of the directory selected, or nothing when none is selected.
    const std::string* SelectedDirectory() const;

private:
    void bDeleteClick();
    void bSelectClick();
    void bCancelClick();
    // The controls a copy holds, and their release; the chart stays hidden after it until test
    // readings are shown again.
    void Lock();
    void Unlock();

    PartContext& ctx_;
    Catalogue& catalogue_;
    CopySession& copy_;
    DayCopy& day_;
    const CopyProgress& progress_;
};

}  // namespace qm
