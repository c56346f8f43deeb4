#include "store/CollectionDataSets.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "store/LocalFiles.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

bool IsDataFile(const fs::path& p) {
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".dat";
}

// The visible folders inside `folder`, in name order, and whether it holds data files itself.
struct Listing {
    std::vector<fs::path> folders;
    bool dataFiles = false;
    bool log = false;
};

Listing List(const fs::path& folder) {
    Listing out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        const fs::path& p = it->path();
        if (it->is_directory(typeError)) {
            // Hidden folders (a copy's staging folder among them) hold no data set.
            if (p.filename().string().rfind('.', 0) != 0) out.folders.push_back(p);
        } else if (it->is_regular_file(typeError)) {
            out.dataFiles = out.dataFiles || IsDataFile(p);
            out.log = out.log || p.filename() == kCollectionLogName;
        }
    }
    std::sort(out.folders.begin(), out.folders.end());
    return out;
}

}  // namespace

std::vector<CollectionDataSet> FindCollectionDataSets(const fs::path& data) {
    std::vector<CollectionDataSet> out;
    const Listing top = List(data);
    if (top.dataFiles) return {};
    for (const fs::path& station : top.folders) {
        const Listing inside = List(station);
        if (inside.dataFiles) return {};
        for (const fs::path& directory : inside.folders) {
            const Listing set = List(directory);
            if (!set.dataFiles && !set.log) continue;
            CollectionDataSet d{PathText(station.filename()), PathText(directory.filename()),
                                directory, std::nullopt};
            if (set.log) {
                CollectionLogRead log = ReadCollectionLog(directory);
                if (!log.records.empty()) d.last = log.records.back();
            }
            out.push_back(std::move(d));
        }
    }
    return out;
}

}  // namespace qm
