#include "tests/support/Rig.h"

namespace qm::test {

void VirtualTimers::Sync(WindowModel& model, std::int64_t now) {
    for (const TimerRow& row : kTimers) {
        const TimerId id = row.id;
        const Timer& t = model.*row.timer;
        Entry& e = entries_[id];
        if (!t.enabled) {
            e.running = false;
        } else if (!e.running || e.generation != t.generation) {
            e.running = true;
            e.deadline = now + t.interval;
        }
        e.generation = t.generation;
    }
}

std::optional<std::pair<std::int64_t, TimerId>> VirtualTimers::Next() const {
    std::optional<std::pair<std::int64_t, TimerId>> best;
    for (const auto& [id, e] : entries_)
        if (e.running && (!best || e.deadline < best->first)) best = {{e.deadline, id}};
    return best;
}

void VirtualTimers::Fired(WindowModel& model, TimerId id, std::int64_t now) {
    Entry& e = entries_[id];
    const Timer& t = model.TimerById(id);
    if (t.enabled && t.generation == e.generation) e.deadline = now + t.interval;
    Sync(model, now);
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
    timers_.Sync(Model(), now);
}

bool Rig::DeliverOne() {
    if (serial) {
        if (const std::size_t waiting = serial->Announce(); waiting > 0) {
            controller.ComPort1RxChar(waiting);
            timers_.Sync(Model(), now);
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
    timers_.Sync(Model(), now);
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
    if (next->second == TimerId::ReplyTimer) ++watchdogTicks;
    controller.OnTimer(next->second);
    timers_.Fired(Model(), next->second, now);
    return true;
}

void Rig::Advance(std::int64_t end) {
    timers_.Sync(Model(), now);
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
    timers_.Sync(Model(), now);
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
