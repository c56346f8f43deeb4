// Randomized robustness of the serial line (a noisy byte stream in random chunks, reads that
// fail) and of the two files the program reads back: the resume record "Temp.bin" and the
// Bluetooth device list "Device.txt".
#include <gtest/gtest.h>

#include <fstream>

#include "tests/modems/FakeModems.h"
#include "tests/robustness/RobustnessSupport.h"
#include "tests/store/StoreDevice.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

// The logger at the far end of a serial line: answers each request written to the port, and
// with noise on, mangles what it sends (bytes flipped, lost, added, doubled).
void Answer(StoreDevice& dev, QueueSerialLink& port, std::mt19937& rng, bool noise) {
    auto written = std::move(port.written);
    port.written.clear();
    for (const auto& request : written) {
        for (const sim::Frame& frame : dev.Handle(request)) {
            for (std::uint8_t b : frame) {
                const int r = noise ? Pick(rng, 0, 60) : 60;
                if (r == 0) continue;
                if (r == 1) b = static_cast<std::uint8_t>(Pick(rng, 0, 255));
                port.rx.push_back(b);
                if (r == 2) port.rx.push_back(b);
                if (r == 3)
                    for (int k = Pick(rng, 0, 300); k > 0; --k)
                        port.rx.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
            }
        }
    }
}

TEST(SerialNoise, RandomStreamsInRandomChunksNeverCrashAndTheLineRecovers) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Sandbox box;
        StoreDevice dev;
        FillLogger(dev);
        Rig rig(dev);
        Controller& c = rig.controller;
        c.SetUpFolders(box.Start());
        c.FormCreate(1024, 768);
        QueueSerialLink port;
        c.SerialPortOpened(&port, "COM3");
        box.Snapshot();
        for (int step = 0; step < 300; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            Answer(dev, port, rng, true);
            switch (Pick(rng, 0, 7)) {
                case 0:  // bytes of nothing in particular
                    for (int k = Pick(rng, 0, 600); k > 0; --k)
                        port.rx.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
                    break;
                case 1:
                    port.failNextRead = true;
                    break;
                case 2:
                    ClickIfAvailable(c, Pick(rng, 0, 1) ? "bAllData" : "bNewData");
                    break;
                default:
                    break;
            }
            // The driver's count may be more or less than what is there.
            while (!port.rx.empty() || Pick(rng, 0, 3) == 0) {
                const std::size_t waiting =
                    Pick(rng, 0, 4) == 0 ? static_cast<std::size_t>(Pick(rng, 0, 5000))
                                         : std::min<std::size_t>(port.rx.size(), Pick(rng, 1, 80));
                c.ComPort1RxChar(waiting);
                if (port.rx.empty()) break;
            }
            rig.RunFor(Pick(rng, 0, 1500));
        }
        EXPECT_EQ(box.Changed(), std::vector<std::string>{});

        // Without noise a clock read-out goes through again.
        Answer(dev, port, rng, false);
        port.rx.clear();
        port.failNextRead = false;
        c.MutableClock().SetClockRead(false);
        c.MutableModel().Label2.caption.clear();
        const int stale = c.Link().serialReply.RxCount();
        c.bClockClick();
        // The request may wait for replies still owed to requests given up on in the noise.
        for (int k = 0; k < 300 && !c.Clock().ClockRead(); ++k) {
            Answer(dev, port, rng, false);
            if (!port.rx.empty()) c.ComPort1RxChar(port.rx.size());
            if (!c.Clock().ClockRead()) rig.RunFor(100);
        }
        EXPECT_TRUE(c.Clock().ClockRead()) << stale << " bytes of an earlier reply were pending";
        EXPECT_EQ(c.Model().Label2.caption, Controller::ClockText(9, 7, 3, 5, 3, 24));

        c.FormClose();
        EXPECT_EQ(BrokenFiles(box.Data()), std::vector<std::string>{});
        EXPECT_EQ(box.Changed(), std::vector<std::string>{});
        if (HasFailure()) return;
    }
}

std::string RandomRecord(std::mt19937& rng) {
    static const std::vector<std::string> names = {
        "2024_3.dat", "b.dat", "gone.dat", "", "..", "b.dat   ", std::string(70, 'a')};
    static const std::vector<std::string> numbers = {
        "0",       "1",     "2",          "3",          "-1",
        "65535",   "65536", "2147483647", "2147483648", "99999999999999999999",
        "+4",      "",      "x",          "3x",         " 2 ",
        "\t1\r\n9"};
    std::string text;
    switch (Pick(rng, 0, 2)) {
        case 0:
            text = RandomBytes(rng, 200);
            break;
        default:
            text = names[static_cast<std::size_t>(Pick(rng, 0, int(names.size()) - 1))];
            text += Pick(rng, 0, 1) ? "\r\n" : "\n\n  ";
            text += numbers[static_cast<std::size_t>(Pick(rng, 0, int(numbers.size()) - 1))];
            if (Pick(rng, 0, 1)) text += "\r\n";
            if (Pick(rng, 0, 3) == 0) text += RandomBytes(rng, 30);
            break;
    }
    return text;
}

TEST(FileContents, RandomResumeRecordsNeverCrashNorWriteOutsideData) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Sandbox box;
        StoreDevice dev;
        FillLogger(dev);
        const fs::path folder = box.Data() / "D1";
        fs::create_directories(folder);
        const std::string record = RandomRecord(rng);
        std::ofstream(folder / "Temp.bin", std::ios::binary) << record;
        // A local copy of whole lines, as an earlier copy leaves it.
        std::string held;
        for (int k = Pick(rng, 0, 5); k > 0; --k) held += RandomBytes(rng, 10) + "\r\n";
        if (Pick(rng, 0, 1)) std::ofstream(folder / "2024_3.dat", std::ios::binary) << held;
        box.Snapshot();

        Rig rig(dev);
        rig.controller.SetUpFolders(box.Start());
        rig.StartUsb();
        rig.RunFor(5000);
        rig.controller.Click("bNewData");
        rig.RunUntilIdle();
        rig.controller.FormClose();
        EXPECT_EQ(box.Changed(), std::vector<std::string>{});
        for (const auto& [name, bytes] : FilesUnder(box.Data())) {
            EXPECT_EQ(name.find(kStagingFolderName), std::string::npos) << name;
            if (!bytes.empty() && name != "D1/Temp.bin") {
                EXPECT_TRUE(bytes.ends_with("\r\n")) << name;
            }
        }
        // The controller is idle again and the operator can copy once more.
        EXPECT_TRUE(rig.Model().bAllData.enabled);
        if (HasFailure()) return;
    }
}

TEST(FileContents, RandomDeviceListsNeverCrashAndEveryWriteIsOneWholeReport) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        Sandbox box;
        std::string list;
        for (int k = Pick(rng, 0, 12); k > 0; --k) {
            list += Pick(rng, 0, 2) ? RandomBytes(rng, 80) : "00:11:22:33:44:55";
            list += Pick(rng, 0, 1) ? "\r\n" : (Pick(rng, 0, 1) ? "\n" : "\r");
        }
        if (Pick(rng, 0, 1)) list += RandomBytes(rng, 300);
        std::ofstream(box.Start() / "Device.txt", std::ios::binary) << list;
        box.Snapshot();

        StoreDevice dev;
        FillLogger(dev);
        FakeModem modem(2, dev);
        modem.callAnswers = {"NO CARRIER", "CONNECT"};
        const std::size_t reportLength =
            Pick(rng, 0, 1) ? 65 : static_cast<std::size_t>(Pick(rng, 5, 40));
        Rig rig(modem, reportLength);
        rig.controller.SetUpFolders(box.Start());
        rig.StartUsb();
        rig.RunFor(2000);
        for (int item = -1; item <= 9; ++item) {
            rig.controller.MutableModel().RadioGroup1.itemIndex = item;
            rig.controller.Click("Button6");
            rig.RunFor(Pick(rng, 0, 20000));
        }
        for (const auto& report : rig.link.Written()) EXPECT_EQ(report.size(), reportLength);
        rig.controller.FormClose();
        EXPECT_EQ(box.Changed(), std::vector<std::string>{});
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace qm::test
