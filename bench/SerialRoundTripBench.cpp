// One request/reply round trip through the real serial backend (purge, bounded write, receive
// announcement on the UI thread, read) over a pseudo-terminal, against a device thread that
// answers at once. "Time" is the whole round trip; "CPU" is the UI thread's own time in it (the
// program's share: Qt, the backend and the system calls it makes), the rest is the kernel's pty
// and the device thread.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>

#include "link/backends/QtSerialPort.h"

namespace {

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "serial_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

void BM_SerialRoundTrip(benchmark::State& state) {
    (void)App();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    qm::QtSerialPort port;
    port.Open(ptsname(master));

    // The device: every 4-byte request is answered with a 4-byte reply.
    std::atomic<bool> stop = false;
    std::thread device([&] {
        std::uint8_t request[4];
        std::size_t have = 0;
        const std::uint8_t reply[] = {3, 248, 79, 5};
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t got = ::read(master, request + have, sizeof request - have);
            if (got <= 0) return;
            have += static_cast<std::size_t>(got);
            if (have < sizeof request) continue;
            have = 0;
            if (::write(master, reply, sizeof reply) != sizeof reply) return;
        }
    });

    std::size_t received = 0;
    std::uint8_t buffer[64];
    port.SetRxHandler([&](std::size_t n) {
        received += port.Read(std::span(buffer, std::min(n, sizeof buffer)));
    });
    const std::uint8_t request[] = {0, 2, 0, 48};
    for (auto _ : state) {
        received = 0;
        port.PurgeBuffers();
        port.Write(request);
        while (received < 4) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    stop = true;
    device.join();
    port.Close();
    ::close(master);
}
BENCHMARK(BM_SerialRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
