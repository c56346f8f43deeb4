// Schedule, calibration and remarks written to the virtual logger and what it then holds.
#include <gtest/gtest.h>

#include <cmath>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "tests/support/Rig.h"

namespace qm::test {
namespace {

struct LoggerRig {
    explicit LoggerRig(int deviceType)
        : logger(Config(deviceType), [this] { return pc.Now(); }), rig(logger) {
        rig.StartUsb();
        rig.RunFor(5'000);
    }
    static sim::LoggerConfig Config(int deviceType) {
        sim::LoggerConfig c;
        c.deviceType = static_cast<std::uint8_t>(deviceType);
        c.demoData = false;
        return c;
    }
    FakePcClock pc;
    sim::VirtualLogger logger;
    Rig rig;
};

TEST(VirtualLoggerRoundTrip, AnEditedScheduleIsWrittenAndComesBackConfirmed) {
    LoggerRig t(84);
    Controller& c = t.rig.controller;
    c.DateTimeEdited("TimeStart", *DateTime::FromTime(10, 15));
    c.DateTimeEdited("DateStart", *DateTime::FromDate(2026, 12, 10));
    c.DateTimeEdited("TimeStop", *DateTime::FromTime(18, 0));
    c.DateTimeEdited("DateStop", *DateTime::FromDate(2026, 12, 11));
    c.NumberEdited("DayEdit", 0);
    c.NumberEdited("HourEdit", 1);
    c.NumberEdited("MinEdit", 30);
    EXPECT_EQ(t.rig.Model().TimeStart.fontColour, Colour::Red);
    c.Click("bSet");
    EXPECT_TRUE(t.rig.Model().Parameters.window.visible);
    c.Click("Parameters.Button1");
    t.rig.RunFor(10);

    EXPECT_EQ(t.logger.Schedule(),
              (std::array<std::uint8_t, 13>{15, 10, 10, 12, 26, 0, 18, 11, 12, 26, 30, 1, 0}));
    const WindowModel& m = t.rig.Model();
    EXPECT_EQ(m.TimeStart.value, *DateTime::FromTime(10, 15));
    EXPECT_EQ(m.TimeStart.fontColour, Colour::Navy);
    EXPECT_EQ(m.MinEdit.fontColour, Colour::Navy);
    EXPECT_FALSE(m.bSet.enabled);
    EXPECT_FALSE(m.Parameters.window.visible);
}

TEST(VirtualLoggerRoundTrip, ACalibrationAfterATestMeasurementIsWrittenToTheLogger) {
    LoggerRig t(84);
    Controller& c = t.rig.controller;
    c.Click("bTest");
    t.rig.RunFor(10);
    const ReadingsState& r = t.rig.State().Test().Readings();
    ASSERT_EQ(r.ReadingCount, 63);
    c.Click("pmCalibration");
    EXPECT_TRUE(t.rig.Model().CalibrBox.visible);
    c.TextEdited("Edit1", "21.5");
    ASSERT_TRUE(t.rig.Model().bCalibr.enabled);
    c.Click("bCalibr");
    t.rig.RunFor(10);
    for (int i = 1; i <= 30; ++i) {
        if (!r.ReadingValid[i]) continue;
        const double expected = std::trunc((21.5 - r.UncorrectedReadings[i]) * 100);
        EXPECT_NEAR(t.logger.CalibrationTable()[i - 1], expected, 1) << "entry " << i;
    }
}

TEST(VirtualLoggerRoundTrip, EditedRemarksAreNormalisedAndWrittenInWindows1251) {
    LoggerRig t(88);
    const WindowModel& m = t.rig.Model();
    EXPECT_TRUE(m.pComment.visible);
    EXPECT_EQ(m.pRemark1.text, Cp1251ToUtf8(t.logger.Remark(1)));
    EXPECT_EQ(m.pRemark1.fontColour, Colour::Navy);

    t.rig.controller.TextEdited("pRemark1", "Тест_1 [ъ]");
    EXPECT_EQ(m.pRemark1.fontColour, Colour::Red);
    t.rig.controller.Click("bRemark");
    t.rig.RunFor(10);
    EXPECT_EQ(t.logger.Remark(1), Utf8ToCp1251("Тест 1  ' ") + std::string(10, ' '));
    EXPECT_EQ(m.pRemark1.text, "Тест 1  '           ");
    EXPECT_EQ(m.pRemark1.fontColour, Colour::Navy);
    EXPECT_FALSE(m.bRemark.enabled);
}

}  // namespace
}  // namespace qm::test
