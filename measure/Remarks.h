#pragma once

#include <string>

#include "protocol/Reply.h"

namespace qm {

// The two 20-character remark lines as last sent (Windows-1251 bytes).
struct RemarkBuffers {
    std::string Remark1Buffer;
    std::string Remark2Buffer;
};

inline constexpr std::size_t kRemarkLength = 20;

// The two lines of a reply to 144 (bytes 3..22 and 23..42), as raw Windows-1251 bytes. Bytes
// that were not received are left out.
struct RemarkLines {
    std::string first;
    std::string second;
};
RemarkLines DecodeRemarks(const Reply& reply);

// Shows raw remark bytes in an edit box: Unicode, with a 0 byte shown as a blank.
std::string RemarkToScreen(const std::string& bytes);

}  // namespace qm
