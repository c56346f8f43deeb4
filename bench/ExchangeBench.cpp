// One request/reply exchange through the core with the in-process virtual logger: the click
// builds and writes the request, the logger answers, the reply is dispatched and the window
// model updated.
#include <benchmark/benchmark.h>

#include "core/Controller.h"
#include "sim/InProcessLink.h"
#include "sim/VirtualLogger.h"

namespace {

class NullOperator : public qm::OperatorServices {
public:
    void ShowWarning(const std::string&) override {}
    bool Confirm(const std::string&) override { return true; }
    void ShowError(const std::string&) override {}
    void Beep() override {}
    void Quit() override {}
};

class FixedClock : public qm::PcClock {
public:
    qm::DateTime Now() override { return *qm::DateTime::FromCivil({2026, 12, 8, 12, 0, 0, 0}); }
};

void DeliverAll(qm::sim::InProcessHidLink& link, qm::Controller& c) {
    while (auto report = link.TakeReport()) c.HidCtlDeviceData("QM Controller", *report);
}

// Reading the clock: request 48, reply 248 with six clock bytes, the clock label shown.
void BM_ClockExchange(benchmark::State& state) {
    FixedClock clock;
    NullOperator ops;
    qm::sim::LoggerConfig config;
    config.demoData = false;
    qm::sim::VirtualLogger logger(config, [&] { return clock.Now(); });
    qm::sim::InProcessHidLink link(logger);
    qm::Controller controller(clock, ops);
    controller.FormCreate(1024, 768);
    controller.UsbLoggerFound(&link);
    for (auto _ : state) {
        controller.bClockClick();
        DeliverAll(link, controller);
        link.ClearWritten();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClockExchange);

// One step of a directory listing: entry reply, next-entry request (64/65 chain).
void BM_ListingExchange(benchmark::State& state) {
    FixedClock clock;
    NullOperator ops;
    qm::sim::LoggerConfig config;
    qm::sim::VirtualLogger logger(config, [&] { return clock.Now(); });
    qm::sim::InProcessHidLink link(logger);
    qm::Controller controller(clock, ops);
    controller.FormCreate(1024, 768);
    controller.UsbLoggerFound(&link);
    std::int64_t exchanges = 0;
    for (auto _ : state) {
        // A test measurement: 32, 68, 68 blocks, then battery and line value: five exchanges.
        controller.bTestClick();
        DeliverAll(link, controller);
        exchanges += static_cast<std::int64_t>(link.Written().size());
        link.ClearWritten();
    }
    state.SetItemsProcessed(exchanges);
}
BENCHMARK(BM_ListingExchange)->Name("BM_TestMeasurementExchanges");

}  // namespace

BENCHMARK_MAIN();
