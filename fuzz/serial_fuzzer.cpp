// Serial framing: the input is cut into chunks that arrive on the port (with a byte count that
// may differ from what is there), interleaved with the logger's true answers, timers and copies.
// The assembler alone is checked too: it never holds more than one packet and a complete reply
// is exactly as long as its length byte says.
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
        QueueSerialLink port;
        c.SerialPortOpened(&port, "COM3");
        rig.RunFor(3000);
        box->Snapshot();
        std::size_t i = 0;
        auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
        while (i < size) {
            const std::uint8_t op = next();
            switch (op % 8) {
                case 0: {  // the logger answers what it was asked
                    for (const auto& request : port.written)
                        for (const auto& frame : dev.Handle(request))
                            port.rx.insert(port.rx.end(), frame.begin(), frame.end());
                    port.written.clear();
                    c.ComPort1RxChar(port.rx.size());
                    break;
                }
                case 1:
                    rig.RunFor(next() * 20);
                    break;
                case 2:
                    port.failNextRead = true;
                    break;
                case 3:
                    ClickIfAvailable(c, (op >> 3) & 1 ? "bAllData" : "bNewData");
                    break;
                default: {  // bytes from the input, announced as `claimed`
                    const std::size_t n = std::min<std::size_t>(next(), size - i);
                    port.rx.insert(port.rx.end(), data + i, data + i + n);
                    i += n;
                    const std::size_t claimed = (op & 0x80) ? next() * 16u : port.rx.size();
                    c.ComPort1RxChar(claimed);
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
    return 0;
}
