#include "measure/Remarks.h"

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

}  // namespace qm
