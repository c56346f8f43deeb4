#include "session/ProblemWords.h"

#include <cerrno>
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

SessionProblem SerialProblem(SerialFailure failure, int systemError) {
    SessionProblem p;
    p.message = Msg::ReasonSerial;
    p.words = {SerialFailureText(failure)};
    if (systemError > 0)
        p.reasons = {SessionProblem{SessionProblem::Severity::Error,
                                    Msg::SerialErrorSuffix,
                                    {std::to_string(systemError)},
                                    0,
                                    LinkKind::None,
                                    {},
                                    {},
                                    {},
                                    {}}};
    else
        p.args = {std::string()};
    return p;
}

SessionProblem PortOpenReason(const PortFailure& failure) {
    if (failure.failure != SerialFailure::Open)
        return SerialProblem(failure.failure, failure.systemError);
    SessionProblem p;
    if (failure.systemError == EBUSY) {
        p.message = Msg::ReasonPortHeld;
        return p;
    }
    p.message = Msg::Verbatim;
    p.system = failure.systemError != 0
                   ? std::error_code(failure.systemError, std::generic_category())
                   : std::error_code();
    return p;
}

SessionProblem ExceptionProblem(const std::exception& e) {
    if (const auto* port = dynamic_cast<const SerialPortError*>(&e))
        return SerialProblem(port->Failure(), port->SystemError());
    if (const auto* file = dynamic_cast<const FileError*>(&e)) return FileProblem(*file);
    SessionProblem p;
    p.message = Msg::InternalError;
    p.args = {e.what()};
    return p;
}

}  // namespace qm
