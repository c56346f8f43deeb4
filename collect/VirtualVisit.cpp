#include "collect/VirtualVisit.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "protocol/Links.h"
#include "session/LoggerWork.h"
#include "session/TimerHost.h"
#include "sim/InProcessLink.h"
#include "sim/Network.h"

namespace qm {

namespace {

// Days from 30 December 1899, where DateTime counts from, to 1 January 1970.
constexpr std::int64_t kDaysTo1970 = 25569;

// The slots of the session's timers, then the visit's, then the link's delivery.
constexpr std::size_t kVisitSlots = kTimerCount;
constexpr std::size_t kDeliverySlot = kVisitSlots + 4;
static_assert(kDeliverySlot < VirtualTime::kSlots);

class SessionTimers : public TimerHost {
public:
    explicit SessionTimers(VirtualTime& time) : time_(time) {}
    void Arm(TimerId id, int ms, bool repeat, std::function<void()> tick) override {
        time_.Arm(static_cast<std::size_t>(id), ms, repeat, std::move(tick));
    }
    void Cancel(TimerId id) override { time_.Cancel(static_cast<std::size_t>(id)); }
    bool Armed(TimerId id) const override { return time_.Armed(static_cast<std::size_t>(id)); }

private:
    VirtualTime& time_;
};

class Timers : public VisitTimers {
public:
    explicit Timers(VirtualTime& time) : time_(time) {}
    void Arm(VisitTimer id, int ms, std::function<void()> tick) override {
        time_.Arm(kVisitSlots + static_cast<std::size_t>(id), ms, false, std::move(tick));
    }
    void Cancel(VisitTimer id) override {
        time_.Cancel(kVisitSlots + static_cast<std::size_t>(id));
    }

private:
    VirtualTime& time_;
};

class VirtualVisitRun : public VisitRunner, private VisitListener {
public:
    VirtualVisitRun(VirtualTime& time, sim::VirtualNetwork& network, Language language)
        : time_(time),
          network_(network),
          sessionTimers_(time),
          visitTimers_(time),
          work_(time),
          session_(work_.LoggerSession()) {
        session_.SetTimerHost(&sessionTimers_);
        work_.SetAfterEachEvent([this] {
            if (visit_) visit_->Changed();
        });
        work_.SetLanguage(language);
        work_.Start();
    }
    ~VirtualVisitRun() override {
        work_.SetAfterEachEvent({});
        visit_.reset();
        session_.SetTimerHost(nullptr);
        for (std::size_t slot = 0; slot < VirtualTime::kSlots; ++slot) time_.Cancel(slot);
    }
    VirtualVisitRun(const VirtualVisitRun&) = delete;
    VirtualVisitRun& operator=(const VirtualVisitRun&) = delete;

    SessionWork& Work() override { return work_; }

    VisitResult Run(const Station& station, const VisitAsk& ask,
                    std::function<void(const VisitProgress&)> progress) override {
        progress_ = std::move(progress);
        VisitListener& listener = *this;
        visit_.emplace(station, ask, session_, work_, visitTimers_, listener);
        const StationLink::Kind kind = station.link.kind;
        if (kind == StationLink::Kind::Radio || kind == StationLink::Kind::Bluetooth) {
            link_.emplace(kind == StationLink::Kind::Radio ? network_.RadioFront()
                                                           : network_.BluetoothFront());
            link_->SetReportQueuedCallback([this] { Deliver(); });
            work_.UsbLoggerFound(&*link_);
        } else {
            visit_->GiveUp({Msg::CollectNoDemoUsb, {}});
        }
        if (!visit_->Over()) visit_->Start();
        while (!visit_->Over() && time_.Step()) {
        }
        if (!visit_->Over()) visit_->Cut({Msg::InternalError, {}});
        work_.CloseLocalFiles();
        return visit_->Result();
    }

    void Stop(const VisitMessage& why) override {
        if (visit_ && !visit_->Over()) visit_->Stop(why);
    }

private:
    // The link's next report, when it is due: never inside the write that queued it.
    void Deliver() {
        if (time_.Armed(kDeliverySlot)) return;
        const auto delay = static_cast<int>(link_->NextReportDelay().count());
        time_.Arm(kDeliverySlot, delay, false, [this] {
            if (auto report = link_->TakeReport()) work_.HidDeviceData(kLoggerProductName, *report);
            if (link_->HasReport()) Deliver();
        });
    }

    void Progress(const VisitProgress& progress) override {
        if (progress_) progress_(progress);
    }

    VirtualTime& time_;
    sim::VirtualNetwork& network_;
    SessionTimers sessionTimers_;
    Timers visitTimers_;
    LoggerWork work_;
    Session& session_;
    std::optional<sim::InProcessHidLink> link_;
    std::function<void(const VisitProgress&)> progress_;
    std::optional<Visit> visit_;
};

}  // namespace

VirtualTime::VirtualTime(std::chrono::sys_seconds start, const LocalZone& zone)
    : start_(start), zone_(zone) {}

DateTime VirtualTime::Now() {
    const std::chrono::sys_seconds utc = UtcNow();
    const std::int64_t local =
        (start_.time_since_epoch().count() + zone_.OffsetAt(utc).count()) * 1000 + ms_;
    return DateTime::FromMilliseconds(local + kDaysTo1970 * DateTime::kMsPerDay);
}

std::chrono::sys_seconds VirtualTime::UtcNow() {
    return start_ + std::chrono::seconds(ms_ / 1000);
}

void VirtualTime::MoveTo(std::chrono::sys_seconds t) {
    ms_ = std::max(ms_, (t - start_).count() * 1000);
}

void VirtualTime::Arm(std::size_t slot, int ms, bool repeat, std::function<void()> tick) {
    Slot& s = slots_[slot];
    s.armed = true;
    s.repeat = repeat;
    // A tick "at once" comes a millisecond on, as on an event loop that takes its time: a step
    // that waits for something by arming itself again lets the clock move meanwhile.
    s.interval = std::max(ms, 1);
    s.due = ms_ + s.interval;
    s.order = ++armed_;
    s.tick = std::move(tick);
}

bool VirtualTime::Step() {
    Slot* next = nullptr;
    for (Slot& s : slots_)
        if (s.armed &&
            (!next || s.due < next->due || (s.due == next->due && s.order < next->order)))
            next = &s;
    if (!next) return false;
    ms_ = std::max(ms_, next->due);
    if (next->repeat) {
        next->due = ms_ + next->interval;
        next->order = ++armed_;
    } else {
        next->armed = false;
    }
    // The tick is taken before it runs: it may arm its own timer again.
    const std::function<void()> tick = next->tick;
    if (tick) tick();
    return true;
}

std::unique_ptr<VisitRunner> MakeVirtualVisit(VirtualTime& time, sim::VirtualNetwork& network,
                                              Language language) {
    return std::make_unique<VirtualVisitRun>(time, network, language);
}

}  // namespace qm
