#pragma once

#include <exception>
#include <string>

#include "link/SerialPortOpener.h"
#include "session/SessionEvents.h"
#include "store/LocalFiles.h"

namespace qm {

// The problem in words of `language`: its message with its parameters, then its reasons in their
// own words, then the system's reason.
std::string ProblemText(const SessionProblem& problem, Language language);

// A local file the system refused, as the problem it words: what failed on which path, and why.
SessionProblem FileProblem(const FileError& error);
// Why a name may not become a local one, as a reason of a problem.
SessionProblem NameProblem(const RefusedName& why);
// A failed serial port operation, as a reason: what failed, and the system's error number when
// it gave one.
SessionProblem SerialProblem(SerialFailure failure, int systemError);
// Why a serial port could not be opened, as a reason.
SessionProblem PortOpenReason(const PortFailure& failure);
// What an operation raised, as the problem that ends its step.
SessionProblem ExceptionProblem(const std::exception& e);

}  // namespace qm
