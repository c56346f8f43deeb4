#include "core/CopyPresenter.h"

namespace qm {

void CopyPresenter::CopyProgressed(const CopyProgressView& progress) {
    Label& l = ctx_.m.lProgress;
    l.visible = progress.active;
    if (!progress.active) return;
    l.caption = CopyProgress::Caption(progress, ctx_.CurrentLanguage());
}

}  // namespace qm
