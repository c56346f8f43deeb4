// Decoding, formatting and arithmetic of the measurement features, without a controller.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>

#include "core/BatteryView.h"
#include "core/ParametersView.h"
#include "core/ReadingsView.h"
#include "measure/Calibration.h"
#include "measure/ParametersDialog.h"
#include "measure/Readings.h"
#include "measure/Remarks.h"
#include "measure/Schedule.h"

namespace qm {
namespace {

// A reply in the packet buffer from its length byte on, as received.
struct ReplyBytes {
    PacketBuffer buffer{};
    std::size_t received = 0;
    explicit ReplyBytes(std::initializer_list<int> bytes) {
        for (int b : bytes) buffer[++received] = static_cast<std::uint8_t>(b);
    }
    Reply View() const { return Reply(buffer, received); }
};

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *DateTime::FromCivil({y, mo, d, h, mi, s, 0});
}

// ---- Schedule ---------------------------------------------------------------------------

TEST(ScheduleWire, ReplyDecodesIntoFieldsAndEditorValues) {
    const ReplyBytes r{14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0};
    const auto result = DecodeSchedule(r.View());
    ASSERT_TRUE(result.schedule) << result.fault->Text(Language::English);
    const DecodedSchedule& d = *result.schedule;
    EXPECT_EQ(d.startTime, *DateTime::FromTime(14, 30));
    EXPECT_EQ(d.startDate, At(2026, 3, 5));
    EXPECT_EQ(d.stopTime, *DateTime::FromTime(18, 0));
    EXPECT_EQ(d.stopDate, At(2026, 3, 6));
    EXPECT_EQ(d.fields.IntervalMinutes, 15);
    EXPECT_EQ(d.fields.IntervalHours, 0);
    EXPECT_EQ(d.fields.IntervalDays, 0);
}

TEST(ScheduleWire, YearBytesCoverTwoThousandToTwoThousandTwoHundredFiftyFive) {
    const ReplyBytes r{14, 248, 0, 0, 1, 1, 0, 0, 0, 31, 12, 255, 1, 0, 0};
    const auto result = DecodeSchedule(r.View());
    ASSERT_TRUE(result.schedule);
    EXPECT_EQ(result.schedule->fields.StartYear, 2000);
    EXPECT_EQ(result.schedule->fields.StopYear, 2255);
    EXPECT_EQ(result.schedule->stopDate, At(2255, 12, 31));
}

TEST(ScheduleWire, InvalidFieldIsNamedAndNothingIsDecoded) {
    // Start 14:30 is fine; the stop date 31 April is not.
    const ReplyBytes badDate{14, 248, 30, 14, 5, 3, 26, 0, 18, 31, 4, 26, 15, 0, 0};
    auto result = DecodeSchedule(badDate.View());
    EXPECT_FALSE(result.schedule);
    ASSERT_TRUE(result.fault);
    EXPECT_EQ(result.fault->field, Msg::ScheduleStopDate);
    EXPECT_EQ(result.fault->Text(Language::English),
              "The logger sent an invalid stop date in its measurement schedule (31.4.2026); the "
              "schedule shown is incomplete.");
    EXPECT_EQ(result.fault->Text(Language::Russian),
              "Логгер прислал в расписании измерений неверное значение: дата окончания "
              "(31.4.2026); расписание показано не полностью.");

    const ReplyBytes badTime{14, 248, 60, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0};
    result = DecodeSchedule(badTime.View());
    EXPECT_FALSE(result.schedule);
    ASSERT_TRUE(result.fault);
    EXPECT_EQ(result.fault->field, Msg::ScheduleStartTime);
    EXPECT_EQ(result.fault->value, "14:60");
}

TEST(ScheduleWire, CaptureDropsSecondsAndRequestCarriesLowBytes) {
    MeasurementSchedule s;
    const bool zeroReplaced =
        CaptureSchedule(s, {*DateTime::FromTime(10, 15, 42, 500), At(1999, 12, 31),
                            *DateTime::FromTime(23, 59), At(2000, 1, 2), 2, 3, 4});
    EXPECT_FALSE(zeroReplaced);
    EXPECT_EQ(s.StartTime, *DateTime::FromTime(10, 15, 42, 500));  // the dialog shows it whole
    PacketBuffer b{};
    ASSERT_EQ(BuildScheduleRequest(s, b), 17);
    const std::vector<int> sent(b.begin() + 1, b.begin() + 17);
    // 1999 travels as 255 (year - 2000, modulo 256).
    EXPECT_EQ(sent, (std::vector<int>{15, 0, 51, 15, 10, 31, 12, 255, 59, 23, 2, 1, 0, 4, 3, 2}));
}

TEST(ScheduleWire, ZeroIntervalBecomesOneMinute) {
    MeasurementSchedule s;
    EXPECT_TRUE(CaptureSchedule(s, {{}, At(2026, 3, 5), {}, At(2026, 3, 6), 0, 0, 0}));
    PacketBuffer b{};
    BuildScheduleRequest(s, b);
    EXPECT_EQ(b[14], 1);
    EXPECT_EQ(b[15], 0);
    EXPECT_EQ(b[16], 0);
}

// An editor value can be far outside the spin box's range (typed into the model, not the
// widget): the request still gets a byte, the nearest one, and no out-of-range conversion runs.
TEST(ScheduleWire, IntervalsFarOutsideTheEditorsRangeGiveTheNearestByte) {
    MeasurementSchedule s;
    CaptureSchedule(s, {{},
                        At(2026, 3, 5),
                        {},
                        At(2026, 3, 6),
                        1e300,
                        -1e300,
                        std::numeric_limits<double>::quiet_NaN()});
    PacketBuffer b{};
    BuildScheduleRequest(s, b);
    EXPECT_EQ(b[16], 255) << "days";
    EXPECT_EQ(b[15], 0) << "hours";
    EXPECT_EQ(b[14], 0) << "minutes";
    // Within what a count can hold the low byte of the truncated value still travels.
    CaptureSchedule(s, {{}, At(2026, 3, 5), {}, At(2026, 3, 6), 300.7, -1, 59.9});
    BuildScheduleRequest(s, b);
    EXPECT_EQ(b[16], 44);
    EXPECT_EQ(b[15], 255);
    EXPECT_EQ(b[14], 59);
}

// ---- Parameters dialog --------------------------------------------------------------------

struct CountCase {
    const char* what;
    DateTime start, stop, now;
    double days, hours, minutes;
    std::string count;
    Colour startColour, stopColour;
};

TEST(ParametersDialog, CountsStepsFromBaseUpToButNotIncludingStop) {
    const DateTime now = At(2026, 3, 5, 9, 0, 0);
    const CountCase cases[] = {
        {"15 minutes", At(2026, 3, 5, 10), At(2026, 3, 5, 11), now, 0, 0, 15, "4", Colour::Navy,
         Colour::Navy},
        {"20 minutes", At(2026, 3, 5, 10), At(2026, 3, 5, 11), now, 0, 0, 20, "3", Colour::Navy,
         Colour::Navy},
        {"one second", At(2026, 3, 5, 10), At(2026, 3, 5, 10, 0, 1), now, 0, 0, 15, "1",
         Colour::Navy, Colour::Navy},
        {"stop passed", At(2026, 3, 4, 10), At(2026, 3, 4, 11), now, 0, 0, 15, "0", Colour::Red,
         Colour::Red},
        {"start ahead, stop passed", At(2026, 3, 5, 10), At(2026, 3, 5, 8), now, 0, 0, 15, "0",
         Colour::Navy, Colour::Red},
        {"from yesterday by days", At(2026, 3, 4, 9), At(2026, 3, 6, 9), now, 1, 0, 0, "2",
         Colour::Red, Colour::Navy},
        {"start equals stop", At(2026, 3, 5, 10), At(2026, 3, 5, 10), now, 0, 0, 15, "0",
         Colour::Navy, Colour::Navy},
        {"a day and a quarter", At(2026, 3, 5, 10), At(2026, 3, 10, 10), now, 1, 6, 0, "4",
         Colour::Navy, Colour::Navy},
    };
    for (const CountCase& c : cases) {
        MeasurementSchedule s;
        s.StartTime = c.start.TimeOfDay();
        s.StartDate = c.start.DatePart();
        s.StopTime = c.stop.TimeOfDay();
        s.StopDate = c.stop.DatePart();
        s.IntervalDays = c.days;
        s.IntervalHours = c.hours;
        s.IntervalMinutes = c.minutes;
        ParametersModel d;
        FillParametersDialog(d, s, c.now);
        EXPECT_EQ(d.Label11.caption, c.count) << c.what;
        EXPECT_EQ(d.Label5.fontColour, c.startColour) << c.what;
        EXPECT_EQ(d.Label8.fontColour, c.startColour) << c.what;
        EXPECT_EQ(d.Label6.fontColour, c.stopColour) << c.what;
        EXPECT_EQ(d.Label9.fontColour, c.stopColour) << c.what;
    }
}

TEST(ParametersDialog, ShowsTimesDatesAndIntervalParts) {
    MeasurementSchedule s;
    s.StartTime = *DateTime::FromTime(14, 30);
    s.StartDate = At(2026, 3, 5);
    s.StopTime = *DateTime::FromTime(18, 0);
    s.StopDate = At(2026, 3, 6);
    s.IntervalDays = 2;
    s.IntervalHours = 3;
    s.IntervalMinutes = 45;
    ParametersModel d;
    FillParametersDialog(d, s, At(2026, 3, 1, 9, 7, 3));
    EXPECT_EQ(d.Label4.caption, "09:07:03");
    EXPECT_EQ(d.Label7.caption, "01.03.2026");
    EXPECT_EQ(d.Label5.caption, "14:30:00");
    EXPECT_EQ(d.Label8.caption, "05.03.2026");
    EXPECT_EQ(d.Label6.caption, "18:00:00");
    EXPECT_EQ(d.Label9.caption, "06.03.2026");
    EXPECT_EQ(d.Label16.caption, "2");
    EXPECT_EQ(d.Label17.caption, "3");
    EXPECT_EQ(d.Label18.caption, "45");
}

TEST(ParametersDialog, CountIsExactOverLongSpans) {
    // 100 days by one minute: 144000 steps; a floating day count drifts by one at such spans.
    const DateTime start = At(2026, 1, 1);
    const DateTime stop =
        DateTime::FromMilliseconds(start.Milliseconds() + 100 * DateTime::kMsPerDay);
    EXPECT_EQ(MeasurementCount(start, stop, IntervalMilliseconds(0, 0, 1)), 144000);
    EXPECT_EQ(MeasurementCount(start, stop, 0), 0);
}

// ---- Readings -----------------------------------------------------------------------------

TEST(Readings, WordsDecodeSignedWithNoValueFlagged) {
    EXPECT_DOUBLE_EQ(ReadingValue(0x0A00), 19.968);
    EXPECT_DOUBLE_EQ(ReadingValue(0xFF00), -1.9968);
    EXPECT_DOUBLE_EQ(ReadingValue(0x8001), -255.5826);
    EXPECT_DOUBLE_EQ(ReadingValue(0x7FFF), 255.5826);
    EXPECT_DOUBLE_EQ(ReadingValue(0x8000), 32768 * 0.0078);
}

TEST(Readings, BlockOfOddLengthGivesHalfAsManyReadingsAndShowsRounded) {
    std::initializer_list<int> head = {61, 248, 0x0A, 0x00, 0x80, 0x00, 0xFF, 0x00};
    ReplyBytes r(head);
    r.received = 62;  // the rest of the block is zero words
    ReadingsState s;
    DecodeReadingsBlock(s, r.View());
    ASSERT_EQ(s.ReadingCount, 30);
    EXPECT_TRUE(s.ReadingValid[1]);
    EXPECT_FALSE(s.ReadingValid[2]);
    EXPECT_TRUE(s.ReadingValid[3]);

    WindowModel m;
    CalibrationTable zero{};
    ShowReadings(s, zero, false, m);
    EXPECT_DOUBLE_EQ(s.Readings[1], 19.97);
    EXPECT_DOUBLE_EQ(s.Readings[3], -2.00);
    EXPECT_DOUBLE_EQ(s.UncorrectedReadings[1], 19.968);
    ASSERT_EQ(m.Chart1.series1.size(), 29u);  // the invalid one is not plotted
    EXPECT_EQ(m.Chart1.series1[1].x, 3);
    EXPECT_EQ(m.Chart1.bottomMax, 30.5);
}

TEST(Readings, ReadingsBeyondSixtyThreeAreIgnored) {
    ReadingsState s;
    ReplyBytes r{60, 249};
    r.received = 61;  // 30 words of zero
    DecodeReadingsBlock(s, r.View());
    DecodeReadingsBlock(s, r.View());
    DecodeReadingsBlock(s, r.View());
    EXPECT_EQ(s.ReadingCount, kMaxReadings);
}

TEST(Readings, RoundingGoesAwayFromZeroFromFortyNineOn) {
    EXPECT_DOUBLE_EQ(RoundReading(21.235), 21.24);
    EXPECT_DOUBLE_EQ(RoundReading(21.234), 21.23);
    EXPECT_DOUBLE_EQ(RoundReading(-0.005), -0.01);
    // x.xx49 must round up although the binary sum lands a hair below the hundredth.
    EXPECT_DOUBLE_EQ(RoundReading(0.0749), 0.08);
    EXPECT_DOUBLE_EQ(RoundReading(-0.2849), -0.29);
    EXPECT_DOUBLE_EQ(RoundReading(0.0748), 0.07);
    const double small = RoundReading(-0.001);
    EXPECT_EQ(small, 0);
    EXPECT_FALSE(std::signbit(small));
}

TEST(Readings, CorrectionIsAddedUnlessRawDataIsChecked) {
    CalibrationTable table{};
    ReplyBytes cal{3, 248, 0x0C, 0xFE};
    StoreCalibrationEntries(table, cal.View(), 1, 30);
    EXPECT_EQ(table[1], -500);
    EXPECT_EQ(table[2], 0);  // not received: kept

    for (bool raw : {false, true}) {
        ReadingsState s;
        ReplyBytes r{2, 248, 0x0A, 0x00};
        DecodeReadingsBlock(s, r.View());
        WindowModel m;
        ShowReadings(s, table, raw, m);
        EXPECT_DOUBLE_EQ(s.Readings[1], raw ? 19.97 : 14.97) << raw;
    }
}

TEST(Readings, AxisWidensToWholeUnitsAndKeepsEveryPointInView) {
    ReadingsState s;
    Chart c;
    auto measure = [&](std::initializer_list<double> values) {
        s.ReadingCount = 0;
        for (double v : values) {
            ++s.ReadingCount;
            s.Readings[s.ReadingCount] = v;
            s.ReadingValid[s.ReadingCount] = true;
        }
        ScaleValueAxis(s, c);
    };
    measure({20.1, 21.3});
    EXPECT_DOUBLE_EQ(c.leftMax, 22.05);
    EXPECT_DOUBLE_EQ(c.leftMin, 19.95);
    measure({20.5, 21.9});
    EXPECT_DOUBLE_EQ(c.leftMax, 22.05);
    EXPECT_DOUBLE_EQ(c.leftMin, 19.95);
    // Just above the previous maximum: the plain rule would leave the point off the axis.
    measure({22.4});
    EXPECT_DOUBLE_EQ(c.leftMax, 23.05);

    ReadingsState n;
    s = n;
    measure({-4.0, -3.5});
    EXPECT_DOUBLE_EQ(c.leftMin, -5.05);
    measure({-5.5});
    EXPECT_LE(c.leftMin, -5.5);
}

// ---- Battery -------------------------------------------------------------------------------

TEST(Battery, ShownFromTheFirstReplyAndBandedByVoltage) {
    WindowModel m;
    const Language ru = Language::Russian;
    ShowBattery(m, 6.0, ru);
    EXPECT_TRUE(m.GroupBox3.visible);
    EXPECT_EQ(m.Shape1.brush, Colour::Lime);
    EXPECT_EQ(m.Shape1.pen, Colour::Green);
    EXPECT_EQ(m.Shape1.hint, "6.0В");
    EXPECT_TRUE(m.Shape1.showHint);

    struct Band {
        int tenths;
        Colour brush, pen;
    };
    for (Band b : {Band{59, Colour::Yellow, Colour::Olive}, Band{45, Colour::Yellow, Colour::Olive},
                   Band{44, Colour::Red, Colour::Maroon}}) {
        ShowBattery(m, b.tenths / 10.0, ru);
        EXPECT_EQ(m.Shape1.brush, b.brush) << b.tenths;
        EXPECT_EQ(m.Shape1.pen, b.pen) << b.tenths;
    }
    ShowBattery(m, 53 / 10.0, ru);
    EXPECT_EQ(m.Shape1.hint, "5.3В");
    ShowBattery(m, 120 / 10.0, Language::English);
    EXPECT_EQ(m.Shape1.hint, "12.0V");
}

// ---- Calibration ---------------------------------------------------------------------------

TEST(Calibration, ReferenceTextMustBeOneWholeNumber) {
    for (const char* ok : {"21.5", " 21.5", "-3", "2e1", ".5", "+7", "5.", "1.5E-2", "  -0.25e+1"})
        EXPECT_TRUE(ParseReferenceValue(ok)) << ok;
    for (const char* bad : {"21,5", "21.5 ", "", "abc", ".", "-", "1e", "e5", "1.2.3", "\t1", "--1",
                            "1e+", "0x10", "inf", "nan", "1e999"})
        EXPECT_FALSE(ParseReferenceValue(bad)) << '"' << bad << '"';
    EXPECT_DOUBLE_EQ(*ParseReferenceValue(" 21.5"), 21.5);
    EXPECT_DOUBLE_EQ(*ParseReferenceValue("2e1"), 20);
    EXPECT_DOUBLE_EQ(*ParseReferenceValue(".5"), 0.5);
    EXPECT_DOUBLE_EQ(*ParseReferenceValue("-3"), -3);
    EXPECT_DOUBLE_EQ(*ParseReferenceValue("1e-999"), 0);
}

ReadingsState Uncorrected(std::initializer_list<std::uint16_t> words) {
    ReadingsState s;
    for (std::uint16_t w : words) {
        ++s.ShownReadingCount;
        s.PreviousReadingValid[s.ShownReadingCount] = w != kNoValue;
        s.UncorrectedReadings[s.ShownReadingCount] = ReadingValue(w);
    }
    return s;
}

TEST(Calibration, CorrectionsAreCutTowardZeroAndSkipInvalidReadings) {
    CalibrationTable table{};
    table[3] = 77;
    table[4] = 55;
    const ReadingsState s = Uncorrected({2740, 2769, kNoValue});
    const auto clamped = ComputeCorrections(table, s, 21.5);
    EXPECT_TRUE(clamped.empty());
    EXPECT_EQ(table[1], 12);  // 21.5 - 21.372 = 0.128
    EXPECT_EQ(table[2], -9);  // 21.5 - 21.5982 = -0.0982
    EXPECT_EQ(table[3], 77);  // invalid reading: kept
    EXPECT_EQ(table[4], 55);  // beyond the reading count: kept
    // A difference of exactly 0.13 (reading 2750 = 21.45, reference 21.58) is 13, not 12.
    CalibrationTable t2{};
    ComputeCorrections(t2, Uncorrected({2750}), 21.58);
    EXPECT_EQ(t2[1], 13);
}

TEST(Calibration, CorrectionsBeyondSixteenBitsAreLimitedAndReported) {
    CalibrationTable table{};
    const ReadingsState s = Uncorrected({2740, 0, 2740});
    auto clamped = ComputeCorrections(table, s, 1000);
    EXPECT_EQ(table[1], 32767);
    EXPECT_EQ(table[2], 32767);
    ASSERT_EQ(clamped.size(), 3u);
    EXPECT_EQ(clamped[0].reading, 1);
    EXPECT_NEAR(clamped[0].wanted, 97862.8, 1e-6);
    clamped = ComputeCorrections(table, s, -1000);
    EXPECT_EQ(table[1], -32767);
}

TEST(Calibration, RequestCarriesFirstThirtyEntriesLowByteFirst) {
    CalibrationTable table{};
    table[1] = -500;
    table[2] = 12;
    table[30] = 32768;  // as read from the logger (0x8000): goes back unchanged
    table[31] = 99;     // never written
    PacketBuffer b{};
    b[64] = 0xAA;
    ASSERT_EQ(BuildCalibrationRequest(table, b), 64);
    EXPECT_EQ(b[1], 62);
    EXPECT_EQ(b[2], 0);
    EXPECT_EQ(b[3], 61);
    EXPECT_EQ(b[4], 0x0C);
    EXPECT_EQ(b[5], 0xFE);
    EXPECT_EQ(b[6], 12);
    EXPECT_EQ(b[7], 0);
    EXPECT_EQ(b[62], 0x00);
    EXPECT_EQ(b[63], 0x80);
    EXPECT_EQ(b[64], 0xAA);
}

// ---- Remarks -------------------------------------------------------------------------------

TEST(Remarks, LinesArePaddedCutAndCleanedForTheLogger) {
    EXPECT_EQ(NormalizeRemark("abc"), "abc" + std::string(17, ' '));
    EXPECT_EQ(NormalizeRemark("1234567890123456789012345"), "12345678901234567890");
    EXPECT_EQ(NormalizeRemark("a_b[c]"), "a b c " + std::string(14, ' '));
    EXPECT_EQ(NormalizeRemark("$@%^_[]{}\\~x"), std::string(11, ' ') + "x" + std::string(8, ' '));
    // Hard signs, capital and small, in Windows-1251.
    EXPECT_EQ(NormalizeRemark("\xCF\xEE\xE4\xFA\xE5\xE7\xE4 \xDA"),
              "\xCF\xEE\xE4'\xE5\xE7\xE4 '" + std::string(11, ' '));
}

TEST(Remarks, ScreenTextConvertsAtTheBoundary) {
    EXPECT_EQ(RemarkFromScreen("подъезд"), "\xEF\xEE\xE4\xFA\xE5\xE7\xE4");
    // Characters Windows-1251 cannot carry become blanks.
    EXPECT_EQ(RemarkFromScreen("a中b"), "a b");
    EXPECT_EQ(RemarkToScreen(std::string("a\0b", 3)), "a b");
    EXPECT_EQ(RemarkToScreen("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(Remarks, RequestCarriesBothLines) {
    RemarkBuffers r{NormalizeRemark("first"), NormalizeRemark("second")};
    PacketBuffer b{};
    ASSERT_EQ(BuildRemarksRequest(r, b), 44);
    EXPECT_EQ(b[1], 42);
    EXPECT_EQ(b[3], 145);
    EXPECT_EQ(std::string(b.begin() + 4, b.begin() + 24), "first" + std::string(15, ' '));
    EXPECT_EQ(std::string(b.begin() + 24, b.begin() + 44), "second" + std::string(14, ' '));
}

}  // namespace
}  // namespace qm
