// Replies under a chosen command code in a chosen state. The input picks the state (first byte)
// and the random choices that bring the program there (second byte); then each step is a reply
// (optionally under a new code, of any size), time passing, more replies let through from the
// logger, or a button. Afterwards nothing outside DATA may have changed and, once the program
// has closed, no local file may be half written.
#include <cstdio>
#include <cstdlib>

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
        Session s(*box, phase, rng);
        Controller& c = s.rig->controller;
        std::size_t i = 2;
        auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
        while (i < size) {
            const std::uint8_t op = next();
            switch (op % 8) {
                case 5:
                    s.rig->RunFor(next() * 20);
                    break;
                case 6:
                    s.gate.budget += op >> 4;
                    break;
                case 7:
                    ClickIfAvailable(c, kButtons[(op >> 3) % kButtons.size()]);
                    break;
                default: {
                    if (op & 0x80) {
                        // As if a request of that code had gone out and awaited its reply.
                        c.MutableLink().CurrentCommand = next();
                        c.MutableLink().Outstanding = true;
                    }
                    std::size_t n = next();
                    if (op & 0x40) n *= 12;  // reports of other sizes, up to 3060 bytes
                    n = std::min(n, size - i);
                    c.HidCtlDeviceData("QM Controller", std::span(data + i, n));
                    i += n;
                    break;
                }
            }
        }
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
