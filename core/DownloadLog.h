#pragma once

#include <string>

#include "core/PartContext.h"
#include "session/SessionEvents.h"

namespace qm {

class Catalogue;

// Every copy, from the window or from a run without one, leaves a line in its data-set folder's
// collection log: when, from which station and logger, the logger's clock and battery, and what
// was copied and how it ended. A log that cannot be written is reported and the copy stands.
class DownloadLog : public SessionEvents {
public:
    DownloadLog(PartContext& ctx, const Catalogue& catalogue) : ctx_(ctx), catalogue_(catalogue) {}
    // The name the lines give the station; the window's copies are "window".
    void SetStation(std::string name) { station_ = std::move(name); }

    void CopyEnded(const CopyResult& result) override;

private:
    PartContext& ctx_;
    const Catalogue& catalogue_;
    std::string station_;
};

}  // namespace qm
