#pragma once

#include "text/Captions.h"

namespace qm {

struct WindowModel;

// Assigns one column of the caption table to the main window and the parameters dialog. Only
// captions change; sizes, positions and everything else stay.
void ApplyCaptions(WindowModel& model, Language language);

// The language in force: the check mark of the context menu's "Eng" item.
bool IsEnglish(const WindowModel& model);

}  // namespace qm
