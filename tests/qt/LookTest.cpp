// What the operator sees on the screen, checked on rendered pixels: the colours that tell a
// confirmed value from an edited one, and groups that cover the controls beneath them.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateEdit>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>

#include "sim/VirtualLogger.h"

#include "tests/qt/QtTestApp.h"
#include "tests/support/Frames.h"
#include "tests/support/Rig.h"
#include "ui/qt/Binder.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ParametersDialog.h"

namespace qm::test {
namespace {

// Pixels of `image` inside `area` whose channels all lie within `tolerance` of `colour`.
int CountNear(const QImage& image, const QRect& area, QColor colour, int tolerance) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

const QColor kNavy(0, 0, 128), kBlack(0, 0, 0), kRed(255, 0, 0);

// A shown window over a logger of type 79 whose schedule reply carries `status`.
struct ShownWindow {
    ScriptedDevice dev;
    Rig rig;
    MainWindow window;
    ParametersDialog dialog;
    Binder binder{rig.controller, window, dialog};

    explicit ShownWindow(int scheduleStatus = 248) : rig(Setup(dev, scheduleStatus)) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    static ScriptedDevice& Setup(ScriptedDevice& d, int scheduleStatus) {
        App();
        d.On(0, {F({3, 248, 79, 5})});
        d.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
        d.On(50, {F({14, scheduleStatus, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
        d.On(52, {F({2, 248, 53})});
        d.On(64, {F({6, 248, 'D', 'I', 'R', '1', 0})});
        d.On(65, {F({3, 248, 0, 0})});
        d.On(16, {F({5, 248, 0x80, 0x00, 0x01, 0x90})});
        return d;
    }
    template <typename W>
    W* Find(const char* name) {
        return window.findChild<W*>(name);
    }
    void ReadOut() {
        rig.StartUsb();
        rig.RunFor(5000);
    }
};

struct Editor {
    const char* name;
    int page;  // of PageControl1
};
constexpr Editor kScheduleEditors[] = {{"TimeStart", 0}, {"DateStart", 0}, {"TimeStop", 1},
                                       {"DateStop", 1},  {"DayEdit", 2},   {"HourEdit", 2},
                                       {"MinEdit", 2}};

// The editor as drawn, and where its text lies in the picture (its spin arrows left out).
std::pair<QImage, QRect> RenderText(ShownWindow& w, const Editor& e) {
    w.Find<QTabWidget>("PageControl1")->setCurrentIndex(e.page);
    auto* editor = w.Find<QAbstractSpinBox>(e.name);
    auto* text = editor->findChild<QLineEdit*>();
    return {editor->grab().toImage(), text ? text->geometry() : QRect()};
}

// The digits of every schedule editor are drawn in `expected` and in neither other state colour.
void ExpectDigitsIn(ShownWindow& w, QColor expected) {
    for (const Editor& e : kScheduleEditors) {
        SCOPED_TRACE(e.name);
        const auto [image, area] = RenderText(w, e);
        ASSERT_FALSE(area.isEmpty());
        for (QColor c : {kNavy, kBlack, kRed}) {
            const int n = CountNear(image, area, c, 40);
            if (c == expected)
                EXPECT_GE(n, 3) << "no text pixels of " << c.name().toStdString();
            else
                EXPECT_EQ(n, 0) << n << " text pixels of " << c.name().toStdString();
        }
    }
}

TEST(QtLook, ScheduleDigitsAreNavyWhenTheLoggerConfirmedThem) {
    ShownWindow w;
    w.ReadOut();
    ASSERT_EQ(w.rig.Model().TimeStart.fontColour, Colour::Navy);
    ExpectDigitsIn(w, kNavy);
}

TEST(QtLook, ScheduleDigitsAreBlackFromAReplyWithAnotherStatus) {
    ShownWindow w(249);
    w.ReadOut();
    ASSERT_EQ(w.rig.Model().TimeStart.fontColour, Colour::Black);
    ExpectDigitsIn(w, kBlack);
}

TEST(QtLook, ScheduleDigitsTurnRedWhenEditedAndNavyWhenWrittenAndReadBack) {
    ShownWindow w;
    w.dev.On(51, {F({2, 248, 0})});
    w.ReadOut();
    w.Find<QTimeEdit>("TimeStart")->setTime(QTime(10, 15));
    w.Find<QDateEdit>("DateStart")->setDate(QDate(2026, 4, 1));
    w.Find<QTimeEdit>("TimeStop")->setTime(QTime(11, 0));
    w.Find<QDateEdit>("DateStop")->setDate(QDate(2026, 4, 2));
    w.Find<QSpinBox>("DayEdit")->setValue(12);
    w.Find<QSpinBox>("HourEdit")->setValue(2);
    w.Find<QSpinBox>("MinEdit")->setValue(3);
    ASSERT_EQ(w.rig.Model().MinEdit.fontColour, Colour::Red);
    ExpectDigitsIn(w, kRed);

    // Written and read back: the logger's schedule in navy again.
    QTest::mouseClick(w.Find<QPushButton>("bSet"), Qt::LeftButton);
    ASSERT_TRUE(w.dialog.isVisible());
    // Behind the dialog the window is disabled and its digits grey, not red.
    {
        const auto [image, area] = RenderText(w, kScheduleEditors[6]);
        EXPECT_EQ(CountNear(image, area, kRed, 40), 0);
    }
    QTest::mouseClick(w.dialog.findChild<QPushButton*>("Button1"), Qt::LeftButton);
    w.rig.RunFor(2000);
    ASSERT_EQ(w.rig.Model().MinEdit.fontColour, Colour::Navy);
    ExpectDigitsIn(w, kNavy);
}

// The window after a read-out and a test measurement of the virtual logger: the chart is
// drawn, with its axis labels, grid and value marks, right of the buttons.
struct ChartWindow {
    FakePcClock pc;
    sim::VirtualLogger logger{Config(), [this] { return pc.Now(); }};
    Rig rig{logger};
    MainWindow window;
    ParametersDialog dialog;
    Binder binder{rig.controller, window, dialog};

    static sim::LoggerConfig Config() {
        App();
        sim::LoggerConfig c;
        c.demoShape = sim::DemoStoreShape::Small();
        return c;
    }
    ChartWindow() {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        rig.StartUsb();
        rig.RunFor(6000);
        QTest::mouseClick(window.findChild<QPushButton*>("bTest"), Qt::LeftButton);
        rig.RunFor(3000);
    }
    QWidget* Group(const char* name) { return window.findChild<QGroupBox*>(name); }
};

// Pixels where the group drawn in its place in the window differs from the group drawn alone:
// whatever lies beneath it and shows through.
int ForeignPixels(MainWindow& window, QWidget* group) {
    const QImage alone = group->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage placed = window.grab(QRect(group->mapTo(&window, QPoint(0, 0)), group->size()))
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    if (alone.size() != placed.size()) return alone.width() * alone.height();
    int n = 0;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x) n += alone.pixel(x, y) != placed.pixel(x, y);
    return n;
}

TEST(QtLook, CalibrationAndBatteryGroupsCoverTheChart) {
    ChartWindow w;
    ASSERT_FALSE(w.window.Chart()->isHidden());
    ASSERT_FALSE(w.Group("GroupBox3")->isHidden());
    w.window.PopupMenu()->findChild<QAction*>("pmCalibration")->trigger();
    QWidget* calibration = w.Group("CalibrBox");
    ASSERT_FALSE(calibration->isHidden());
    ASSERT_TRUE(calibration->geometry().intersects(w.window.Chart()->geometry()));

    EXPECT_EQ(ForeignPixels(w.window, calibration), 0);
    EXPECT_EQ(ForeignPixels(w.window, w.Group("GroupBox3")), 0);
}

// Every group that the program can place over other controls, each shown alone where the
// program puts it, over the buttons and the chart.
TEST(QtLook, EveryGroupOverOtherControlsHidesThem) {
    ChartWindow w;
    WindowModel& m = w.rig.Model();
    m.bSynch.visible = m.bClock.visible = m.Label2.visible = true;
    m.Label2.caption = "09:07:03  5. 3.2024";
    struct Place {
        const char* name;
        GroupBox& group;
        int left, top;
    };
    const Place places[] = {
        {"BTmodem", m.BTmodem, 10, 10},     {"GroupBox4", m.GroupBox4, 100, 10},
        {"gbR_Modem", m.gbR_Modem, 32, 32}, {"CalibrBox", m.CalibrBox, 272, 16},
        {"pComment", m.pComment, 8, 136},   {"GroupBox3", m.GroupBox3, 192, 96}};
    for (const Place& p : places) p.group.visible = false;
    for (const Place& p : places) {
        SCOPED_TRACE(p.name);
        QWidget* group = w.Group(p.name);
        p.group.visible = true;
        p.group.geometry = {p.left, p.top, group->width(), group->height()};
        w.binder.Sync();
        ASSERT_EQ(group->pos(), QPoint(p.left, p.top));
        EXPECT_EQ(ForeignPixels(w.window, group), 0);
        p.group.visible = false;
        w.binder.Sync();
    }
}

}  // namespace
}  // namespace qm::test
