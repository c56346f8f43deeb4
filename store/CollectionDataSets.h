#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/CollectionLog.h"

namespace qm {

// A data set of a collection's data folder, DATA/<station>/<directory>, with the last download
// its collection log holds.
struct CollectionDataSet {
    std::string station;    // UTF-8, the folder's name
    std::string directory;  // UTF-8, the folder's name
    std::filesystem::path folder;
    std::optional<CollectionRecord> last;
};

// The data sets two levels down in `data`, in name order: folders that hold data files or a
// collection log. None when `data` holds data files itself or any folder right inside it does
// (a data folder of the window's copies, not of a collection), or when it cannot be listed.
std::vector<CollectionDataSet> FindCollectionDataSets(const std::filesystem::path& data);

}  // namespace qm
