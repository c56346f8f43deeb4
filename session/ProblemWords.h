#pragma once

#include <string>

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

}  // namespace qm
