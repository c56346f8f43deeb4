#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/ScheduleEditor.h"
#include "session/SessionEvents.h"

namespace qm {

class ConnectionSequence;

// The schedule group and the parameters dialog: the editors show the logger's schedule (navy,
// or black from an incomplete reply) or edits not yet written (red); bSet captures them for
// review in the dialog, whose OK writes them.
class SchedulePresenter : public SessionEvents {
public:
    SchedulePresenter(PartContext& ctx, ScheduleEditor& schedule,
                      const ConnectionSequence& sequence)
        : ctx_(ctx), schedule_(schedule), sequence_(sequence) {}
    void Register(Handlers& h);

    void ScheduleRead(bool confirmed) override;
    void ScheduleWriting() override;
    void ScheduleWritten() override;

    // The PC time the dialog last showed.
    DateTime CurrentDateTime() const { return CurrentDateTime_; }

private:
    void ScheduleEditorChanged(Control& editor);
    void bCurrent1Click();
    void bCurrent2Click();
    void bSetClick();
    // The parameters dialog ("Parameters." controls).
    void ParametersFormActivate();
    void ParametersButton1Click();
    void CloseParametersDialog();

    PartContext& ctx_;
    ScheduleEditor& schedule_;
    const ConnectionSequence& sequence_;
    DateTime CurrentDateTime_;
};

}  // namespace qm
