// Serial framing and a lossy line: the input is cut into chunks that arrive on the port (with a
// byte count that may differ from what is there), interleaved with the logger's true answers
// (some garbled, some requests or replies lost), timers, copies and the operator's edits. After
// every step the program must not hang, must not write more requests than the step's events
// can cause, and a copy that ends complete must equal the logger's files unless noise reached
// it. The assembler alone is checked too: it never holds more than one packet and a complete
// reply is exactly as long as its length byte says.
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

void CheckAssembler(const std::uint8_t* data, std::size_t size) {
    PacketBuffer packet{};
    SerialReplyAssembler a;
    std::size_t i = 0;
    while (i < size) {
        const std::size_t n = std::min<std::size_t>(data[i] % 64 + 1, size - i);
        const auto result = a.Feed(packet, std::span(data + i, n));
        i += n;
        if (a.RxCount() < 0 || a.RxCount() > 256) Fail("assembler holds more than a packet");
        if (result == SerialReplyAssembler::Result::Complete &&
            (a.RxCount() != 0 || a.LastReplySize() != packet[1] + 1u))
            Fail("a complete reply whose size is not its length byte + 1");
    }
}

// The logger at the far end of the line. It acts on each request as it is written; its answer
// is in flight until the test lets it arrive. An answer still in flight when the watchdog has
// fired since is lost, as if it had come before the retry's purge: the line is lossy but never
// later than the watchdog. One still in flight with no watchdog tick in between stays ahead of
// the next one, as on a real line.
class LoggerLine : public QueueSerialLink {
public:
    LoggerLine(StoreDevice& dev, const Rig& rig) : dev_(dev), rig_(rig) {}
    std::deque<bool> noisy;  // parallel to rx: the byte is not the logger's
    std::deque<std::uint8_t> inFlight;
    std::size_t noiseRead = 0;
    bool loseRequest = false;
    bool loseReply = false;

    void PurgeBuffers() override {
        QueueSerialLink::PurgeBuffers();
        noisy.clear();
    }
    void Write(std::span<const std::uint8_t> bytes) override {
        QueueSerialLink::Write(bytes);
        written.clear();
        if (rig_.watchdogTicks != inFlightTicks_) inFlight.clear();
        inFlightTicks_ = rig_.watchdogTicks;
        if (std::exchange(loseRequest, false)) return;
        const auto frames = dev_.Handle(bytes);
        if (std::exchange(loseReply, false)) return;
        for (const auto& frame : frames)
            inFlight.insert(inFlight.end(), frame.begin(), frame.end());
    }
    std::size_t Read(std::span<std::uint8_t> bytes) override {
        const std::size_t n = QueueSerialLink::Read(bytes);
        for (std::size_t k = 0; k < n && !noisy.empty(); ++k) {
            noiseRead += noisy.front();
            noisy.pop_front();
        }
        return n;
    }
    void Arrive(std::span<const std::uint8_t> bytes, bool noise) {
        rx.insert(rx.end(), bytes.begin(), bytes.end());
        noisy.insert(noisy.end(), bytes.size(), noise);
    }
    // What is in flight arrives; with `garble`, one byte of it changed.
    void Land(std::uint8_t garble) {
        std::vector<std::uint8_t> bytes(inFlight.begin(), inFlight.end());
        inFlight.clear();
        const std::size_t first = rx.size();
        Arrive(bytes, false);
        if (garble && !bytes.empty()) {
            const std::size_t k = garble % bytes.size();
            rx[first + k] ^= garble;
            noisy[first + k] = true;
        }
    }

private:
    StoreDevice& dev_;
    const Rig& rig_;
    std::size_t inFlightTicks_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sandbox* box = new Sandbox;
    CheckAssembler(data, size);
    {
        StoreDevice dev;
        FillLogger(dev);
        Rig rig(dev);
        Controller& c = rig.controller;
        c.SetUpFolders(box->Start());
        c.FormCreate(1024, 768);
        LoggerLine port(dev, rig);
        c.SerialPortOpened(&port, "COM3");
        rig.RunFor(3000);
        box->Snapshot();
        Oracles oracles(c, box->Data(), port.writes);
        std::size_t i = 0;
        auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
        // Bytes waiting, as the driver tells it: all of them, or a count of its own.
        auto receive = [&](std::size_t claimed) {
            const std::size_t noiseBefore = port.noiseRead;
            const bool awaited = c.Link().Outstanding;
            c.ComPort1RxChar(claimed);
            if (awaited && port.noiseRead != noiseBefore) oracles.Untruthful();
            oracles.Events(1);
        };
        auto check = [&](const char* after) {
            const std::string fault = oracles.Check(port.writes, &dev);
            if (!fault.empty())
                Fail(std::string("after ") + after + " at byte " + std::to_string(i) + ": " +
                     fault);
        };
        while (i < size) {
            const std::uint8_t op = next();
            const char* what = "the logger's answer";
            switch (op % 16) {
                case 0:
                case 1:
                case 2:
                case 3:
                    port.Land(0);
                    receive((op & 0x80) ? next() * 16u : port.rx.size());
                    break;
                case 4:  // a run of exchanges on a good line
                    for (int k = op >> 4; k >= 0; --k) {
                        port.Land(0);
                        receive(port.rx.size());
                    }
                    break;
                case 5:
                    what = "a garbled answer";
                    port.Land(static_cast<std::uint8_t>(next() | 1));
                    receive(port.rx.size());
                    break;
                case 6: {
                    what = "time passing";
                    const std::size_t before = rig.timerTicks;
                    rig.RunFor(next() * 20);
                    oracles.Events(rig.timerTicks - before);
                    break;
                }
                case 7:
                    what = "a failed read";
                    port.failNextRead = true;
                    break;
                case 8:
                    what = "a lost request";
                    port.loseRequest = true;
                    break;
                case 9:
                    what = "a lost reply";
                    port.loseReply = true;
                    break;
                case 10:
                    what = "a click";
                    ClickIfAvailable(c, kButtons[(op >> 4) % kButtons.size()]);
                    oracles.Events(1);
                    break;
                case 11:
                    what = "a copy";
                    ClickIfAvailable(c, (op >> 4) & 1 ? "bAllData" : "bNewData");
                    oracles.Events(1);
                    break;
                case 12: {
                    what = "an edit";
                    const std::uint8_t which = next();
                    EditIfAvailable(c, which, next());
                    oracles.Events(1);
                    break;
                }
                default: {  // bytes from the input, announced as `claimed`
                    what = "noise";
                    const std::size_t wanted = next();  // before `size - i`: next() moves i
                    const std::size_t n = std::min(wanted, size - i);
                    port.Arrive(std::span(data + i, n), true);
                    i += n;
                    receive((op & 0x80) ? next() * 16u : port.rx.size());
                    break;
                }
            }
            check(what);
        }
        // A good line from here on: whatever was under way ends or goes on, never stands still.
        for (int k = 0; k < 200 && (c.Link().Outstanding || !port.inFlight.empty()); ++k) {
            port.Land(0);
            receive(port.rx.size());
        }
        const std::size_t before = rig.timerTicks;
        rig.RunFor(Controller::kGiveUpWithinMs + 1000);
        oracles.Events(rig.timerTicks - before);
        check("the end of the input");
        if (const std::string fault = oracles.CheckFiles(dev); !fault.empty())
            Fail("local copy differs: " + fault);
        if (const auto changed = box->Changed(); !changed.empty())
            Fail("written outside DATA: " + changed.front());
        c.FormClose();
        if (const auto broken = BrokenFiles(box->Data()); !broken.empty())
            Fail("half-written local file: " + broken.front());
    }
    std::error_code ec;
    fs::remove_all(box->Data(), ec);
    return 0;
}
