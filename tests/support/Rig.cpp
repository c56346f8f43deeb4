#include "tests/support/Rig.h"

namespace qm::test {

namespace {

// Where each of the session's timers stands among all.
constexpr AnyTimer kSessionTimers[] = {
    AnyTimer::StartTimer, AnyTimer::Timer1,  AnyTimer::Timer2,     AnyTimer::Timer3,
    AnyTimer::Timer4,     AnyTimer::BTtimer, AnyTimer::ReplyTimer, AnyTimer::RadioRepeat,
};
static_assert(std::size(kSessionTimers) == kTimerCount);

std::size_t Index(TimerId id) {
    return static_cast<std::size_t>(kSessionTimers[static_cast<std::size_t>(id)]);
}

std::size_t Index(WindowTimerId id) {
    return static_cast<std::size_t>(id == WindowTimerId::SysTimer ? AnyTimer::SysTimer
                                                                  : AnyTimer::TimerBar);
}

}  // namespace

VirtualTimers::VirtualTimers(Controller& controller, const std::int64_t& now)
    : controller_(controller), now_(now) {
    controller_.MutableSession().SetTimerHost(this);
}

VirtualTimers::~VirtualTimers() {
    if (controller_.Timers().Host() == this) controller_.MutableSession().SetTimerHost(nullptr);
}

void VirtualTimers::Arm(TimerId id, int intervalMs, bool repeat, std::function<void()> tick) {
    Entry& e = entries_[Index(id)];
    e.running = true;
    e.deadline = now_ + intervalMs;
    e.interval = intervalMs;
    e.repeat = repeat;
    e.tick = std::move(tick);
    ++e.generation;
    ++e.arms;
}

void VirtualTimers::Cancel(TimerId id) {
    entries_[Index(id)].running = false;
}

bool VirtualTimers::Armed(TimerId id) const {
    return entries_[Index(id)].running;
}

std::uint32_t VirtualTimers::Arms(TimerId id) const {
    return entries_[Index(id)].arms;
}

void VirtualTimers::Sync() {
    WindowModel& model = controller_.MutableModel();
    for (const TimerRow& row : kTimers) {
        const Timer& t = model.*row.timer;
        Entry& e = entries_[Index(row.id)];
        if (!t.enabled) {
            e.running = false;
        } else if (!e.running || e.generation != t.generation) {
            e.running = true;
            e.deadline = now_ + t.interval;
        }
        e.generation = t.generation;
    }
}

std::optional<std::pair<std::int64_t, AnyTimer>> VirtualTimers::Next() const {
    std::optional<std::pair<std::int64_t, AnyTimer>> best;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.running && (!best || e.deadline < best->first))
            best = {{e.deadline, static_cast<AnyTimer>(i)}};
    }
    return best;
}

void VirtualTimers::Fire(AnyTimer which) {
    Entry& e = entries_[static_cast<std::size_t>(which)];
    const std::uint32_t generation = e.generation;
    if (which == AnyTimer::SysTimer || which == AnyTimer::TimerBar) {
        const WindowTimerId id =
            which == AnyTimer::SysTimer ? WindowTimerId::SysTimer : WindowTimerId::TimerBar;
        controller_.OnTimer(id);
        // A timer still running with the same generation repeats.
        const Timer& t = controller_.MutableModel().TimerById(id);
        if (t.enabled && t.generation == generation) e.deadline = now_ + t.interval;
    } else {
        if (!e.repeat) e.running = false;
        const std::function<void()> tick = e.tick;
        if (tick) tick();
        if (e.running && e.generation == generation) e.deadline = now_ + e.interval;
    }
    Sync();
}

std::vector<sim::Frame> ScriptedDevice::Handle(std::span<const std::uint8_t> request) {
    requests.emplace_back(request.begin(), request.end());
    if (request.size() < 4) return {};
    auto it = script.find(request[3]);
    if (it == script.end() || it->second.empty()) return {};
    auto frames = it->second.front();
    if (it->second.size() > 1) it->second.erase(it->second.begin());
    return frames;
}

std::vector<int> ScriptedDevice::Codes() const {
    std::vector<int> codes;
    for (const auto& r : requests)
        if (r.size() > 3) codes.push_back(r[3]);
    return codes;
}

Rig::Rig(sim::Device& device, std::size_t reportLength)
    : link(device, reportLength, reportLength) {}

void Rig::StartUsb() {
    controller.FormCreate(1024, 768);
    controller.UsbLoggerFound(&link);
    timers_.Sync();
}

bool Rig::DeliverOne() {
    if (serial) {
        if (const std::size_t waiting = serial->Announce(); waiting > 0) {
            controller.ComPort1RxChar(waiting);
            timers_.Sync();
            return true;
        }
    }
    if (!link.HasReport()) {
        reportDue_.reset();
        return false;
    }
    if (const auto delay = link.NextReportDelay().count(); delay > 0) {
        if (!reportDue_) reportDue_ = now + delay;
        if (now < *reportDue_) return false;
    }
    reportDue_.reset();
    auto report = link.TakeReport();
    ++reportsDelivered;
    controller.HidCtlDeviceData("QM Controller", *report);
    timers_.Sync();
    return true;
}

bool Rig::Step(std::int64_t end) {
    if (DeliverOne()) return true;
    const auto next = timers_.Next();
    if (reportDue_ && *reportDue_ <= end && (!next || *reportDue_ <= next->first)) {
        now = *reportDue_;
        clock.elapsedMs = now;
        return true;
    }
    if (!next || next->first > end) return false;
    now = next->first;
    clock.elapsedMs = now;
    ++timerTicks;
    if (next->second == AnyTimer::ReplyTimer) ++watchdogTicks;
    timers_.Fire(next->second);
    return true;
}

void Rig::Advance(std::int64_t end) {
    timers_.Sync();
    while (Step(end)) {
    }
}

void Rig::RunFor(std::int64_t ms) {
    const std::int64_t end = now + ms;
    Advance(end);
    now = end;
    clock.elapsedMs = now;
}

void Rig::RunUntilIdle(std::int64_t limitMs) {
    Advance(now + limitMs);
}

bool Rig::RunUntil(const std::function<bool()>& done, std::int64_t limitMs) {
    const std::int64_t end = now + limitMs;
    timers_.Sync();
    while (!done()) {
        if (!Step(end)) {
            now = end;
            clock.elapsedMs = now;
            return done();
        }
    }
    return true;
}

std::vector<int> Rig::SentCodes() const {
    std::vector<int> codes;
    for (const auto& r : link.Written())
        if (r.size() > 3) codes.push_back(r[3]);
    return codes;
}

}  // namespace qm::test
