#include <gtest/gtest.h>

#include "link/HidCtl.h"
#include "tests/link/FakeHidBackend.h"

namespace qm::test {
namespace {

struct HidCtlTest : ::testing::Test {
    FakeHidBackend backend;
    HidCtl hid{backend};
    int changes = 0;
    std::vector<std::string> visited;  // instances, in the order enumerated
    std::vector<std::string> reports;  // "instance:bytes"

    HidCtlTest() {
        hid.SetHandlers({
            .enumerate =
                [this](HidDevice& d, int index) {
                    visited.push_back(d.Instance());
                    hid.ClaimDevice(index);
                    return true;
                },
            .deviceChange = [this] { ++changes; },
            .deviceData =
                [this](HidDevice& d, std::span<const std::uint8_t> data) {
                    reports.push_back(d.Instance() + ":" + std::to_string(data.size()));
                },
        });
    }
    std::vector<std::string> Instances() {
        std::vector<std::string> out;
        for (int i = 0; i < hid.Count(); ++i) out.push_back(hid.Device(i).Instance());
        return out;
    }
};

TEST_F(HidCtlTest, FirstScanAlwaysReportsALaterOneOnlyARealChange) {
    hid.DevicesChanged(true);
    EXPECT_EQ(changes, 1);  // nothing plugged in, but the first scan is forced
    hid.DevicesChanged();
    EXPECT_EQ(changes, 1);

    backend.Plug("Mouse", "m");
    hid.DevicesChanged();
    EXPECT_EQ(changes, 2);
    hid.DevicesChanged();
    EXPECT_EQ(changes, 2);

    hid.RunEnumeration();  // claims the mouse
    backend.Unplug("m");
    hid.DevicesChanged();
    EXPECT_EQ(changes, 3);
    // The claimed mouse stays in the list unplugged; that is no news at the following scans.
    hid.DevicesChanged();
    hid.DevicesChanged();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(hid.Count(), 1);
    EXPECT_EQ(hid.UnpluggedCount(), 1);
}

TEST_F(HidCtlTest, DevicesKeepTheirPlaceAndARepluggedDeviceComesLast) {
    backend.Plug("A", "a");
    backend.Plug("B", "b");
    hid.DevicesChanged(true);
    HidDevice* a = &hid.Device(0);
    hid.RunEnumeration();
    EXPECT_EQ(hid.ClaimedCount(), 2);

    // The platform lists them in another order now: the list keeps its own.
    std::swap(backend.present[0], backend.present[1]);
    backend.Plug("C", "c");
    hid.DevicesChanged();
    EXPECT_EQ(Instances(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(&hid.Device(0), a);
    EXPECT_EQ(hid.NotClaimedCount(), 1);

    // An unclaimed device that goes leaves the list; a claimed one stays, unplugged, and the
    // same device plugged in again is a new object at the end.
    backend.Unplug("c");
    backend.Unplug("a");
    hid.DevicesChanged();
    EXPECT_EQ(Instances(), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(a->PluggedIn());
    backend.Plug("A", "a");
    hid.DevicesChanged();
    EXPECT_EQ(Instances(), (std::vector<std::string>{"a", "b", "a"}));
    EXPECT_NE(&hid.Device(2), a);
    EXPECT_TRUE(hid.Device(2).PluggedIn());

    visited.clear();
    EXPECT_EQ(hid.RunEnumeration(), 2);  // the unplugged one is not visited
    EXPECT_EQ(visited, (std::vector<std::string>{"b", "a"}));
}

TEST_F(HidCtlTest, DevicesThatCannotBeOpenedAreLeftOutUntilTheyCanBe) {
    backend.Plug("Locked", "x").canOpen = false;
    backend.Plug("Held", "y").readWrite = false;
    hid.DevicesChanged(true);
    ASSERT_EQ(Instances(), (std::vector<std::string>{"y"}));
    EXPECT_FALSE(hid.Device(0).ReadWriteAccess());

    backend.present[0].canOpen = true;
    hid.DevicesChanged();
    EXPECT_EQ(Instances(), (std::vector<std::string>{"y", "x"}));
}

TEST_F(HidCtlTest, ClaimingStartsOneReaderPerReadWriteDeviceAndUnpluggingStopsIt) {
    backend.Plug("A", "a");
    backend.Plug("Held", "h").readWrite = false;
    hid.DevicesChanged(true);
    EXPECT_TRUE(backend.readers.empty());  // nothing claimed yet

    hid.RunEnumeration();
    EXPECT_EQ(hid.ClaimDevice(0), nullptr);  // claimed already
    EXPECT_EQ(hid.ClaimDevice(2), nullptr);  // outside the list
    ASSERT_EQ(backend.readers.size(), 1u);
    EXPECT_FALSE(hid.Device(1).HasReader());

    FakeHidBackend::Reader* r = backend.RunningReader("/dev/hid-a");
    ASSERT_NE(r, nullptr);
    const std::uint8_t report[] = {3, 248, 79, 5};
    r->deliver(report);
    EXPECT_EQ(reports, (std::vector<std::string>{"a:4"}));

    backend.Unplug("a");
    hid.DevicesChanged();
    EXPECT_EQ(backend.RunningReader("/dev/hid-a"), nullptr);
}

TEST_F(HidCtlTest, WritesGoOnlyToAClaimedPluggedInDevice) {
    backend.Plug("A", "a");
    hid.DevicesChanged(true);
    const std::vector<std::uint8_t> report(65, 7);
    EXPECT_FALSE(hid.Device(0).WriteReport(report));  // not claimed, not being enumerated
    hid.RunEnumeration();
    EXPECT_TRUE(hid.Device(0).WriteReport(report));
    EXPECT_EQ(backend.written["/dev/hid-a"].size(), 1u);

    HidDevice& a = hid.Device(0);
    backend.Unplug("a");
    hid.DevicesChanged();
    const int opens = backend.opens;
    EXPECT_FALSE(a.WriteReport(report));
    EXPECT_EQ(backend.opens, opens);  // an unplugged device is not even opened
}

TEST_F(HidCtlTest, AnEnumerationHandlerCanStopTheWalk) {
    backend.Plug("A", "a");
    backend.Plug("B", "b");
    hid.DevicesChanged(true);
    hid.SetHandlers({.enumerate =
                         [this](HidDevice& d, int) {
                             visited.push_back(d.Instance());
                             return false;
                         },
                     .deviceChange = {},
                     .deviceData = {}});
    EXPECT_EQ(hid.RunEnumeration(), 1);
    EXPECT_EQ(visited, (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace qm::test
