#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store/LocalFiles.h"

namespace qm {

// State of a running copy. Names are the logger's Windows-1251 bytes.
struct CopyState {
    bool ListingFiles = false;
    bool ResumeRequested = false;
    bool DataFileOpen = false;
    std::vector<std::string> FileNameTable;  // FileNameCount = size(); names kept whole
    std::size_t CurrentFileIndex = 0;        // 1-based
    std::int32_t LinesWritten = 0;
    std::int32_t MeasurementCount = 0;
    std::vector<std::int32_t> ValueBlock;
    std::string RequestPath;
    std::string ResumeName;

    // The running copy: the logger directory and its local data-set folder, and the local file
    // being written (beside its final name until it is complete).
    std::string copyDirectory;
    std::filesystem::path copyFolder;
    StagedFile DataFile;
};

}  // namespace qm
