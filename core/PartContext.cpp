#include "core/PartContext.h"

#include <algorithm>

namespace qm {

void PartContext::SetDateTimeValue(std::string_view name, DateTimeEdit& editor, DateTime value) {
    ChangeValue(name, editor.value, value);
}

void PartContext::SetSpinValue(std::string_view name, SpinEdit& editor, double value) {
    // A spin editor shows only values of its range, as the widget does; the reply's own number
    // stays in the schedule.
    ChangeValue(name, editor.value, std::clamp(value, editor.minimum, editor.maximum));
}

void PartContext::SetEditText(std::string_view name, EditBox& edit, const std::string& text) {
    ChangeValue(name, edit.text, text);
}

void PartContext::ArmSysTimer(SysTimerAction action, int intervalMs) {
    sysTimerAction = action;
    m.SysTimer.SetInterval(intervalMs);
    m.SysTimer.Start();
}

void PartContext::StartBusyIndicator() {
    m.ProgressBar1.position = 0;
    m.ProgressBar1.visible = true;
    m.TimerBar.Start();
}

void PartContext::StopBusyIndicator() {
    m.ProgressBar1.visible = false;
    m.TimerBar.Stop();
}

}  // namespace qm
