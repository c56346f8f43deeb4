#include "store/Catalogue.h"

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

std::string QuotedName(const std::string& nameBytes) {
    return '"' + Cp1251ToUtf8(nameBytes) + '"';
}

std::filesystem::path DataSetFolder(const std::filesystem::path& dataFolder,
                                    const std::string& nameBytes) {
    return dataFolder / LocalName(nameBytes);
}

}  // namespace qm
