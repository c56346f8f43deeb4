#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "store/LocalFiles.h"
#include "store/ValueLines.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

TEST(ValueLines, FieldsAreABlankAndSixCharactersCutWhenLonger) {
    EXPECT_EQ(ValueField(32768), "    -  ");
    EXPECT_EQ(ValueField(-1), "  -0.01");  // word 65535
    EXPECT_EQ(ValueField(5), "   0.05");
    EXPECT_EQ(ValueField(32767), " 327.67");
    EXPECT_EQ(ValueField(-32767), " -327.6");  // word 32769
    EXPECT_EQ(ValueField(-12345), " -123.4");
    EXPECT_EQ(ValueField(0), "   0.00");
    EXPECT_EQ(ValueField(-100), "  -1.00");
    EXPECT_EQ(ValueField(-5), "  -0.05");
}

TEST(ValueLines, BlockOfSevenGivesAFullLineAndARest) {
    const auto lines = ValueLines({1234, -5, 32768, 0, 250, 1, 2});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "  12.34  -0.05    -     0.00   2.50");
    EXPECT_EQ(lines[0].size(), 35u);
    EXPECT_EQ(lines[1].size(), 14u);
    EXPECT_TRUE(ValueLines({}).empty());
    EXPECT_EQ(ValueLineCount(0), 1);
    EXPECT_EQ(ValueLineCount(5), 1);
    EXPECT_EQ(ValueLineCount(6), 2);
    EXPECT_EQ(ValueLineCount(10), 2);
}

TEST(ValueLines, HeaderLinesAndTheirDay) {
    EXPECT_TRUE(IsHeaderLine("14:30  5.03.2009"));
    EXPECT_FALSE(IsHeaderLine("14"));
    EXPECT_FALSE(IsHeaderLine("1:30"));
    EXPECT_EQ(HeaderDay("14:30  5.03.2009"), 5);
    EXPECT_EQ(HeaderDay("14:30 15.03.2009"), 15);
    EXPECT_EQ(HeaderDay("14:30 05.03.2009"), 5);
    EXPECT_EQ(HeaderDay("14:30 1:03.2009"), std::nullopt) << "not a day: no match by accident";
    EXPECT_EQ(HeaderDay("14:30 x5.03.2009"), std::nullopt);
    EXPECT_EQ(HeaderDay("14:30 1"), std::nullopt);
    EXPECT_EQ(DayFileName(2010, 11, 15), "2010_11_15.dat");
    EXPECT_EQ(MonthFileName(2009, 3), "2009_3.dat");
}

TEST(ResumeRecord, FirstLineWholeAndNumberAfterBlanksAndLineEnds) {
    // Names are listed and copied whole, so the record must give them back whole too: a cut one
    // would match no listed name, and every later "Новые" would start over.
    const std::string longName(200, 'x');
    WriteResumeRecord(fs::temp_directory_path(), longName, 120);
    EXPECT_EQ(ReadResumeRecord(fs::temp_directory_path()).name, longName);
    fs::remove(fs::temp_directory_path() / "Temp.bin");
    auto r = ParseResumeRecord(longName + "\r\n120\r\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, longName);
    EXPECT_EQ(r->lines, 120);

    r = ParseResumeRecord("2009_3.dat\r\n\r\n   \t 42 rest of line\r\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, "2009_3.dat");
    EXPECT_EQ(r->lines, 42);

    r = ParseResumeRecord("B\n7");  // no final line end
    ASSERT_TRUE(r);
    EXPECT_EQ(r->lines, 7);

    EXPECT_FALSE(ParseResumeRecord("B\r\n"));
    EXPECT_FALSE(ParseResumeRecord("B\r\nabc\r\n"));
    EXPECT_FALSE(ParseResumeRecord("B\r\n12x\r\n"));
    EXPECT_FALSE(ParseResumeRecord("B\r\n99999999999\r\n"));
}

class StagedFileTest : public StoreTest {};

// Qt gives Windows paths with "/"; a path printed from one must not mix the two separators.
TEST(LocalNames, PathsFromTextUseTheSystemsSeparators) {
    const std::string text =
        PathText(Utf8Path("C:/Users/Инженер") / "DATA" / Utf8Path("Котельная"));
#ifdef _WIN32
    EXPECT_EQ(text, "C:\\Users\\Инженер\\DATA\\Котельная");
#else
    EXPECT_EQ(text, "C:/Users/Инженер/DATA/Котельная");
#endif
}

TEST(LocalNames, NamesThatWouldLeaveTheirFolderAreRefused) {
    for (const std::string& bad : std::vector<std::string>{
             "",      ".",     "..",   "../x",    "a/b",  "a\\b",    "C:x",
             "a<b",   "a>b",   "a\"b", "a|b",     "a?b",  "a*b",     std::string("a\x01", 2),
             "tail.", "tail ", "CON",  "nul.dat", "COM1", "lpt9.txt"})
        EXPECT_TRUE(RefusedLocalName(bad)) << bad;
    for (const std::string& good :
         std::vector<std::string>{"2009_3.dat", "A", "..x", "COM10", "CONSOLE", "\xc4\xe0\xed"})
        EXPECT_FALSE(RefusedLocalName(good)) << good;
}

TEST(LocalNames, FileNamesOfTheProgramsOwnFilesAreRefusedInAnyLetterCase) {
    for (const char* own : {"Temp.bin", "TEMP.BIN", "temp.Bin", ".qmc-staging", ".QMC-Staging",
                            "collection.jsonl", "Collection.JSONL", "sensors.csv", "SENSORS.CSV"})
        EXPECT_TRUE(RefusedFileName(own)) << own;
    EXPECT_EQ(RefusedFileName("tEmp.bin")->reason, Msg::NameResumeRecord);
    EXPECT_EQ(RefusedFileName(".QMC-STAGING")->reason, Msg::NameStagingFolder);
    EXPECT_EQ(RefusedFileName("Sensors.csv")->reason, Msg::NameOwnFile);
    for (const char* other : {"Temp.bin.part", "Temp.bi", "xTemp.bin", "a.dat.part",
                              "collection.json", "sensors.csv.bak"})
        EXPECT_FALSE(RefusedFileName(other)) << other;
    EXPECT_TRUE(RefusedFileName("../x")) << "and everything a local name may not be";
    EXPECT_FALSE(RefusedLocalName("Temp.bin")) << "a directory of that name harms nothing";
}

TEST(LocalNames, NamesWithATildePassWhereverTheyAreNoOtherNamesAlias) {
    for (const char* name : {"QMC-ST~1", "LONGFI~1.DAT", "AB12C~1.TXT", "AB~9", "SYSTEM~1",
                             "LONGFILE~1.DAT", "~1.dat", "a~b"}) {
        EXPECT_FALSE(RefusedLocalName(name)) << name;
        EXPECT_FALSE(RefusedFileName(name)) << name;
    }
}

TEST(LocalNames, ShortAliasesAreTheLeadOfTheBaseAndOfTheExtension) {
    // The lead of the base, blanks and inner dots dropped, in upper case.
    EXPECT_TRUE(MayBeShortAliasOf("LONGFI~1.DAT", "longfilename.dat"));
    EXPECT_TRUE(MayBeShortAliasOf("longfi~2.dat", "Long File Name.data"));
    EXPECT_TRUE(MayBeShortAliasOf("AB_CD~1.TXT", "ab+cd efgh.txt"));
    EXPECT_TRUE(MayBeShortAliasOf("2009_~12.d", "2009_3_five.d"));
    EXPECT_TRUE(MayBeShortAliasOf("REPOR~10", "report of march"));
    // Leading dots go: the staging folder's alias.
    EXPECT_TRUE(MayBeShortAliasOf("QMC-ST~1", kStagingFolderName));
    // The hashed kind: two characters, then four hexadecimal digits.
    EXPECT_TRUE(MayBeShortAliasOf("LO3F2A~1.DAT", "longfilename.dat"));
    // Outside ASCII a character may stand for any such one or "_".
    EXPECT_TRUE(MayBeShortAliasOf(Utf8Path("ДАННЫ~1.DAT"), Utf8Path("данные марта.dat")));
    EXPECT_TRUE(MayBeShortAliasOf(Utf8Path("______~1.DAT"), Utf8Path("данные марта.dat")));

    // Not an alias of it: another lead, another extension, the name itself, not alias-shaped.
    EXPECT_FALSE(MayBeShortAliasOf("LONGFX~1.DAT", "longfilename.dat"));
    EXPECT_FALSE(MayBeShortAliasOf("LONGFI~1.TXT", "longfilename.dat"));
    EXPECT_FALSE(MayBeShortAliasOf("LONGFI~1", "longfilename.dat"));
    EXPECT_FALSE(MayBeShortAliasOf("LONGFI~1.DAT", "LONGFI~1.dat"));
    EXPECT_FALSE(MayBeShortAliasOf("LO3G2A~1.DAT", "longfilename.dat"));
    for (const char* shape :
         {"LONGFILE~1.DAT", "LONGFI~1.DATA", "~1.DAT", "LONGFI~.DAT", "LONG~1X.DAT", "L.NG~1.DAT"})
        EXPECT_FALSE(MayBeShortAliasOf(shape, "longfilename.dat")) << shape;
}

TEST_F(StagedFileTest, ANameThatMayAliasAnotherInTheFolderIsRefusedWhereNamesHaveAliases) {
    { std::ofstream(start / "longfilename.dat") << "kept"; }
    fs::create_directory(start / kStagingFolderName);
    for (const char* alias : {"LONGFI~1.DAT", "longfi~2.dat", "QMC-ST~1"}) {
        EXPECT_EQ(RefusedBesideEntries(start, alias, true)->reason, Msg::NameShortAlias) << alias;
        EXPECT_FALSE(RefusedBesideEntries(start, alias, false)) << alias;
    }
    for (const char* name : {"OTHERF~1.DAT", "LONGFI~1.TXT", "longfilename.dat", "2009_3.dat"})
        EXPECT_FALSE(RefusedBesideEntries(start, name, true)) << name;
    EXPECT_FALSE(RefusedBesideEntries(start / "not there", "LONGFI~1.DAT", true));
    EXPECT_EQ(RefusedBesideEntries(start, "LONGFI~1.DAT").has_value(), kShortAliases);
}

TEST(ResumeRecord, LocalLinesAreCountedAsTheRecordCountsThem) {
    auto counted = [](std::string_view text) {
        const CountedLines n = CountLinesAsRecorded(text);
        return std::pair<std::int64_t, std::int64_t>{n.low, n.high};
    };
    using P = std::pair<std::int64_t, std::int64_t>;
    EXPECT_EQ(counted(""), (P{0, 0}));
    EXPECT_EQ(counted("a\r\nb\r\n"), (P{2, 2}));
    // A header and seven values on two lines: three, as written.
    EXPECT_EQ(
        counted("14:30  5.03.2009\r\n   0.01   0.02   0.03   0.04   0.05\r\n    -     0.07\r\n"
                "end\r\n"),
        (P{4, 4}));
    // An empty block leaves no line but counts one.
    EXPECT_EQ(counted("10:00  5.03.2009\r\n11:00  5.03.2009\r\n   1.00\r\n"), (P{4, 4}));
    // A header that ends the file may or may not have had an empty block.
    EXPECT_EQ(counted("a\r\n10:00  5.03.2009\r\n"), (P{2, 3}));
    // A text line that only looks a little like values is text.
    EXPECT_EQ(counted("10:00  5.03.2009\r\n  x.00\r\n"), (P{3, 3}));
}

TEST(DeviceList, LinesAreReadBeforeTheEndIsTested) {
    EXPECT_EQ(DeviceListLines(""), std::vector<std::string>{""});
    EXPECT_EQ(DeviceListLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(DeviceListLines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(DeviceListLines("a\n\nc\n"), (std::vector<std::string>{"a", "", "c"}));
}

TEST_F(StagedFileTest, FinalFileChangesOnlyOnCommit) {
    const fs::path f = start / "x.dat";
    { std::ofstream(f, std::ios::binary) << "old\r\n"; }
    StagedFile s;
    s.Begin(f, true);
    s.WriteLine("new");
    EXPECT_EQ(StoreTest::Files(start).at("x.dat"), "old\r\n");
    s.Commit();
    EXPECT_EQ(StoreTest::Files(start),
              (std::map<std::string, std::string>{{"x.dat", "old\r\nnew\r\n"}}));

    s.Begin(f, false);
    s.WriteLine("replaced");
    s.Abandon();
    EXPECT_EQ(StoreTest::Files(start),
              (std::map<std::string, std::string>{{"x.dat", "old\r\nnew\r\n"}}));
}

TEST_F(StagedFileTest, AFileThatCannotBeCreatedNamesThePathAndTheReason) {
    const fs::path f = start / "x.dat";
    fs::create_directories(StagedFile::StagingPath(f));  // something in the way
    StagedFile s;
    try {
        s.Begin(f, false);
        FAIL() << "no error";
    } catch (const FileError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(PathText(f)), std::string::npos) << text;
        EXPECT_NE(text.find(": "), std::string::npos) << text;
    }
    EXPECT_FALSE(s.IsOpen());
}

TEST_F(StagedFileTest, ResumeRecordIsReplacedWhole) {
    WriteResumeRecord(start, "A", 5);
    WriteResumeRecord(start, "B", 0);
    EXPECT_EQ(StoreTest::Files(start),
              (std::map<std::string, std::string>{{"Temp.bin", "B\r\n0\r\n"}}));
    const ResumeRecord r = ReadResumeRecord(start);
    EXPECT_EQ(r.name, "B");
    EXPECT_THROW(ReadResumeRecord(start / "missing"), FileError);
}

}  // namespace
}  // namespace qm::test
