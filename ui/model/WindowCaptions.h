#pragma once

#include "text/Captions.h"

namespace qm {

struct WindowModel;

// Assigns one column of the caption table to the main window and the parameters dialog. Only
// captions change; sizes, positions and everything else stay.
void ApplyCaptions(WindowModel& model, Language language);

// The language in force: English when the context menu's "Eng" item has its check mark.
Language SelectedLanguage(const WindowModel& model);

}  // namespace qm
