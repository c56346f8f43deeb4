#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ui/model/WindowModel.h"

namespace qm {

// The logger's name (one of `names`, parallel to the selector's items) of the directory selected,
// or nothing when none is selected.
const std::string* SelectedDirectory(const WindowModel& model,
                                     const std::vector<std::string>& names);

// Enables "Новые" exactly when the selected directory has a resume record locally.
void UpdateNewDataButton(WindowModel& model, const std::filesystem::path& dataFolder);

}  // namespace qm
