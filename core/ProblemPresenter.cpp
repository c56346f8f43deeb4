#include "core/ProblemPresenter.h"

#include <optional>

#include "ui/model/WindowCaptions.h"

namespace qm {

namespace {

// A port that could not be opened or went away, as the window says it: with its port button,
// to try again.
std::optional<Msg> WithPortButton(Msg message) {
    switch (message) {
        case Msg::PortOpenFailedNoWindow:
            return Msg::PortOpenFailed;
        case Msg::PortLostNoWindow:
            return Msg::PortLost;
        default:
            return std::nullopt;
    }
}

}  // namespace

void ProblemPresenter::Problem(const SessionProblem& reported) {
    SessionProblem problem = reported;
    if (const auto message = WithPortButton(problem.message); message && ops_.SeesWindow()) {
        problem.message = *message;
        SessionProblem caption;
        caption.message = Msg::Verbatim;
        caption.args = {m_.bSetPort.caption};
        problem.reasons.push_back(std::move(caption));
    }
    const std::string text = ProblemText(problem, SelectedLanguage(m_));
    if (problem.severity == SessionProblem::Severity::Error)
        ops_.ShowError(text);
    else
        ops_.ShowWarning(text);
}

}  // namespace qm
