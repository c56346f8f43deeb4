#pragma once

#include <cstdint>

#include "measure/Schedule.h"
#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

class ConnectionSequence;

// The measurement schedule: read from the logger (row 50) and written back (request 51, then
// read back by row 51). What the logger reports goes into LoggerState::schedule.
class ScheduleEditor : public Transaction {
public:
    ScheduleEditor(WorkContext& ctx, ConnectionSequence& sequence)
        : ctx_(ctx), sequence_(sequence) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    // The schedule's write or read-back went unanswered: the write ends unconfirmed.
    bool OnGivenUp(std::uint8_t code, const SessionProblem& reason) override;

    // Takes the schedule to write from the editors' values; true when an interval of zero
    // became one minute.
    bool Capture(const ScheduleEditors& editors);
    // Request 51: the schedule as captured. Its reply reads the schedule back (row 51).
    void Write();

    // Row 50: the schedule read, confirmed when the reply is complete; a read-back of a write
    // ends it.
    void ScheduleReply();
    // Row 51: whatever the logger says, read the schedule back.
    void ScheduleWrittenReply();

    const MeasurementSchedule& Schedule() const { return schedule_; }

private:
    WorkContext& ctx_;
    ConnectionSequence& sequence_;
    MeasurementSchedule schedule_;
    // A written schedule awaits its read-back.
    bool writeAsked_ = false;
};

}  // namespace qm
