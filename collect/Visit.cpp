#include "collect/Visit.h"

#include "session/ProblemWords.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <system_error>

#include "protocol/Cp1251.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

namespace qm {

namespace {

// A Bluetooth station is given this many calls, one every 15 s: a minute to connect.
constexpr int kDialCalls = 4;

}  // namespace

std::string VisitMessage::Text(Language language) const {
    if (problem) return ProblemText(*problem, language);
    std::vector<std::string_view> views(args.begin(), args.end());
    return Message(message, language, std::span<const std::string_view>(views));
}

std::string IsoText(const DateTime& t) {
    const CivilDateTime c = t.ToCivil();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

std::string DayText(const DateTime& t) {
    return IsoText(t).substr(0, 10);
}

Visit::Visit(const Station& station, const VisitAsk& ask, Session& session, SessionWork& work,
             VisitTimers& timers, VisitListener& listener)
    : station_(station),
      ask_(ask),
      session_(session),
      work_(work),
      timers_(timers),
      listener_(listener) {
    session_.Listen(*this);
}

Visit::~Visit() {
    session_.StopListening(*this);
    for (VisitTimer t :
         {VisitTimer::Step, VisitTimer::LinkSearch, VisitTimer::Reach, VisitTimer::Limit})
        timers_.Cancel(t);
}

bool Visit::Identified() const {
    return Logger().identity && Logger().identity->version != 0;
}

bool Visit::LinkUp() const {
    return Kind() != StationLink::Kind::Serial || session_.Link().PortOpen;
}

void Visit::Start() {
    started_ = true;
    listener_.Progress({VisitProgress::Stage::Linking, {}, {}});
    if (Kind() == StationLink::Kind::Serial) {
        if (!work_.OpenSerialPort(station_.link.port)) {
            Fail(std::nullopt);  // the session has said why
            return;
        }
    } else if (ask_.usbSearchMs > 0) {
        timers_.Arm(VisitTimer::LinkSearch, ask_.usbSearchMs, [this] {
            if (phase_ != Phase::Linking || work_.LinkFound()) return;
            Fail(VisitMessage{Kind() == StationLink::Kind::Radio       ? Msg::CollectNeedsRadio
                              : Kind() == StationLink::Kind::Bluetooth ? Msg::CollectNeedsBluetooth
                                                                       : Msg::CliNoUsbLogger,
                              {}});
        });
    }
    if (phase_ == Phase::Done) return;
    // Where the run's limit comes first, it ends the visit and says so.
    if (ask_.reachLimitMs > 0 && ask_.reachLimitMs < ask_.msLeft)
        timers_.Arm(VisitTimer::Reach, ask_.reachLimitMs, [this] {
            if (phase_ == Phase::Linking || phase_ == Phase::Reaching)
                Fail(VisitMessage{Msg::CollectNoAnswer, {}});
        });
    timers_.Arm(VisitTimer::Limit, ask_.msLeft, [this] {
        r_.timeRanOut = true;
        Cut({Msg::CliTimeLimit, {std::to_string(ask_.timeLimitSeconds)}});
    });
    Changed();
}

void Visit::Changed() {
    if (!started_ || stepQueued_ || phase_ == Phase::Done) return;
    stepQueued_ = true;
    timers_.Arm(VisitTimer::Step, 0, [this] {
        stepQueued_ = false;
        Step();
    });
}

// The session's events: noted here, acted on in the next step.
void Visit::ModemDialEnded(bool connected) {
    if (!connected) dialFailed_ = true;
    Changed();
}

void Visit::ClockSetEnded(bool /*set*/) {
    clockSetEnded_ = true;
    Changed();
}

void Visit::CopyEnded(const CopyResult& result) {
    if (reportingCut_) return;
    if (copy_) copy_->result = result;
    Changed();
}

void Visit::Problem(const SessionProblem& problem) {
    const VisitMessage m(problem);
    if (problem.severity == SessionProblem::Severity::Error)
        r_.sessionErrors.push_back(m);
    else
        r_.sessionWarnings.push_back(m);
    listener_.Said(m);
    Changed();
}

void Visit::Step() {
    r_.reached = r_.reached || Identified();
    switch (phase_) {
        case Phase::Linking:
            StepLinking();
            break;
        case Phase::Reaching:
            StepReaching();
            break;
        case Phase::SettingClock:
            StepSettingClock();
            break;
        case Phase::Copying:
            if (StepCopy()) return;
            NextCopy();
            break;
        case Phase::Done:
            break;
    }
}

void Visit::StepLinking() {
    if (!LinkUp()) {
        Fail(std::nullopt);
        return;
    }
    if (!work_.LinkFound()) return;
    const bool modem = work_.ThroughModemAdapter();
    switch (Kind()) {
        case StationLink::Kind::Radio:
        case StationLink::Kind::Bluetooth:
            if (!modem) {
                if (r_.reached || work_.Idle())
                    Fail(VisitMessage{Kind() == StationLink::Kind::Radio
                                          ? Msg::CollectNeedsRadio
                                          : Msg::CollectNeedsBluetooth,
                                      {}});
                return;
            }
            if (Kind() == StationLink::Kind::Radio
                    ? work_.ReachRadioAddress(station_.link.radioAddress)
                    : work_.DialBluetooth(station_.link.bluetoothAddress, kDialCalls))
                phase_ = Phase::Reaching;
            return;
        case StationLink::Kind::Serial:
        case StationLink::Kind::Usb:
            if (modem) {
                Fail(VisitMessage{Msg::CliModemAdapter, {}});
                return;
            }
            break;
    }
    StepReaching();
}

void Visit::StepReaching() {
    if (!LinkUp()) {
        Fail(std::nullopt);
        return;
    }
    if (dialFailed_) {
        Fail(VisitMessage{Msg::CollectNoConnect,
                          {station_.link.bluetoothAddress, std::to_string(kDialCalls)}});
        return;
    }
    if (!r_.reached) {
        // The watchdog has given up on the identification, or what answered is no logger.
        if (!work_.Idle() || session_.Link().Outstanding) return;
        // Said when the session has not said why.
        std::optional<VisitMessage> why;
        if (r_.sessionErrors.empty() && ask_.collection)
            why = VisitMessage{Msg::CollectNoAnswer, {}};
        else if (r_.sessionErrors.empty() && Kind() == StationLink::Kind::Serial)
            why = VisitMessage{Msg::CliPortNoLogger, {station_.link.port}};
        Fail(why);
        return;
    }
    listener_.Progress({VisitProgress::Stage::ReadingOut, {}, {}});
    if (work_.ReadingOut() || !work_.Idle()) return;
    timers_.Cancel(VisitTimer::Reach);
    StartClock();
}

// The clock: read during the read-out; set when asked, or when the station allows it and it is
// off by more than its limit. Never during a copy: the copies come after.
void Visit::StartClock() {
    r_.readOut = true;
    const auto& before = Logger().clockBeforeSetting ? Logger().clockBeforeSetting : Logger().clock;
    if (before) r_.offsetBefore = before->OffsetSeconds();
    const bool off = r_.offsetBefore && std::llabs(*r_.offsetBefore) > station_.maxOffsetSeconds;
    if (ask_.setClock) {
        r_.clockBefore = Logger().clock;
        r_.errorsBeforeClockSet = r_.sessionErrors.size();
        phase_ = Phase::SettingClock;
        clockSetEnded_ = false;
        if (work_.SetClock()) return;
        failed_ = true;
        Finish();
        return;
    }
    if (station_.clock == ClockPolicy::Check && off) {
        // Off by more than the station allows, and left so as it asks: said, not set.
        const VisitMessage m{
            Msg::CollectClockOff,
            {std::to_string(*r_.offsetBefore), std::to_string(station_.maxOffsetSeconds)}};
        listener_.Said(m);
        r_.warnings.push_back(m);
    }
    if (station_.clock == ClockPolicy::Set && off) {
        phase_ = Phase::SettingClock;
        clockSetEnded_ = false;
        if (work_.SetClock()) return;
        ClockNotSet();
    }
    StartCopies();
}

// The setting ends with the reading that follows it, a refusal or silence.
void Visit::StepSettingClock() {
    if (!LinkUp()) {
        Fail(std::nullopt);
        return;
    }
    if (!clockSetEnded_ || session_.Link().Outstanding || !work_.Idle()) return;
    if (ask_.setClock) {
        r_.clockSetEnded = true;
        if (Logger().clockSet && Logger().clock) r_.offsetAfter = Logger().clock->OffsetSeconds();
        StartCopies();
        return;
    }
    if (Logger().clockSet && Logger().clock) {
        r_.offsetAfter = Logger().clock->OffsetSeconds();
        Say(Msg::CollectClockSet, {std::to_string(r_.offsetBefore.value_or(0))});
    } else {
        ClockNotSet();
    }
    StartCopies();
}

void Visit::ClockNotSet() {
    const VisitMessage m{Msg::CollectClockNotSet, {std::to_string(r_.offsetBefore.value_or(0))}};
    listener_.Said(m);
    r_.errors.push_back(m);
    failed_ = true;
}

std::vector<std::string> Visit::Listed() const {
    std::vector<std::string> names;
    for (const std::string& name : Logger().directories) names.push_back(Cp1251ToUtf8(name));
    return names;
}

// Copies: the station's directories, or every one the logger lists.
void Visit::StartCopies() {
    if (!ask_.copy) {
        Finish();
        return;
    }
    phase_ = Phase::Copying;
    r_.copiesRan = true;
    r_.errorsBeforeCopies = r_.sessionErrors.size();
    if (station_.directories.empty()) {
        const std::vector<std::string> listed = Listed();
        waiting_.assign(listed.begin(), listed.end());
        if (listed.empty()) Say(Msg::CliNoDirectories);
    } else {
        waiting_.assign(station_.directories.begin(), station_.directories.end());
    }
    NextCopy();
}

void Visit::NextCopy() {
    while (!waiting_.empty()) {
        const std::string name = waiting_.front();
        waiting_.pop_front();
        if (StartCopy(name)) return;
    }
    if (r_.copiesFailed) failed_ = true;
    Finish();
}

bool Visit::StartCopy(const std::string& name) {
    Copy copy;
    copy.c.directory = name;
    copy.c.mode = ask_.day                            ? CopyMode::Day
                  : station_.mode == CollectMode::New ? CopyMode::New
                                                      : CopyMode::All;
    copy.c.day = ask_.day;
    copy.errorsAtStart = r_.sessionErrors.size();
    copy.warningsAtStart = r_.sessionWarnings.size();
    copy.startedMs = session_.Clock().SteadyMs();
    copy_ = std::move(copy);
    const std::vector<std::string> items = Listed();
    if (std::find(items.begin(), items.end(), name) == items.end()) {
        std::string all;
        for (const std::string& item : items) all += (all.empty() ? "" : ", ") + item;
        Error(Msg::CliNoDirectory, {name, all.empty() ? "-" : all});
        WriteUp();
        return false;
    }
    const CopyStart start = work_.StartCopy(name, copy_->c.mode, ask_.day.value_or(DateTime{}));
    copy_->c.began = start != CopyStart::Refused;
    switch (start) {
        case CopyStart::Started:
            return true;
        case CopyStart::StartedWhole:
            Say(Msg::CliCopiedWhole, {name});
            return true;
        case CopyStart::Refused:
            break;
    }
    // Refused, and the reason told; a refusal without one still fails the visit.
    WriteUp();
    return false;
}

bool Visit::StepCopy() {
    if (!copy_) return false;
    const CopyProgressView progress = work_.Progress();
    if (progress.active)
        listener_.Progress({VisitProgress::Stage::Copying, copy_->c.directory, progress});
    // The copy has run its finishing step, or the far end went without one.
    const bool linkUp = LinkUp();
    if (work_.CopyRunning()) return true;
    if (!copy_->result && linkUp) return true;
    WriteUp();
    if (!linkUp) {
        // The far end has gone: the other directories cannot be reached.
        waiting_.clear();
        r_.copiesFailed = true;
    }
    return false;
}

bool Visit::WriteUp(const std::optional<VisitMessage>& cut) {
    listener_.ProgressOver();
    Copy& copy = *copy_;
    VisitCopy& c = copy.c;
    // A copy that did not start has nothing; one cut short has what it had put in place.
    CopyResult r = copy.result ? *copy.result : c.began ? work_.CopySoFar() : CopyResult{};
    std::optional<CopyResult::End> end;
    if (copy.result) end = copy.result->end;
    // Still running when cut: not every file in place, and no failure of its own.
    const bool cutShort =
        cut && c.began && !copy.result && r.end != CopyResult::End::Done && !r.problem;
    if (c.began && !copy.result) {
        // Cut before the session reported its end: reported as it stands, so that the
        // collection log has its line as for every other copy. One with every file in place
        // is done, one that had failed has failed; one cut short by a stop is said stopped,
        // as the window's Stop says it; by anything else, the cut is why it failed.
        if (cutShort && stopping_) {
            r.end = CopyResult::End::Stopped;
        } else if (cutShort) {
            SessionProblem why;
            why.message = cut->message;
            why.args = cut->args;
            r.problem = why;
        }
        reportingCut_ = true;
        session_.Report([&r](SessionEvents& e) { e.CopyEnded(r); });
        reportingCut_ = false;
        end = r.end;
    }
    c.errors.assign(r_.sessionErrors.begin() + static_cast<std::ptrdiff_t>(copy.errorsAtStart),
                    r_.sessionErrors.end());
    // A copy that had ended before the cut is not cut by it.
    if (cutShort) c.errors.push_back(*cut);
    // A day without a measurement is a warning of the copy.
    if (c.day && c.began && r.measurements == 0 && c.errors.empty()) {
        const VisitMessage m{Msg::CliNoDayData, {c.directory, DayText(*c.day)}};
        r_.sessionWarnings.push_back(m);
        listener_.Said(m);
    }
    // Where the copy went, in full even when DATA could not be made in the start folder.
    std::error_code ec;
    const auto folder = DataSetFolder(work_.DataFolder(), Utf8ToCp1251(c.directory));
    const auto absolute = std::filesystem::absolute(folder, ec);
    c.folder = ec ? folder : absolute;
    if (c.began) c.mode = r.mode;
    c.ended = end;
    c.result = r;
    c.elapsedMs = session_.Clock().SteadyMs() - copy.startedMs;
    c.done = c.began && end == CopyResult::End::Done && c.errors.empty();
    c.warnings.assign(
        r_.sessionWarnings.begin() + static_cast<std::ptrdiff_t>(copy.warningsAtStart),
        r_.sessionWarnings.end());
    if (!c.done) r_.copiesFailed = true;
    r_.copies.push_back(std::move(c));
    copy_.reset();
    return cutShort;
}

void Visit::Cut(const VisitMessage& why) {
    if (phase_ == Phase::Done) return;
    listener_.Said(why);
    work_.CloseLocalFiles();
    if (phase_ == Phase::Copying) {
        const bool cutACopy = copy_ && WriteUp(why);
        // The last copy had ended before the cut: the visit's work is whole.
        if (!cutACopy && waiting_.empty()) {
            NextCopy();
            return;
        }
        // Otherwise the copies not begun are not made, and the visit says why.
        if (!cutACopy) r_.errors.push_back(why);
        waiting_.clear();
        r_.copiesFailed = true;
        failed_ = true;
        Finish();
        return;
    }
    r_.errors.push_back(why);
    failed_ = true;
    Finish();
}

void Visit::Stop(const VisitMessage& why) {
    stopping_ = true;
    Cut(why);
}

void Visit::GiveUp(const VisitMessage& why) {
    Fail(why);
}

void Visit::Say(Msg id, std::vector<std::string> args) {
    listener_.Said(VisitMessage{id, std::move(args)});
}

void Visit::Error(Msg id, std::vector<std::string> args) {
    const VisitMessage m{id, std::move(args)};
    r_.sessionErrors.push_back(m);
    listener_.Said(m);
}

// Not collected: `why` (none when the session has said it).
void Visit::Fail(const std::optional<VisitMessage>& why) {
    if (why) {
        listener_.Said(*why);
        r_.errors.push_back(*why);
    }
    failed_ = true;
    Finish();
}

void Visit::Finish() {
    if (phase_ == Phase::Done) return;
    phase_ = Phase::Done;
    for (VisitTimer t :
         {VisitTimer::Step, VisitTimer::LinkSearch, VisitTimer::Reach, VisitTimer::Limit})
        timers_.Cancel(t);
    r_.reached = r_.reached || Identified();
    r_.logger = Logger();
    r_.collected = r_.reached && !failed_;
    listener_.Ended();
}

}  // namespace qm
