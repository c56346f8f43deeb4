#include <gtest/gtest.h>

#include "store/FileSteps.h"
#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

using CopyTest = StoreTest;

// Directory D: file A holds a text line, a measurement of seven values and a closing line;
// B is empty.
void TwoFileDirectory(StoreDevice& dev) {
    dev.directories = {
        {"D",
         {{"A",
           {Text("first line"),
            Measurement("14:30  5.03.2009 T", {1234, 0xFFFB, 0x8000, 0, 250, 0x7FFF, 0x8001}),
            Text("closing line")}},
          {"B", {}}}}};
    dev.wordsPerReply = 4;
}

const std::string kFileA =
    "first line\r\n"
    "14:30  5.03.2009 T\r\n"
    "  12.34  -0.05    -     0.00   2.50\r\n"
    " 327.67 -327.6\r\n"
    "closing line\r\n";

TEST_F(CopyTest, FullCopyOfTwoFilesSendsTheRequestsAndWritesTheLoggersLines) {
    TwoFileDirectory(dev);
    Rig& r = Connect();
    dev.requests.clear();
    r.controller.Click("bAllData");
    EXPECT_FALSE(r.Model().bAllData.enabled);
    EXPECT_FALSE(r.Model().ComboBox1.enabled);
    EXPECT_FALSE(r.Model().PageControl1.visible);
    EXPECT_FALSE(r.Model().ProgressBar1.visible);  // no busy bar for a full copy
    r.RunFor(10);

    std::vector<int> codes;
    for (const auto& q : dev.requests) codes.push_back(q[3]);
    EXPECT_EQ(codes, (std::vector<int>{64, 65, 65, 66, 67, 71, 72, 67, 66}));
    EXPECT_EQ(Head(dev.requests[0], 6), WithText(Bytes({0, 4, 0, 64}), "D"));
    EXPECT_EQ(Head(dev.requests[3], 8), WithText(Bytes({0, 6, 0, 66}), "D\\A"));
    EXPECT_EQ(Head(dev.requests[4], 4), Bytes({0, 2, 0, 67}));
    EXPECT_EQ(Head(dev.requests[5], 4), Bytes({0, 2, 0, 71}));
    EXPECT_EQ(Head(dev.requests[6], 4), Bytes({0, 2, 0, 72}));
    EXPECT_EQ(Head(dev.requests[8], 8), WithText(Bytes({0, 6, 0, 66}), "D\\B"));

    EXPECT_EQ(Files(Data() / "D"), (std::map<std::string, std::string>{
                                       {"A", kFileA}, {"B", ""}, {"Temp.bin", "B\r\n0\r\n"}}));
    r.RunFor(1000);  // the finishing step
    EXPECT_EQ(Kept(), 1);
    EXPECT_TRUE(r.Model().bAllData.enabled);
    EXPECT_TRUE(r.Model().bNewData.enabled);
    EXPECT_TRUE(r.Model().bDelete.enabled);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_TRUE(r.Model().PageControl1.visible);
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(CopyTest, LastFileCopiedIsRecordedWithItsLineCount) {
    TwoFileDirectory(dev);
    dev.directories[0].files.pop_back();
    Connect();
    CopyAll();
    EXPECT_EQ(Local("D/Temp.bin"), "A\r\n5\r\n");  // three text lines and a block of seven
}

TEST_F(CopyTest, NewDataResumesTheRecordedFileAndCopiesTheFollowingOnesWhole) {
    StoredDirectory d{"D", {}};
    for (const char* name : {"F1", "F2", "F3", "F4", "F5"}) d.files.push_back({name, {}});
    StoredFile& f3 = d.files[2].second;
    std::string held;
    for (int i = 1; i <= 120; ++i) {
        f3.push_back(Text("line " + std::to_string(i)));
        held += "line " + std::to_string(i) + "\r\n";
    }
    f3.push_back(Measurement("10:00 06.03.2009", {100, 200}));
    d.files[3].second = {Text("four")};
    d.files[4].second = {Text("five"), Text("five again")};
    dev.directories = {d};
    Put("D/F3", held);
    Put("D/F4", "stale\r\n");
    Put("D/F1", "untouched\r\n");
    Put("D/Temp.bin", "F3\r\n120\r\n");

    Rig& r = Connect();
    ASSERT_TRUE(r.Model().bNewData.enabled);
    dev.requests.clear();
    r.controller.Click("bNewData");
    EXPECT_TRUE(r.Model().ProgressBar1.visible);
    r.RunFor(10);
    EXPECT_FALSE(r.Model().ProgressBar1.visible);

    const auto resume = Requests(69);
    ASSERT_EQ(resume.size(), 1u);
    EXPECT_EQ(Head(resume[0], 11), WithText(Bytes({0, 9, 0, 69, 120, 0}), "D\\F3"));
    EXPECT_EQ(Requests(66).size(), 2u);  // F4 and F5
    EXPECT_EQ(Files(Data() / "D"), (std::map<std::string, std::string>{
                                       {"F1", "untouched\r\n"},
                                       {"F3", held + "10:00 06.03.2009\r\n   1.00   2.00\r\n"},
                                       {"F4", "four\r\n"},
                                       {"F5", "five\r\nfive again\r\n"},
                                       {"Temp.bin", "F5\r\n2\r\n"}}));
    EXPECT_EQ(heard.counted, 1);
}

TEST_F(CopyTest, TheCounterShowsTheCountOrNoDataInRedUntilTheFinishingStep) {
    dev.directories = {{"D", {{"A", {Measurement("10:00 06.03.2009", {1})}}}}};
    Rig& r = Connect();
    r.Model().pmEng.checked = true;
    for (const char* caption : {"Measurements: 1", "No data"}) {
        r.controller.Click("bAllData");
        r.RunFor(10);
        EXPECT_EQ(r.Model().lMeasureCounter.caption, caption);
        EXPECT_TRUE(r.Model().lMeasureCounter.visible);
        EXPECT_EQ(r.Model().lMeasureCounter.fontColour, Colour::Red);
        r.RunFor(1000);
        EXPECT_FALSE(r.Model().lMeasureCounter.visible);
        dev.directories[0].files[0].second = {Text("only text")};
    }
}

TEST_F(CopyTest, DirectoryWithoutMeasurementsFindsNoDataAndStillRecords) {
    dev.directories = {{"D", {{"A", {Text("only text")}}}}};
    Connect();
    CopyAll();
    EXPECT_EQ(heard.noData, 1);
    EXPECT_EQ(Local("D/Temp.bin"), "A\r\n1\r\n");
}

TEST_F(CopyTest, DirectoryWithoutFilesEndsWithNoDataAndUnlocks) {
    dev.directories = {{"D", {}}};
    Put("D/Temp.bin", "A\r\n5\r\n");
    Rig& r = Connect();
    r.controller.Click("bNewData");
    r.RunFor(10);
    EXPECT_EQ(heard.noData, 1);
    EXPECT_FALSE(r.Model().ProgressBar1.visible);
    r.RunFor(1000);
    EXPECT_TRUE(r.Model().bAllData.enabled);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_EQ(Local("D/Temp.bin"), "A\r\n5\r\n");
}

TEST_F(CopyTest, ResumeFileGoneFromTheLoggerCopiesEveryFile) {
    dev.directories = {{"D", {{"X", {Text("x")}}, {"Y", {Text("y")}}}}};
    Put("D/Temp.bin", "GONE\r\n3\r\n");
    Rig& r = Connect();
    CopyNew();
    ASSERT_EQ(r.ops.warnings.size(), 1u);
    EXPECT_NE(r.ops.warnings[0].find("GONE"), std::string::npos);
    EXPECT_TRUE(Requests(69).empty());
    EXPECT_EQ(Files(Data() / "D"),
              (std::map<std::string, std::string>{
                  {"X", "x\r\n"}, {"Y", "y\r\n"}, {"Temp.bin", "Y\r\n1\r\n"}}));
}

TEST_F(CopyTest, ResumePositionBeyond16BitsCopiesThatFileWhole) {
    dev.directories = {{"D", {{"X", {Text("x1"), Text("x2")}}}}};
    std::string lines;
    for (int i = 0; i < 70000; ++i) lines += "something\r\n";
    Put("D/X", lines);
    Put("D/Temp.bin", "X\r\n70000\r\n");
    Rig& r = Connect();
    CopyNew();
    EXPECT_TRUE(Requests(69).empty());
    EXPECT_EQ(Requests(66).size(), 1u);
    EXPECT_EQ(r.ops.warnings.size(), 1u);
    EXPECT_EQ(Local("D/X"), "x1\r\nx2\r\n");
    EXPECT_EQ(Local("D/Temp.bin"), "X\r\n2\r\n");
}

TEST_F(CopyTest, MissingResumeRecordIsReportedAndUnlocks) {
    dev.directories = {{"D", {{"X", {Text("x")}}}}};
    Rig& r = Connect();
    r.Model().bNewData.enabled = true;
    CopyNew();
    ASSERT_EQ(r.ops.errors.size(), 1u);
    EXPECT_NE(r.ops.errors[0].find("Temp.bin"), std::string::npos) << r.ops.errors[0];
    EXPECT_TRUE(r.Model().bAllData.enabled);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_FALSE(r.Model().ProgressBar1.visible);
    EXPECT_FALSE(LocalExists("D/X"));
}

TEST_F(CopyTest, UnsafeNamesFromTheLoggerAreRefusedAndTheOthersCopied) {
    dev.directories = {{"D",
                        {{"../evil", {Text("e")}},
                         {"good", {Text("g")}},
                         {"a/b", {Text("e")}},
                         {"C:x", {Text("e")}},
                         {"..", {Text("e")}},
                         {"nul", {Text("e")}}}}};
    Rig& r = Connect();
    CopyAll();
    EXPECT_EQ(r.ops.errors.size(), 5u);
    for (const auto& e : r.ops.errors) EXPECT_NE(e.find("файл пропущен"), std::string::npos) << e;
    EXPECT_EQ(Files(start), (std::map<std::string, std::string>{
                                {"DATA/D/good", "g\r\n"}, {"DATA/D/Temp.bin", "good\r\n1\r\n"}}));
    EXPECT_EQ(Requests(66).size(), 1u);
}

TEST_F(CopyTest, UnsafeDirectoryNameStartsNoCopy) {
    dev.directories = {{"..", {{"x", {Text("e")}}}}};
    Rig& r = Connect();
    dev.requests.clear();
    CopyAll();
    EXPECT_EQ(r.ops.errors.size(), 1u);
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_TRUE(r.Model().bAllData.enabled);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_EQ(Files(start), (std::map<std::string, std::string>{}));
}

TEST_F(CopyTest, PathsTooLongForARequestAreRefusedNotCut) {
    const std::string dir(200, 'd');
    dev.directories = {{dir, {{std::string(60, 'f'), {Text("long")}}, {"s", {Text("short")}}}}};
    Rig& r = Connect(300);
    CopyAll();
    ASSERT_EQ(r.ops.errors.size(), 1u);
    EXPECT_NE(r.ops.errors[0].find("слишком длинный"), std::string::npos);
    const auto open = Requests(66);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0][1], dir.size() + 2 + 3);
    EXPECT_EQ(Local(dir + "/s"), "short\r\n");
}

TEST_F(CopyTest, ResumePathTooLongForRequest69CopiesThatFileWhole) {
    const std::string dir(200, 'd'), file(51, 'f');  // path 252: fits 66, not 69
    dev.directories = {{dir, {{file, {Text("a"), Text("b")}}}}};
    Put(dir + "/" + file, "a\r\n");
    Put(dir + "/Temp.bin", file + "\r\n1\r\n");
    Rig& r = Connect(300);
    CopyNew();
    EXPECT_TRUE(Requests(69).empty());
    EXPECT_EQ(r.ops.warnings.size(), 1u);
    EXPECT_EQ(Local(dir + "/" + file), "a\r\nb\r\n");
}

TEST_F(CopyTest, FileThatCannotBeWrittenIsReportedAndCompleteFilesStay) {
    dev.directories = {{"D", {{"A", {Text("new a")}}, {"B", {Text("new b")}}}}};
    // B cannot be created.
    SetFileStepHook([](FileStep step, const fs::path& p) {
        return !(step == FileStep::CreateStaging && p.filename() == "B");
    });
    Put("D/B", "old b\r\n");
    Rig& r = Connect();
    CopyAll();
    ASSERT_EQ(r.ops.errors.size(), 1u);
    EXPECT_NE(r.ops.errors[0].find(PathText(Data() / "D" / "B")), std::string::npos)
        << r.ops.errors[0];
    EXPECT_EQ(Local("D/A"), "new a\r\n");
    EXPECT_EQ(Local("D/B"), "old b\r\n");
    EXPECT_EQ(Local("D/Temp.bin"), "A\r\n1\r\n");
    EXPECT_TRUE(r.Model().bAllData.enabled);
    EXPECT_TRUE(r.Model().bTest.enabled);
    EXPECT_EQ(Requests(66).size(), 1u);  // nothing asked for B
}

TEST_F(CopyTest, ResumeRecordThatCannotBeWrittenLeavesTheFileAsItWas) {
    dev.directories = {{"D", {{"A", {Text("new a")}}}}};
    // The record cannot be replaced.
    SetFileStepHook([](FileStep step, const fs::path& p) {
        return !(step == FileStep::CreateStaging && p.filename() == "Temp.bin");
    });
    Put("D/A", "old a\r\n");
    Rig& r = Connect();
    CopyAll();
    ASSERT_EQ(r.ops.errors.size(), 1u);
    EXPECT_NE(r.ops.errors[0].find("Temp.bin"), std::string::npos) << r.ops.errors[0];
    EXPECT_EQ(Local("D/A"), "old a\r\n");
    EXPECT_FALSE(LocalExists(fs::path("D") / kStagingFolderName / "A"));
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
}

TEST_F(CopyTest, ListingsAndMeasurementsLargerThanTheOldTablesAreKeptWhole) {
    StoredDirectory d{"D", {}};
    for (int i = 0; i < 4100; ++i) d.files.push_back({"f" + std::to_string(i), {}});
    std::vector<std::uint16_t> values(300);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::uint16_t>(i);
    d.files.front().second = {Measurement("10:00 06.03.2009", values)};
    dev.directories = {d};
    Rig& r = Connect();
    // The listing, then the first file (open, 15 value replies); the link is cut after it.
    dev.repliesLeft = 4101 + 1 + 15;
    CopyAll();
    const auto& table = r.State().Copy().Files().FileNameTable;
    ASSERT_EQ(table.size(), 4100u);
    EXPECT_EQ(table.back(), "f4099");
    const std::string first = Local("D/f0");
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 61);  // header and 60 value lines
    EXPECT_NE(first.find("   2.99\r\n"), std::string::npos);
    EXPECT_EQ(Local("D/Temp.bin"), "f0\r\n61\r\n");
    // The cut link is told, once.
    ASSERT_EQ(r.ops.errors.size(), 1u);
    EXPECT_NE(r.ops.errors[0].find("не ответил"), std::string::npos);
}

// The logger's files before and after new data came in: A grows, B is new.
void OldStore(StoreDevice& dev) {
    dev.directories = {{"D",
                        {{"A",
                          {Text("A start"), Measurement("01:00 01.03.2009", {1, 2, 3, 4, 5, 6}),
                           Measurement("02:00 01.03.2009", {7})}}}}};
    dev.wordsPerReply = 4;
}
void NewStore(StoreDevice& dev) {
    OldStore(dev);
    StoredFile& a = dev.directories[0].files[0].second;
    a.push_back(Measurement("03:00 02.03.2009", {8, 9, 10, 11, 12}));
    a.push_back(Text("A more"));
    dev.directories[0].files.push_back(
        {"B", {Text("B start"), Measurement("04:00 03.03.2009", {13, 14, 15, 16, 17, 18, 19})}});
    dev.directories[0].files.push_back({"C", {Measurement("05:00 04.03.2009", {20})}});
}

// A copy cut at any reply (the link goes silent and the program is closed), followed by a
// "Новые" copy in a new run, leaves exactly what a clean copy of the logger gives.
TEST_F(CopyTest, CopyCutAtAnyReplyThenNewDataGivesTheLoggersFiles) {
    NewStore(dev);
    Connect();
    CopyAll();
    const auto expected = Files(Data());
    ASSERT_EQ(expected.size(), 4u);  // A, B, C, Temp.bin

    for (bool cutFullCopy : {false, true}) {
        for (int cut = 0;; ++cut) {
            fs::remove_all(Data());
            OldStore(dev);
            Connect();
            CopyAll();
            NewStore(dev);
            const std::size_t before = dev.requests.size();
            dev.repliesLeft = cut;
            rig->controller.Click(cutFullCopy ? "bAllData" : "bNewData");
            rig->RunUntilIdle();
            const bool finished = dev.requests.size() - before <= static_cast<std::size_t>(cut);
            rig->controller.FormClose();
            dev.repliesLeft.reset();

            Rig& r = Connect();
            r.controller.Click(r.Model().bNewData.enabled ? "bNewData" : "bAllData");
            r.RunUntilIdle();
            EXPECT_EQ(Files(Data()), expected)
                << "cut after " << cut << " replies" << (cutFullCopy ? " of a full copy" : "");
            EXPECT_TRUE(r.ops.errors.empty());
            if (finished) break;
        }
    }
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

// ---- Names and crashes -------------------------------------------------------------------

// A hostile logger lists names of the program's own files, and names that old staging names
// ("x.part") would have collided with.
TEST_F(CopyTest, LoggerNamesNeverLandOnTheProgramsOwnFiles) {
    dev.directories = {{"D",
                        {{"TEMP.bin", {Text("fake record")}},
                         {"a.dat.part", {Text("part")}},
                         {"a.dat", {Text("a")}},
                         {"Temp.bin.part", {Text("tp")}},
                         {".qmc-staging", {Text("st")}},
                         {"B", {Text("b1"), Text("b2")}}}}};
    Rig& r = Connect(300);
    CopyAll();
    ASSERT_EQ(r.ops.errors.size(), 2u);
    EXPECT_NE(r.ops.errors[0].find("TEMP.bin"), std::string::npos) << r.ops.errors[0];
    EXPECT_NE(r.ops.errors[0].find("(Temp.bin)"), std::string::npos) << r.ops.errors[0];
    EXPECT_NE(r.ops.errors[1].find(".qmc-staging"), std::string::npos) << r.ops.errors[1];
    EXPECT_EQ(Files(Data() / "D"),
              (std::map<std::string, std::string>{{"a.dat.part", "part\r\n"},
                                                  {"a.dat", "a\r\n"},
                                                  {"Temp.bin.part", "tp\r\n"},
                                                  {"B", "b1\r\nb2\r\n"},
                                                  {"Temp.bin", "B\r\n2\r\n"}}));
    EXPECT_FALSE(fs::exists(Data() / "D" / kStagingFolderName)) << "nothing left behind";
    EXPECT_TRUE(r.Model().bAllData.enabled);

    // The operator reads the refusal in the language chosen.
    r.Model().pmEng.checked = true;
    r.ops.errors.clear();
    CopyAll();
    ASSERT_EQ(r.ops.errors.size(), 2u);
    EXPECT_NE(r.ops.errors[0].find("record of where a copy ended"), std::string::npos)
        << r.ops.errors[0];
}

// A listed name longer than the old 64-character limit is copied under its whole name; the
// record must give the same name back, or "Новые" starts over every time.
TEST_F(CopyTest, NewDataResumesAFileWhoseNameIsLongerThan64Characters) {
    const std::string name(100, 'n');
    dev.directories = {{"D", {{name, {Text("one")}}}}};
    Connect(300);
    CopyAll();
    dev.File("D\\" + name)->push_back(Text("two"));
    Rig& r = Connect(300);
    dev.requests.clear();
    CopyNew();
    EXPECT_TRUE(r.ops.warnings.empty()) << r.ops.warnings.front();
    ASSERT_EQ(Requests(69).size(), 1u);
    EXPECT_EQ(Requests(69)[0][4], 1);
    EXPECT_EQ(Local("D/" + name), "one\r\ntwo\r\n");
}

// The data file and the record reach their names one after the other: a record left behind,
// or one ahead of its file, is corrected by the lines the local file holds.
TEST_F(CopyTest, NewDataResumesWhereTheLocalFileEndsWhenTheRecordDisagrees) {
    dev.directories = {{"D", {{"A", {Text("1"), Text("2"), Text("3"), Text("4")}}}}};
    for (const char* record : {"A\r\n2\r\n", "A\r\n9\r\n"}) {
        Put("D/A", "1\r\n2\r\n3\r\n");
        Put("D/Temp.bin", record);
        Connect();
        dev.requests.clear();
        CopyNew();
        ASSERT_EQ(Requests(69).size(), 1u) << record;
        EXPECT_EQ(Requests(69)[0][4], 3) << record;
        EXPECT_EQ(Local("D/A"), "1\r\n2\r\n3\r\n4\r\n") << record;
        EXPECT_EQ(Local("D/Temp.bin"), "A\r\n4\r\n") << record;
    }
}

// Ends a copy at one file-system step and refuses every step after it, as if the program had
// been killed there (nothing after it reaches the disk, not even the clean-up).
struct CrashAtStep {
    int at = 0;
    int seen = 0;
    bool operator()(FileStep, const fs::path&) { return seen++ < at; }
};

TEST_F(CopyTest, AKillBetweenAnyTwoFileStepsLeavesTheNextNewDataCopyExact) {
    // What the logger held at the last complete copy, and what it holds now: more lines in the
    // file where that copy ended, and a new file after it.
    dev.directories = {{"D",
                        {{"A", {Text("a"), Measurement("10:00  5.03.2009", {1, 2, 3})}},
                         {"B", {Text("b"), Measurement("11:00  5.03.2009", {4, 5, 6, 7, 8, 9})}}}}};
    dev.wordsPerReply = 4;
    Connect();
    CopyAll();
    const auto before = Files(Data() / "D");
    dev.File("D\\B")->push_back(Measurement("12:00  5.03.2009", {10, 11}));
    dev.File("D\\B")->push_back(Text("b end"));
    dev.directories[0].files.push_back({"C", {Measurement("13:00  6.03.2009", {})}});

    // The logger's files as a lossless full copy writes them.
    fs::remove_all(Data() / "D");
    Connect();
    CopyAll();
    auto expected = Files(Data() / "D");
    expected.erase("Temp.bin");

    for (bool crashFull : {false, true}) {
        for (int at = 0;; ++at) {
            fs::remove_all(Data() / "D");
            for (const auto& [name, bytes] : before) Put("D/" + name, bytes);
            Connect();
            CrashAtStep crash{at};
            SetFileStepHook(std::ref(crash));
            if (crashFull)
                CopyAll();
            else
                CopyNew();
            rig->controller.FormClose();
            heard.Stop();
            rig.reset();
            SetFileStepHook({});
            const bool crashed = crash.seen > at;

            Rig& r = Connect();
            CopyNew();
            auto files = Files(Data() / "D");
            const std::string record = files["Temp.bin"];
            files.erase("Temp.bin");
            const std::string where =
                (crashFull ? "full copy killed at step " : "new copy at step ") +
                std::to_string(at);
            EXPECT_EQ(files, expected) << where;
            EXPECT_EQ(record, "C\r\n2\r\n") << where;
            EXPECT_TRUE(r.ops.errors.empty()) << where << ": " << r.ops.errors.front();
            if (!crashed) break;  // every step of the copy has been tried
            ASSERT_LT(at, 200) << "a copy of three files takes far fewer steps";
        }
    }
}

}  // namespace
}  // namespace qm::test
