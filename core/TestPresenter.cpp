#include "core/TestPresenter.h"

#include <initializer_list>

#include "core/ReadingsView.h"
#include "session/CalibrationEditor.h"
#include "session/ConnectionSequence.h"

namespace qm {

void TestPresenter::Register(Handlers& h) {
    h.OnClick("bTest", [this] { test_.Measure(); });
    h.OnChange("CheckBox1", [this] { test_.KeepRaw(ctx_.m.CheckBox1.checked); });
    test_.KeepRaw(ctx_.m.CheckBox1.checked);
}

void TestPresenter::ResetChart() {
    ReadingsState& r = test_.MutableReadings();
    r.ChartHasData = false;
    r.AxisMin = 1e11;
    r.AxisMax = -1e11;
    ctx_.m.Chart1.leftMax = 1e11;
    ctx_.m.Chart1.leftMin = -1e11;
    r.PreviousAxisMin = r.AxisMin;
    r.PreviousAxisMax = r.AxisMax;
}

void TestPresenter::EnableControls(bool enabled) {
    WindowModel& m = ctx_.m;
    for (Control* c : std::initializer_list<Control*>{&m.bSynch, &m.bClock, &m.GroupBox2,
                                                      &m.pComment, &m.GroupBox1, &m.bTest})
        c->enabled = enabled;
}

void TestPresenter::TestStarted() {
    WindowModel& m = ctx_.m;
    EnableControls(false);
    m.Label6.visible = false;
    ctx_.StartBusyIndicator();
    m.GroupBox3.visible = false;
    m.window.title = sequence_.DeviceTitle();
}

void TestPresenter::TestReadingsCame() {
    ctx_.m.bTest.enabled = true;
}

// The window is given back; a measurement that came is shown and plotted.
void TestPresenter::TestMeasured(bool measured) {
    ctx_.StopBusyIndicator();
    EnableControls(true);
    if (measured) {
        WindowModel& m = ctx_.m;
        ShowReadings(test_.MutableReadings(), calibration_.Table(), m.CheckBox1.checked, m);
    }
}

}  // namespace qm
