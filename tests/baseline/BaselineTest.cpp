// What the operator sees and what goes over the wire, for every scripted scenario, against files
// kept in tests/baseline/golden: any change to either shows here, line by line. After a change
// that is meant to show, QMC_UPDATE_BASELINE=1 writes the files anew (review their diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "sim/FaultyDevice.h"
#include "sim/Modems.h"
#include "sim/VirtualLogger.h"
#include "tests/baseline/Baseline.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class Baseline {
public:
    // The logger reached through `link` (a modem in front of it), or directly.
    using Front = std::function<std::unique_ptr<sim::Device>(sim::Device& logger)>;
    explicit Baseline(const sim::LinkFaults& faults = {}, std::uint8_t deviceType = 84,
                      const Front& link = {}) {
        start =
            fs::temp_directory_path() / ("qm_baseline_" + std::to_string(std::random_device{}()));
        fs::create_directories(start);
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        config.deviceType = deviceType;
        // The logger's clock runs with the rig's virtual time.
        logger = std::make_unique<sim::VirtualLogger>(
            config, [this] { return rig ? rig->clock.Now() : FakePcClock{}.Now(); });
        faulty = std::make_unique<sim::FaultyDevice>(*logger, faults);
        if (link) front = link(*faulty);
        wire = std::make_unique<WireLog>(front ? *front : *faulty);
        rig = std::make_unique<Rig>(*wire);
        rig->controller.SetUpFolders(start);
    }
    ~Baseline() {
        rig.reset();
        std::error_code ec;
        fs::remove_all(start, ec);
    }
    // Writes down the window and the wire since the last point.
    void Point(const std::string& name) {
        text += "== " + name + "\n" +
                DumpWindow(rig->Model(), rig->controller.Timers(), start.string());
        for (const std::string& e : rig->ops.errors) text += "error [" + e + "]\n";
        for (const std::string& w : rig->ops.warnings) text += "warning [" + w + "]\n";
        for (const std::string& c : rig->ops.confirmations) text += "confirm [" + c + "]\n";
        rig->ops.errors.clear();
        rig->ops.warnings.clear();
        rig->ops.confirmations.clear();
        text += "-- wire\n" + wire->text;
        wire->text.clear();
    }
    void ReadOut() {
        rig->StartUsb();
        rig->RunFor(5'000);
        Point("read out");
    }
    void Click(const std::string& control, const std::string& point) {
        rig->controller.Click(control);
        rig->RunUntilIdle(120'000);
        Point(point);
    }
    // Compares with the golden file of `scenario`, or writes it when asked to.
    void Check(const std::string& scenario) {
        const fs::path golden = fs::path(QMC_BASELINE_DIR) / "golden" / (scenario + ".txt");
        if (std::getenv("QMC_UPDATE_BASELINE")) {
            std::ofstream(golden, std::ios::binary) << text;
            return;
        }
        std::ifstream in(golden, std::ios::binary);
        ASSERT_TRUE(in) << "no baseline " << golden << ": run with QMC_UPDATE_BASELINE=1";
        std::stringstream expected;
        expected << in.rdbuf();
        // Line by line, so that a difference names its point and its line.
        std::istringstream want(expected.str()), got(text);
        std::string w, g, point;
        int line = 0;
        while (true) {
            const bool moreWant = static_cast<bool>(std::getline(want, w));
            const bool moreGot = static_cast<bool>(std::getline(got, g));
            ++line;
            if (!moreWant && !moreGot) break;
            if (moreWant && w.rfind("== ", 0) == 0) point = w;
            ASSERT_EQ(moreWant ? w : "<end>", moreGot ? g : "<end>")
                << scenario << ", line " << line << ", at " << point;
        }
    }

    fs::path start;
    std::unique_ptr<sim::VirtualLogger> logger;
    std::unique_ptr<sim::FaultyDevice> faulty;
    std::unique_ptr<sim::Device> front;
    std::unique_ptr<WireLog> wire;
    std::unique_ptr<Rig> rig;
    std::string text;
};

TEST(Baseline, ReadOutCopiesAndDelete) {
    Baseline b;
    b.ReadOut();
    b.rig->controller.Selected("ComboBox1", 0);
    b.Point("first directory selected");
    b.Click("bAllData", "full copy");
    b.Click("bNewData", "new data, nothing new");
    b.rig->controller.Click("bSelect");
    b.rig->controller.DateTimeEdited("DateData", *DateTime::FromDate(2024, 3, 2));
    b.Point("day chosen");
    b.Click("bCopy", "day copied");
    b.rig->controller.Selected("ComboBox1", 2);
    b.Click("bDelete", "third directory deleted");
    b.Check("copies");
}

TEST(Baseline, ClockTestMeasurementAndLanguage) {
    Baseline b;
    b.ReadOut();
    b.Click("bSynch", "clock set");
    b.Click("bTest", "test measurement");
    b.rig->controller.Click("pmEng");
    b.Point("English");
    b.Click("bTest", "test measurement in English");
    b.Check("clock-and-test");
}

TEST(Baseline, ACopyOverALossyLink) {
    sim::LinkFaults faults;
    faults.lossRate = 0.05;
    faults.seed = 3;
    Baseline b(faults);
    b.ReadOut();
    b.rig->controller.Selected("ComboBox1", 1);
    b.Click("bAllData", "full copy, 5 % lost");
    b.Check("lossy-copy");
}

TEST(Baseline, ScheduleCalibrationAndAStoppedCopy) {
    Baseline b;
    b.ReadOut();
    Controller& c = b.rig->controller;
    c.Click("bCurrent1");
    c.NumberEdited("MinEdit", 30);
    c.Click("bSet");
    b.Point("schedule edited");
    b.Click("Parameters.Button1", "schedule written");
    c.Click("pmCalibration");
    b.Click("bTest", "test measurement with the calibration group");
    c.TextEdited("Edit1", "21.5");
    b.Click("bCalibr", "calibration written");
    c.Selected("ComboBox1", 0);
    // Replies 10 ms apart, so that Stop comes in the middle of the copy.
    b.rig->link.SetReplyDelay(std::chrono::milliseconds(10));
    c.Click("bAllData");
    b.rig->RunFor(300);
    b.Point("copy running");
    b.Click("bStop", "copy stopped");
    b.Check("schedule-calibration-stop");
}

TEST(Baseline, RemarkLinesOfALoggerThatKeepsThem) {
    Baseline b({}, 88);
    b.ReadOut();
    b.rig->controller.TextEdited("pRemark1", "Скважина 7");
    b.Point("remark edited");
    b.Click("bRemark", "remarks written");
    b.Check("remarks");
}

TEST(Baseline, TheLoggerThroughTheRadioModem) {
    Baseline b({}, 84, [](sim::Device& logger) {
        return std::make_unique<sim::RadioModem>(
            logger, sim::RadioModemConfig{.loggerAddress = 7, .loggerInRange = true});
    });
    b.rig->StartUsb();
    b.rig->RunFor(1000);
    b.Point("radio modem found");
    b.rig->controller.Checked("cbRAddress", false);
    b.rig->controller.TextEdited("eRAddress", "7");
    b.Click("bRStart", "read out through the radio modem");
    b.Check("radio-modem");
}

TEST(Baseline, TheLoggerThroughTheBluetoothModem) {
    Baseline b({}, 84, [](sim::Device& logger) {
        return std::make_unique<sim::BtModem>(
            logger,
            sim::BtModemConfig{
                .noCarrierBeforeConnect = 2, .echo = true, .reachableAddresses = {"00AABBCCDDEE"}});
    });
    std::ofstream(b.start / "Device.txt", std::ios::binary) << "0012F3A4B5C6\r\n00AABBCCDDEE\r\n";
    b.rig->controller.SetUpFolders(b.start);
    b.rig->StartUsb();
    b.rig->RunFor(1000);
    b.Point("Bluetooth modem found");
    b.rig->controller.Selected("RadioGroup1", 1);
    b.rig->controller.Click("Button6");
    b.rig->RunFor(300 + 2 * 15000);
    b.Point("third call connected");
    b.rig->RunUntilIdle();
    b.Point("read out through the Bluetooth modem");
    b.Check("bluetooth-modem");
}

TEST(Baseline, TheLoggerOnASerialPort) {
    Baseline b;
    InProcessSerial port(*b.wire);
    b.rig->serial = &port;
    Controller& c = b.rig->controller;
    c.SetSerialPortOpener(&port);
    c.FormCreate(1024, 768);
    c.Click("pmBluetooth");
    c.TextEdited("portDevice", "/dev/ttyQM0");
    b.Point("port group shown");
    c.Click("bSetPort");
    b.rig->RunFor(5'000);
    b.Point("read out over the serial port");
    c.Selected("ComboBox1", 1);
    b.Click("bAllData", "full copy over the serial port");
    b.Click("bSynch", "clock set over the serial port");
    b.Check("serial-port");
}

}  // namespace
}  // namespace qm::test
