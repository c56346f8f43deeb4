// The Qt layer over a real controller: widget events reach the core by name, model changes reach
// the widgets, and what the binder sets never comes back as an edit.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "app/QtTimerHost.h"
#include "sim/VirtualLogger.h"
#include "tests/qt/QtTestApp.h"
#include "tests/support/Frames.h"
#include "tests/support/Rig.h"
#include "ui/qt/Binder.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/Convert.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ParametersDialog.h"

namespace qm::test {
namespace {

// A logger of type 79 that answers the read-out and the clock.
struct ViewRig {
    ScriptedDevice dev;
    Rig rig{Setup(dev)};
    MainWindow window;
    ParametersDialog dialog;
    Binder binder{rig.controller, window, dialog};

    static ScriptedDevice& Setup(ScriptedDevice& d) {
        App();
        d.On(0, {F({3, 248, 79, 5})});
        d.On(48, {F({7, 248, 3, 7, 9, 5, 3, 24})});
        d.On(50, {F({14, 248, 30, 14, 5, 3, 26, 0, 18, 6, 3, 26, 15, 0, 0})});
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
    WindowModel& Model() { return rig.Model(); }
    void ReadOut() {
        rig.StartUsb();
        rig.RunFor(5000);
    }
};

// The text a button, group, tab or menu item shows: "&&" is one "&", a single "&" marks the
// shortcut's letter and is not shown.
QString AsShown(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// The caption a widget shows for a control of the model's kind (for an edit box its text), and
// whether that kind has one.
std::pair<bool, QString> ShownCaption(const ControlPtr& control, QWidget* w) {
    return std::visit(
        [w](auto* c) -> std::pair<bool, QString> {
            using T = std::remove_pointer_t<decltype(c)>;
            if constexpr (std::is_same_v<T, Label>) return {true, qobject_cast<QLabel*>(w)->text()};
            if constexpr (std::is_same_v<T, Button> || std::is_same_v<T, CheckBox>)
                return {true, AsShown(qobject_cast<QAbstractButton*>(w)->text())};
            if constexpr (std::is_same_v<T, GroupBox> || std::is_same_v<T, RadioGroup>)
                return {true, AsShown(qobject_cast<QGroupBox*>(w)->title())};
            if constexpr (std::is_same_v<T, EditBox>)
                return {true, qobject_cast<QLineEdit*>(w)->text()};
            if constexpr (std::is_same_v<T, TabSheet>) {
                auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget());
                return {true, AsShown(tabs->tabText(tabs->indexOf(w)))};
            }
            return {false, QString()};
        },
        control);
}

// Where the widgets of `form` differ from the model's captions, positions and sizes: one line
// per difference. Tab pages are placed by their tab widget, and the chart is placed by the core
// when the window is created; every other control must be placed by the model.
std::vector<std::string> DifferencesFromTheModel(const std::vector<ControlRef>& controls,
                                                 QWidget& form) {
    std::vector<std::string> out;
    for (const ControlRef& r : controls) {
        const std::string name(r.name);
        auto* w = form.findChild<QWidget*>(ToQString(r.name));
        if (!w) {
            out.push_back(name + ": no widget");
            continue;
        }
        const Control& c = BaseOf(r.control);
        const auto* editBox = std::get_if<EditBox*>(&r.control);
        const QString caption = ToQString(editBox ? (*editBox)->text : c.caption);
        if (auto [has, shown] = ShownCaption(r.control, w); has && shown != caption)
            out.push_back(name + " shows \"" + shown.toStdString() + "\", the model says \"" +
                          caption.toStdString() + "\"");
        if (std::holds_alternative<TabSheet*>(r.control)) continue;
        if (c.geometry == Rect{}) {
            if (!std::holds_alternative<Chart*>(r.control))
                out.push_back(name + ": no position and size in the model");
            continue;
        }
        QRect expected(c.geometry.left, c.geometry.top, c.geometry.width, c.geometry.height);
        if (auto* label = std::get_if<Label*>(&r.control); label && (*label)->autoSize)
            expected.setSize(w->sizeHint());
        if (w->geometry() != expected) {
            const QRect g = w->geometry();
            out.push_back(name + " lies at " + std::to_string(g.x()) + "," + std::to_string(g.y()) +
                          " " + std::to_string(g.width()) + "x" + std::to_string(g.height()) +
                          ", the model says " + std::to_string(expected.x()) + "," +
                          std::to_string(expected.y()) + " " + std::to_string(expected.width()) +
                          "x" + std::to_string(expected.height()));
        }
    }
    return out;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
}

TEST(QtForms, EveryControlOfTheModelHasAWidgetOfItsKindNamedAfterIt) {
    ViewRig v;
    EXPECT_TRUE(v.binder.Missing().empty()) << v.binder.Missing().front();
    for (const ControlRef& r : v.Model().Controls())
        EXPECT_EQ(v.binder.Widget(r.name)->objectName().toStdString(), r.name);
}

TEST(QtForms, WindowStartsNarrowAndHighAsTheScreenAllowsWithTheDesignCaptions) {
    ViewRig v;
    v.rig.controller.FormCreate(1024, 768);
    EXPECT_EQ(v.window.size(), QSize(370, 708));
    EXPECT_EQ(v.Find<QLabel>("Label7")->text(), "ver 5.1");
    EXPECT_EQ(v.Find<QPushButton>("bDelete")->text(), QString::fromUtf8("Удалить"));
    EXPECT_TRUE(v.Find<QPushButton>("bClock")->isHidden());
    EXPECT_EQ(v.Find<QWidget>("pComment")->pos(), QPoint(8, 136));
    const QFont f = v.Find<QPushButton>("bTest")->font();
    EXPECT_TRUE(f.bold());
    EXPECT_EQ(f.pointSize(), 8);
}

TEST(QtForms, EveryWidgetShowsTheModelsCaptionPositionAndSizeInEitherLanguage) {
    ViewRig v;
    const auto check = [&v](const char* when) {
        SCOPED_TRACE(when);
        WindowModel& m = v.Model();
        EXPECT_EQ(Lines(DifferencesFromTheModel(m.Controls(), v.window)), "");
        EXPECT_EQ(Lines(DifferencesFromTheModel(m.Parameters.Controls(), v.dialog)), "");
        EXPECT_EQ(v.window.windowTitle(), ToQString(m.window.title));
        EXPECT_EQ(v.window.size(), QSize(m.window.width, m.window.height));
        EXPECT_EQ(v.dialog.windowTitle(), ToQString(m.Parameters.window.title));
        EXPECT_EQ(v.dialog.size(), QSize(m.Parameters.window.width, m.Parameters.window.height));
        for (const MenuItemRef& item : m.MenuItems()) {
            if (item.name == "N1") continue;
            auto* a = v.window.PopupMenu()->findChild<QAction*>(ToQString(item.name));
            ASSERT_NE(a, nullptr) << item.name;
            EXPECT_EQ(AsShown(a->text()), ToQString(item.item->caption)) << item.name;
            EXPECT_EQ(a->isChecked(), item.item->checked) << item.name;
        }
    };
    check("before the window is created");
    v.rig.controller.FormCreate(1024, 768);
    check("after the window is created");
    v.rig.controller.Click("pmEng");
    ASSERT_EQ(v.Find<QPushButton>("bDelete")->text(), "Erase");
    check("in English");
    v.rig.controller.Click("pmRus");
    check("back in Russian");
}

TEST(QtForms, TheFormsHoldNoCaptionsPositionsOrSizesOfTheirOwn) {
    App();
    MainWindow window;
    ParametersDialog dialog;
    WindowModel m;
    const QWidget topLevel;
    EXPECT_EQ(window.windowTitle(), "");
    EXPECT_EQ(window.size(), topLevel.size());
    EXPECT_EQ(dialog.windowTitle(), "");
    EXPECT_EQ(dialog.size(), topLevel.size());
    const auto check = [](const std::vector<ControlRef>& controls, QWidget& form) {
        for (const ControlRef& r : controls) {
            SCOPED_TRACE(std::string(r.name));
            auto* w = form.findChild<QWidget*>(ToQString(r.name));
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(ShownCaption(r.control, w).second, "");
            // The chart is made in code, not in the form.
            if (std::holds_alternative<TabSheet*>(r.control) ||
                std::holds_alternative<Chart*>(r.control))
                continue;
            const QWidget unplaced(w->parentWidget());
            EXPECT_EQ(w->geometry(), unplaced.geometry());
        }
    };
    check(m.Controls(), window);
    check(m.Parameters.Controls(), dialog);
    for (QAction* a : window.PopupMenu()->actions())
        EXPECT_EQ(a->text(), "") << a->objectName().toStdString();
}

TEST(QtBinder, ClickOnTheClockButtonSendsRequest48) {
    ViewRig v;
    v.ReadOut();
    auto* bClock = v.Find<QPushButton>("bClock");
    ASSERT_TRUE(bClock->isVisibleTo(&v.window));
    ASSERT_TRUE(bClock->isEnabled());
    v.rig.link.ClearWritten();

    QTest::mouseClick(bClock, Qt::LeftButton);

    ASSERT_EQ(v.rig.link.Written().size(), 1u);
    const auto& report = v.rig.link.Written().front();
    EXPECT_EQ(std::vector<int>(report.begin(), report.begin() + 4),
              (std::vector<int>{0, 2, 0, 48}));
}

TEST(QtBinder, ReadOutReachesTitleComboAndGroups) {
    ViewRig v;
    v.ReadOut();
    EXPECT_EQ(v.window.windowTitle(), "QM-Controller [ 79.5 ]  Line  [25]");
    auto* combo = v.Find<QComboBox>("ComboBox1");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), "DIR1");
    EXPECT_TRUE(v.Find<QWidget>("GroupBox1")->isVisibleTo(&v.window));
    EXPECT_EQ(v.Find<QTimeEdit>("TimeStart")->time(), QTime(14, 30));
    EXPECT_EQ(v.Find<QTimeEdit>("TimeStart")->palette().color(QPalette::Text), QColor(0, 0, 0x80));
}

TEST(QtBinder, ModelChangesReachCaptionsVisibilityColoursAndItems) {
    ViewRig v;
    WindowModel& m = v.Model();
    m.bSynch.caption = "Synchronizing";
    m.bSynch.visible = true;
    m.bSynch.enabled = false;
    m.Label2.caption = "09:07:03  5. 3.2024";
    m.Label2.visible = true;
    m.Label2.fontColour = Colour::Red;
    m.TabSheet3.caption = "Interval";
    m.cbR_Modem.items = {"Once", "Every second"};
    m.cbR_Modem.itemIndex = 1;
    m.RadioGroup1.items = {"1   ( 00:11:22:33:44:55 )", "2   ( 66:77:88:99:AA:BB )"};
    m.RadioGroup1.itemIndex = 1;
    m.Shape1.brush = Colour::Red;
    m.Shape1.showHint = true;
    m.Shape1.hint = "4.4В";
    m.pmEng.checked = true;
    v.binder.Sync();

    auto* bSynch = v.Find<QPushButton>("bSynch");
    EXPECT_EQ(bSynch->text(), "Synchronizing");
    EXPECT_FALSE(bSynch->isHidden());
    EXPECT_FALSE(bSynch->isEnabled());
    auto* clock = v.Find<QLabel>("Label2");
    EXPECT_EQ(clock->text(), "09:07:03  5. 3.2024");
    EXPECT_EQ(clock->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_GE(clock->width(), clock->sizeHint().width());  // labels size themselves to the text
    EXPECT_EQ(v.Find<QTabWidget>("PageControl1")->tabText(2), "Interval");
    auto* modes = v.Find<QComboBox>("cbR_Modem");
    EXPECT_EQ(modes->count(), 2);
    EXPECT_EQ(modes->currentText(), "Every second");
    auto* devices = v.Find<QWidget>("RadioGroup1");
    const auto radios = devices->findChildren<QAbstractButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_TRUE(radios[1]->isChecked());
    EXPECT_EQ(v.Find<QWidget>("Shape1")->toolTip(), QString::fromUtf8("4.4В"));
    auto* eng = v.window.PopupMenu()->findChild<QAction*>("pmEng");
    ASSERT_NE(eng, nullptr);
    EXPECT_TRUE(eng->isChecked());

    // Everything shown: mirroring again changes nothing.
    v.binder.Sync();
    EXPECT_EQ(v.binder.LastSyncChanges(), 0);
}

TEST(QtBinder, OperatorEditsReachTheModel) {
    ViewRig v;
    v.Model().GroupBox2.visible = true;
    v.Model().CalibrBox.visible = true;
    v.binder.Sync();

    v.Find<QSpinBox>("DayEdit")->setValue(5);
    EXPECT_EQ(v.Model().DayEdit.value, 5);
    v.Find<QTimeEdit>("TimeStart")->setTime(QTime(10, 15, 42));
    EXPECT_EQ(v.Model().TimeStart.value, *DateTime::FromTime(10, 15, 42));
    v.Find<QCheckBox>("CheckBox1")->setChecked(true);
    EXPECT_TRUE(v.Model().CheckBox1.checked);
    auto* edit = v.Find<QLineEdit>("Edit1");
    edit->setFocus();
    QTest::keyClicks(edit, "21.5");
    EXPECT_EQ(v.Model().Edit1.text, "21.5");
    auto* port = v.Find<QLineEdit>("portDevice");
    QTest::keyClicks(port, "/dev/rfcomm0");
    EXPECT_EQ(v.Model().portDevice.text, "/dev/rfcomm0");
    v.Find<QComboBox>("cbR_Modem")->setCurrentIndex(2);
    EXPECT_EQ(v.Model().cbR_Modem.itemIndex, 2);
    EXPECT_EQ(v.Model().cbR_Modem.text, "Программный");
    v.Find<QTabWidget>("PageControl1")->setCurrentIndex(2);
    EXPECT_EQ(v.Model().PageControl1.activePage, 2);
}

TEST(QtBinder, ValuesTheCoreSetsAreNotReportedBackAsEdits) {
    ViewRig v;
    auto* day = v.Find<QSpinBox>("DayEdit");
    auto* modes = v.Find<QComboBox>("cbR_Modem");
    auto* raw = v.Find<QCheckBox>("CheckBox1");
    QSignalSpy daySpy(day, &QSpinBox::valueChanged);
    QSignalSpy modeSpy(modes, &QComboBox::currentIndexChanged);
    QSignalSpy rawSpy(raw, &QCheckBox::toggled);

    v.Model().DayEdit.value = 7;
    v.Model().cbR_Modem.itemIndex = 0;
    v.Model().CheckBox1.checked = true;
    v.binder.Sync();

    EXPECT_EQ(day->value(), 7);
    EXPECT_EQ(modes->currentIndex(), 0);
    EXPECT_TRUE(raw->isChecked());
    EXPECT_EQ(daySpy.count(), 0);
    EXPECT_EQ(modeSpy.count(), 0);
    EXPECT_EQ(rawSpy.count(), 0);
    // The model still holds what the core set (an echo would have gone through the controller).
    EXPECT_EQ(v.Model().cbR_Modem.text, "");
}

TEST(QtBinder, ContextMenuItemsClickByName) {
    ViewRig v;
    QAction* bluetooth = nullptr;
    for (QAction* a : v.window.PopupMenu()->actions())
        if (a->objectName() == "pmBluetooth") bluetooth = a;
    ASSERT_NE(bluetooth, nullptr);
    ASSERT_TRUE(v.Find<QWidget>("GroupBox4")->isHidden());
    bluetooth->trigger();
    EXPECT_TRUE(v.Model().GroupBox4.visible);
    EXPECT_FALSE(v.Find<QWidget>("GroupBox4")->isHidden());
    QStringList names;
    for (QAction* a : v.window.PopupMenu()->actions()) names << a->objectName();
    EXPECT_EQ(names, QStringList(
                         {"pmBluetooth", "N1", "pmRus", "pmEng", "pmCalibration", "pmDataOnDisk"}));

    // The viewer's entry follows the language switch both ways.
    QAction* data = v.window.PopupMenu()->actions().back();
    EXPECT_EQ(data->text(), QString::fromUtf8("Данные на диске"));
    for (QAction* a : v.window.PopupMenu()->actions())
        if (a->objectName() == "pmEng") a->trigger();
    EXPECT_EQ(data->text(), "Data on disk");
    for (QAction* a : v.window.PopupMenu()->actions())
        if (a->objectName() == "pmRus") a->trigger();
    EXPECT_EQ(data->text(), QString::fromUtf8("Данные на диске"));
}

TEST(QtBinder, TheSessionsTimersRunOnTheEventLoop) {
    QtTimerHost host;
    ViewRig v;
    v.rig.controller.MutableSession().SetTimerHost(&host);
    auto* start = host.findChild<QTimer*>("StartTimer");
    ASSERT_NE(start, nullptr);
    EXPECT_FALSE(start->isActive());
    v.rig.controller.FormCreate(1024, 768);
    v.rig.controller.UsbLoggerFound(&v.rig.link);
    EXPECT_TRUE(start->isActive());
    EXPECT_EQ(start->interval(), 300);
    v.rig.Timers().StartTimer.Stop();
    EXPECT_FALSE(start->isActive());
}

TEST(QtBinder, QuickEventsAreMirroredAtMostOncePerIntervalAndTheLastStateAlways) {
    QtTimerHost host;
    ViewRig v;
    v.ReadOut();
    v.rig.controller.MutableSession().SetTimerHost(&host);
    v.binder.SetMirrorInterval(50);
    auto* bar = v.Find<QProgressBar>("ProgressBar1");
    auto* watchdog = host.findChild<QTimer*>("ReplyTimer");
    ASSERT_NE(watchdog, nullptr);
    QTest::qWait(60);
    const long before = v.binder.SyncCount();
    // A burst of events, as a copy's replies come: the busy bar steps on each.
    v.Model().ProgressBar1.maximum = 1000;
    for (int i = 0; i < 200; ++i) v.rig.controller.OnTimer(WindowTimerId::TimerBar);
    EXPECT_LE(v.binder.SyncCount() - before, 1);
    EXPECT_NE(bar->value(), 200);
    // The session's timers are armed at once, not when the window is mirrored: a watchdog
    // counts from its request.
    v.rig.controller.bClockClick();
    EXPECT_TRUE(watchdog->isActive());
    QTest::qWait(80);
    EXPECT_EQ(bar->value(), 200);
    EXPECT_LE(v.binder.SyncCount() - before, 3);
    // The operator's own events are mirrored at once.
    v.Model().ProgressBar1.position = 7;
    QTest::mouseClick(v.Find<QPushButton>("bClock"), Qt::LeftButton);
    EXPECT_EQ(bar->value(), 7);
}

TEST(QtChart, LatestMeasurementIsRebuiltAndHistoryOnlyGrows) {
    ViewRig v;
    Chart& c = v.Model().Chart1;
    c.visible = true;
    c.series1 = {{1, 19.97, Colour::Lime}, {3, -2, Colour::Lime}};
    c.series1Revision = 1;
    c.bottomMax = 3.5;
    c.leftMin = -3.05;
    c.leftMax = 21.05;
    v.binder.Sync();
    ChartView* chart = v.window.Chart();
    EXPECT_EQ(chart->Series1()->count(), 2);
    EXPECT_EQ(chart->Series2()->count(), 0);
    EXPECT_EQ(chart->MarkTexts(), QStringList({"19.97", "-2"}));
    EXPECT_DOUBLE_EQ(chart->BottomAxis()->min(), 0.5);
    EXPECT_DOUBLE_EQ(chart->BottomAxis()->max(), 3.5);
    EXPECT_DOUBLE_EQ(chart->LeftAxis()->max(), 21.05);

    c.series2 = c.series1;
    c.series1 = {{1, 20.5, Colour::Lime}};
    c.series1Revision = 2;
    v.binder.Sync();
    EXPECT_EQ(chart->Series1()->count(), 1);
    EXPECT_EQ(chart->Series2()->count(), 2);
    EXPECT_EQ(chart->Series2()->at(1), QPointF(3, -2));
    EXPECT_EQ(chart->MarkTexts(), QStringList({"20.5"}));

    // Without a new revision Series1 is left alone.
    c.series1.push_back({2, 1, Colour::Lime});
    v.binder.Sync();
    EXPECT_EQ(chart->Series1()->count(), 1);
}

TEST(QtParameters, DialogShowsItsModelLabelsAndVisibility) {
    ViewRig v;
    ParametersModel& p = v.Model().Parameters;
    ASSERT_FALSE(v.dialog.isVisible());
    p.Label5.caption = "10:00:00";
    p.Label5.fontColour = Colour::Red;
    p.Label11.caption = "4";
    p.window.visible = true;
    p.window.left = 12;
    p.window.top = 136;
    v.binder.Sync();

    EXPECT_TRUE(v.dialog.isVisible());
    EXPECT_EQ(v.dialog.windowTitle(), QString::fromUtf8("Параметры измерения"));
    EXPECT_EQ(v.dialog.pos(), QPoint(12, 136));
    auto* start = v.dialog.findChild<QLabel*>("Label5");
    EXPECT_EQ(start->text(), "10:00:00");
    EXPECT_EQ(start->pos(), QPoint(150, 64));
    EXPECT_EQ(start->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(v.dialog.findChild<QLabel*>("Label11")->text(), "4");
    EXPECT_EQ(v.dialog.findChild<QLabel*>("Label4")->palette().color(QPalette::WindowText),
              QColor(0, 0, 0x80));

    p.window.visible = false;
    v.binder.Sync();
    EXPECT_FALSE(v.dialog.isVisible());
}

// The whole program's path through the views, against the virtual logger.
struct LoggerViewRig {
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
    template <typename W>
    W* Find(const char* name) {
        return window.findChild<W*>(name);
    }
    void Click(const char* name) {
        QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton);
        rig.RunFor(3000);
    }
};

TEST(QtProgram, TestMeasurementsFillTheChartAndWidenTheWindow) {
    LoggerViewRig v;
    v.rig.StartUsb();
    v.rig.RunFor(6000);
    ASSERT_TRUE(v.Find<QPushButton>("bTest")->isEnabled());
    v.Click("bTest");

    ChartView* chart = v.window.Chart();
    const Chart& model = v.rig.Model().Chart1;
    ASSERT_GT(model.series1.size(), 50u);  // a few of the logger's sensors give no value
    const auto first = qsizetype(model.series1.size());
    EXPECT_FALSE(chart->isHidden());
    EXPECT_EQ(v.window.width(), 1024);
    EXPECT_EQ(chart->geometry(), QRect(250, 10, 1024 - 250, 708 - 100));
    EXPECT_EQ(chart->Series1()->count(), first);
    EXPECT_EQ(chart->MarkTexts().size(), first);
    EXPECT_EQ(chart->Series2()->count(), 0);
    EXPECT_FALSE(chart->LeftLabels().isEmpty());

    v.Click("bTest");
    EXPECT_EQ(chart->Series1()->count(), qsizetype(model.series1.size()));
    EXPECT_EQ(chart->Series2()->count(), first);
    EXPECT_EQ(chart->Series2()->points().back(),
              QPointF(model.series2.back().x, model.series2.back().y));
}

// The read-out's battery shows at once, in the operator's language, and every caption shows as
// the model writes it, "&" included.
TEST(QtProgram, AfterTheReadOutTheBatteryAndEveryCaptionShowAsWritten) {
    ViewRig v;
    v.rig.controller.FormCreate(1024, 768);
    v.rig.controller.Click("pmEng");
    v.ReadOut();
    EXPECT_TRUE(v.Find<QGroupBox>("GroupBox3")->isVisibleTo(&v.window));
    EXPECT_EQ(v.Find<QWidget>("Shape1")->toolTip(), "5.3V");
    EXPECT_EQ(AsShown(v.Find<QPushButton>("bCurrent1")->text()), "Set current date&time");
    EXPECT_EQ(Lines(DifferencesFromTheModel(v.Model().Controls(), v.window)), "");
    v.rig.controller.Click("pmRus");
    EXPECT_EQ(v.Find<QWidget>("Shape1")->toolTip(), QString::fromUtf8("5.3В"));
}

TEST(QtProgram, ScheduleDialogOpensOverADisabledWindowAndCancelReturns) {
    LoggerViewRig v;
    v.rig.StartUsb();
    v.rig.RunFor(6000);
    v.Find<QSpinBox>("MinEdit")->setValue(15);  // an edit enables bSet
    ASSERT_TRUE(v.Find<QPushButton>("bSet")->isEnabled());
    v.Click("bSet");

    EXPECT_TRUE(v.dialog.isVisible());
    EXPECT_FALSE(v.window.isEnabled());
    EXPECT_TRUE(v.dialog.isEnabled());
    EXPECT_FALSE(v.dialog.findChild<QLabel*>("Label4")->text().isEmpty());  // the PC's time
    v.rig.link.ClearWritten();

    QTest::mouseClick(v.dialog.findChild<QPushButton*>("Button2"), Qt::LeftButton);
    EXPECT_FALSE(v.dialog.isVisible());
    EXPECT_TRUE(v.window.isEnabled());
    EXPECT_TRUE(v.rig.link.Written().empty());

    // The close box is the core's too: it hides the dialog and nothing is sent.
    v.Click("bSet");
    ASSERT_TRUE(v.dialog.isVisible());
    v.dialog.close();
    EXPECT_FALSE(v.dialog.isVisible());
    EXPECT_TRUE(v.window.isEnabled());
    EXPECT_TRUE(v.rig.link.Written().empty());
}

TEST(QtProgram, ClickOnTheCalibrationGroupHidesIt) {
    LoggerViewRig v;
    v.rig.StartUsb();
    v.rig.RunFor(6000);
    QAction* show = v.window.PopupMenu()->findChild<QAction*>("pmCalibration");
    ASSERT_NE(show, nullptr);
    show->trigger();
    QWidget* box = v.Find<QWidget>("CalibrBox");
    ASSERT_FALSE(box->isHidden());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() - 4));
    EXPECT_TRUE(box->isHidden());
}

}  // namespace
}  // namespace qm::test
