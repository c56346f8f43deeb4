#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Console.h"
#include "protocol/DateTime.h"
#include "session/LoggerState.h"
#include "session/SessionEvents.h"
#include "session/SessionWork.h"
#include "text/Language.h"

namespace qm {

// The copies of a run without a window: the logger's directories one after another, each started
// by its name, followed on the progress line, and written up as one JSON object when it ends
// ("directory", "folder", "mode", ["day",] "files", "measurements", "bytes", "seconds",
// "retries", "result", "errors", "warnings"). The run steps it after each of the session's events
// and hands it the CopyEnded event.
class DirectoryCopies {
public:
    struct Request {
        CopyMode mode = CopyMode::All;
        DateTime day{};  // of a day copy
    };
    // `progress` shows a progress line of the run's own making around the copy's text.
    DirectoryCopies(SessionWork& work, const LoggerState& logger, HeadlessServices& ops,
                    ErrorStream& err, Language language, Request request,
                    std::function<void(const std::string&)> progress);

    // Directories to copy, names as listed (Unicode), after those still waiting.
    void Add(const std::vector<std::string>& names);
    // Starts the next waiting copy that can start; the ones that cannot are written up as
    // failed. False when none is left: every copy has ended.
    bool StartNext();
    // The session's CopyEnded.
    void Ended(const CopyResult& result);
    // A step of the run: the progress line, and the copy running written up once it has
    // ended or the far end has gone (then nothing else waits). True while it runs.
    bool Step(bool linkUp);
    // Ends the copy running early, `why` among its errors, and drops those waiting.
    void Stop(const std::string& why);

    bool Running() const { return copy_.has_value(); }
    // A copy did not end done, or one could not start.
    bool Failed() const { return failed_; }
    const QJsonArray& Written() const { return written_; }
    // The logger's directories as listed, in Unicode.
    std::vector<std::string> Listed() const;

private:
    struct Copy {
        std::string directory;
        std::size_t errorsAtStart = 0;
        std::size_t warningsAtStart = 0;
        QElapsedTimer elapsed;
        bool began = false;
        std::optional<CopyResult> result;  // once it has ended
    };
    bool Start(const std::string& name);
    void WriteUp(const std::string& stopped = {});
    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, language_, args);
    }

    SessionWork& work_;
    const LoggerState& logger_;
    HeadlessServices& ops_;
    ErrorStream& err_;
    Language language_;
    Request request_;
    std::function<void(const std::string&)> progress_;
    std::deque<std::string> waiting_;
    std::optional<Copy> copy_;
    QJsonArray written_;
    bool failed_ = false;
};

// "2024-03-05T14:30:00", and its day "2024-03-05".
std::string IsoText(const DateTime& t);
std::string DayText(const DateTime& t);

}  // namespace qm
