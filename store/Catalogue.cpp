#include "store/Catalogue.h"

#include <system_error>

#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"

namespace qm {

bool NameFitsRequest(const std::string& name, std::size_t extra) {
    return requests::NameFits(name, extra);
}

std::optional<int> BuildNameRequest(PacketBuffer& b, std::uint8_t code, const std::string& name) {
    const auto r = requests::WithName(code, name);
    if (!r) return std::nullopt;
    return PlaceRequest(*r, b);
}

void AddDirectoryEntry(std::vector<std::string>& directoryNames, ComboBox& selector,
                       const std::string& nameBytes) {
    if (nameBytes == kSystemDirectory) return;
    directoryNames.push_back(nameBytes);
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
