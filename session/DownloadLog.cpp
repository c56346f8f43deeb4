#include "session/DownloadLog.h"

#include <chrono>

#include "protocol/Cp1251.h"
#include "session/Catalogue.h"
#include "session/ProblemWords.h"
#include "store/Catalogue.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm {

CollectedMode CollectedModeOf(CopyMode mode) {
    switch (mode) {
        case CopyMode::New:
            return CollectedMode::New;
        case CopyMode::Day:
            return CollectedMode::Day;
        case CopyMode::All:
            break;
    }
    return CollectedMode::All;
}

CollectionResult CollectionResultOf(CopyResult::End end) {
    switch (end) {
        case CopyResult::End::Failed:
            return CollectionResult::Failed;
        case CopyResult::End::Stopped:
            return CollectionResult::Stopped;
        case CopyResult::End::Done:
            break;
    }
    return CollectionResult::Done;
}

void DownloadLog::CopyEnded(const CopyResult& result) {
    const LoggerState& logger = ctx_.session.Logger();
    CollectionRecord r;
    r.time = ctx_.clock.UtcNow();
    r.station = station_.empty() ? kWindowStation : station_;
    if (logger.identity) {
        r.deviceType = logger.identity->deviceType;
        r.version = logger.identity->version;
    }
    r.line = LineNumber(logger.line);
    if (!logger.line.empty()) r.lineText = logger.line;
    r.batteryVolts = logger.batteryVolts;
    if (logger.clockBeforeSetting)
        r.clockOffsetSeconds = logger.clockBeforeSetting->OffsetSeconds();
    r.clockSet = logger.clockSet;
    r.mode = CollectedModeOf(result.mode);
    r.directory = Cp1251ToUtf8(result.directory);
    r.files = result.totals.files;
    r.bytes = static_cast<std::int64_t>(result.totals.bytes);
    r.measurements = result.measurements;
    r.retries = result.totals.retries;
    r.result = CollectionResultOf(result.end);
    if (result.problem) r.error = ProblemText(*result.problem, language_());
    const auto folder = DataSetFolder(catalogue_.DataFolder(), result.directory);
    if (const auto error = AppendCollectionRecord(folder, r)) {
        SessionProblem p;
        p.message = Msg::CollectionLogNotWritten;
        p.reasons = {FileProblem(*error)};
        ctx_.Warn(std::move(p));
    }
}

}  // namespace qm
