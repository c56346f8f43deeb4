#include "core/DirectoryView.h"

#include <system_error>

#include "protocol/Cp1251.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

namespace qm {

const std::string* SelectedDirectory(const WindowModel& model,
                                     const std::vector<std::string>& names) {
    const int i = model.ComboBox1.itemIndex;
    if (i < 0 || static_cast<std::size_t>(i) >= names.size()) return nullptr;
    return &names[static_cast<std::size_t>(i)];
}

void UpdateNewDataButton(WindowModel& model, const std::filesystem::path& dataFolder) {
    const ComboBox& c = model.ComboBox1;
    if (c.itemIndex < 0 || c.text.empty()) {
        model.bNewData.enabled = false;
        return;
    }
    // The selector shows the logger's name in Unicode; it is checked as the logger's bytes.
    const std::string nameBytes = Utf8ToCp1251(c.text);
    if (RefusedFolderName(nameBytes)) {
        model.bNewData.enabled = false;
        return;
    }
    std::error_code ec;
    const auto record = DataSetFolder(dataFolder, nameBytes) / kResumeRecordName;
    model.bNewData.enabled = std::filesystem::exists(record, ec);
}

}  // namespace qm
