// The virtual network: its loggers, their stores and clocks, and the modems and lines that reach
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "sim/FaultyDevice.h"
#include "sim/Network.h"
#include "sim/VirtualLogger.h"
#include "tests/sim/SimTestSupport.h"

namespace qm::sim {
namespace {

using test::AskOne;
using test::LastLine;
using test::Request;
using test::TextRequest;

DateTime Noon() {
    return *DateTime::FromCivil({2024, 3, 5, 12, 0, 0, 0});
}

std::string Call(const std::string& address) {
    return "CALL " + address + " 1101 RFCOMM";
}

Frame Identity(std::uint8_t type) {
    return Frame{3, 248, type, 5};
}

// Every line of every file of a store, by directory and file name.
std::map<std::string, std::vector<std::string>> Files(LoggerStore& store) {
    std::map<std::string, std::vector<std::string>> files;
    for (const auto& dir : store.DirectoryNames()) {
        for (const auto& file : store.FileNames(dir))
            files[dir + "/" + file] = store.Content(dir, file)->lines;
    }
    return files;
}

TEST(NetworkStore, TheSameSeedGivesTheSameFilesAndOtherSeedsOtherFiles) {
    LoggerStore a, b, c;
    FillNetworkStore(a, 4, Noon());
    FillNetworkStore(b, 4, Noon());
    FillNetworkStore(c, 5, Noon());
    const auto files = Files(a);
    EXPECT_EQ(files, Files(b));
    EXPECT_NE(files, Files(c));
    EXPECT_TRUE(a.HasDirectory("ST4"));
    EXPECT_TRUE(a.HasDirectory("SYSTEM~1"));
    EXPECT_FALSE(c.HasDirectory("ST4"));

    // Small enough to collect whole in moments, yet with measurements in every directory of data.
    std::size_t lines = 0;
    for (const auto& [name, text] : files) {
        lines += text.size();
        if (name.rfind("SYSTEM~1/", 0) == 0) continue;
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), IsHeaderLine)) << name;
    }
    EXPECT_LT(lines, 2000u);
}

class DemoNetworkTest : public ::testing::Test {
protected:
    DateTime now = Noon();
    VirtualNetwork net{DemoNetwork(), [this] { return now; }};

    std::size_t Index(const std::string& name) {
        const auto index = net.Find(name);
        if (!index) throw std::out_of_range(name);
        return *index;
    }
};

TEST_F(DemoNetworkTest, LoggersDifferInStoreClockAndType) {
    ASSERT_EQ(net.Size(), 6u);
    std::set<std::map<std::string, std::vector<std::string>>> stores;
    std::set<std::string> names;
    for (std::size_t i = 0; i < net.Size(); ++i) {
        stores.insert(Files(net.Store(i)));
        names.insert(net.Describe(i).name);
        EXPECT_EQ(net.ClockOffsetSeconds(i), net.Describe(i).clockOffsetSeconds) << i;
    }
    EXPECT_EQ(stores.size(), net.Size());
    EXPECT_EQ(names.size(), net.Size());
    EXPECT_EQ(net.ClockOffsetSeconds(Index("radio-7")), 300);
    EXPECT_EQ(net.Reached(Reach::Radio).size(), 3u);
    EXPECT_EQ(net.Reached(Reach::Bluetooth).size(), 2u);
    EXPECT_EQ(net.FindRadio(12), Index("radio-12"));
    EXPECT_EQ(net.FindBluetooth("00aabbccddee"), Index("bt-2"));
    EXPECT_FALSE(net.FindRadio(5));

    // The clock a logger reads out is the PC's and its own offset; a set clock changes it.
    const std::size_t r7 = Index("radio-7");
    AskOne(net.RadioFront(), Request(131, {7}, 255));
    EXPECT_EQ(AskOne(net.RadioFront(), Request(48)), (Frame{7, 248, 0, 5, 12, 5, 3, 24}));
    AskOne(net.RadioFront(), Request(49, {0, 0, 12, 5, 3, 24}));
    EXPECT_EQ(net.ClockOffsetSeconds(r7), 0);
}

TEST_F(DemoNetworkTest, TheModemsReachTheirLoggersByAddress) {
    Device& radio = net.RadioFront();
    AskOne(radio, Request(131, {3}, 255));
    EXPECT_EQ(AskOne(radio, Request(0)), Identity(84));
    AskOne(radio, Request(131, {12}, 255));
    EXPECT_TRUE(radio.Handle(Request(0)).empty());
    // radio-3 and radio-7 both answer on 255.
    AskOne(radio, Request(131, {255}, 255));
    EXPECT_TRUE(radio.Handle(Request(0)).empty());
    EXPECT_EQ(net.Radio().Collisions(), 1);

    Device& bt = net.BluetoothFront();
    EXPECT_EQ(AskOne(bt, Request(1, {}, 255)), (Frame{2, 248, 2}));
    const auto dial = [&](const std::string& address) {
        bt.Handle(Request(130, {1}, 255));
        std::string answer;
        for (int k = 0; k < 5 && answer.rfind("CONNECT", 0) != 0; ++k)
            answer = LastLine(bt.Handle(TextRequest(Call(address))));
        bt.Handle(Request(130, {2}, 255));
        return answer;
    };
    EXPECT_EQ(dial("0012F3A4B5C6"), "CONNECT 0012F3A4B5C6");
    EXPECT_EQ(net.Bluetooth().CallsTo("0012F3A4B5C6"), 3);
    EXPECT_EQ(AskOne(bt, Request(0)), Identity(84));
    EXPECT_EQ(dial("00AABBCCDDEE"), "CONNECT 00AABBCCDDEE");
    EXPECT_EQ(AskOne(bt, Request(0)), Identity(88));

    // The serial logger has a line of its own; the others have none.
    EXPECT_EQ(AskOne(net.SerialFront(Index("serial-1")), Request(0)), Identity(88));
    EXPECT_THROW(net.SerialFront(Index("radio-3")), std::out_of_range);
    EXPECT_THROW(net.Store(net.Size()), std::out_of_range);
}

TEST(VirtualNetwork, LinkFaultsSitInFrontOfEachModem) {
    NetworkDescription d = DemoNetwork();
    d.radioFaults.loseEveryNthRequest = 2;
    d.serialFaults.loseEveryNthReply = 1;
    VirtualNetwork net(d, [] { return Noon(); });
    Device& radio = net.RadioFront();
    AskOne(radio, Request(131, {3}, 255));  // the first request gets through
    EXPECT_TRUE(radio.Handle(Request(0)).empty());
    EXPECT_EQ(AskOne(radio, Request(0)), Identity(84));
    EXPECT_EQ(net.RadioLine().RequestsLost(), 1);
    EXPECT_EQ(AskOne(net.BluetoothFront(), Request(1, {}, 255)), (Frame{2, 248, 2}));
    EXPECT_TRUE(net.SerialFront(*net.Find("serial-1")).Handle(Request(0)).empty());
}

TEST(VirtualNetwork, ADescriptionThatCannotBeBuiltIsRefused) {
    const auto build = [](auto change) {
        NetworkDescription d = DemoNetwork();
        change(d.loggers);
        VirtualNetwork net(d, [] { return Noon(); });
    };
    EXPECT_THROW(build([](auto& l) { l[1].radioAddress = 3; }), std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[1].radioAddress = 255; }), std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[3].bluetoothAddress = "0012F3A4B5"; }),
                 std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[3].bluetoothAddress = "0012F3A4B5CG"; }),
                 std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[4].bluetoothAddress = "0012f3a4b5c6"; }),
                 std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[2].name = "radio-3"; }), std::invalid_argument);
    EXPECT_THROW(build([](auto& l) { l[0].name.clear(); }), std::invalid_argument);
    EXPECT_NO_THROW(build([](auto& l) { l.clear(); }));
}

}  // namespace
}  // namespace qm::sim
