// Replies under a chosen command code in a chosen state. The input picks the state (first byte)
// and the random choices that bring the program there (second byte); then each step is a reply
// (optionally under a new code, of any size), time passing, more replies let through from the
// logger, a button or an edit of the operator's. After every step the program must not hang,
// must not write more requests than the step's events can cause, and a copy that ends complete
// while only the logger answered must equal the logger's files. Afterwards nothing outside DATA
// may have changed and, once the program has closed, no local file may be half written.
#include <cstdio>
#include <cstdlib>

#include "session/Dispatcher.h"
#include "tests/robustness/RobustnessSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sandbox* box = new Sandbox;  // one sandbox for the whole run
    if (size < 2) return 0;
    const auto phase = static_cast<Phase>(data[0] % kPhaseCount);
    std::mt19937 rng(data[1]);
    {
        ProgramRun s(*box, phase, rng);
        Rig& rig = *s.rig;
        Controller& c = rig.controller;
        Oracles oracles(c, box->Data(), rig.link.Written().size());
        std::size_t i = 2;
        auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
        auto check = [&](const char* after) {
            const std::string fault = oracles.Check(rig.link.Written().size(), &s.dev);
            if (!fault.empty())
                Fail(std::string("after ") + after + " at byte " + std::to_string(i) + ": " +
                     fault);
        };
        auto run = [&](std::int64_t ms) {
            const std::size_t before = rig.reportsDelivered + rig.timerTicks;
            rig.RunFor(ms);
            oracles.Events(rig.reportsDelivered + rig.timerTicks - before);
        };
        while (i < size) {
            const std::uint8_t op = next();
            const char* what = "a reply";
            switch (op % 8) {
                case 5:
                    what = "time passing";
                    run(next() * 20);
                    break;
                case 6:
                    if (op & 0x08) {
                        what = "an edit";
                        const std::uint8_t which = next();
                        EditIfAvailable(c, which, next());
                        oracles.Events(1);
                    } else {
                        what = "the logger let through";
                        s.gate.budget += op >> 4;
                    }
                    break;
                case 7:
                    what = "a click";
                    ClickIfAvailable(c, kButtons[(op >> 3) % kButtons.size()]);
                    oracles.Events(1);
                    break;
                default: {
                    if ((op & 0x80) && !c.Link().Outstanding) {
                        // As if a request of that code had gone out: awaited and watched.
                        const std::uint8_t code = next();
                        c.MutableLink().InFlightForTest(code);
                        c.MutableLink().LastRequest = requests::Plain(code);
                        c.MutableLink().Outstanding = dispatch::For(code).answered;
                        if (c.Link().Outstanding) {
                            c.MutableTimers().ReplyTimer.SetInterval(2000);
                            c.MutableTimers().ReplyTimer.Start();
                        }
                    }
                    std::size_t n = next();
                    if (op & 0x40) n *= 12;  // reports of other sizes, up to 3060 bytes
                    n = std::min(n, size - i);
                    if (c.Link().Outstanding) {
                        // This report takes the place of the logger's answer, which is lost:
                        // the replies stay in step with the requests.
                        while (rig.link.HasReport()) rig.link.TakeReport();
                        oracles.Untruthful();
                    }
                    c.HidCtlDeviceData("QM Controller", std::span(data + i, n));
                    oracles.Events(1);
                    i += n;
                    break;
                }
            }
            check(what);
        }
        // Time passes with the logger answering: whatever was under way ends or goes on, never
        // stands still.
        s.gate.budget = 1'000'000;
        run(Controller::kGiveUpWithinMs + 1000);
        check("the end of the input");
        if (const auto changed = box->Changed(); !changed.empty())
            Fail("written outside DATA: " + changed.front());
        c.FormClose();
        if (const auto broken = BrokenFiles(box->Data()); !broken.empty())
            Fail("half-written local file: " + broken.front());
    }
    std::error_code ec;
    fs::remove_all(box->Data(), ec);
    fs::remove(box->Start() / "Device.txt", ec);
    return 0;
}
