#include "core/ProblemPresenter.h"

#include <span>
#include <string_view>
#include <vector>

#include "ui/model/WindowCaptions.h"

namespace qm {

std::string ProblemText(const SessionProblem& problem, Language language) {
    std::vector<std::string_view> args(problem.args.begin(), problem.args.end());
    std::string text = Message(problem.message, language, std::span<const std::string_view>(args));
    for (const SessionProblem& line : problem.lines) text += "\n" + ProblemText(line, language);
    return text;
}

void ProblemPresenter::Problem(const SessionProblem& problem) {
    const std::string text = ProblemText(problem, SelectedLanguage(m_));
    if (problem.severity == SessionProblem::Severity::Error)
        ops_.ShowError(text);
    else
        ops_.ShowWarning(text);
}

}  // namespace qm
