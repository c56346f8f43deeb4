#include "core/ProblemPresenter.h"

#include "ui/model/WindowCaptions.h"

namespace qm {

void ProblemPresenter::Problem(const SessionProblem& problem) {
    const std::string text = ProblemText(problem, SelectedLanguage(m_));
    if (problem.severity == SessionProblem::Severity::Error)
        ops_.ShowError(text);
    else
        ops_.ShowWarning(text);
}

}  // namespace qm
