// The measurement features as the operator meets them: a controller on a scripted logger over
// the in-process USB link, in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/support/Frames.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

const sim::Frame kSchedule = F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0});

// A logger of the given type that goes through the read-out: clock, schedule or remarks,
// battery, a one-directory root listing, line value.
void ScriptReadOut(ScriptedDevice& dev, int type, sim::Frame schedule = kSchedule) {
    dev.On(0, {F({3, 248, type, 5})});
    dev.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
    dev.On(50, {std::move(schedule)});
    dev.On(52, {F({2, 248, 53})});
    dev.On(64, {F({6, 248, 'D', 'I', 'R', '1', 0})});
    dev.On(65, {F({3, 248, 0, 0})});
    dev.On(16, {F({5, 248, 0x01, 0x90, 0, 0})});
    // Types 80 and up read the correction table first (60, and 62 twice from type 84 on).
    sim::Frame table = F({61, 248});
    table.resize(62, 0);
    dev.On(60, {table});
    dev.On(62, {table});
}

std::vector<int> LastRequest(const Rig& rig, std::size_t count) {
    const auto& r = rig.link.Written().back();
    return std::vector<int>(r.begin() + 1, r.begin() + static_cast<std::ptrdiff_t>(count));
}

std::array<Colour, 7> ScheduleColours(WindowModel& m) {
    return {m.TimeStart.fontColour, m.DateStart.fontColour, m.TimeStop.fontColour,
            m.DateStop.fontColour,  m.DayEdit.fontColour,   m.HourEdit.fontColour,
            m.MinEdit.fontColour};
}

std::array<Colour, 7> All(Colour c) {
    return {c, c, c, c, c, c, c};
}

// ---- Schedule -------------------------------------------------------------------------------

TEST(ScheduleScenario, ReadOutShowsTheLoggersScheduleConfirmed) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 79);
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);
    WindowModel& m = rig.Model();
    EXPECT_EQ(m.TimeStart.value, *DateTime::FromTime(14, 30));
    EXPECT_EQ(m.DateStart.value, *DateTime::FromDate(2026, 3, 5));
    EXPECT_EQ(m.TimeStop.value, *DateTime::FromTime(18, 0));
    EXPECT_EQ(m.DateStop.value, *DateTime::FromDate(2026, 3, 6));
    EXPECT_EQ(m.MinEdit.value, 15);
    EXPECT_EQ(ScheduleColours(m), All(Colour::Navy));
    // The program's own updates during the read-out do not offer bSet.
    EXPECT_FALSE(m.bSet.enabled);
    EXPECT_TRUE(m.GroupBox2.visible);
    EXPECT_FALSE(m.pComment.visible) << "the remark lines are a Pathrex logger's";
}

TEST(ScheduleScenario, ReplyWithOtherStatusIsShownInBlack) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 79, F({14, 249, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0}));
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);
    EXPECT_EQ(rig.Model().TimeStart.value, *DateTime::FromTime(14, 30));
    EXPECT_EQ(ScheduleColours(rig.Model()), All(Colour::Black));
}

TEST(ScheduleScenario, IntervalBeyondTheEditorsRangeIsShownAtItsLimit) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 79, F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 200, 30, 255}));
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);
    EXPECT_EQ(rig.Model().MinEdit.value, 59);
    EXPECT_EQ(rig.Model().HourEdit.value, 23);
    EXPECT_EQ(rig.Model().DayEdit.value, 100);
    EXPECT_EQ(rig.State().Schedule().Schedule().IntervalMinutes, 200);
}

TEST(ScheduleScenario, InvalidReplyIsReportedAndTheReadOutGoesOn) {
    // A 13th month, and a 31st of February.
    for (const auto& [day, month, text] : {std::tuple{5, 13, "5.13.2026"}, {31, 2, "31.2.2026"}}) {
        ScriptedDevice dev;
        ScriptReadOut(dev, 79, F({14, 248, 30, 14, day, month, 26, 0, 18, 6, 3, 26, 15, 0, 0}));
        Rig rig(dev);
        rig.StartUsb();
        rig.RunFor(5000);
        ASSERT_EQ(rig.ops.errors.size(), 1u) << text;
        EXPECT_NE(rig.ops.errors[0].find(std::string("дата начала (") + text + ")"),
                  std::string::npos)
            << rig.ops.errors[0];
        EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 48, 50, 52, 64, 65, 16})) << text;
        EXPECT_EQ(rig.Model().TimeStart.value, DateTime()) << "nothing of the reply was taken";
    }
}

TEST(ScheduleScenario, CurrentTimeDuringTheReadOutPaintsRedButKeepsSetDisabled) {
    ScriptedDevice dev;
    Rig rig(dev);
    rig.StartUsb();  // the read-out has begun
    rig.controller.Click("bCurrent1");
    WindowModel& m = rig.Model();
    EXPECT_EQ(m.DateStart.value, *DateTime::FromDate(2024, 3, 5));
    EXPECT_EQ(m.TimeStart.value, *DateTime::FromTime(9, 7, 3));
    EXPECT_EQ(m.DateStart.fontColour, Colour::Red);
    EXPECT_EQ(m.TimeStart.fontColour, Colour::Red);
    EXPECT_FALSE(m.bSet.enabled);
}

class ScheduleWrite : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptReadOut(dev, 79);
        rig.StartUsb();
        rig.RunFor(5000);
        ASSERT_FALSE(rig.State().Sequence().ReadingOut());
    }
    WindowModel& M() { return rig.Model(); }
    ScriptedDevice dev;
    Rig rig{dev};
};

TEST_F(ScheduleWrite, EditThenOkWritesTheScheduleAndReadsItBack) {
    rig.RunFor(39'000);  // the PC clock now reads 09:07:47
    rig.controller.Click("bCurrent1");
    EXPECT_EQ(M().TimeStart.value, *DateTime::FromTime(9, 7, 47));
    EXPECT_TRUE(M().bSet.enabled);
    rig.controller.DateTimeEdited("DateStart", *DateTime::FromDate(1999, 12, 31));
    rig.controller.NumberEdited("MinEdit", 0);
    EXPECT_EQ(ScheduleColours(M()),
              (std::array<Colour, 7>{Colour::Red, Colour::Red, Colour::Navy, Colour::Navy,
                                     Colour::Navy, Colour::Navy, Colour::Red}));

    const auto written = rig.link.Written().size();
    rig.controller.Click("bSet");
    EXPECT_EQ(rig.link.Written().size(), written);  // nothing sent yet
    EXPECT_EQ(M().MinEdit.value, 1);                // a zero interval is one minute
    const ParametersModel& d = M().Parameters;
    EXPECT_TRUE(d.window.visible);
    EXPECT_FALSE(M().window.enabled);
    EXPECT_EQ(d.window.left, M().window.left + 4);
    EXPECT_EQ(d.window.top, M().GroupBox2.geometry.top);
    EXPECT_EQ(d.Label4.caption, "09:07:47");
    EXPECT_EQ(d.Label5.caption, "09:07:47");
    EXPECT_EQ(d.Label8.caption, "31.12.1999");
    EXPECT_EQ(d.Label5.fontColour, Colour::Red);  // in the past
    EXPECT_EQ(d.Label6.fontColour, Colour::Navy);
    EXPECT_EQ(d.Label18.caption, "1");

    dev.On(51, {F({2, 250, 0})});  // the reply to 51 is not checked
    rig.controller.Click("Parameters.Button1");
    EXPECT_FALSE(d.window.visible);
    EXPECT_TRUE(M().window.enabled);
    EXPECT_EQ(LastRequest(rig, 17),
              (std::vector<int>{15, 0, 51, 7, 9, 31, 12, 255, 0, 18, 6, 3, 26, 1, 0, 0}));
    rig.RunFor(100);
    const auto codes = dev.Codes();
    EXPECT_EQ(std::vector<int>(codes.end() - 2, codes.end()), (std::vector<int>{51, 50}));
    EXPECT_EQ(ScheduleColours(M()), All(Colour::Navy));
    EXPECT_EQ(M().DateStart.value, *DateTime::FromDate(2026, 3, 5));
    // Values the reply changed ran their change handlers, but the status of the row wins for
    // the colours; bSet is enabled again by those changes only.
    EXPECT_TRUE(M().bSet.enabled);
}

TEST_F(ScheduleWrite, ReadBackOfAnUnchangedScheduleLeavesSetDisabled) {
    rig.controller.NumberEdited("HourEdit", 2);
    rig.controller.Click("bSet");
    dev.On(51, {F({2, 248, 0})});
    dev.script[50] = {{F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 2, 0})}};
    rig.controller.Click("Parameters.Button1");
    rig.RunFor(100);
    EXPECT_EQ(M().HourEdit.value, 2);
    EXPECT_EQ(M().HourEdit.fontColour, Colour::Navy);
    EXPECT_FALSE(M().bSet.enabled);
}

TEST_F(ScheduleWrite, CancelAndCloseSendNothingAndKeepTheEdits) {
    rig.controller.NumberEdited("DayEdit", 3);
    const auto written = rig.link.Written().size();
    for (const char* exit : {"Parameters.Button2", "Parameters.Close"}) {
        rig.controller.Click("bSet");
        EXPECT_FALSE(M().window.enabled);
        rig.controller.Click(exit);
        EXPECT_FALSE(M().Parameters.window.visible) << exit;
        EXPECT_TRUE(M().window.enabled) << exit;
        EXPECT_EQ(M().DayEdit.fontColour, Colour::Red) << exit;
        EXPECT_TRUE(M().bSet.enabled) << exit;
    }
    EXPECT_EQ(rig.link.Written().size(), written);

    // The next activation shows the time again and recomputes.
    rig.RunFor(61'000);
    rig.controller.Click("bSet");
    EXPECT_EQ(M().Parameters.Label4.caption, "09:08:09");
    EXPECT_EQ(M().Parameters.Label16.caption, "3");
    rig.RunFor(1000);
    rig.controller.Click("Parameters.Activate");
    EXPECT_EQ(M().Parameters.Label4.caption, "09:08:10");
    EXPECT_EQ(rig.State().ScheduleGroup().CurrentDateTime(), rig.clock.Now());
}

TEST_F(ScheduleWrite, SecondsOfTheEditorsAreDroppedOnTheWire) {
    rig.controller.DateTimeEdited("TimeStart", *DateTime::FromTime(10, 15, 42));
    rig.controller.Click("bSet");
    rig.controller.Click("Parameters.Button1");
    const auto r = LastRequest(rig, 17);
    EXPECT_EQ(r[3], 15);
    EXPECT_EQ(r[4], 10);
}

// ---- Readings and chart --------------------------------------------------------------------

class TestMeasurement : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptReadOut(dev, 79);
        rig.StartUsb();
        rig.RunFor(5000);
    }
    // One test measurement answered by the given reading blocks.
    void Measure(std::vector<sim::Frame> blocks) {
        dev.script.erase(32);
        dev.script.erase(68);
        dev.On(32, {blocks.front()});
        for (std::size_t k = 1; k < blocks.size(); ++k) dev.On(68, {blocks[k]});
        rig.controller.Click("bTest");
        rig.RunFor(3000);
    }
    static sim::Frame Block(int status, std::initializer_list<int> words) {
        sim::Frame f{static_cast<std::uint8_t>(2 * words.size() + 1),
                     static_cast<std::uint8_t>(status)};
        for (int w : words) {
            f.push_back(static_cast<std::uint8_t>(w >> 8));
            f.push_back(static_cast<std::uint8_t>(w & 0xFF));
        }
        return f;
    }
    Chart& C() { return rig.Model().Chart1; }
    ScriptedDevice dev;
    Rig rig{dev};
};

TEST_F(TestMeasurement, EarlierMeasurementsStayOnTheChartInBlue) {
    Measure({Block(249, {2560, 2600}), Block(248, {2640})});
    EXPECT_TRUE(C().visible);
    EXPECT_EQ(rig.Model().window.width, 1024);
    ASSERT_EQ(C().series1.size(), 3u);
    EXPECT_EQ(C().series1[0].colour, Colour::Lime);
    EXPECT_DOUBLE_EQ(C().series1[2].y, 20.59);
    EXPECT_TRUE(C().series2.empty());

    Measure({Block(248, {2700, 2710, 2720})});
    EXPECT_EQ(C().series1.size(), 3u);
    ASSERT_EQ(C().series2.size(), 3u);
    EXPECT_EQ(C().series2[0].colour, Colour::Blue);
    EXPECT_DOUBLE_EQ(C().series2[0].y, 19.97);

    Measure({Block(248, {2800, kNoValue})});
    EXPECT_EQ(C().series1.size(), 1u);
    // Both earlier measurements are blue; only the first two of the second are within range.
    EXPECT_EQ(C().series2.size(), 5u);
    EXPECT_DOUBLE_EQ(C().series2[4].y, 21.14);
    // After each measurement: battery, then the line value.
    const auto codes = dev.Codes();
    EXPECT_EQ(std::vector<int>(codes.end() - 3, codes.end()), (std::vector<int>{32, 52, 16}));
    EXPECT_TRUE(rig.Model().GroupBox3.visible);  // the second battery reply shows the indicator
}

TEST_F(TestMeasurement, MeasurementWithoutValuesPlotsNothingAndKeepsTheAxis) {
    Measure({Block(248, {2560, 2600})});
    const double top = C().leftMax, bottom = C().leftMin;
    Measure({Block(248, {kNoValue, kNoValue})});
    EXPECT_TRUE(C().series1.empty());
    EXPECT_EQ(C().leftMax, top);
    EXPECT_EQ(C().leftMin, bottom);
    EXPECT_TRUE(C().visible);  // an earlier measurement had points
    // The history holds the first measurement; the empty one adds nothing after it.
    Measure({Block(248, {2560})});
    EXPECT_EQ(C().series2.size(), 2u);
}

TEST_F(TestMeasurement, FailedReplyEndsTheMeasurementWithoutTouchingTheChart) {
    Measure({Block(248, {2560})});
    Measure({Block(250, {2600})});
    ASSERT_EQ(C().series1.size(), 1u);
    EXPECT_DOUBLE_EQ(C().series1[0].y, 19.97);
    EXPECT_TRUE(rig.Model().bTest.enabled);
}

// ---- Calibration ---------------------------------------------------------------------------

sim::Frame CalibrationBlock(std::initializer_list<std::pair<int, int>> entries) {
    sim::Frame f = F({61, 248});
    f.resize(62, 0);
    for (auto [index, word] : entries) {  // index 0..29 within the block, low byte first
        f[2 + 2 * static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(word & 0xFF);
        f[3 + 2 * static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(word >> 8);
    }
    return f;
}

TEST(CalibrationReadOut, TypesFromEightyFourReadNinetyEntriesInThreeBlocks) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 84);
    dev.script[60] = {{CalibrationBlock({{0, 0xFE0C}, {29, 3}})}};
    dev.script[62] = {{CalibrationBlock({{0, 7}})}, {CalibrationBlock({{29, 0x8000}})}};
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);
    EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 60, 62, 62, 48, 50, 52, 64, 65, 16}));
    const CalibrationTable& t = rig.State().Calibration().Table();
    EXPECT_EQ(t[1], -500);
    EXPECT_EQ(t[30], 3);
    EXPECT_EQ(t[31], 7);
    EXPECT_EQ(t[90], 32768);  // no special meaning in the table
    EXPECT_EQ(t[91], 0);
}

TEST(CalibrationReadOut, TypesEightyToEightyThreeReadOneBlock) {
    ScriptedDevice dev;
    ScriptReadOut(dev, 83);
    Rig rig(dev);
    rig.StartUsb();
    rig.RunFor(5000);
    EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 60, 48, 50, 52, 64, 65, 16}));
}

TEST_F(TestMeasurement, ContextMenuShowsTheCalibrationGroupAndAClickOnItHidesIt) {
    WindowModel& m = rig.Model();
    EXPECT_FALSE(m.CalibrBox.visible);
    rig.controller.Click("pmCalibration");
    EXPECT_TRUE(m.CalibrBox.visible);
    EXPECT_GE(m.window.width, m.CalibrBox.geometry.left + m.CalibrBox.geometry.width);
    rig.controller.Click("CalibrBox");
    EXPECT_FALSE(m.CalibrBox.visible);
}

TEST_F(TestMeasurement, ReferenceValueWritesCorrectionsOfValidReadings) {
    Measure({Block(248, {2740, 2769, kNoValue})});
    WindowModel& m = rig.Model();
    rig.controller.Click("pmCalibration");
    rig.controller.TextEdited("Edit1", "21,5");
    EXPECT_FALSE(m.bCalibr.enabled);
    rig.controller.TextEdited("Edit1", "21.5");
    EXPECT_TRUE(m.bCalibr.enabled);
    rig.controller.Click("bCalibr");
    const auto r = LastRequest(rig, 64);
    EXPECT_EQ(std::vector<int>(r.begin(), r.begin() + 9),
              (std::vector<int>{62, 0, 61, 12, 0, 0xF7, 0xFF, 0, 0}));
    EXPECT_TRUE(rig.ops.warnings.empty());
    // The new corrections apply from the next measurement on.
    Measure({Block(248, {2740, 2769})});
    EXPECT_DOUBLE_EQ(C().series1[0].y, 21.49);
    EXPECT_DOUBLE_EQ(C().series1[1].y, 21.51);
    rig.controller.Checked("CheckBox1", true);
    Measure({Block(248, {2740})});
    EXPECT_DOUBLE_EQ(C().series1[0].y, 21.37);
}

TEST_F(TestMeasurement, CalibrationUsesTheLastMeasurementShownNotAFailedOne) {
    Measure({Block(248, {2740})});
    Measure({Block(249, {kNoValue, 2769}), Block(250, {})});
    rig.controller.TextEdited("Edit1", "21.5");
    rig.controller.Click("bCalibr");
    const auto r = LastRequest(rig, 64);
    EXPECT_EQ(std::vector<int>(r.begin() + 3, r.begin() + 7), (std::vector<int>{12, 0, 0, 0}));
}

TEST_F(TestMeasurement, OutOfRangeCorrectionIsLimitedAndTheOperatorIsTold) {
    Measure({Block(248, {2740, 0})});
    rig.controller.TextEdited("Edit1", "-400");
    rig.controller.Click("bCalibr");
    const auto r = LastRequest(rig, 64);
    // 21.372 -> -400: -42137.2 hundredths, limited to -327.67.
    EXPECT_EQ(r[3], 0x01);
    EXPECT_EQ(r[4], 0x80);
    ASSERT_EQ(rig.ops.warnings.size(), 1u);
    EXPECT_NE(rig.ops.warnings[0].find("\nпоказание 1: -421.37 записывается как -327.67"),
              std::string::npos)
        << rig.ops.warnings[0];
    EXPECT_EQ(r[5], 0x01);  // reading 2 (0 -> -400: -40000) is limited as well
    EXPECT_EQ(r[6], 0x80);
}

// ---- Remarks -------------------------------------------------------------------------------

sim::Frame RemarksReply(int status, const std::string& first, const std::string& second) {
    sim::Frame f{42, static_cast<std::uint8_t>(status)};
    for (char c : first + second) f.push_back(static_cast<std::uint8_t>(c));
    return f;
}

class RemarkScenario : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptReadOut(dev, 79);
        dev.script[0] = {{F({3, 248, 88, 5})}};
        dev.On(144, {RemarksReply(248, "\xCF\xF0\xE8\xE2\xE5\xF2 1234567890123",
                                  std::string("line two", 8) + std::string(12, '\0'))});
        rig.StartUsb();
        rig.RunFor(5000);
    }
    WindowModel& M() { return rig.Model(); }
    ScriptedDevice dev;
    Rig rig{dev};
};

TEST_F(RemarkScenario, ReadOutShowsTheLinesConfirmedInPlaceOfTheSchedule) {
    EXPECT_EQ(dev.Codes(), (std::vector<int>{0, 60, 62, 62, 48, 144, 52, 64, 65, 16}));
    EXPECT_EQ(M().pRemark1.text, "Привет 1234567890123");
    EXPECT_EQ(M().pRemark2.text, "line two" + std::string(12, ' '));
    EXPECT_EQ(M().pRemark1.fontColour, Colour::Navy);
    EXPECT_EQ(M().pRemark2.fontColour, Colour::Navy);
    EXPECT_FALSE(M().bRemark.enabled);
    EXPECT_TRUE(M().pComment.visible);
    EXPECT_FALSE(M().GroupBox2.visible);
    EXPECT_TRUE(rig.State().Sequence().PathrexDevice());
}

TEST_F(RemarkScenario, EditedLinesAreNormalisedShownAndWritten) {
    rig.controller.TextEdited("pRemark1", "a_b[c]");
    EXPECT_EQ(M().pRemark1.fontColour, Colour::Red);
    EXPECT_TRUE(M().bRemark.enabled);
    rig.controller.TextEdited("pRemark2", "Объём ъ ü 25 characters...");
    dev.On(145, {F({2, 249, 0})});
    dev.On(145, {F({2, 248, 0})});
    rig.controller.Click("bRemark");
    EXPECT_EQ(M().pRemark1.text, "a b c " + std::string(14, ' '));
    // Hard signs become apostrophes, a letter the code page lacks a blank; cut to 20.
    EXPECT_EQ(M().pRemark2.text, "Об'ём '   25 charact");
    EXPECT_FALSE(M().bRemark.enabled);
    const auto r = LastRequest(rig, 44);
    EXPECT_EQ(r[0], 42);
    EXPECT_EQ(r[2], 145);
    EXPECT_EQ(std::string(r.begin() + 3, r.begin() + 23), "a b c " + std::string(14, ' '));
    EXPECT_EQ(rig.State().Remarks().Buffers().Remark1Buffer, "a b c " + std::string(14, ' '));

    rig.RunFor(100);  // a reply to 145 that is not complete leaves the colours
    EXPECT_EQ(M().pRemark1.fontColour, Colour::Red);
    rig.controller.TextEdited("pRemark1", "again");
    rig.controller.Click("bRemark");
    rig.RunFor(100);
    EXPECT_EQ(M().pRemark1.fontColour, Colour::Navy);
    EXPECT_EQ(M().pRemark2.fontColour, Colour::Navy);
}

}  // namespace
}  // namespace qm::test
