#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/DateTime.h"
#include "ui/model/Colour.h"
#include "ui/model/Timer.h"

namespace qm {

// Plain data of every control of the main window and the parameters dialog: what is visible,
// enabled, shown and in which colour. The core changes it; the Qt layer mirrors it into the
// widgets (objectName = the member name) and turns widget events into controller calls. Texts are
// UTF-8. Geometry is in client pixels of the owning window or group.
//
// The constructors below are the one description of the windows: every caption, position and
// size starts here. The Qt forms hold only the widgets' kinds, names and nesting, and the look
// the model has no word for (fonts, display formats, input limits).

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Control {
    bool visible = true;
    bool enabled = true;
    std::string caption;
    Colour fontColour = Colour::WindowText;
    Rect geometry;  // empty: placed by its parent (a tab page) or by the core later (the chart)
};

struct Button : Control {};
// A label that sizes itself keeps only the position of its geometry and takes the size its
// text needs; otherwise it keeps the designed box and its text may be cut off.
struct Label : Control {
    bool autoSize = true;
};
struct GroupBox : Control {};
struct TabSheet : Control {};

struct EditBox : Control {
    std::string text;
};

struct CheckBox : Control {
    bool checked = false;
};

struct SpinEdit : Control {
    double value = 0;
    double minimum = 0;
    double maximum = 100;
};

// A time editor holds a time of day, a date editor a date (time 00:00).
struct DateTimeEdit : Control {
    enum class Mode { Time, Date };
    Mode mode = Mode::Date;
    DateTime value;
};

struct ComboBox : Control {
    std::vector<std::string> items;
    int itemIndex = -1;  // -1: nothing selected
    std::string text;    // the selected item's text, or empty
    int focusRequests = 0;
};

struct RadioGroup : Control {
    std::vector<std::string> items;
    int itemIndex = -1;
};

struct PageControl : Control {
    int activePage = 0;
};

struct ProgressBar : Control {
    int position = 0;
    int maximum = 4;
};

struct Shape : Control {
    Colour brush = Colour::Lime;
    Colour pen = Colour::Green;
    bool showHint = false;
    std::string hint;
};

struct ChartPoint {
    double x = 0;
    double y = 0;
    Colour colour = Colour::Lime;
};

// The point chart: Series1 holds the latest test measurement (with value marks), Series2 every
// earlier one of this run. `series1Revision` changes whenever Series1 is rebuilt; Series2 only
// grows, so the view appends what it has not drawn yet.
struct Chart : Control {
    std::vector<ChartPoint> series1;
    std::vector<ChartPoint> series2;
    std::uint64_t series1Revision = 0;
    double bottomMin = 0.5;
    double bottomMax = 1.5;
    double leftMin = -1e11;
    double leftMax = 1e11;
};

struct MenuItem {
    std::string caption;
    bool enabled = true;
    bool checked = false;
};

struct Window {
    std::string title;
    int left = 8;
    int top = 8;
    int width = 1024;
    int height = 706;
    bool enabled = true;
    bool visible = true;
    int focusRequests = 0;
};

// One named control of a window, for views and tests that walk every control by its name.
using ControlPtr =
    std::variant<Button*, Label*, GroupBox*, TabSheet*, EditBox*, CheckBox*, SpinEdit*,
                 DateTimeEdit*, ComboBox*, RadioGroup*, PageControl*, ProgressBar*, Shape*, Chart*>;
struct ControlRef {
    std::string_view name;
    ControlPtr control;
};
struct MenuItemRef {
    std::string_view name;
    MenuItem* item;
};

// The generic part of any control behind a ControlRef.
Control& BaseOf(const ControlPtr& p);

struct ParametersModel {
    Window window;
    Label Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9;
    Label Label10, Label11, Label12, Label13, Label14, Label15, Label16, Label17, Label18;
    Button Button1, Button2;

    ParametersModel();
    std::vector<ControlRef> Controls();
};

struct WindowModel {
    Window window;
    int screenWidth = 1024;
    int screenHeight = 768;

    Label Label7;  // version
    Button bSynch, bClock;
    Label Label2;  // device clock
    GroupBox GroupBox3;
    Shape Shape1;  // battery

    // Schedule group.
    GroupBox GroupBox2;
    PageControl PageControl1;
    TabSheet TabSheet1, TabSheet2, TabSheet3;
    Button bCurrent1, bCurrent2;
    DateTimeEdit TimeStart, DateStart, TimeStop, DateStop;
    SpinEdit DayEdit, HourEdit, MinEdit;
    Label Label3, Label4, Label5;  // interval unit titles
    Button bSet;

    Button bTest;
    ProgressBar ProgressBar1;
    Label Label6;  // no data

    // Data group.
    GroupBox GroupBox1;
    ComboBox ComboBox1;
    Button bAllData, bNewData, bSelect, bDelete, bCopy, bCancel;
    DateTimeEdit DateData;
    Label lMeasureCounter;
    // The result of the last copy, where the progress line was.
    Label lCopyResult;
    // Stops a full or "Новые" copy; shown while one runs.
    Button bStop;
    // The progress line below the data group: file i of n, measurements, time left.
    Label lProgress;

    // Remark group.
    GroupBox pComment;
    EditBox pRemark1, pRemark2;
    Button bRemark;

    Chart Chart1;

    // Calibration group.
    GroupBox CalibrBox;
    Label Label1;
    EditBox Edit1;
    Button bCalibr;
    CheckBox CheckBox1;

    // Radio-modem group.
    GroupBox gbR_Modem;
    CheckBox cbRAddress;
    EditBox eRAddress;
    ComboBox cbR_Modem;
    Button bRStart;

    // Bluetooth-modem group.
    GroupBox BTmodem;
    RadioGroup RadioGroup1;
    Button Button6;
    Label Label10, Label9;
    CheckBox CheckBox2;

    // Serial port group.
    GroupBox GroupBox4;
    Label Label8;
    SpinEdit SpinEdit1;
    // Where ports have names (/dev/ttyUSB0, /dev/rfcomm0, a pseudo-terminal), the device the
    // operator typed or picked; when it is not empty it is opened instead of the number.
    EditBox portDevice;
    Button bSetPort;
    CheckBox CheckBox3;

    // Context menu (opened by a right click on the window). pmCalibration shows the calibration
    // group, which has no other way in; pmDataOnDisk opens the viewer of the copied data.
    MenuItem pmBluetooth, N1, pmRus, pmEng, pmCalibration, pmDataOnDisk;

    // Shown while a request that went unanswered is tried again.
    Label lRetry;

    // Timers: the one that hides the clock and "no data" labels, and the busy bar's.
    Timer SysTimer, TimerBar;
    Timer& TimerById(WindowTimerId id);

    ParametersModel Parameters;

    WindowModel();
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    // Every control of the main window by its name, and the context menu's items.
    std::vector<ControlRef> Controls();
    std::vector<MenuItemRef> MenuItems();
    std::optional<ControlPtr> Find(std::string_view name);
};

// Every timer of the window in one row: its name, its place in the model and its interval.
struct TimerRow {
    WindowTimerId id;
    const char* name;
    Timer WindowModel::*timer;
    int intervalMs;
};
inline constexpr TimerRow kTimers[] = {
    {WindowTimerId::SysTimer, "SysTimer", &WindowModel::SysTimer, 100},
    {WindowTimerId::TimerBar, "TimerBar", &WindowModel::TimerBar, 100},
};
const char* TimerName(WindowTimerId id);

}  // namespace qm
