#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Console.h"
#include "app/QtTimerHost.h"
#include "collect/Visit.h"
#include "core/Controller.h"
#include "link/backends/SerialPortBackend.h"
#include "text/Language.h"

namespace qm {

namespace sim {
class InProcessHidLink;
class VirtualNetwork;
}  // namespace sim

class AppLinks;
class InProcessDelivery;

// A visit's timers on Qt's event loop.
class QtVisitTimers : public VisitTimers {
public:
    QtVisitTimers();
    void Arm(VisitTimer id, int ms, std::function<void()> tick) override;
    void Cancel(VisitTimer id) override;

private:
    struct Slot {
        std::unique_ptr<QTimer> timer;
        std::function<void()> tick;
    };
    std::array<Slot, 4> slots_;
};

// One visit of a logger on the event loop, for the runs without a window: the session with its
// timers and links, the visit that drives it, and what it says on standard error in the run's
// language. The session is still the window's controller behind SessionWork and Session.
class VisitRun : private VisitListener {
public:
    // Copies go to data-set folders in `startFolder`'s DATA (when given).
    VisitRun(PcClock& clock, ErrorStream& err, Language language,
             const std::optional<std::filesystem::path>& startFolder = std::nullopt);
    ~VisitRun() override;
    VisitRun(const VisitRun&) = delete;
    VisitRun& operator=(const VisitRun&) = delete;

    SessionWork& Work() { return session_.Work(); }

    // Visits `station` to its end and returns what it did. With `network` (the demo's), the
    // USB modems are that network's. `progress` hears where the visit stands.
    VisitResult Run(const Station& station, const VisitAsk& ask, sim::VirtualNetwork* network,
                    std::function<void(const VisitProgress&)> progress);

private:
    // The operator's services of the run. Transitional: the parts that still word their own
    // errors and warnings show them here; they go to standard error as before and into the
    // visit's result as worded messages. The parts that report a SessionProblem reach the
    // visit as data instead.
    class Services : public HeadlessServices {
    public:
        using HeadlessServices::HeadlessServices;
        void ShowError(const std::string& text) override;
        void ShowWarning(const std::string& text) override;
        Visit* visit = nullptr;
    };

    void Said(const VisitMessage& line) override;
    void Progress(const VisitProgress& progress) override;
    void ProgressOver() override;
    void Ended() override;
    void OpenLink(const Station& station, sim::VirtualNetwork* network);

    ErrorStream& err_;
    Language language_;
    Services ops_;
    Controller controller_;
    Session& session_;
    QtTimerHost timers_;
    QtVisitTimers visitTimers_;
    SerialPortBackend serial_;
    std::unique_ptr<AppLinks> links_;
    std::unique_ptr<sim::InProcessHidLink> demoLink_;
    std::unique_ptr<InProcessDelivery> delivery_;
    QEventLoop loop_;
    std::function<void(const VisitProgress&)> progress_;
    std::optional<Visit> visit_;
};

// Where a visit stands, in words: linking, reading out, or the directory being copied with
// file i of n, the measurements and the time left, on one line.
std::string ProgressText(const VisitProgress& progress, Language language);

}  // namespace qm
