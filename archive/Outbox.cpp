#include "archive/Outbox.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string_view>
#include <system_error>

#include "store/FileSteps.h"
#include "store/LocalFiles.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

// An entry's text: its first line names the format, then one line per row, led by the table it
// goes to (M measurements, S sensors, D downloads) and a tab. Rows are COPY text, whose fields
// hold no raw line end.
constexpr std::string_view kHeader = "qm-outbox 1\n";
constexpr std::string_view kEntryExtension = ".rows";

void Tagged(std::string& out, char tag, const std::string& lines) {
    std::size_t at = 0;
    while (at < lines.size()) {
        const std::size_t end = lines.find('\n', at);
        out += tag;
        out += '\t';
        out.append(lines, at, end - at + 1);
        at = end + 1;
    }
}

// A name that sorts in the order entries were made: the UTC time in microseconds, then a count
// for entries made in the same microsecond.
std::string EntryName() {
    static std::atomic<unsigned> made{0};
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::string n = std::to_string(us);
    n.insert(0, 20 - std::min<std::size_t>(20, n.size()), '0');
    return n + "-" + std::to_string(made++) + std::string(kEntryExtension);
}

}  // namespace

void QueueInOutbox(const fs::path& dataSet, const ArchiveRows& rows) {
    const fs::path outbox = dataSet / kOutboxFolderName;
    std::error_code ec;
    if (!fs::is_directory(outbox, ec)) {
        fs::create_directory(outbox, ec);
        if (ec) throw FileError(Msg::FileCreateStaging, outbox, ec);
        SyncFolder(dataSet, ec);
        if (ec) throw FileError(Msg::FileWrite, dataSet, ec);
    }
    std::string text(kHeader);
    text.reserve(text.size() + rows.measurements.size() + rows.measurementCount * 2 +
                 rows.sensors.size() + rows.downloads.size() + 64);
    Tagged(text, 'M', rows.measurements);
    Tagged(text, 'S', rows.sensors);
    Tagged(text, 'D', rows.downloads);
    StagedFile entry;
    entry.Begin(outbox / EntryName(), false);
    entry.Write(text);
    entry.Commit();
}

std::vector<fs::path> OutboxEntries(const fs::path& dataSet) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dataSet / kOutboxFolderName, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->path().extension() == kEntryExtension && it->is_regular_file())
            entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

ArchiveRows ReadOutboxEntry(const fs::path& entry) {
    const std::string text = ReadWholeFile(entry);
    if (!std::string_view(text).starts_with(kHeader))
        throw FileError(Msg::FileRead, entry,
                        std::make_error_code(std::errc::illegal_byte_sequence));
    ArchiveRows rows;
    std::size_t at = kHeader.size();
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        // A line without its end, or without a table: not an entry the program wrote.
        if (end == std::string::npos || end < at + 2 || text[at + 1] != '\t')
            throw FileError(Msg::FileRead, entry,
                            std::make_error_code(std::errc::illegal_byte_sequence));
        const std::string_view row(text.data() + at + 2, end - at - 1);
        switch (text[at]) {
            case 'M':
                rows.measurements += row;
                ++rows.measurementCount;
                break;
            case 'S':
                rows.sensors += row;
                ++rows.sensorCount;
                break;
            case 'D':
                rows.downloads += row;
                ++rows.downloadCount;
                break;
            default:
                throw FileError(Msg::FileRead, entry,
                                std::make_error_code(std::errc::illegal_byte_sequence));
        }
        at = end + 1;
    }
    return rows;
}

OutboxPush PushOutbox(Archive& archive, const fs::path& dataSet) {
    OutboxPush result;
    for (const fs::path& entry : OutboxEntries(dataSet)) {
        ArchiveRows rows;
        try {
            rows = ReadOutboxEntry(entry);
        } catch (const FileError& e) {
            // Under a name no other entry set aside has: nothing is overwritten.
            fs::path aside = entry;
            aside += ".damaged";
            std::error_code ec;
            for (int n = 2; fs::exists(aside, ec); ++n) {
                aside = entry;
                aside += ".damaged-" + std::to_string(n);
            }
            fs::rename(entry, aside, ec);
            if (!ec) SyncFolder(entry.parent_path(), ec);
            if (ec) {
                result.error = FileError(Msg::FileWrite, entry, ec).what();
                return result;
            }
            result.setAside.emplace_back(e, aside);
            continue;
        }
        PushCount count;
        if (auto error = archive.Push(rows, count)) {
            result.error = std::move(error);
            return result;
        }
        result.pushed += count.sent;
        result.added += count.added;
        result.leftOut += count.leftOut;
        std::error_code ec;
        fs::remove(entry, ec);
        if (!ec) SyncFolder(entry.parent_path(), ec);
        if (ec) {
            result.error = FileError(Msg::FileWrite, entry, ec).what();
            return result;
        }
    }
    return result;
}

}  // namespace qm
