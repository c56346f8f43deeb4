#include <gtest/gtest.h>

#include <chrono>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "tests/sim/SimTestSupport.h"

namespace qm::sim {
namespace {

using test::AskOne;
using test::NameRequest;
using test::Request;
using test::TextOf;

TEST(ValueLines, FieldsMatchTheLocalFileFormat) {
    EXPECT_EQ(FormatValueField(std::nullopt), "    -  ");
    EXPECT_EQ(FormatValueField(-1), "  -0.01");
    EXPECT_EQ(FormatValueField(5), "   0.05");
    EXPECT_EQ(FormatValueField(32767), " 327.67");
    EXPECT_EQ(FormatValueField(-12345), " -123.4");
    const std::vector<StoredValue> v{1234, -5, std::nullopt, 0, 250, 7, 8};
    const auto lines = FormatValueLines(v);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "  12.34  -0.05    -     0.00   2.50");
    EXPECT_EQ(lines[1].size(), 14u);
}

TEST(ValueLines, TextAndWordsRoundTripOverTheDemoRange) {
    for (int v = -9999; v <= 99999; ++v) {
        const auto parsed = ParseValueLine(FormatValueField(v));
        ASSERT_TRUE(parsed && parsed->size() == 1) << v;
        ASSERT_EQ((*parsed)[0], StoredValue{v}) << v;
        if (v >= -32767 && v <= 32767) {
            ASSERT_EQ(WordToValue(ValueToWord(v)), StoredValue{v});
        }
    }
    EXPECT_EQ(ValueToWord(std::nullopt), 0x8000);
    EXPECT_EQ(ValueToWord(-1), 0xFFFF);
    // A cut field keeps what it shows.
    EXPECT_EQ((*ParseValueLine(" -123.4"))[0], StoredValue{-12340});
    EXPECT_FALSE(ParseValueLine("14:30 05.03.2009"));
    EXPECT_FALSE(ParseValueLine("  12.34x"));
    EXPECT_FALSE(ParseValueLine(""));
}

TEST(ValueLines, HeaderDayInBothForms) {
    EXPECT_EQ(HeaderDay("14:30 05.03.2009"), 5);
    EXPECT_EQ(HeaderDay("14:30  5.03.2009"), 5);
    EXPECT_EQ(HeaderDay("14:30 15.03.2009"), 15);
    EXPECT_EQ(HeaderDay("14:30 1"), std::nullopt);
    EXPECT_EQ(HeaderDay("Title 15.03.2009"), std::nullopt);
}

std::vector<StoredValue> Values(int n, int first) {
    std::vector<StoredValue> v;
    for (int i = 0; i < n; ++i) v.emplace_back(first + i);
    return v;
}

// A monthly file as the logger holds it:
//   0 a title line
//   1 header of day 4 with 33 values (7 value lines)
//   9 header of day 5 (blank form) with 3 values
//  11 header of day 15 without values
//  12 header of day 16 with 2 values (one value line)
//  14 a closing text line
class FileTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualLogger> logger;
    void SetUp() override {
        LoggerConfig config;
        config.demoData = false;
        logger = std::make_unique<VirtualLogger>(config, [] { return DateTime{}; });
        auto& store = logger->Store();
        store.AddFile("D", "2009_3.dat", LoggerStore::Lines{"Title line"});
        auto v1 = Values(33, 100);
        v1[2] = std::nullopt;
        v1[3] = -250;
        store.AddMeasurement("D", "2009_3.dat", "14:30 04.03.2009  N=33", v1);
        store.AddMeasurement("D", "2009_3.dat", "15:30  5.03.2009  N=3", Values(3, 500));
        store.AddMeasurement("D", "2009_3.dat", "16:30 15.03.2009  N=0", {});
        store.AddMeasurement("D", "2009_3.dat", "10:00 16.03.2009  N=2", Values(2, 700));
        auto lines = store.Content("D", "2009_3.dat")->lines;
        lines.push_back("closing text");
        store.AddFile("D", "2009_3.dat", lines);
        store.AddMeasurement("D", "2009_4.dat", "00:00 01.04.2009", Values(4, 1));
    }
    Frame Open() { return AskOne(*logger, NameRequest(66, "D\\2009_3.dat")); }
    Frame Ask(std::uint8_t code) { return AskOne(*logger, Request(code)); }
    static std::vector<int> Words(const Frame& f) {
        std::vector<int> w;
        for (std::size_t i = 2; i + 1 < f.size(); i += 2) {
            const std::uint16_t word = f[i] | f[i + 1] << 8;
            w.push_back(word == 0x8000 ? 32768 : *WordToValue(word));
        }
        return w;
    }
};

TEST_F(FileTest, LinesAndValueBlocksCarryTheStatusesOfAFullCopy) {
    Frame f = Open();
    EXPECT_EQ(f[1], 249);
    EXPECT_EQ(TextOf(f), "Title line");
    EXPECT_EQ(f.back(), 0);  // terminator
    f = Ask(67);
    EXPECT_EQ(f[1], 249);
    EXPECT_EQ(TextOf(f), "14:30 04.03.2009  N=33");

    f = Ask(71);
    EXPECT_EQ(f[0], 61);
    EXPECT_EQ(f[1], 249);
    const auto w = Words(f);
    EXPECT_EQ(w[0], 100);
    EXPECT_EQ(w[2], 32768);
    EXPECT_EQ(w[3], -250);
    f = Ask(72);
    EXPECT_EQ(f[1], 248);
    EXPECT_EQ(Words(f), (std::vector<int>{130, 131, 132}));

    EXPECT_EQ(TextOf(Ask(67)), "15:30  5.03.2009  N=3");
    // Values not asked for are passed over by the next line request.
    f = Ask(67);
    EXPECT_EQ(TextOf(f), "16:30 15.03.2009  N=0");
    EXPECT_EQ(f[1], 249);
    EXPECT_EQ(Ask(71), (Frame{1, 248}));  // a header without values: an empty block
    EXPECT_EQ(TextOf(Ask(67)), "10:00 16.03.2009  N=2");
    EXPECT_EQ(Words(Ask(71)), (std::vector<int>{700, 701}));
    f = Ask(67);
    EXPECT_EQ(f[1], 248);
    EXPECT_EQ(TextOf(f), "closing text");
    EXPECT_EQ(Ask(67), (Frame{2, 250, 0}));
}

TEST_F(FileTest, ValuesAtTheEndOfAFileEndWith250) {
    EXPECT_EQ(AskOne(*logger, NameRequest(66, "D\\2009_4.dat"))[1], 249);
    const Frame f = Ask(71);
    EXPECT_EQ(f[1], 250);
    EXPECT_EQ(Words(f), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(FileTest, MissingFilesAndBadPathsHaveNoLine) {
    EXPECT_EQ(AskOne(*logger, NameRequest(66, "D\\2001_1.dat")), (Frame{2, 250, 0}));
    EXPECT_EQ(AskOne(*logger, NameRequest(66, "D/2009_3.dat")), (Frame{2, 250, 0}));
    EXPECT_EQ(AskOne(*logger, NameRequest(66, "X\\2009_3.dat")), (Frame{2, 250, 0}));
    EXPECT_EQ(Ask(67), (Frame{2, 250, 0}));
    EXPECT_EQ(Ask(71), (Frame{1, 250}));
}

TEST_F(FileTest, ResumeStartsAfterTheLinesTheProgramCounted) {
    // Counted as the program counts written lines: title 1, first measurement 1 + 7, second
    // 1 + 1, the empty one 1 + 1, the last 1 + 1, closing line 1.
    const std::pair<int, std::string> cases[] = {
        {0, "Title line"},
        {1, "14:30 04.03.2009  N=33"},
        {9, "15:30  5.03.2009  N=3"},
        {11, "16:30 15.03.2009  N=0"},
        {13, "10:00 16.03.2009  N=2"},
        {15, "closing text"},
        {5, "15:30  5.03.2009  N=3"},  // inside the values: the next text line
    };
    for (const auto& [lines, text] : cases) {
        const Frame f = AskOne(
            *logger, NameRequest(69, "D\\2009_3.dat", {static_cast<std::uint8_t>(lines), 0}));
        EXPECT_EQ(TextOf(f), text) << lines;
    }
    EXPECT_EQ(AskOne(*logger, NameRequest(69, "D\\2009_3.dat", {16, 0})), (Frame{2, 250, 0}));
    EXPECT_EQ(AskOne(*logger, NameRequest(69, "D\\2009_3.dat", {0, 1})), (Frame{2, 250, 0}));
    // Resumed at a header, its values follow.
    AskOne(*logger, NameRequest(69, "D\\2009_3.dat", {9, 0}));
    EXPECT_EQ(Words(Ask(71)), (std::vector<int>{500, 501, 502}));
}

TEST_F(FileTest, DaySearchFindsTheFirstHeaderOfTheDayInEitherForm) {
    Open();
    Frame f = AskOne(*logger, Request(70, {5}));
    EXPECT_EQ(f[1], 249);
    EXPECT_EQ(TextOf(f), "15:30  5.03.2009  N=3");
    EXPECT_EQ(Words(Ask(71)), (std::vector<int>{500, 501, 502}));
    EXPECT_EQ(TextOf(Ask(67)), "16:30 15.03.2009  N=0");

    f = AskOne(*logger, Request(70, {15}));
    EXPECT_EQ(TextOf(f), "16:30 15.03.2009  N=0");
    EXPECT_EQ(f[1], 249);
    EXPECT_EQ(AskOne(*logger, Request(70, {7})), (Frame{2, 250, 0}));
    EXPECT_EQ(AskOne(*logger, Request(70, {4}))[1], 249);
}

TEST_F(FileTest, FileListingAndDelete) {
    logger->Store().AddDirectory("SYSTEM~1");
    EXPECT_EQ(TextOf(AskOne(*logger, NameRequest(64, "D"))), "2009_3.dat");
    EXPECT_EQ(TextOf(Ask(65)), "2009_4.dat");
    EXPECT_EQ(Ask(65), (Frame{2, 248, 0}));
    EXPECT_EQ(AskOne(*logger, NameRequest(64, "nothing")), (Frame{2, 248, 0}));

    Open();
    EXPECT_EQ(AskOne(*logger, NameRequest(76, "D")), (Frame{1, 248}));
    EXPECT_EQ(AskOne(*logger, NameRequest(76, "D")), (Frame{1, 250}));
    EXPECT_EQ(Ask(67), (Frame{2, 250, 0}));  // the open file went with its directory
    EXPECT_EQ(TextOf(AskOne(*logger, NameRequest(64, ""))), "SYSTEM~1");
    EXPECT_EQ(Ask(65), (Frame{2, 248, 0}));
}

TEST(LoggerStore, RefusesEntriesThatDoNotFitOneReply) {
    LoggerStore store;
    EXPECT_THROW(store.AddDirectory(std::string(62, 'x')), std::invalid_argument);
    EXPECT_THROW(store.AddFile("D", "f", LoggerStore::Lines{std::string(62, 'x')}),
                 std::invalid_argument);
    EXPECT_NO_THROW(store.AddFile("D", "f", LoggerStore::Lines{std::string(61, 'x')}));
}

TEST(DemoStore, LooksRealAndIsBuiltLazily) {
    const DateTime now = *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0});
    LoggerConfig config;
    const auto started = std::chrono::steady_clock::now();
    VirtualLogger logger(config, [now] { return now; });
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::milliseconds(200));
    LoggerStore& store = logger.Store();
    EXPECT_LE(store.MaterialisedFiles(), 1u);

    const auto dirs = store.DirectoryNames();
    EXPECT_GE(dirs.size(), 4u);
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), "SYSTEM~1"), dirs.end());
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), Utf8ToCp1251("Котельная")), dirs.end());
    const std::string boiler = Utf8ToCp1251("Котельная");
    const auto files = store.FileNames(boiler);
    ASSERT_EQ(files.size(), 12u);
    EXPECT_EQ(files.front(), "2023_4.dat");
    EXPECT_EQ(files.back(), "2024_3.dat");

    // March up to 09:07 on the 5th: four whole days and ten hourly measurements.
    const auto march = store.Content(boiler, "2024_3.dat");
    int headers = 0;
    for (std::size_t i = 0; i < march->lines.size(); ++i) {
        if (march->valueLine[i]) {
            const auto values = *ParseValueLine(march->lines[i]);
            for (const auto& v : values) {
                if (v) {
                    EXPECT_GE(*v, -1500);
                    EXPECT_LE(*v, 4000);
                }
            }
        } else if (IsHeaderLine(march->lines[i])) {
            ++headers;
            EXPECT_EQ(march->ValuesFrom(i + 1).size(), 63u);
        }
    }
    EXPECT_EQ(headers, 4 * 24 + 10);
    EXPECT_EQ(march->lines.back().size(), 3u * 7u);  // 63 values: 12 full lines and 3 values

    // The same clock gives the same files.
    VirtualLogger again(config, [now] { return now; });
    EXPECT_EQ(again.Store().Content(boiler, "2024_3.dat")->lines, march->lines);
}

// The demo is worth a look in a viewer: near the surface the seasons and the days swing widely,
// deep down hardly; one sensor has failed.
TEST(DemoStore, SeasonsSwingLessWithDepthAndOneSensorHasFailed) {
    const DateTime now = *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0});
    VirtualLogger logger(LoggerConfig{}, [now] { return now; });
    const std::string boiler = Utf8ToCp1251("Котельная");
    struct Range {
        int low = 1 << 30, high = -(1 << 30);
        int Span() const { return high - low; }
    };
    std::vector<Range> year(63), firstDay(63);
    std::size_t measurements = 0, failedSeen = 0;
    for (const std::string& name : logger.Store().FileNames(boiler)) {
        const auto file = logger.Store().Content(boiler, name);
        for (std::size_t i = 0; i < file->lines.size(); ++i) {
            if (!IsHeaderLine(file->lines[i])) continue;
            const bool firstDayOfFile = HeaderDay(file->lines[i]) == 1;
            const auto values = file->ValuesFrom(i + 1);
            ASSERT_EQ(values.size(), 63u);
            ++measurements;
            if (!values[12]) ++failedSeen;
            for (std::size_t s = 0; s < 63; ++s) {
                if (!values[s]) continue;
                for (Range* r :
                     {&year[s], firstDayOfFile && name == "2023_6.dat" ? &firstDay[s] : nullptr}) {
                    if (!r) continue;
                    r->low = std::min(r->low, *values[s]);
                    r->high = std::max(r->high, *values[s]);
                }
            }
        }
    }
    EXPECT_EQ(failedSeen, measurements);
    EXPECT_GT(year[0].Span(), 1500);
    EXPECT_GT(year[0].Span(), 4 * year[60].Span());
    EXPECT_GT(year[20].Span(), year[40].Span());
    EXPECT_GT(firstDay[0].Span(), 300) << "a daily swing near the surface";
    EXPECT_LT(firstDay[40].Span(), 150);
    EXPECT_LT(year[0].low, year[60].low) << "deep down it is warmer in winter";
}

TEST(DemoStore, SmallStoreIsSmall) {
    LoggerConfig config;
    config.demoShape = DemoStoreShape::Small();
    VirtualLogger logger(config, [] { return *DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0}); });
    const std::string boiler = Utf8ToCp1251("Котельная");
    ASSERT_EQ(logger.Store().FileNames(boiler).size(), 2u);
    const auto feb = logger.Store().Content(boiler, "2024_2.dat");
    // Title, then 3 days x 3 measurements of a header and two value lines.
    EXPECT_EQ(feb->lines.size(), 1u + 9u * 3u);
}

}  // namespace
}  // namespace qm::sim
