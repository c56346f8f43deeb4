#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "collect/StationsFile.h"
#include "protocol/DateTime.h"
#include "session/Session.h"
#include "session/SessionEvents.h"
#include "session/SessionWork.h"
#include "text/Language.h"
#include "text/Messages.h"

namespace qm {

// A line of a visit for the operator: a text of the table with its parameters, worded by whoever
// shows it in the language it shows.
struct VisitMessage {
    VisitMessage() = default;
    VisitMessage(Msg id, std::vector<std::string> parameters)
        : message(id), args(std::move(parameters)) {}
    // What the session reported, with its nested reasons, worded as a whole.
    explicit VisitMessage(const SessionProblem& p) : message(p.message), args(p.args), problem(p) {}

    Msg message = Msg::InternalError;
    std::vector<std::string> args;
    std::optional<SessionProblem> problem;

    std::string Text(Language language) const;
};

// One directory copied by a visit.
struct VisitCopy {
    std::string directory;         // Unicode, as asked
    std::filesystem::path folder;  // its data-set folder, absolute where it can be made so
    // As it ran (a "new" copy of a directory never copied before runs whole), or as asked when
    // it never began.
    CopyMode mode = CopyMode::All;
    std::optional<DateTime> day;  // of a day copy
    bool began = false;
    // How it ended, as its line in the collection log says; none when it never began.
    std::optional<CopyResult::End> ended;
    // What it put in place: as the session ended it, or as it stood when cut.
    CopyResult result;
    std::int64_t elapsedMs = 0;
    // Began, ended Done and nothing went wrong.
    bool done = false;
    std::vector<VisitMessage> errors;
    std::vector<VisitMessage> warnings;
};

// What a visit did and learnt, as data: whoever ran it writes it up.
struct VisitResult {
    bool tried = true;
    bool reached = false;  // the logger was identified
    // Its read-out ended and the visit's own work (clock, copies) began.
    bool readOut = false;
    // Reached, and nothing it was to do failed.
    bool collected = false;
    // The run's time limit ended it.
    bool timeRanOut = false;
    // What the visit learnt of the logger, as it ended.
    LoggerState logger;
    // The clock as read before it was set, and its offsets before and after a setting by the
    // visit (after: only when it was set and read back).
    std::optional<ClockReading> clockBefore;
    std::optional<std::int64_t> offsetBefore;
    std::optional<std::int64_t> offsetAfter;
    // A setting of the clock was asked and has ended (taken, refused or unanswered).
    bool clockSetEnded = false;
    // The copies ran (possibly none, with no directory to copy), each as it ended.
    bool copiesRan = false;
    bool copiesFailed = false;
    std::vector<VisitCopy> copies;
    // What the session reported gone wrong and warned of, in order, and where the clock's
    // setting and the copies began among its errors.
    std::vector<VisitMessage> sessionErrors;
    std::vector<VisitMessage> sessionWarnings;
    std::size_t errorsBeforeClockSet = 0;
    std::optional<std::size_t> errorsBeforeCopies;
    // Why the visit itself failed or warns (not reached, the clock left off or not set).
    std::vector<VisitMessage> errors;
    std::vector<VisitMessage> warnings;
};

// What a visit is to do beyond the station's own description.
struct VisitAsk {
    bool copy = true;             // copy the station's directories (or every one listed)
    bool setClock = false;        // set the clock whatever its offset, and read it back
    std::optional<DateTime> day;  // copy this day of each directory
    // Whether a station that does not answer is a collection's (CollectNoAnswer) or a single
    // logger's (CliPortNoLogger on a serial port).
    bool collection = false;
    // How long the first USB scan may take to find the device; 0: the link is there at once.
    int usbSearchMs = 0;
    // A logger not read out by then is given up; 0 for no such limit.
    int reachLimitMs = 0;
    // What is left of the run's time limit, and the limit as said to the operator.
    int msLeft = 0;
    int timeLimitSeconds = 0;
    // The language of what the visit writes into files (the collection log's error).
    Language language = Language::Russian;
};

// Where a visit stands, for a progress line.
struct VisitProgress {
    enum class Stage { Linking, ReadingOut, Copying };
    Stage stage = Stage::Linking;
    std::string directory;  // Copying: Unicode
    CopyProgressView copy;
};

// What paces a visit: its next step after an event, and its deadlines. Qt's event loop in the
// program, virtual time in the tests.
enum class VisitTimer { Step, LinkSearch, Reach, Limit };
class VisitTimers {
public:
    virtual ~VisitTimers() = default;
    // Calls `tick` once, `ms` from now (again from now when armed).
    virtual void Arm(VisitTimer id, int ms, std::function<void()> tick) = 0;
    virtual void Cancel(VisitTimer id) = 0;
};

// Whoever runs a visit hears of it here.
class VisitListener {
public:
    virtual ~VisitListener() = default;
    // A line for the operator now (also what is recorded in the result).
    virtual void Said(const VisitMessage& /*line*/) {}
    virtual void Progress(const VisitProgress& /*progress*/) {}
    virtual void ProgressOver() {}
    // The visit has ended: its result is final.
    virtual void Ended() {}
};

// One visit of a logger, from its link to its end: the connection and read-out (through a radio
// address or a Bluetooth dial when the station is reached so), the clock by the station's policy,
// the copies one after another. It hears the session's events, takes its next step after each
// (never inside the session's handler), and keeps what it did as a VisitResult.
class Visit : private SessionEvents {
public:
    Visit(const Station& station, const VisitAsk& ask, Session& session, SessionWork& work,
          VisitTimers& timers, VisitListener& listener);
    ~Visit() override;
    Visit(const Visit&) = delete;
    Visit& operator=(const Visit&) = delete;

    // Starts with the link set up by the caller: a serial port is opened here.
    void Start();
    // Something happened on the link or in the session: the next step is taken soon.
    void Changed();
    // Ends the visit before its work is done: what was copied until then is kept and reported.
    // A copy that had ended before the cut stands as it ended; the one cut short has failed.
    void Cut(const VisitMessage& why);
    // Cuts it as the operator's Stop: a copy cut short has been stopped, as the window's Stop
    // stops one.
    void Stop(const VisitMessage& why);
    // Ends it before it begins (e.g. a link this run cannot make).
    void GiveUp(const VisitMessage& why);

    bool Over() const { return phase_ == Phase::Done; }
    const VisitResult& Result() const { return r_; }

private:
    enum class Phase { Linking, Reaching, SettingClock, Copying, Done };

    void ModemDialEnded(bool connected) override;
    void ClockSetEnded(bool set) override;
    void CopyEnded(const CopyResult& result) override;
    void Problem(const SessionProblem& problem) override;
    void ReadOutEnded() override { Changed(); }
    void ClockRead(const std::optional<ClockReading>& /*reading*/) override { Changed(); }
    // The USB logger went away: the program would end, the visit ends here.
    void LoggerUnplugged() override { Cut({Msg::CliLoggerGone, {}}); }

    StationLink::Kind Kind() const { return station_.link.kind; }
    const LoggerState& Logger() const { return session_.Logger(); }
    bool Identified() const;
    bool LinkUp() const;
    void Step();
    void StepLinking();
    void StepReaching();
    void StartClock();
    void StepSettingClock();
    void ClockNotSet();
    void StartCopies();
    void NextCopy();
    bool StartCopy(const std::string& name);
    // True while the copy runs.
    bool StepCopy();
    // The copy's result written up; true when `cut` ended it before every file was in place.
    bool WriteUp(const std::optional<VisitMessage>& cut = std::nullopt);
    std::vector<std::string> Listed() const;
    void Say(Msg id, std::vector<std::string> args = {});
    void Error(Msg id, std::vector<std::string> args = {});
    void Fail(const std::optional<VisitMessage>& why);
    void Finish();

    const Station& station_;
    VisitAsk ask_;
    Session& session_;
    SessionWork& work_;
    VisitTimers& timers_;
    VisitListener& listener_;
    Phase phase_ = Phase::Linking;
    bool started_ = false;
    bool stepQueued_ = false;
    bool failed_ = false;
    bool dialFailed_ = false;
    bool clockSetEnded_ = false;
    bool reportingCut_ = false;
    bool stopping_ = false;
    VisitResult r_;

    // The copy running, and those waiting.
    struct Copy {
        VisitCopy c;
        std::size_t errorsAtStart = 0;
        std::size_t warningsAtStart = 0;
        std::int64_t startedMs = 0;
        std::optional<CopyResult> result;
    };
    std::optional<Copy> copy_;
    std::deque<std::string> waiting_;
};

// "2024-03-05T14:30:00", and its day "2024-03-05".
std::string IsoText(const DateTime& t);
std::string DayText(const DateTime& t);

}  // namespace qm
