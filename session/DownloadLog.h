#pragma once

#include <functional>
#include <string>

#include "session/SessionEvents.h"
#include "session/WorkContext.h"
#include "store/CollectionLog.h"

namespace qm {

class Catalogue;

// How a copy's mode and end are kept in the collection log (and worded wherever a copy is told).
CollectedMode CollectedModeOf(CopyMode mode);
CollectionResult CollectionResultOf(CopyResult::End end);

// Every copy, from the window or from a run without one, leaves a line in its data-set folder's
// collection log: when, from which station and logger, the logger's clock and battery, and what
// was copied and how it ended. A log that cannot be written is reported and the copy stands.
class DownloadLog : public SessionEvents {
public:
    // The error of a copy that failed is written in the language `language` gives at its end.
    DownloadLog(WorkContext& ctx, const Catalogue& catalogue, std::function<Language()> language)
        : ctx_(ctx), catalogue_(catalogue), language_(std::move(language)) {}
    // The name the lines give the station; the window's copies are "window".
    void SetStation(std::string name) { station_ = std::move(name); }

    void CopyEnded(const CopyResult& result) override;

private:
    WorkContext& ctx_;
    const Catalogue& catalogue_;
    std::function<Language()> language_;
    std::string station_;
};

}  // namespace qm
