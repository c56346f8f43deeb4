#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/Controller.h"
#include "core/Services.h"
#include "sim/Device.h"
#include "sim/InProcessLink.h"
#include "tests/support/InProcessSerial.h"

namespace qm::test {

// The PC clock in virtual time: a fixed start plus the time the rig has advanced.
class FakePcClock : public PcClock {
public:
    DateTime start = *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0});
    std::int64_t elapsedMs = 0;
    DateTime Now() override { return DateTime::FromMilliseconds(start.Milliseconds() + elapsedMs); }
    std::int64_t SteadyMs() override { return elapsedMs; }
};

// Records what the operator would have seen; answers confirmations with `confirmAnswer`.
class FakeOperator : public OperatorServices {
public:
    std::vector<std::string> warnings, confirmations, errors;
    int beeps = 0;
    int quits = 0;
    bool confirmAnswer = true;
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    bool Confirm(const std::string& text) override {
        confirmations.push_back(text);
        return confirmAnswer;
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void Beep() override { ++beeps; }
    void Quit() override { ++quits; }
};

// Every timer of a controller, the session's and the window's, in the order they fire when due
// at the same time.
enum class AnyTimer {
    StartTimer,
    SysTimer,
    RadioRepeat,
    TimerBar,
    Timer1,
    Timer2,
    Timer3,
    Timer4,
    BTtimer,
    ReplyTimer,
};

// Runs a controller's timers in virtual time, read from `now` (ms): the session's as their host,
// the window's by looking at its model, where a timer whose generation changed since the last
// look starts counting its interval from now.
class VirtualTimers : public TimerHost {
public:
    VirtualTimers(Controller& controller, const std::int64_t& now);
    ~VirtualTimers() override;

    // Looks at the window's timers.
    void Sync();
    // The earliest due timer, if any.
    std::optional<std::pair<std::int64_t, AnyTimer>> Next() const;
    // Ticks `which` (at its due time, which `now` must say), then looks at the window's timers.
    void Fire(AnyTimer which);
    // How many times the session's `id` has been armed.
    std::uint32_t Arms(TimerId id) const;

    void Arm(TimerId id, int intervalMs, bool repeat, std::function<void()> tick) override;
    void Cancel(TimerId id) override;
    bool Armed(TimerId id) const override;

private:
    struct Entry {
        std::uint32_t generation = 0;
        bool running = false;
        std::int64_t deadline = 0;
        int interval = 0;
        bool repeat = true;
        std::function<void()> tick;
        std::uint32_t arms = 0;
    };
    Controller& controller_;
    const std::int64_t& now_;
    std::array<Entry, static_cast<std::size_t>(AnyTimer::ReplyTimer) + 1> entries_;
};

// A device that answers each command code with scripted frames (consumed in order; the last
// one repeats). Unscripted codes get no reply. Every request is recorded.
class ScriptedDevice : public sim::Device {
public:
    std::map<std::uint8_t, std::vector<std::vector<sim::Frame>>> script;
    std::vector<std::vector<std::uint8_t>> requests;

    void On(std::uint8_t code, std::vector<sim::Frame> frames) {
        script[code].push_back(std::move(frames));
    }
    std::vector<sim::Frame> Handle(std::span<const std::uint8_t> request) override;
    // Command codes in the order they were requested.
    std::vector<int> Codes() const;
};

// A controller wired to a device over an in-process USB link, with virtual time.
class Rig {
public:
    explicit Rig(sim::Device& device, std::size_t reportLength = 65);

    FakePcClock clock;
    FakeOperator ops;
    Controller controller{clock, ops};
    sim::InProcessHidLink link;
    std::int64_t now = 0;
    // Events the rig has fed the controller: reports delivered, timer ticks (the watchdog's
    // among them).
    std::size_t reportsDelivered = 0;
    std::size_t timerTicks = 0;
    std::size_t watchdogTicks = 0;
    // A serial port the rig also serves (set by a test that opens one): bytes it has received
    // are announced to the controller like reports.
    InProcessSerial* serial = nullptr;

    WindowModel& Model() { return controller.MutableModel(); }
    SessionTimers& Timers() { return controller.MutableTimers(); }
    const Controller& State() const { return controller; }
    // The session's work on the logger, and what it knows of the logger.
    SessionWork& Work() { return controller.MutableSession().Work(); }
    const LoggerState& Logger() const { return controller.LoggerSession().Logger(); }
    // The title of the logger that answered the identification; empty before one answered.
    std::string Identified() const { return Logger().identity ? Logger().identity->title : ""; }

    // FormCreate for a 1024 x 768 screen, then the logger is found on USB.
    void StartUsb();
    // Delivers queued reports and fires due timers until `ms` of virtual time have passed.
    void RunFor(std::int64_t ms);
    // Runs until no report is queued and no timer is due within `limitMs`.
    void RunUntilIdle(std::int64_t limitMs = 60'000);
    // Runs event by event until `done` holds, and stops right after the event that made it
    // hold, or after `limitMs` of virtual time; whether it holds.
    bool RunUntil(const std::function<bool()>& done, std::int64_t limitMs);

    // Command codes of every report written so far (byte 3).
    std::vector<int> SentCodes() const;

private:
    bool DeliverOne();
    // One event at or before `end` (a report delivered, the clock moved to a slow report's due
    // time, a timer fired); false when there is none.
    bool Step(std::int64_t end);
    void Advance(std::int64_t end);
    VirtualTimers timers_{controller, now};
    // When the report at the front of a slow link's queue may be delivered.
    std::optional<std::int64_t> reportDue_;
};

}  // namespace qm::test
