#include "measure/Remarks.h"

#include <algorithm>
#include <string_view>

#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"

namespace qm {

RemarkLines DecodeRemarks(const Reply& reply) {
    return {reply.Bytes(3, 22), reply.Bytes(23, 42)};
}

std::string RemarkToScreen(const std::string& bytes) {
    std::string shown = bytes;
    for (char& c : shown)
        if (c == '\0') c = ' ';
    return Cp1251ToUtf8(shown);
}

std::string RemarkFromScreen(const std::string& utf8) {
    return Utf8ToCp1251(utf8, ' ');
}

std::string NormalizeRemark(std::string bytes) {
    bytes.resize(kRemarkLength, ' ');
    constexpr std::string_view kBlanked = "$@%^_[]{}\\~";
    constexpr char kCapitalHardSign = '\xDA';
    constexpr char kSmallHardSign = '\xFA';
    for (char& c : bytes) {
        if (kBlanked.find(c) != std::string_view::npos)
            c = ' ';
        else if (c == kCapitalHardSign || c == kSmallHardSign)
            c = '\'';
    }
    return bytes;
}

int BuildRemarksRequest(const RemarkBuffers& r, PacketBuffer& b) {
    b[1] = 42;
    b[2] = 0;
    b[3] = CommandCode::WriteRemarks;
    for (std::size_t k = 0; k < kRemarkLength; ++k) {
        b[4 + k] = static_cast<std::uint8_t>(k < r.Remark1Buffer.size() ? r.Remark1Buffer[k] : ' ');
        b[24 + k] =
            static_cast<std::uint8_t>(k < r.Remark2Buffer.size() ? r.Remark2Buffer[k] : ' ');
    }
    return 44;
}

}  // namespace qm
