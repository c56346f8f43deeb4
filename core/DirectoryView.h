#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ui/model/WindowModel.h"

namespace qm {

// Adds one listed directory to the selector, unless it is the logger's system directory.
void AddDirectoryEntry(std::vector<std::string>& directoryNames, ComboBox& selector,
                       const std::string& nameBytes);

// Enables "Новые" exactly when the selected directory has a resume record locally.
void UpdateNewDataButton(WindowModel& model, const std::filesystem::path& dataFolder);

}  // namespace qm
