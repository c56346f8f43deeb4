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

Request RemarksRequest(const RemarkBuffers& r) {
    return requests::WriteRemarks(r.Remark1Buffer, r.Remark2Buffer, kRemarkLength);
}

int BuildRemarksRequest(const RemarkBuffers& r, PacketBuffer& b) {
    return PlaceRequest(RemarksRequest(r), b);
}

}  // namespace qm
