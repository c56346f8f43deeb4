#include <gtest/gtest.h>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "tests/sim/SimTestSupport.h"

namespace qm::sim {
namespace {

using test::AskOne;
using test::NameRequest;
using test::Request;
using test::TextOf;

DateTime At(int y, int mo, int d, int h, int mi, int s) {
    return *DateTime::FromCivil({y, mo, d, h, mi, s, 0});
}

class LoggerTest : public ::testing::Test {
protected:
    DateTime now = At(2024, 3, 5, 9, 7, 3);
    LoggerConfig config;
    std::unique_ptr<VirtualLogger> logger;

    VirtualLogger& Make() {
        logger = std::make_unique<VirtualLogger>(config, [this] { return now; });
        return *logger;
    }
};

TEST_F(LoggerTest, IdentifiesItselfWhateverTheRequestStatus) {
    config.deviceType = 88;
    config.version = 3;
    auto& l = Make();
    EXPECT_EQ(AskOne(l, Request(0, {}, 255)), (Frame{3, 248, 88, 3}));
    EXPECT_EQ(AskOne(l, Request(0)), (Frame{3, 248, 88, 3}));
    // The modem requests mean nothing to a logger.
    EXPECT_TRUE(l.Handle(Request(1, {}, 255)).empty());
}

TEST_F(LoggerTest, ClockRunsAtItsOffsetAndIsSetFromRequest49) {
    config.clockOffsetSeconds = -37;
    auto& l = Make();
    // 09:07:03 - 37 s = 09:06:26 on 5 March 2024: second, minute, hour, day, month, year - 2000.
    EXPECT_EQ(AskOne(l, Request(48)), (Frame{7, 248, 26, 6, 9, 5, 3, 24}));

    EXPECT_EQ(AskOne(l, Request(49, {0, 0, 0, 12, 11, 9})), (Frame{1, 248}));
    EXPECT_EQ(AskOne(l, Request(48)), (Frame{7, 248, 0, 0, 0, 12, 11, 9}));
    now = At(2024, 3, 5, 9, 8, 4);  // 61 s later on the PC
    EXPECT_EQ(AskOne(l, Request(48)), (Frame{7, 248, 1, 1, 0, 12, 11, 9}));
}

TEST_F(LoggerTest, ClockNotSetAnswers249UntilSet) {
    config.clockValid = false;
    auto& l = Make();
    EXPECT_EQ(AskOne(l, Request(48))[1], 249);
    AskOne(l, Request(49, {3, 7, 9, 5, 3, 24}));
    EXPECT_EQ(AskOne(l, Request(48)), (Frame{7, 248, 3, 7, 9, 5, 3, 24}));
    // An impossible date leaves the clock as it was.
    EXPECT_EQ(AskOne(l, Request(49, {0, 0, 0, 31, 2, 24})), (Frame{1, 250}));
    EXPECT_EQ(AskOne(l, Request(48)), (Frame{7, 248, 3, 7, 9, 5, 3, 24}));
}

TEST_F(LoggerTest, ScheduleWrittenIsReadBack) {
    auto& l = Make();
    const std::vector<std::uint8_t> s{30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0};
    EXPECT_EQ(AskOne(l, Request(51, s)), (Frame{1, 248}));
    Frame expected{14, 248};
    expected.insert(expected.end(), s.begin(), s.end());
    EXPECT_EQ(AskOne(l, Request(50)), expected);
}

TEST_F(LoggerTest, TestReadingsComeInBlocksOfThirtyHighByteFirst) {
    config.sensors = 63;
    auto& l = Make();
    std::vector<Frame> blocks{AskOne(l, Request(32))};
    while (!blocks.back().empty() && blocks.back()[1] == 249)
        blocks.push_back(AskOne(l, Request(68)));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0][0], 61);
    EXPECT_EQ(blocks[1][0], 61);
    EXPECT_EQ(blocks[2][0], 7);
    EXPECT_EQ(blocks[2][1], 248);
    int noValue = 0;
    std::vector<std::uint16_t> words;
    for (const auto& b : blocks) {
        for (std::size_t i = 2; i + 1 < b.size(); i += 2) words.push_back(b[i] << 8 | b[i + 1]);
    }
    for (auto w : words) {
        if (w == 0x8000) {
            ++noValue;
            continue;
        }
        EXPECT_GE(w * 0.0078, 18.0);
        EXPECT_LE(w * 0.0078, 25.0);
    }
    EXPECT_GT(noValue, 0);
    EXPECT_LT(noValue, 8);

    // The next measurement reads different values.
    const Frame again = AskOne(l, Request(32));
    EXPECT_NE(again, blocks[0]);
    EXPECT_EQ(l.TestMeasurements(), 2);
}

TEST_F(LoggerTest, CorrectionTableReadsInBlocksAndEntriesWrittenLowByteFirst) {
    auto& l = Make();
    std::vector<std::uint8_t> entries;
    for (int i = 0; i < 30; ++i) {
        const auto w = static_cast<std::uint16_t>(i == 0 ? -500 : i);
        entries.push_back(w & 0xFF);
        entries.push_back(w >> 8);
    }
    EXPECT_TRUE(l.Handle(Request(61, entries)).empty());  // no reply
    EXPECT_EQ(l.CalibrationTable()[0], -500);
    l.SetCalibrationEntry(31, 0x1234);

    const Frame first = AskOne(l, Request(60));
    ASSERT_EQ(first.size(), 62u);
    EXPECT_EQ(first[2], 0x0C);
    EXPECT_EQ(first[3], 0xFE);
    const Frame second = AskOne(l, Request(62));
    EXPECT_EQ(second[0], 61);
    EXPECT_EQ(second[2], 0x34);
    EXPECT_EQ(second[3], 0x12);
    // Blocks 3 to 8 hold entries 61..240, the ninth the last ten.
    Frame last;
    for (int k = 0; k < 7; ++k) last = AskOne(l, Request(62));
    EXPECT_EQ(last[0], 21);
}

TEST_F(LoggerTest, RootListingNamesEveryDirectoryThenEnds) {
    config.demoData = false;
    auto& l = Make();
    l.Store().AddDirectory("SYSTEM~1");
    l.Store().AddDirectory(Utf8ToCp1251("Котельная"));
    Frame f = AskOne(l, NameRequest(64, ""));
    EXPECT_EQ(f, (Frame{10, 248, 'S', 'Y', 'S', 'T', 'E', 'M', '~', '1', 0}));
    f = AskOne(l, Request(65));
    EXPECT_EQ(TextOf(f), Utf8ToCp1251("Котельная"));
    EXPECT_EQ(AskOne(l, Request(65)), (Frame{2, 248, 0}));
    EXPECT_EQ(AskOne(l, Request(65)), (Frame{2, 248, 0}));
}

TEST_F(LoggerTest, RemarksAreTwentyBytesEachAndWriteBack) {
    auto& l = Make();
    const Frame f = AskOne(l, Request(144));
    ASSERT_EQ(f.size(), 42u);
    EXPECT_EQ(f[0], 41);
    EXPECT_EQ(std::string(f.begin() + 2, f.begin() + 22), l.Remark(1));
    EXPECT_EQ(Cp1251ToUtf8(l.Remark(1)).substr(0, 18), "Котельная");

    std::vector<std::uint8_t> lines(40, ' ');
    lines[0] = 'a';
    lines[20] = 0xDA;
    EXPECT_EQ(AskOne(l, Request(145, lines)), (Frame{1, 248}));
    EXPECT_EQ(l.Remark(1), "a" + std::string(19, ' '));
    EXPECT_EQ(l.Remark(2), "\xDA" + std::string(19, ' '));
}

TEST_F(LoggerTest, LineValueBatteryAndPowerDown) {
    config.lineWords = {0x8000, 0x0190};
    config.batteryTenths = 53;
    auto& l = Make();
    EXPECT_EQ(AskOne(l, Request(16)), (Frame{5, 248, 0x80, 0x00, 0x01, 0x90}));
    for (int i = 0; i < 20; ++i) {
        const Frame b = AskOne(l, Request(52));
        ASSERT_EQ(b.size(), 3u);
        EXPECT_NEAR(b[2], 53, 1);
    }
    EXPECT_FALSE(l.PoweredDown());
    EXPECT_TRUE(l.Handle(Request(8)).empty());
    EXPECT_TRUE(l.PoweredDown());
}

TEST_F(LoggerTest, EveryReplyFitsOneInputReport) {
    auto& l = Make();
    for (std::uint8_t code : {0, 16, 32, 68, 68, 48, 50, 52, 60, 62, 144}) {
        for (const Frame& f : l.Handle(Request(code))) {
            EXPECT_LE(f.size(), 64u) << int(code);
            EXPECT_EQ(f[0] + 1u, f.size()) << int(code);
        }
    }
}

}  // namespace
}  // namespace qm::sim
