// The window's handlers of both links, on a controller with fake platform layers.
#include <gtest/gtest.h>

#include "core/Controller.h"
#include "link/HidCtl.h"
#include "tests/link/FakeHidBackend.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct UsbLink : ::testing::Test {
    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    FakeHidBackend backend;
    HidCtl hid{backend};

    UsbLink() {
        c.FormCreate(1024, 768);
        c.AttachHidCtl(hid);
    }
    const WindowModel& M() { return c.Model(); }
    const SessionTimers& T() { return c.Timers(); }
    const Controller& S() { return c; }
    void StartTimerTick() { c.OnTimer(TimerId::StartTimer); }
    void Deliver(const std::string& path, Bytes report) {
        auto* r = backend.RunningReader(path);
        ASSERT_NE(r, nullptr) << path;
        r->deliver(report);
    }
    std::vector<Bytes>& Written(const std::string& instance) {
        return backend.written["/dev/hid-" + instance];
    }
};

TEST_F(UsbLink, AnotherProductIsClaimedAndReadButIgnored) {
    EXPECT_EQ(M().window.title, "=");  // the design caption until a device is visited
    backend.Plug("USB Keyboard", "k");
    hid.DevicesChanged(true);

    EXPECT_TRUE(hid.Device(0).Claimed());
    EXPECT_EQ(M().window.title, "QM-Controller");
    EXPECT_FALSE(T().StartTimer.Enabled());
    EXPECT_TRUE(M().pmBluetooth.enabled);
    EXPECT_EQ(S().Link().LinkDevice, nullptr);

    Deliver("/dev/hid-k", {3, 248, 79, 5});
    EXPECT_EQ(S().Sequence().DeviceType(), 0);
    EXPECT_EQ(S().Link().PacketBuffer[1], 0);
}

TEST_F(UsbLink, OfTwoLoggersTheLaterInTheListCarriesTheLink) {
    backend.Plug("QM Controller", "a");
    backend.Plug("USB Mouse", "m");
    backend.Plug("QM Controller", "b");
    hid.DevicesChanged(true);

    EXPECT_EQ(S().Link().LinkDevice, &hid.Device(2));
    EXPECT_TRUE(T().StartTimer.Enabled());
    EXPECT_EQ(T().StartTimer.Interval(), 300);
    EXPECT_FALSE(M().pmBluetooth.enabled);

    StartTimerTick();
    EXPECT_TRUE(Written("a").empty());
    ASSERT_EQ(Written("b").size(), 1u);
    // A short request still goes out as the whole output report, report ID 0 first.
    const Bytes& report = Written("b")[0];
    ASSERT_EQ(report.size(), 65u);
    EXPECT_EQ(Bytes(report.begin(), report.begin() + 4), (Bytes{0, 2, 255, 0}));
    EXPECT_TRUE(S().Link().UsbStarted);

    // Its reply comes through its reader and leads on to the next request.
    Deliver("/dev/hid-b", {3, 248, 79, 5});
    EXPECT_EQ(M().window.title, "QM-Controller [ 79.5 ]");
    ASSERT_EQ(Written("b").size(), 2u);
    EXPECT_EQ(Written("b")[1][3], 48);
}

TEST_F(UsbLink, ALoggerHeldByAnotherProgramIsNotChosenAndTheOperatorIsTold) {
    backend.Plug("QM Controller", "l").readWrite = false;
    hid.DevicesChanged(true);

    EXPECT_EQ(S().Link().LinkDevice, nullptr);
    EXPECT_FALSE(T().StartTimer.Enabled());
    EXPECT_FALSE(hid.Device(0).HasReader());
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("/dev/hid-l"), std::string::npos) << ops.errors[0];
}

TEST_F(UsbLink, OnlyTheExactProductStringIsTheLogger) {
    backend.Plug("qm controller", "lower");
    backend.Plug("QM Controller ", "blank");
    hid.DevicesChanged(true);
    EXPECT_EQ(S().Link().LinkDevice, nullptr);
    EXPECT_FALSE(T().StartTimer.Enabled());
    EXPECT_TRUE(M().pmBluetooth.enabled);

    Deliver("/dev/hid-blank", {3, 248, 79, 5});
    EXPECT_EQ(S().Sequence().DeviceType(), 0);
}

TEST_F(UsbLink, ALoggerPluggedInAgainIsANewDeviceAtTheEndAndCarriesOn) {
    backend.Plug("QM Controller", "l");
    backend.Plug("USB Mouse", "m");
    hid.DevicesChanged(true);
    HidDeviceLink* first = S().Link().LinkDevice;

    backend.Unplug("l");
    hid.DevicesChanged();
    backend.Plug("QM Controller", "l");
    hid.DevicesChanged();

    ASSERT_EQ(hid.Count(), 3);
    EXPECT_FALSE(hid.Device(0).PluggedIn());
    EXPECT_EQ(S().Link().LinkDevice, &hid.Device(2));
    EXPECT_NE(S().Link().LinkDevice, first);
    EXPECT_TRUE(T().StartTimer.Enabled());
    EXPECT_EQ(ops.quits, 0);
}

TEST_F(UsbLink, TheLoggerGoingAwayAfterTheStartEndsTheProgram) {
    for (const bool keyboardToo : {true, false}) {
        FakeOperator quitter;
        Controller other{clock, quitter};
        FakeHidBackend devices;
        HidCtl ctl{devices};
        other.AttachHidCtl(ctl);
        if (keyboardToo) devices.Plug("USB Keyboard", "k");
        devices.Plug("QM Controller", "l");
        ctl.DevicesChanged(true);
        other.OnTimer(TimerId::StartTimer);
        other.MutableCopy().StateForTest().DataFileOpen = true;  // a copy is running

        devices.Unplug("l");
        ctl.DevicesChanged();
        EXPECT_EQ(quitter.quits, 1) << "keyboard present: " << keyboardToo;
        EXPECT_FALSE(other.Copy().DataFileOpen());  // its file was closed first
    }
}

TEST_F(UsbLink, OtherDevicesComingAndGoingNeverEndTheProgram) {
    backend.Plug("QM Controller", "l");
    hid.DevicesChanged(true);
    StartTimerTick();

    backend.Plug("USB Keyboard", "k");
    hid.DevicesChanged();
    // The logger is still the link it was: nothing starts over.
    EXPECT_FALSE(T().StartTimer.Enabled());
    EXPECT_EQ(Written("l").size(), 1u);
    backend.Unplug("k");
    hid.DevicesChanged();
    EXPECT_EQ(ops.quits, 0);

    // Before the first request nothing ends either: the logger may come back.
    FakeOperator quiet;
    Controller fresh{clock, quiet};
    FakeHidBackend devices;
    HidCtl ctl{devices};
    fresh.AttachHidCtl(ctl);
    devices.Plug("QM Controller", "l");
    ctl.DevicesChanged(true);
    devices.Unplug("l");
    ctl.DevicesChanged();
    EXPECT_EQ(quiet.quits, 0);
}

// A serial port that records what the controller does with it.
struct FakePort : SerialLink {
    std::vector<std::string> calls;
    Bytes written;
    Bytes incoming;
    void PurgeBuffers() override { calls.push_back("purge"); }
    void Write(std::span<const std::uint8_t> bytes) override {
        calls.push_back("write");
        written.assign(bytes.begin(), bytes.end());
    }
    std::size_t Read(std::span<std::uint8_t> bytes) override {
        const std::size_t n = std::min(bytes.size(), incoming.size());
        std::copy_n(incoming.begin(), n, bytes.begin());
        incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    void Close() override { calls.push_back("close"); }
};

struct FakeOpener : SerialPortOpener {
    FakePort port;
    std::vector<std::string> names;
    bool fail = false;
    SerialLink* Open(const std::string& name) override {
        names.push_back(name);
        if (fail) throw SerialFailed(SerialFailure::Open, 5);
        return &port;
    }
};

struct SerialLinkTest : UsbLink {
    FakeOpener opener;
    SerialLinkTest() {
        c.SetSerialPortOpener(&opener);
        c.Click("pmBluetooth");
    }
};

TEST(SerialPortName, NumbersAndDevices) {
    EXPECT_EQ(SerialPortName(1, "", true), "COM1");
    EXPECT_EQ(SerialPortName(12, "", true), "COM12");
    EXPECT_EQ(SerialPortName(1, "", false), "/dev/ttyS0");
    EXPECT_EQ(SerialPortName(3, "", false), "/dev/ttyS2");
    EXPECT_EQ(SerialPortName(3, "/dev/rfcomm0", true), "/dev/rfcomm0");
    EXPECT_EQ(SerialErrorText(SerialFailure::Write, 31), "WriteFile function failed (Error: 31)");
    EXPECT_EQ(SerialErrorText(SerialFailure::NotOpen), "Port Not Open");
    EXPECT_EQ(SerialErrorText(SerialFailure::Write, 31, Language::Russian),
              "Не удалось записать в порт (ошибка 31)");
}

TEST_F(SerialLinkTest, OpeningThePortStartsTheSequenceOverItIn3Seconds) {
    c.NumberEdited("SpinEdit1", 3.9);
    c.Click("bSetPort");

    EXPECT_EQ(opener.names, (std::vector<std::string>{SerialPortName(3, "")}));
    EXPECT_EQ(S().Link().PortNumber, 3);
    EXPECT_TRUE(S().Link().PortOpen);
    EXPECT_TRUE(S().Link().SerialLinkActive);
    EXPECT_FALSE(M().GroupBox4.visible);
    EXPECT_FALSE(M().bSetPort.enabled);
    EXPECT_TRUE(T().StartTimer.Enabled());
    EXPECT_EQ(T().StartTimer.Interval(), 3000);

    // Opened, the port is purged of what an earlier run left in it; each request purges again.
    EXPECT_EQ(opener.port.calls, (std::vector<std::string>{"purge"}));
    StartTimerTick();
    EXPECT_EQ(opener.port.calls, (std::vector<std::string>{"purge", "purge", "write"}));
    EXPECT_EQ(opener.port.written, (Bytes{0, 2, 255, 0}));
    EXPECT_FALSE(S().Link().UsbStarted);

    // A logger plugged in on USB now re-arms the start, but requests stay on the port.
    backend.Plug("QM Controller", "l");
    hid.DevicesChanged(true);
    EXPECT_TRUE(T().StartTimer.Enabled());
    EXPECT_EQ(T().StartTimer.Interval(), 300);
    StartTimerTick();
    EXPECT_TRUE(Written("l").empty());
    EXPECT_EQ(opener.port.written, (Bytes{0, 2, 255, 0}));

    // The reply in two pieces.
    opener.port.incoming = {3, 248};
    c.ComPort1RxChar(2);
    EXPECT_EQ(M().window.title, "QM-Controller");
    opener.port.incoming = {79, 5};
    c.ComPort1RxChar(2);
    EXPECT_EQ(M().window.title, "QM-Controller [ 79.5 ]");
    EXPECT_EQ(opener.port.written, (Bytes{0, 2, 0, 48}));
}

TEST_F(SerialLinkTest, APortThatCannotBeOpenedIsNamedAndTheOperatorCanTryAnother) {
    opener.fail = true;
    c.MutableModel().portDevice.text = "/dev/ttyUSB7";
    c.Click("bSetPort");
    EXPECT_FALSE(S().Link().PortOpen);
    EXPECT_FALSE(S().Link().SerialLinkActive);
    EXPECT_TRUE(M().bSetPort.enabled);
    EXPECT_TRUE(M().GroupBox4.visible);
    EXPECT_FALSE(T().StartTimer.Enabled());
    ASSERT_EQ(ops.errors.size(), 1u);
    // The port, the system's reason (error 5 is EIO) and the button to press again.
    EXPECT_NE(ops.errors[0].find("/dev/ttyUSB7"), std::string::npos) << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("ошибка ввода-вывода"), std::string::npos) << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("«Установка»"), std::string::npos) << ops.errors[0];

    c.Click("pmEng");
    c.Click("bSetPort");
    ASSERT_EQ(ops.errors.size(), 2u);
    EXPECT_EQ(ops.errors[1], "Cannot open the serial port /dev/ttyUSB7: " +
                                 std::error_code(5, std::generic_category()).message() +
                                 ". Choose another port and press \"Set port\" again.");

    // The operator types another device.
    opener.fail = false;
    c.MutableModel().portDevice.text = "/dev/rfcomm0";
    c.Click("bSetPort");
    EXPECT_EQ(opener.names.back(), "/dev/rfcomm0");
    EXPECT_TRUE(S().Link().PortOpen);
    EXPECT_EQ(ops.errors.size(), 2u);
}

TEST_F(SerialLinkTest, ClosingTheWindowPowersTheLoggerDownOnlyWhenAsked) {
    c.Click("bSetPort");
    c.FormClose();
    EXPECT_EQ(opener.port.calls, (std::vector<std::string>{"purge", "purge", "write", "close"}));
    EXPECT_EQ(opener.port.written, (Bytes{0, 2, 0, 8}));

    FakeOperator quiet;
    Controller other{clock, quiet};
    FakeOpener second;
    other.SetSerialPortOpener(&second);
    other.Click("bSetPort");
    other.Checked("CheckBox3", false);
    other.FormClose();
    EXPECT_EQ(second.port.calls, std::vector<std::string>{"purge"});  // the opening's only
}

}  // namespace
}  // namespace qm::test
