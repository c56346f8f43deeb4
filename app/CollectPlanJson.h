#pragma once

#include <QJsonObject>

#include "collect/StationsFile.h"

namespace qm {

// The plan of a collection as the dry run prints it: the stations file and, for each station in
// its order, its link, directories ("all" for every one), mode, clock policy and limit, and the
// folder its data go to; then the warnings of the file, worded in `language`. Paths are
// absolute, in the system's separators.
QJsonObject PlanJson(const StationsPlan& plan, Language language);

}  // namespace qm
