// Several loggers behind one radio modem and one Bluetooth modem.
#include <gtest/gtest.h>

#include <memory>

#include "sim/FaultyDevice.h"
#include "sim/Modems.h"
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

// Loggers told apart by their device type, each behind a counter of the requests it heard.
struct Loggers {
    explicit Loggers(std::vector<std::uint8_t> types) {
        for (const std::uint8_t type : types) {
            LoggerConfig c;
            c.deviceType = type;
            c.demoData = false;
            loggers.push_back(std::make_unique<VirtualLogger>(c, [] { return Noon(); }));
            heard.push_back(std::make_unique<FaultyDevice>(*loggers.back()));
        }
    }
    Device& operator[](std::size_t i) { return *heard[i]; }
    int Heard(std::size_t i) const { return heard[i]->Requests(); }

    std::vector<std::unique_ptr<VirtualLogger>> loggers;
    std::vector<std::unique_ptr<FaultyDevice>> heard;
};

Frame Identity(std::uint8_t type) {
    return Frame{3, 248, type, 5};
}

TEST(RadioModemOfMany, ReachesExactlyTheLoggerOfTheSelectedAddress) {
    Loggers l({81, 83, 85});
    RadioModem modem;
    modem.AddLogger(3, l[0]);
    modem.AddLogger(7, l[1]);
    modem.AddLogger(12, l[2], false);
    EXPECT_EQ(modem.LoggerCount(), 3u);

    EXPECT_EQ(AskOne(modem, Request(131, {3}, 255)), (Frame{1, 248}));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(81));
    AskOne(modem, Request(131, {7}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(83));
    EXPECT_EQ(l.Heard(0), 1);
    EXPECT_EQ(l.Heard(1), 1);

    // Out of range: the logger never hears the request, so it neither answers nor acts.
    AskOne(modem, Request(131, {12}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
    EXPECT_EQ(l.Heard(2), 0);
    // An address no logger has.
    AskOne(modem, Request(131, {5}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());

    // Back in range, it answers at its own address only.
    modem.SetInRange(12, true);
    AskOne(modem, Request(131, {12}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(85));
    EXPECT_EQ(l.Heard(0), 1);
    EXPECT_EQ(l.Heard(1), 1);
    EXPECT_EQ(modem.Collisions(), 0);
}

TEST(RadioModemOfMany, EveryLoggerAnsweringAtOnceCollides) {
    Loggers l({81, 83, 85});
    RadioModem modem;
    modem.AddLogger(3, l[0]);
    modem.AddLogger(7, l[1]);
    modem.AddLogger(12, l[2], false);

    // 255 selects every logger in range: two answer, and nothing readable comes back, though
    // each of them acted on the request.
    AskOne(modem, Request(131, {255}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
    EXPECT_EQ(modem.Collisions(), 1);
    EXPECT_EQ(l.Heard(0), 1);
    EXPECT_EQ(l.Heard(1), 1);
    EXPECT_EQ(l.Heard(2), 0);

    // With one of them out of range the other is alone on the air.
    modem.SetInRange(7, false);
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(81));
    // A logger in range that keeps silent garbles nothing.
    modem.SetInRange(7, true);
    l.heard[1]->SetSilent(true);
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(81));

    // Two loggers at one address collide too.
    RadioModem shared;
    shared.AddLogger(4, l[0]);
    shared.AddLogger(4, l[2]);
    AskOne(shared, Request(131, {4}, 255));
    EXPECT_TRUE(shared.Handle(Request(0)).empty());
    EXPECT_EQ(shared.Collisions(), 1);
}

TEST(BtModemOfMany, EachAddressConnectsToItsOwnLoggerAndCommandModeHangsUp) {
    Loggers l({81, 83, 85});
    BtModem modem;
    modem.SetEcho(false);
    modem.AddLogger("0012F3A4B5C6", l[0], 1);
    modem.AddLogger("00aabbccddee", l[1]);
    modem.AddLogger("001122334455", l[2], 0, false);

    modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("0012F3A4B5C6")))), "NO CARRIER");
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("0012F3A4B5C6")))), "CONNECT 0012F3A4B5C6");
    EXPECT_EQ(modem.ConnectedAddress(), "0012F3A4B5C6");
    modem.Handle(Request(130, {2}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(81));

    // Command mode again ends the call: nothing reaches a logger until the next CALL connects.
    const auto entering = modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(LastLine(entering), "READY.");
    EXPECT_FALSE(modem.Connected());
    EXPECT_EQ(modem.HangUps(), 1);
    modem.Handle(Request(130, {2}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
    EXPECT_EQ(l.Heard(0), 1);

    // The second logger connects at its first call, its address in either case.
    modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(modem.HangUps(), 1);  // there was no call to end
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("00AABBCCDDEE")))), "CONNECT 00AABBCCDDEE");
    modem.Handle(Request(130, {2}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(83));
    EXPECT_EQ(l.Heard(0), 1);

    // An unreachable logger and an unknown address never connect, however often called.
    modem.Handle(Request(130, {1}, 255));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("001122334455")))), "NO CARRIER");
        EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("0000000000AA")))), "NO CARRIER");
    }
    EXPECT_EQ(modem.CallsTo("001122334455"), 3);
    modem.SetReachable("001122334455", true);
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("001122334455")))), "CONNECT 001122334455");
    modem.Handle(Request(130, {2}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(85));
    EXPECT_EQ(modem.Calls(), 10);

    // The first logger's "NO CARRIER" was used up by its first dial.
    modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("0012F3A4B5C6")))), "CONNECT 0012F3A4B5C6");
}

TEST(BtModemOfMany, AModemMadeForOneLoggerAlsoHangsUpOnCommandMode) {
    Loggers l({84});
    BtModem modem(l[0], {.noCarrierBeforeConnect = 0, .echo = false, .reachableAddresses = {}});
    modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(LastLine(modem.Handle(TextRequest(Call("0012F3A4B5C6")))), "CONNECT 0012F3A4B5C6");
    modem.Handle(Request(130, {2}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), Identity(84));
    modem.Handle(Request(130, {1}, 255));
    modem.Handle(Request(130, {2}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
}

}  // namespace
}  // namespace qm::sim
