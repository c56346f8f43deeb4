#include <gtest/gtest.h>

#include "tests/store/StoreFixture.h"

namespace qm::test {
namespace {

using DayCopyTest = StoreTest;

void MarchFile(StoreDevice& dev) {
    dev.directories = {
        {"D",
         {{"2009_3.dat",
           {Text("month header"), Measurement("09:00 04.03.2009", {1}),
            Measurement("10:00  5.03.2009", {100, 200}), Text("a note"),
            Measurement("11:00 05.03.2009", {300}), Measurement("08:00  6.03.2009", {400})}}}}};
}

// Chooses the day, clicks "Копировать" and runs the copy up to its finishing step.
void CopyDay(Rig& r, int year, int month, int day) {
    r.controller.Click("bSelect");
    r.controller.DateTimeEdited("DateData", *DateTime::FromDate(year, month, day));
    r.controller.Click("bCopy");
    r.RunFor(10);
}

TEST_F(DayCopyTest, SelectArmsTheModeAndCancelRestoresTheButtonsWithoutSending) {
    MarchFile(dev);
    Rig& r = Connect();
    dev.requests.clear();
    r.controller.Click("bSelect");
    EXPECT_FALSE(r.Model().bAllData.visible);
    EXPECT_FALSE(r.Model().bDelete.visible);
    EXPECT_TRUE(r.Model().bCopy.visible);
    EXPECT_TRUE(r.Model().bCopy.enabled);
    EXPECT_TRUE(r.Model().DateData.visible);
    EXPECT_FALSE(r.Model().ComboBox1.enabled);
    EXPECT_TRUE(r.State().Day().Active());
    r.controller.Click("bCancel");
    r.RunUntilIdle();
    EXPECT_TRUE(dev.requests.empty());
    EXPECT_TRUE(r.Model().bAllData.visible);
    EXPECT_TRUE(r.Model().bDelete.visible);
    EXPECT_FALSE(r.Model().bCopy.visible);
    EXPECT_FALSE(r.Model().DateData.visible);
    EXPECT_TRUE(r.Model().ComboBox1.enabled);
    EXPECT_FALSE(r.State().Day().Active());
}

TEST_F(DayCopyTest, FifthOfMarchIsCopiedUntilALaterDayBegins) {
    MarchFile(dev);
    Rig& r = Connect();
    dev.requests.clear();
    r.controller.Click("bSelect");
    r.controller.DateTimeEdited("DateData", *DateTime::FromDate(2009, 3, 5));
    r.controller.Click("bCopy");
    EXPECT_TRUE(r.Model().ProgressBar1.visible);
    EXPECT_FALSE(r.Model().bCopy.enabled);
    r.RunFor(10);

    std::vector<int> codes;
    for (const auto& q : dev.requests) codes.push_back(q[3]);
    // In a day copy a written text line with 249 is followed by a value request too.
    EXPECT_EQ(codes, (std::vector<int>{66, 70, 71, 67, 71, 67, 71, 67}));
    EXPECT_EQ(Head(dev.requests[0], 17), WithText(Bytes({0, 15, 0, 66}), "D\\2009_3.dat"));
    EXPECT_EQ(Head(dev.requests[1], 5), Bytes({0, 3, 0, 70, 5}));
    EXPECT_EQ(
        Files(Data() / "D"),
        (std::map<std::string, std::string>{
            {"2009_3_5.dat",
             "10:00  5.03.2009\r\n   1.00   2.00\r\na note\r\n11:00 05.03.2009\r\n   3.00\r\n"}}));
    r.RunFor(1000);
    EXPECT_EQ(Kept(), 2);
    EXPECT_FALSE(r.State().Day().Active());
    EXPECT_TRUE(r.Model().bAllData.visible);
    EXPECT_FALSE(r.Model().bCopy.visible);
    EXPECT_TRUE(r.Model().bCancel.enabled);
    EXPECT_FALSE(LocalExists("D/Temp.bin"));
}

TEST_F(DayCopyTest, OnlyCompleteAndEndMeanNoDataAnyOtherDaySearchStatusStartsTheDayFile) {
    const std::string day5 =
        "10:00  5.03.2009\r\n   1.00   2.00\r\na note\r\n11:00 05.03.2009\r\n   3.00\r\n";
    for (int status : {249, 251, 0, 255}) {
        MarchFile(dev);
        dev.dayFoundStatus = static_cast<std::uint8_t>(status);
        Rig& r = Connect();
        dev.requests.clear();
        CopyDay(r, 2009, 3, 5);
        ASSERT_GE(dev.requests.size(), 3u) << status;
        EXPECT_EQ(dev.requests[2][3], 71) << status;
        EXPECT_EQ(Local("D/2009_3_5.dat"), day5) << status;
        EXPECT_TRUE(r.ops.errors.empty()) << status;
        r.RunFor(1000);
        EXPECT_EQ(Kept(), 2) << status;
    }
    for (int status : {248, 250}) {
        MarchFile(dev);
        dev.dayFoundStatus = static_cast<std::uint8_t>(status);
        fs::remove_all(Data() / "D");
        Rig& r = Connect();
        dev.requests.clear();
        CopyDay(r, 2009, 3, 5);
        EXPECT_EQ(dev.requests.size(), 2u) << status;
        EXPECT_EQ(heard.noData, 1) << status;
        EXPECT_FALSE(LocalExists("D")) << status;
        EXPECT_TRUE(r.ops.errors.empty()) << status;
        r.RunFor(1000);
    }
}

TEST_F(DayCopyTest, TwoDigitDayAndTheEndOfTheMonthlyFile) {
    dev.directories = {{"D",
                        {{"2010_11.dat",
                          {Text("month header"), Measurement("08:00 14.11.2010", {1}),
                           Measurement("08:00 15.11.2010", {2}), Text("last")}}}}};
    Rig& r = Connect();
    CopyDay(r, 2010, 11, 15);
    EXPECT_EQ(Local("D/2010_11_15.dat"), "08:00 15.11.2010\r\n   0.02\r\nlast\r\n");
    EXPECT_EQ(heard.counted, 1);
    EXPECT_TRUE(r.ops.errors.empty());
}

TEST_F(DayCopyTest, MonthEndingRightAfterTheDayKeepsTheCount) {
    for (bool lastBlockSays248 : {false, true}) {
        MarchFile(dev);
        dev.directories[0].files[0].second.pop_back();  // day 6 is not there yet
        dev.lastValuesSay248 = lastBlockSays248;        // then 67 is answered with 250
        Rig& r = Connect();
        CopyDay(r, 2009, 3, 5);
        EXPECT_EQ(
            Local("D/2009_3_5.dat"),
            "10:00  5.03.2009\r\n   1.00   2.00\r\na note\r\n11:00 05.03.2009\r\n   3.00\r\n");
        r.RunFor(1000);
        EXPECT_EQ(Kept(), 2);
    }
}

// The 20th is not in the monthly file; a monthly file of one line ends without a day search,
// with neither a count nor no data; a monthly file missing has no data.
TEST_F(DayCopyTest, ADayNotInTheMonthlyFileOrWithoutOneCreatesNoFile) {
    MarchFile(dev);
    const StoredDirectory march = dev.directories[0], empty{"D", {}},
                          oneLine{"D", {{"2009_3.dat", {Text("only line")}}}};
    struct Case {
        const StoredDirectory* dir;
        int day, noData;
    };
    for (const Case& k : {Case{&march, 20, 1}, Case{&oneLine, 5, 0}, Case{&empty, 5, 1}}) {
        dev.directories = {*k.dir};
        fs::remove_all(Data() / "D");  // the last case's collection log
        Rig& r = Connect();
        dev.requests.clear();
        CopyDay(r, 2009, 3, k.day);
        EXPECT_EQ(heard.noData, k.noData) << k.day;
        EXPECT_EQ(heard.counted, 0);
        EXPECT_TRUE(k.dir != &oneLine || dev.requests.size() == 1u) << "no day search";
        EXPECT_FALSE(LocalExists("D")) << k.day;
        EXPECT_FALSE(r.Model().ProgressBar1.visible);
        r.RunFor(1000);
        EXPECT_FALSE(r.State().Day().Active());
        EXPECT_TRUE(r.Model().bAllData.visible);
    }
}

TEST_F(DayCopyTest, CutDayCopyLeavesAnEarlierDayFileAsItWas) {
    MarchFile(dev);
    Put("D/2009_3_5.dat", "earlier\r\n");
    Rig& r = Connect();
    dev.repliesLeft = 3;  // 66, 70, 71 answered; the line after them never comes
    CopyDay(r, 2009, 3, 5);
    r.RunFor(1990);
    r.controller.FormClose();
    EXPECT_EQ(Files(Data() / "D"),
              (std::map<std::string, std::string>{{"2009_3_5.dat", "earlier\r\n"}}));
}

}  // namespace
}  // namespace qm::test
