// The readers of bytes from files and replies: the resume record, the device list, the value
// lines of a block of words, header lines, and the bounded reply view.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "protocol/Reply.h"
#include "store/LocalFiles.h"
#include "store/ValueLines.h"

using namespace qm;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

bool HasLineEnd(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto r = ParseResumeRecord(text)) {
        if (r->name.size() > text.size() || HasLineEnd(r->name)) Fail("record name");
        if (r->lines > 0x7FFFFFFF || r->lines < -0x7FFFFFFF) Fail("record line count");
        // What the program writes reads back the same.
        const auto again = ParseResumeRecord(r->name + "\r\n" + std::to_string(r->lines) + "\r\n");
        if (!again || again->name != r->name || again->lines != r->lines) Fail("record round trip");
    }

    const auto lines = DeviceListLines(text);
    std::size_t total = 0;
    for (const auto& l : lines) {
        if (HasLineEnd(l)) Fail("device list line holds a line end");
        total += l.size();
    }
    if (lines.empty() || total > size) Fail("device list");

    std::vector<std::int32_t> block;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        block.push_back(SignedWord(static_cast<std::uint16_t>(data[i] | data[i + 1] << 8)));
    const auto valueLines = ValueLines(block);
    if (!block.empty() &&
        valueLines.size() != static_cast<std::size_t>(ValueLineCount(block.size())))
        Fail("value line count");
    for (std::size_t k = 0; k < valueLines.size(); ++k) {
        const std::size_t fields = std::min(kValuesPerLine, block.size() - k * kValuesPerLine);
        if (valueLines[k].size() != 7 * fields) Fail("value line width");
    }
    const std::string s(text);
    (void)IsHeaderLine(s);
    if (const auto day = HeaderDay(s); day && s.size() < 8) Fail("header day of a short line");

    PacketBuffer packet{};
    const std::size_t received = size == 0 ? 0 : data[0] * 9u;  // may claim more than is there
    for (std::size_t i = 1; i < size && i < packet.size(); ++i) packet[i] = data[i];
    const Reply reply(packet, received);
    if (reply.Text().size() > std::min(received, packet.size())) Fail("reply text past received");
    if (reply.LastIndex() > received) Fail("reply last index");
    return 0;
}
