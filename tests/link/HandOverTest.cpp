// Handing reader events over to the UI thread, and the real HID layer where no device is.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>

#include "link/HidCtl.h"
#include "link/backends/HandOver.h"
#include "link/backends/HidApiBackend.h"
#include "tests/link/QtApp.h"

namespace qm::test {
namespace {

TEST(UiHandOver, CallsRunOnTheUiThreadInOrderAndTheWorkerWaitsForEach) {
    QObject context;
    (void)App();
    UiHandOver handOver(&context);
    const auto ui = std::this_thread::get_id();
    std::vector<int> ran;              // UI thread only
    std::vector<int> seenAfterReturn;  // worker only
    std::atomic<bool> done = false;

    std::thread worker([&] {
        for (int k = 1; k <= 3; ++k) {
            const bool r = handOver.Run([&, k] {
                EXPECT_EQ(std::this_thread::get_id(), ui);
                ran.push_back(k);
            });
            EXPECT_TRUE(r);
            // Safe to read: the UI thread wrote it before releasing this worker.
            seenAfterReturn.push_back(ran.back());
        }
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(seenAfterReturn, (std::vector<int>{1, 2, 3}));
}

TEST(UiHandOver, StoppingReleasesAWaitingWorkerAndDropsItsCall) {
    QObject context;
    (void)App();
    UiHandOver handOver(&context);
    std::atomic<bool> posted = false;
    bool ran = false, result = true;

    std::thread worker([&] {
        posted = true;
        result = handOver.Run([&] { ran = true; });
    });
    while (!posted) std::this_thread::yield();
    // The UI thread stops the worker without ever running the call: no dead-lock.
    handOver.Stop();
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);

    // A stopped hand-over neither runs calls nor waits.
    EXPECT_FALSE(handOver.Run([&] { ran = true; }));
    EXPECT_FALSE(handOver.Pause(std::chrono::hours(1)));
}

TEST(HidApiBackend, ListsOnlyUsableInterfacesAndIsQuietWithoutDevices) {
    QObject context;
    (void)App();
    HidApiBackend backend(&context);
    HidCtl hid(backend);
    int changes = 0;
    hid.SetHandlers({.enumerate = {}, .deviceChange = [&] { ++changes; }, .deviceData = {}});
    hid.DevicesChanged(true);
    EXPECT_EQ(changes, 1);
    for (int i = 0; i < hid.Count(); ++i) {
        EXPECT_FALSE(hid.Device(i).Path().empty());
        EXPECT_FALSE(hid.Device(i).Instance().empty());
    }
    hid.DevicesChanged();
    EXPECT_EQ(changes, 1);  // nothing came or went
    EXPECT_FALSE(ReadReportLengths("/dev/hidraw-qm-none"));
    EXPECT_EQ(backend.Open("/dev/hidraw-qm-none"), nullptr);

    // A reader whose device is missing retries at its own pace, delivers nothing, and stops
    // when told to.
    int delivered = 0;
    auto reader = backend.StartReader("/dev/hidraw-qm-none", {65, 65, false},
                                      [&](std::span<const std::uint8_t>) { ++delivered; });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    QCoreApplication::processEvents();
    reader.reset();
    EXPECT_EQ(delivered, 0);
}

}  // namespace
}  // namespace qm::test
