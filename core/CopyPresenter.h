#pragma once

#include "core/PartContext.h"
#include "session/CopyProgress.h"
#include "session/SessionEvents.h"

namespace qm {

// The data group's copies as the window shows them: the progress line of the running copy.
class CopyPresenter : public SessionEvents {
public:
    CopyPresenter(PartContext& ctx, const CopyProgress& progress)
        : ctx_(ctx), progress_(progress) {}

    void CopyProgressed(const CopyProgressView& progress) override;
    // Words the progress line again in the window's language.
    void ShowProgress() { CopyProgressed(progress_.View()); }

private:
    PartContext& ctx_;
    const CopyProgress& progress_;
};

}  // namespace qm
