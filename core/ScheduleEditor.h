#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "measure/Schedule.h"
#include "session/Transaction.h"

namespace qm {

class ConnectionSequence;

// The measurement schedule: read from the logger (row 50), edited in the schedule group,
// reviewed in the parameters dialog and written back (request 51, then read back by row 51).
class ScheduleEditor : public Transaction {
public:
    ScheduleEditor(PartContext& ctx, ConnectionSequence& sequence)
        : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    // Row 50: a complete reply is confirmed (navy); any other status is shown all the same.
    void ScheduleReply();
    // Row 51: whatever the logger says, read the schedule back.
    void ScheduleWrittenReply();

    void bCurrent1Click();
    void bCurrent2Click();
    void bSetClick();

    // The parameters dialog ("Parameters." controls).
    void ParametersFormActivate();
    void ParametersButton1Click();
    void CloseParametersDialog();

    const MeasurementSchedule& Schedule() const { return schedule_; }
    DateTime CurrentDateTime() const { return CurrentDateTime_; }

private:
    void ShowSchedule(Colour colour);
    void ScheduleEditorChanged(Control& editor);
    void SendSchedule();
    // A written schedule awaits its read-back.
    bool writeAsked_ = false;

public:
    // The schedule's write or read-back went unanswered.
    void GaveUp();

private:
    PartContext& ctx_;
    ConnectionSequence& sequence_;
    MeasurementSchedule schedule_;
    DateTime CurrentDateTime_;  // the PC time the dialog last showed
};

}  // namespace qm
