#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "sim/FaultyDevice.h"
#include "sim/InProcessLink.h"
#include "sim/Modems.h"
#include "sim/SerialEndpoint.h"
#include "sim/VirtualLogger.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/Rig.h"

namespace qm::sim {
namespace {

using test::AskOne;
using test::Request;

std::string Text(const Frame& f) {
    return std::string(f.begin() + 1, f.end());
}

std::vector<std::string> Texts(const std::vector<Frame>& frames) {
    std::vector<std::string> lines;
    for (const auto& f : frames) {
        EXPECT_EQ(f[0] + 1u, f.size());
        lines.push_back(Text(f));
    }
    return lines;
}

// A text line as the program sends it in command mode: the characters, then a line feed.
std::vector<std::uint8_t> TextRequest(const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(10);
    return Request(data[0], {data.begin() + 1, data.end()});
}

class ModemTest : public ::testing::Test {
protected:
    VirtualLogger logger{[] {
                             LoggerConfig c;
                             c.demoData = false;
                             return c;
                         }(),
                         [] { return DateTime{}; }};
};

TEST_F(ModemTest, RadioModemAnswersModemRequestsAndRelaysTheRest) {
    RadioModem modem(logger);
    EXPECT_EQ(AskOne(modem, Request(0, {}, 255)), (Frame{3, 248, 82, 0}));
    EXPECT_EQ(AskOne(modem, Request(1, {}, 255)), (Frame{2, 248, 1}));
    EXPECT_EQ(AskOne(modem, Request(131, {255}, 255)), (Frame{1, 248}));
    EXPECT_EQ(AskOne(modem, Request(0)), (Frame{3, 248, 84, 5}));

    // Another logger's address: nobody answers; out of range likewise.
    AskOne(modem, Request(131, {7}, 255));
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
    AskOne(modem, Request(131, {1}, 255));
    EXPECT_EQ(AskOne(modem, Request(0)), (Frame{3, 248, 84, 5}));
    modem.SetLoggerInRange(false);
    EXPECT_TRUE(modem.Handle(Request(0)).empty());
}

TEST_F(ModemTest, BluetoothDialogueFromCommandModeToTransparent) {
    BtModemConfig config;
    config.noCarrierBeforeConnect = 2;
    BtModem modem(logger, config);
    EXPECT_EQ(AskOne(modem, Request(0, {}, 255)), (Frame{3, 248, 66, 0}));
    EXPECT_EQ(AskOne(modem, Request(1, {}, 255)), (Frame{2, 248, 2}));
    EXPECT_EQ(AskOne(modem, Request(130, {0}, 255)), (Frame{1, 248}));
    // Not connected yet: the logger is out of reach.
    EXPECT_TRUE(modem.Handle(Request(0)).empty());

    // Command mode: the acknowledgement, then the ready line.
    const auto entering = modem.Handle(Request(130, {1}, 255));
    ASSERT_EQ(entering.size(), 2u);
    EXPECT_EQ(entering[0], (Frame{1, 248}));
    EXPECT_EQ(entering[1], (Frame{6, 'R', 'E', 'A', 'D', 'Y', '.'}));

    EXPECT_EQ(Texts(modem.Handle(TextRequest("AT"))), (std::vector<std::string>{"AT", "OK"}));
    const std::string call = "CALL 0012F3A4B5C6 1101 RFCOMM";
    const auto request = TextRequest(call);
    EXPECT_EQ(request[1], 31);
    EXPECT_EQ(Texts(modem.Handle(request)), (std::vector<std::string>{call, "NO CARRIER"}));
    EXPECT_EQ(Texts(modem.Handle(request)), (std::vector<std::string>{call, "NO CARRIER"}));
    EXPECT_EQ(Texts(modem.Handle(request)),
              (std::vector<std::string>{call, "CONNECT 0012F3A4B5C6"}));
    EXPECT_EQ(modem.Calls(), 3);
    EXPECT_EQ(modem.Lines().front(), "AT");

    EXPECT_EQ(AskOne(modem, Request(130, {2}, 255)), (Frame{1, 248}));
    EXPECT_EQ(AskOne(modem, Request(0)), (Frame{3, 248, 84, 5}));
}

TEST_F(ModemTest, BluetoothCallToAnUnknownAddressNeverConnects) {
    BtModemConfig config;
    config.noCarrierBeforeConnect = 0;
    config.echo = false;
    config.reachableAddresses = {"111111111111"};
    BtModem modem(logger, config);
    modem.Handle(Request(130, {1}, 255));
    EXPECT_EQ(Texts(modem.Handle(TextRequest("CALL 222222222222 1101 RFCOMM"))),
              (std::vector<std::string>{"NO CARRIER"}));
    EXPECT_EQ(Texts(modem.Handle(TextRequest("HELLO"))), (std::vector<std::string>{"ERROR"}));
    EXPECT_EQ(Texts(modem.Handle(TextRequest("CALL 111111111111 1101 RFCOMM"))),
              (std::vector<std::string>{"CONNECT 111111111111"}));
}

TEST_F(ModemTest, FaultsDropRefuseAndInsertGarbageByReplyNumber) {
    FaultyDevice faulty(logger);
    faulty.DropReply(2);
    faulty.RefuseReply(3, 250);
    faulty.InsertGarbage(4, {0xFF, 0x01});
    faulty.RefuseCommand(48, 249, 2);
    EXPECT_EQ(AskOne(faulty, Request(0)), (Frame{3, 248, 84, 5}));
    EXPECT_TRUE(faulty.Handle(Request(0)).empty());
    EXPECT_EQ(AskOne(faulty, Request(0)), (Frame{3, 250, 84, 5}));
    const auto withGarbage = faulty.Handle(Request(0));
    ASSERT_EQ(withGarbage.size(), 2u);
    EXPECT_EQ(withGarbage[0], (Frame{0xFF, 0x01}));
    EXPECT_EQ(AskOne(faulty, Request(48))[1], 249);
    EXPECT_EQ(AskOne(faulty, Request(48))[1], 249);
    EXPECT_EQ(AskOne(faulty, Request(48))[1], 248);
    faulty.SetSilent(true);
    EXPECT_TRUE(faulty.Handle(Request(0)).empty());
    EXPECT_EQ(faulty.RepliesSeen(), 8);
}

std::vector<std::uint8_t> Bytes(const std::vector<SerialChunk>& chunks) {
    std::vector<std::uint8_t> all;
    for (const auto& c : chunks) all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
}

// Counts what reaches it and answers each request with its number.
class CountingDevice : public Device {
public:
    int handled = 0;
    std::vector<Frame> Handle(std::span<const std::uint8_t>) override {
        ++handled;
        return {Frame{2, 248, static_cast<std::uint8_t>(handled)}};
    }
};

// The numbers of the requests (1..n) whose reply came through.
std::vector<int> Answered(FaultyDevice& lossy, int n) {
    std::vector<int> got;
    for (int i = 1; i <= n; ++i)
        if (!lossy.Handle(Request(52)).empty()) got.push_back(i);
    return got;
}

TEST(LossyLink, LostRequestsNeverReachTheLoggerAndLostRepliesComeAfterItActed) {
    CountingDevice logger;
    LinkFaults f;
    f.loseEveryNthRequest = 3;
    FaultyDevice lossy(logger, f);
    EXPECT_EQ(Answered(lossy, 7), (std::vector<int>{1, 2, 4, 5, 7}));
    EXPECT_EQ(logger.handled, 5) << "a lost request does nothing on the logger";
    EXPECT_EQ(lossy.RequestsLost(), 2);

    CountingDevice logger2;
    f = {};
    f.loseEveryNthReply = 2;
    FaultyDevice lossy2(logger2, f);
    EXPECT_EQ(Answered(lossy2, 5), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(logger2.handled, 5) << "the logger acted on every request";
    EXPECT_EQ(lossy2.RepliesLost(), 2);
}

TEST(LossyLink, GarbledRepliesAndStrayBytesChangeOnlyTheChosenReplies) {
    CountingDevice logger;
    LinkFaults f;
    f.garbleEveryNthReply = 2;
    f.garbleAt = 0;  // the length byte: the framing of a serial reply goes wrong
    f.strayAfterEveryNthReply = 3;
    FaultyDevice lossy(logger, f);
    EXPECT_EQ(AskOne(lossy, Request(52)), (Frame{2, 248, 1}));
    EXPECT_EQ(AskOne(lossy, Request(52)), (Frame{2 ^ 0x55, 248, 2}));
    EXPECT_EQ(AskOne(lossy, Request(52)), (Frame{2, 248, 3, FaultyDevice::kStrayByte}));
    EXPECT_EQ(lossy.RepliesGarbled(), 1);
    EXPECT_EQ(lossy.StrayBytes(), 1);
    // On a serial line the stray byte follows the reply in the same write.
    SerialEndpoint line(lossy);
    for (int i = 4; i <= 8; ++i) line.Receive(Request(52));
    EXPECT_EQ(Bytes(line.Receive(std::vector<std::uint8_t>{0, 2, 0, 52})),
              (std::vector<std::uint8_t>{2, 248, 9, FaultyDevice::kStrayByte}));
}

TEST(LossyLink, RandomLossFollowsItsSeedAndItsRate) {
    auto pattern = [](std::uint32_t seed, double rate) {
        CountingDevice logger;
        LinkFaults f;
        f.lossRate = rate;
        f.seed = seed;
        FaultyDevice lossy(logger, f);
        return Answered(lossy, 4000);
    };
    const auto a = pattern(7, 0.02);
    EXPECT_EQ(a, pattern(7, 0.02)) << "the same seed loses the same exchanges";
    EXPECT_NE(a, pattern(8, 0.02));
    // Requests and replies each lost at 2 %: about 4 % of the exchanges, 160 of 4000.
    const auto lost = 4000 - static_cast<int>(a.size());
    EXPECT_GT(lost, 100);
    EXPECT_LT(lost, 230);
    EXPECT_EQ(pattern(7, 0).size(), 4000u);
    EXPECT_TRUE(pattern(7, 1).empty());
}

TEST(LossyLink, ASlowLinkHoldsEveryReplyBack) {
    CountingDevice logger;
    SerialEndpoint line(logger);
    line.DelayEveryReply(std::chrono::milliseconds(40));
    const auto chunks = line.Receive(std::vector<std::uint8_t>{0, 2, 0, 52});
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].delayBefore, std::chrono::milliseconds(40));

    // Over USB in virtual time: the identification is asked 300 ms after the logger is found
    // and its answer arrives 250 ms later.
    qm::test::ScriptedDevice dev;
    dev.On(0, {Frame{3, 248, 79, 5}});
    qm::test::Rig rig(dev);
    rig.link.SetReplyDelay(std::chrono::milliseconds(250));
    rig.StartUsb();
    rig.RunFor(300);
    ASSERT_EQ(rig.link.Written().size(), 1u);
    EXPECT_EQ(rig.link.NextReportDelay(), std::chrono::milliseconds(250));
    rig.RunFor(249);
    EXPECT_EQ(rig.Identified(), "");
    rig.RunFor(1);
    EXPECT_EQ(rig.Identified(), "QM-Controller [ 79.5 ]");
}

TEST(LossyLink, ADelayOnOneCommandHoldsBackOnlyTheRepliesToThatCommand) {
    using std::chrono::milliseconds;
    CountingDevice logger;
    SerialEndpoint line(logger);
    line.DelayEveryReply(milliseconds(40));
    line.DelayRepliesTo(67, milliseconds(2200));
    line.DelayReply(3, milliseconds(5));  // a one-off delay still adds to the command's
    const auto delayOf = [&line](std::uint8_t code) {
        const auto chunks = line.Receive(std::vector<std::uint8_t>{0, 2, 0, code});
        return chunks.size() == 1 ? chunks[0].delayBefore : milliseconds(-1);
    };
    EXPECT_EQ(delayOf(67), milliseconds(2200));
    EXPECT_EQ(delayOf(52), milliseconds(40));
    EXPECT_EQ(delayOf(67), milliseconds(2205));
    EXPECT_EQ(delayOf(68), milliseconds(40)) << "a neighbouring code";

    // Over USB: the report answering a 67 waits, the others keep the link's own delay.
    CountingDevice usbLogger;
    InProcessHidLink usb(usbLogger);
    usb.SetCommandDelay(67, milliseconds(2200));
    const auto reportDelayOf = [&usb](std::uint8_t code) {
        usb.WriteReport(Request(code));
        const auto delay = usb.NextReportDelay();
        usb.TakeReport();
        return delay;
    };
    EXPECT_EQ(reportDelayOf(67), milliseconds(2200));
    EXPECT_EQ(reportDelayOf(48), milliseconds(0));
    usb.SetReplyDelay(milliseconds(30));
    EXPECT_EQ(reportDelayOf(67), milliseconds(2200));
    EXPECT_EQ(reportDelayOf(48), milliseconds(30));
}

TEST(LossyLink, FaultsAreReadFromTheirText) {
    const auto f = ParseLinkFaults(
        "lose-request=7,lose-reply=5,garble=11,garble-at=2,stray=3,loss=2.5,seed=9,delay=200");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->loseEveryNthRequest, 7);
    EXPECT_EQ(f->loseEveryNthReply, 5);
    EXPECT_EQ(f->garbleEveryNthReply, 11);
    EXPECT_EQ(f->garbleAt, 2u);
    EXPECT_EQ(f->strayAfterEveryNthReply, 3);
    EXPECT_DOUBLE_EQ(f->lossRate, 0.025);
    EXPECT_EQ(f->seed, 9u);
    EXPECT_EQ(f->replyDelay, std::chrono::milliseconds(200));
    EXPECT_TRUE(f->commandDelays.empty());
    EXPECT_TRUE(ParseLinkFaults(""));

    const auto perCode = ParseLinkFaults("delay-on=67:2200,delay=10,delay-on=0:0,delay-on=255:9");
    ASSERT_TRUE(perCode);
    EXPECT_EQ(perCode->replyDelay, std::chrono::milliseconds(10));
    EXPECT_EQ(perCode->commandDelays, (std::map<std::uint8_t, std::chrono::milliseconds>{
                                          {0, std::chrono::milliseconds(0)},
                                          {67, std::chrono::milliseconds(2200)},
                                          {255, std::chrono::milliseconds(9)}}));
    for (const char* bad :
         {"delay-on=67", "delay-on=67:", "delay-on=:5", "delay-on=256:1", "delay-on=67:-1",
          "delay-on=67:600001", "delay-on=67:1:2", "delay-on=67:1,delay-on=67:2"})
        EXPECT_FALSE(ParseLinkFaults(bad)) << bad;
    for (const char* bad : {"lose-reply", "lose-reply=0", "lose-reply=x", "loss=101", "loss=1.",
                            "wobble=3", "delay=-1", "garble-at=300", "seed=4294967296"})
        EXPECT_FALSE(ParseLinkFaults(bad)) << bad;
}

TEST_F(ModemTest, SerialEndpointFramesRequestsFromAnyPiecesAndSkipsNoise) {
    SerialEndpoint line(logger);
    EXPECT_TRUE(line.Receive(std::vector<std::uint8_t>{0, 2}).empty());
    EXPECT_EQ(Bytes(line.Receive(std::vector<std::uint8_t>{0, 52})), (Frame{2, 248, 53}));
    // Noise, then two requests in one read.
    const auto both = line.Receive(std::vector<std::uint8_t>{9, 9, 0, 2, 0, 0, 0, 2, 0, 52});
    EXPECT_EQ(Bytes(both), (Frame{3, 248, 84, 5, 2, 248, 53}));
    EXPECT_EQ(line.SkippedBytes(), 2u);
    EXPECT_EQ(line.Requests(), 3);
}

TEST_F(ModemTest, SerialEndpointSplitsAndDelaysChosenReplies) {
    using std::chrono::milliseconds;
    SerialEndpoint line(logger);
    line.SplitReply(1, {2}, milliseconds(30));
    line.DelayReply(2, milliseconds(500));
    auto chunks = line.Receive(std::vector<std::uint8_t>{0, 2, 0, 0});
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].bytes, (std::vector<std::uint8_t>{3, 248}));
    EXPECT_EQ(chunks[0].delayBefore, milliseconds(0));
    EXPECT_EQ(chunks[1].bytes, (std::vector<std::uint8_t>{84, 5}));
    EXPECT_EQ(chunks[1].delayBefore, milliseconds(30));
    chunks = line.Receive(std::vector<std::uint8_t>{0, 2, 0, 0});
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].delayBefore, milliseconds(500));
    EXPECT_EQ(LineTime(62, 1200), std::chrono::microseconds(516666));
}

}  // namespace
}  // namespace qm::sim
