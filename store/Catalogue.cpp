#include "store/Catalogue.h"

#include <system_error>

#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"

namespace qm {

bool NameFitsRequest(const std::string& name, std::size_t extra) {
    return name.size() + 3 + extra <= 255;
}

std::optional<int> BuildNameRequest(PacketBuffer& b, std::uint8_t code, const std::string& name) {
    if (!NameFitsRequest(name)) return std::nullopt;
    b[1] = static_cast<std::uint8_t>(name.size() + 3);
    b[2] = 0;
    b[3] = code;
    for (std::size_t i = 0; i < name.size(); ++i) b[4 + i] = static_cast<std::uint8_t>(name[i]);
    b[4 + name.size()] = 0;
    return static_cast<int>(name.size() + 5);
}

void AddDirectoryEntry(CopyState& copy, ComboBox& selector, const std::string& nameBytes) {
    if (nameBytes == kSystemDirectory) return;
    copy.directoryNames.push_back(nameBytes);
    selector.items.push_back(Cp1251ToUtf8(nameBytes));
}

std::string QuotedName(const std::string& nameBytes) {
    return '"' + Cp1251ToUtf8(nameBytes) + '"';
}

std::filesystem::path DataSetFolder(const std::filesystem::path& dataFolder,
                                    const std::string& nameBytes) {
    return dataFolder / LocalName(nameBytes);
}

void UpdateNewDataButton(WindowModel& model, const std::filesystem::path& dataFolder) {
    const ComboBox& c = model.ComboBox1;
    if (c.itemIndex < 0 || c.text.empty()) {
        model.bNewData.enabled = false;
        return;
    }
    // The selector shows the logger's name in Unicode; it is checked as the logger's bytes.
    const std::string nameBytes = Utf8ToCp1251(c.text);
    if (RefusedLocalName(nameBytes)) {
        model.bNewData.enabled = false;
        return;
    }
    std::error_code ec;
    const auto record = DataSetFolder(dataFolder, nameBytes) / kResumeRecordName;
    model.bNewData.enabled = std::filesystem::exists(record, ec);
}

}  // namespace qm
