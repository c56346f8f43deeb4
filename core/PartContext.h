#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/Services.h"
#include "core/States.h"
#include "session/Session.h"
#include "text/Captions.h"
#include "text/Messages.h"
#include "ui/model/WindowCaptions.h"
#include "ui/model/WindowModel.h"

namespace qm {

// What every part of the controller shares: the window model, the session (the exchange with the
// logger, what is known of it, its events, its timers), the operator's services, the PC clock,
// and the two window-wide helpers every part uses (SysTimer's next action and the busy bar).
// Everything else a part needs from another is an explicit call.
class PartContext {
public:
    PartContext(WindowModel& model, Session& loggerSession, OperatorServices& services)
        : m(model),
          session(loggerSession),
          x(loggerSession.Link()),
          timers(loggerSession.Timers()),
          ops(services),
          clock(loggerSession.Clock()) {}

    WindowModel& m;
    Session& session;
    Exchange& x;
    SessionTimers& timers;  // the session's, which pace the work
    OperatorServices& ops;
    PcClock& clock;

    // The language selected in the context menu; run-time messages follow it.
    Language CurrentLanguage() const { return SelectedLanguage(m); }
    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, CurrentLanguage(), args);
    }
    Reply CurrentReply() const { return x.CurrentReply(); }

    // Runs a control's change handler; set by the controller that holds the handler table.
    std::function<void(std::string_view)> runChange;

    // A control's value changes, by the operator's edit or by the controller itself: compare,
    // assign, and run the control's change handler when the shown value differs.
    template <typename V>
    void ChangeValue(std::string_view name, V& field, const V& value) {
        if (field == value) return;
        field = value;
        if (runChange) runChange(name);
    }
    void SetDateTimeValue(std::string_view name, DateTimeEdit& editor, DateTime value);
    void SetSpinValue(std::string_view name, SpinEdit& editor, double value);
    void SetEditText(std::string_view name, EditBox& edit, const std::string& text);

    // SysTimer hides the clock label, or the "no data" label of the empty catalogue; its action
    // says which.
    SysTimerAction sysTimerAction = SysTimerAction::None;
    void ArmSysTimer(SysTimerAction action, int intervalMs);

    // The busy bar of the test measurement and the copies.
    void StartBusyIndicator();
    void StopBusyIndicator();
};

}  // namespace qm
