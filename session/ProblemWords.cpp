#include "session/ProblemWords.h"

#include <span>
#include <string_view>
#include <vector>

namespace qm {

std::string ProblemText(const SessionProblem& problem, Language language) {
    std::vector<std::string> words;
    for (Msg w : problem.words) words.push_back(Message(w, language));
    words.insert(words.end(), problem.args.begin(), problem.args.end());
    for (const SessionProblem& reason : problem.reasons)
        words.push_back(ProblemText(reason, language));
    if (problem.system) words.push_back(SystemReason(*problem.system, language));
    std::vector<std::string_view> args(words.begin(), words.end());
    std::string text = Message(problem.message, language, std::span<const std::string_view>(args));
    for (const SessionProblem& line : problem.lines) text += "\n" + ProblemText(line, language);
    return text;
}

SessionProblem FileProblem(const FileError& error) {
    SessionProblem p;
    p.message = error.What();
    p.args = {PathText(error.Path())};
    p.system = error.Reason();
    return p;
}

SessionProblem NameProblem(const RefusedName& why) {
    SessionProblem p;
    p.message = why.reason;
    p.args = {std::string(1, why.character)};
    return p;
}

}  // namespace qm
