// Devices plugged in and out while the virtual logger is connected through the HID device
// controller (over the fake platform layer): a running connection and a running copy go on.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>

#include "core/Controller.h"
#include "link/HidCtl.h"
#include "sim/VirtualLogger.h"
#include "tests/link/FakeHidBackend.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLoggerPath = "/dev/hid-l";

struct HidSession : ::testing::Test {
    FakePcClock clock;
    FakeOperator ops;
    Controller c{clock, ops};
    FakeHidBackend backend;
    HidCtl hid{backend};
    sim::VirtualLogger logger{Config(), [this] { return clock.Now(); }};
    sim::Device* answering = &logger;  // the logger behind kLoggerPath now
    std::int64_t now = 0;
    VirtualTimers timers{c, now};
    std::map<std::string, std::size_t> answered;  // reports of each path passed to the logger
    fs::path start;

    static sim::LoggerConfig Config() {
        sim::LoggerConfig config;
        config.demoShape = sim::DemoStoreShape::Small();
        return config;
    }

    HidSession() {
        start = fs::temp_directory_path() /
                ("qm-hid-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(start);
        fs::create_directories(start);
        c.SetUpFolders(start);
        c.FormCreate(1024, 768);
        c.AttachHidCtl(hid);
    }
    ~HidSession() override {
        std::error_code ec;
        fs::remove_all(start, ec);
    }

    // The logger answers the reports written to it, at most `limit` of them; its replies come
    // through its reader.
    void Pump(std::size_t limit = SIZE_MAX) {
        auto& written = backend.written[kLoggerPath];
        std::size_t& done = answered[kLoggerPath];
        for (; limit > 0 && done < written.size(); --limit) {
            const std::vector<std::uint8_t> report = written[done++];
            for (sim::Frame frame : answering->Handle(report)) {
                frame.resize(64, 0);
                if (auto* reader = backend.RunningReader(kLoggerPath)) reader->deliver(frame);
            }
        }
        timers.Sync();
    }
    // Replies and timers in virtual time, for `ms` at most, stopping early when `done` holds.
    template <typename Done>
    void RunFor(std::int64_t ms, Done done) {
        const std::int64_t end = now + ms;
        for (Pump(); !done();) {
            const auto next = timers.Next();
            if (!next || next->first > end) break;
            now = next->first;
            clock.elapsedMs = now;
            timers.Fire(next->second);
            Pump();
        }
    }
    void RunFor(std::int64_t ms) {
        RunFor(ms, [] { return false; });
    }
    void Replug(const std::function<void()>& change) {
        change();
        hid.DevicesChanged();
        timers.Sync();
    }
    void Connect() {
        backend.Plug("QM Controller", "l");
        hid.DevicesChanged(true);
        RunFor(10'000);
        ASSERT_TRUE(c.Model().bTest.enabled);
        ASSERT_FALSE(c.LoggerSession().Logger().line.empty());
    }
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const auto& r : backend.written[kLoggerPath]) codes.push_back(r[3]);
        return codes;
    }
};

TEST_F(HidSession, AnotherDevicePluggedInOrOutLeavesTheConnectionAsItIs) {
    Connect();
    const std::size_t requests = backend.written[kLoggerPath].size();

    Replug([&] { backend.Plug("USB Keyboard", "k"); });
    Replug([&] { backend.Plug("USB Mouse", "m"); });
    Replug([&] { backend.Unplug("k"); });
    RunFor(5'000);

    EXPECT_FALSE(c.Timers().StartTimer.Enabled());
    EXPECT_EQ(backend.written[kLoggerPath].size(), requests);  // no read-out again
    EXPECT_TRUE(c.LoggerSession().Logger().identity) << "what was read of the logger stays";
    for (const Button* b : {&c.Model().bTest, &c.Model().bClock, &c.Model().bSynch})
        EXPECT_TRUE(b->enabled);
    EXPECT_EQ(ops.quits, 0);
    EXPECT_TRUE(ops.errors.empty());

    // The buttons still work over the same link.
    c.Click("bClock");
    Pump();
    EXPECT_EQ(Codes().back(), 48);
    EXPECT_TRUE(c.Clock().ClockRead());
}

TEST_F(HidSession, ACopyRunsToItsEndWhileOtherDevicesComeAndGo) {
    Connect();
    c.Click("bAllData");
    // Into the copy: plug devices in between its replies.
    Pump(4);
    ASSERT_FALSE(c.Model().ComboBox1.enabled);
    Replug([&] { backend.Plug("USB Keyboard", "k"); });
    Pump(6);
    ASSERT_TRUE(c.Copy().DataFileOpen());
    // A second logger plugged in mid-copy is not taken either: the copy keeps its logger.
    Replug([&] { backend.Plug("QM Controller", "other", "/dev/hid-other"); });
    Pump(3);
    RunFor(60'000, [&] { return c.Model().ComboBox1.enabled; });

    EXPECT_TRUE(ops.errors.empty()) << ops.errors.front();
    EXPECT_TRUE(c.Model().ComboBox1.enabled);
    EXPECT_TRUE(c.Model().bAllData.enabled);
    EXPECT_TRUE(c.Model().bTest.enabled);
    EXPECT_TRUE(backend.written["/dev/hid-other"].empty());
    EXPECT_EQ(c.Link().LinkDevice, &hid.Device(0));
    const std::string dir = c.Model().ComboBox1.text;
    bool copied = false;
    for (const auto& f : fs::recursive_directory_iterator(start / "DATA")) {
        EXPECT_NE(f.path().filename(), kStagingFolderName) << f.path();
        copied |= f.path().extension() == ".dat";
    }
    EXPECT_TRUE(copied) << dir;
}

TEST_F(HidSession, ANewLoggerAfterTheFirstIsReadOutFromTheStart) {
    Connect();
    Replug([&] {
        backend.Unplug("l");
        backend.Plug("QM Controller", "l2", kLoggerPath);
    });
    EXPECT_EQ(ops.quits, 0);
    EXPECT_EQ(c.Link().LinkDevice, &hid.Device(1));
    ASSERT_TRUE(c.Timers().StartTimer.Enabled());
    RunFor(10'000);
    EXPECT_TRUE(c.Model().bTest.enabled);  // the buttons come back after the new read-out
    EXPECT_FALSE(c.LoggerSession().Logger().line.empty());
}

TEST_F(HidSession, EachNewLoggerListsOnlyItsOwnDirectoriesAndShowsOnlyItsModelsGroup) {
    Connect();
    const std::vector<std::string> first = c.Model().ComboBox1.items;
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(c.Model().GroupBox2.visible);
    EXPECT_FALSE(c.Model().pComment.visible);

    // The remark-line model, with directories of its own.
    sim::LoggerConfig config;
    config.deviceType = 88;
    config.demoData = false;
    sim::VirtualLogger pathrex{config, [this] { return clock.Now(); }};
    pathrex.Store().AddDirectory("P1");
    pathrex.Store().AddDirectory("P2");
    answering = &pathrex;
    Replug([&] {
        backend.Unplug("l");
        backend.Plug("QM Controller", "l2", kLoggerPath);
    });
    RunFor(10'000);
    EXPECT_TRUE(c.Sequence().PathrexDevice());
    EXPECT_EQ(c.Model().ComboBox1.items, (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(c.Directories().DirectoryNames(), (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(c.Model().ComboBox1.text, "P1");
    EXPECT_TRUE(c.Model().pComment.visible);
    EXPECT_FALSE(c.Model().GroupBox2.visible);

    // The first logger again: its directories once, and the schedule group alone.
    answering = &logger;
    Replug([&] {
        backend.Unplug("l2");
        backend.Plug("QM Controller", "l3", kLoggerPath);
    });
    RunFor(10'000);
    EXPECT_FALSE(c.Sequence().PathrexDevice());
    EXPECT_EQ(c.Model().ComboBox1.items, first);
    EXPECT_TRUE(c.Model().GroupBox2.visible);
    EXPECT_FALSE(c.Model().pComment.visible);
    EXPECT_TRUE(ops.errors.empty());
}

TEST_F(HidSession, ALoggerThatCannotBeOpenedForWritingIsReportedOnce) {
    backend.Plug("QM Controller", "l", "/dev/hidraw3").readWrite = false;
    hid.DevicesChanged(true);
    ASSERT_EQ(ops.errors.size(), 1u);
    EXPECT_NE(ops.errors[0].find("/dev/hidraw3"), std::string::npos) << ops.errors[0];
    EXPECT_NE(ops.errors[0].find("udev"), std::string::npos);
    EXPECT_NE(ops.errors[0].find("README"), std::string::npos);
    EXPECT_NE(ops.errors[0].find("записи"), std::string::npos);
    EXPECT_EQ(c.Link().LinkDevice, nullptr);
    EXPECT_FALSE(c.Timers().StartTimer.Enabled());

    backend.Plug("USB Mouse", "m");
    hid.DevicesChanged();
    EXPECT_EQ(ops.errors.size(), 1u);

    // In English, for the next one plugged in.
    c.Click("pmEng");
    backend.Plug("QM Controller", "l2", "/dev/hidraw4").readWrite = false;
    hid.DevicesChanged();
    ASSERT_EQ(ops.errors.size(), 2u);
    EXPECT_NE(ops.errors[1].find("cannot be opened for reading and writing"), std::string::npos)
        << ops.errors[1];
    EXPECT_NE(ops.errors[1].find("/dev/hidraw4"), std::string::npos);
}

}  // namespace
}  // namespace qm::test
