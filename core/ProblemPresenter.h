#pragma once

#include "core/Services.h"
#include "session/ProblemWords.h"
#include "session/SessionEvents.h"
#include "ui/model/WindowModel.h"

namespace qm {

// Shows what the session reports as gone wrong: an error or a warning box, worded in the
// language of the window's menu.
class ProblemPresenter : public SessionEvents {
public:
    ProblemPresenter(const WindowModel& model, OperatorServices& ops) : m_(model), ops_(ops) {}
    void Problem(const SessionProblem& problem) override;

private:
    const WindowModel& m_;
    OperatorServices& ops_;
};

}  // namespace qm
