#include "core/TestMeasurement.h"

#include <initializer_list>

#include "core/ReadingsView.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"
#include "session/CalibrationEditor.h"
#include "session/ConnectionSequence.h"

namespace qm {

void TestMeasurement::Register(Handlers& h) {
    h.OnClick("bTest", [this] { bTestClick(); });
}

void TestMeasurement::ResetChart() {
    readings_.ChartHasData = false;
    readings_.AxisMin = 1e11;
    readings_.AxisMax = -1e11;
    ctx_.m.Chart1.leftMax = 1e11;
    ctx_.m.Chart1.leftMin = -1e11;
    readings_.PreviousAxisMin = readings_.AxisMin;
    readings_.PreviousAxisMax = readings_.AxisMax;
}

void TestMeasurement::bTestClick() {
    WindowModel& m = ctx_.m;
    for (Control* c : std::initializer_list<Control*>{&m.bSynch, &m.bClock, &m.GroupBox2,
                                                      &m.pComment, &m.GroupBox1, &m.bTest})
        c->enabled = false;
    m.Label6.visible = false;
    ctx_.x.Send(requests::Plain(CommandCode::StartTest));
    ctx_.StartBusyIndicator();
    m.GroupBox3.visible = false;
    m.window.title = sequence_.DeviceTitle();
    readings_.ReadingCount = 0;
}

void TestMeasurement::Ended(bool measured) {
    ctx_.session.Report([measured](SessionEvents& e) { e.TestMeasured(measured); });
}

void TestMeasurement::RestartReadings() {
    readings_.ReadingCount = 0;
    ctx_.x.Send(requests::Plain(CommandCode::StartTest));
}

void TestMeasurement::GiveUp() {
    WindowModel& m = ctx_.m;
    Ended(false);
    ctx_.StopBusyIndicator();
    for (Control* c : std::initializer_list<Control*>{&m.bSynch, &m.bClock, &m.GroupBox2,
                                                      &m.pComment, &m.GroupBox1, &m.bTest})
        c->enabled = true;
}

void TestMeasurement::ReadingsReply() {
    WindowModel& m = ctx_.m;
    m.bTest.enabled = true;
    const Reply r = ctx_.CurrentReply();
    if (r.Status() == ReplyStatus::Partial) {
        DecodeReadingsBlock(readings_, r);
        ctx_.x.Send(requests::Plain(CommandCode::NextReadings));
        return;
    }
    if (r.Status() != ReplyStatus::Complete) {
        // Nothing more will come: the window is given back and the operator told why.
        GiveUp();  // reports the measurement as failed
        ctx_.ops.ShowError(ctx_.Text(Msg::TestRefused, {std::to_string(r.Status())}));
        return;
    }
    ctx_.StopBusyIndicator();
    for (Control* c : std::initializer_list<Control*>{&m.bSynch, &m.bClock, &m.GroupBox2,
                                                      &m.pComment, &m.GroupBox1, &m.bTest})
        c->enabled = true;
    DecodeReadingsBlock(readings_, r);
    ShowReadings(readings_, calibration_.Table(), m.CheckBox1.checked, m);
    std::vector<std::optional<double>> values(
        static_cast<std::size_t>(readings_.ShownReadingCount) + 1);
    for (int i = 1; i <= readings_.ShownReadingCount; ++i)
        if (readings_.ReadingValid[i]) values[static_cast<std::size_t>(i)] = readings_.Readings[i];
    ctx_.session.MutableLogger().readings = std::move(values);
    Ended(true);
    // The battery, then the line value.
    sequence_.QueryLineAfterBattery();
    ctx_.x.Send(requests::Plain(CommandCode::ReadBattery));
}

void TestMeasurement::OnReply(std::uint8_t /*code*/) {
    ReadingsReply();  // -> 68 or 52
}

}  // namespace qm
