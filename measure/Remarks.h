#pragma once

#include <string>

#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"
#include "protocol/Requests.h"

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

// The Windows-1251 bytes of an edit box's text; a character the code page cannot carry becomes
// a blank.
std::string RemarkFromScreen(const std::string& utf8);

// One remark line as the logger takes it (Windows-1251 bytes): padded with blanks or cut to 20
// characters; the characters the logger's display cannot show ($ @ % ^ _ [ ] { } \ ~) become
// blanks and the hard sign, capital or small, an apostrophe.
std::string NormalizeRemark(std::string bytes);

// Builds request 145 from the two 20-byte buffers; returns the number of bytes to send (44).
Request RemarksRequest(const RemarkBuffers& remarks);
int BuildRemarksRequest(const RemarkBuffers& remarks, PacketBuffer& buffer);

}  // namespace qm
