#include "store/LocalFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <system_error>
#include <utility>

#include "protocol/Cp1251.h"
#include "store/FileSteps.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileBufferSize = 1 << 16;

std::error_code Errno(int err) {
    return err != 0 ? std::error_code(err, std::generic_category()) : std::error_code();
}

bool IsReservedDeviceName(const std::string& name) {
    // Windows opens these as devices whatever their extension.
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

char32_t UpperAscii(char32_t c) {
    return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c;
}

// One character of a long name as Windows puts it in a short alias; 0 for one outside ASCII,
// which becomes a character of the OEM code page or "_".
char32_t AliasCharacter(char32_t c) {
    if (c >= 0x80) return 0;
    if (c == U'+' || c == U',' || c == U';' || c == U'=' || c == U'[' || c == U']') return U'_';
    return UpperAscii(c);
}

bool AliasCharacterMatches(char32_t inAlias, char32_t inLongName) {
    const char32_t wanted = AliasCharacter(inLongName);
    if (wanted == 0) return inAlias >= 0x80 || inAlias == U'_';
    return UpperAscii(inAlias) == wanted;
}

bool IsHexDigit(char32_t c) {
    return (c >= U'0' && c <= U'9') || (UpperAscii(c) >= U'A' && UpperAscii(c) <= U'F');
}

// Windows compares names without regard to letter case; the program's own names are ASCII, so
// folding ASCII letters is enough.
bool SameNameOnWindows(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

// A step that the test hook refused fails like the disk would.
std::error_code Refused() {
    return std::make_error_code(std::errc::io_error);
}

void RemoveStagingFolderIfEmpty(const fs::path& stagingFolder) noexcept {
    std::error_code ec;
    if (!fs::is_empty(stagingFolder, ec) || ec) return;
    if (!FileStepGoesAhead(FileStep::RemoveStaging, stagingFolder)) return;
    fs::remove(stagingFolder, ec);
}

// A line made of value fields: blanks and one number (or "-") in each field of seven.
bool IsValueLine(std::string_view line) {
    if (line.empty() || line.size() % 7 != 0) return false;
    for (std::size_t i = 0; i < line.size(); i += 7) {
        if (line[i] != ' ') return false;
        bool any = false;
        for (char c : line.substr(i + 1, 6)) {
            if (c == ' ') continue;
            if (!std::strchr("-.0123456789", c)) return false;
            any = true;
        }
        if (!any) return false;
    }
    return true;
}

}  // namespace

FileError::FileError(Msg what, fs::path path, std::error_code reason)
    : std::runtime_error(Message(what, Language::English,
                                 {PathText(path), SystemReason(reason, Language::English)})),
      what_(what),
      path_(std::move(path)),
      reason_(reason) {}

std::string FileError::Text(Language language) const {
    return Message(what_, language, {PathText(path_), SystemReason(reason_, language)});
}

std::string RefusedName::Text(Language language) const {
    return Message(reason, language, {std::string(1, character)});
}

std::string PathText(const fs::path& path) {
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

fs::path Utf8Path(const std::string& utf8) {
    // Qt writes Windows paths with "/": in the system's own separators, a path shown or printed
    // does not mix the two.
    fs::path path(std::u8string(utf8.begin(), utf8.end()));
    path.make_preferred();
    return path;
}

namespace {

// The rules of a local name on every platform. Windows-1251 has no character for byte 0x98;
// in UTF-8 text the byte is part of a character ("И" is D0 98).
std::optional<RefusedName> RefusedNameOf(const std::string& name, bool windows1251) {
    if (name.empty()) return RefusedName{Msg::NameEmpty};
    if (name == "." || name == "..") return RefusedName{Msg::NameDots};
    for (char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x20 || b == 0x7F) return RefusedName{Msg::NameControlCharacter};
        if (ch == '/' || ch == '\\') return RefusedName{Msg::NameSeparator};
        if (std::strchr("<>:\"|?*", ch)) return RefusedName{Msg::NameCharacter, ch};
        if (windows1251 && b == 0x98) return RefusedName{Msg::NameUnmappedByte};
    }
    if (name.back() == '.' || name.back() == ' ') return RefusedName{Msg::NameTrailingDotOrBlank};
    if (IsReservedDeviceName(name)) return RefusedName{Msg::NameDevice};
    return std::nullopt;
}

}  // namespace

std::optional<RefusedName> RefusedLocalName(const std::string& nameBytes) {
    return RefusedNameOf(nameBytes, true);
}

std::optional<RefusedName> RefusedUtf8Name(const std::string& utf8) {
    return RefusedNameOf(utf8, false);
}

std::optional<RefusedName> RefusedFileName(const std::string& name) {
    if (auto why = RefusedLocalName(name)) return why;
    for (const char* own : kOwnNames) {
        if (!SameNameOnWindows(name, own)) continue;
        if (own == kResumeRecordName) return RefusedName{Msg::NameResumeRecord};
        if (own == kStagingFolderName) return RefusedName{Msg::NameStagingFolder};
        return RefusedName{Msg::NameOwnFile};
    }
    return std::nullopt;
}

std::optional<RefusedName> RefusedFolderName(const std::string& name) {
    if (auto why = RefusedLocalName(name)) return why;
    if (SameNameOnWindows(name, kVisitLogName)) return RefusedName{Msg::NameOwnFile};
    return std::nullopt;
}

std::optional<RefusedName> RefusedStationName(const std::string& utf8) {
    if (auto why = RefusedUtf8Name(utf8)) return why;
    for (const char* own : kCollectionOwnNames)
        if (SameNameOnWindows(utf8, own))
            return RefusedName{own == kStagingFolderName ? Msg::NameStagingFolder
                                                         : Msg::NameOwnFile};
    return std::nullopt;
}

bool MayBeShortAliasOf(const fs::path& alias, const fs::path& longName) {
    const std::u32string a = alias.u32string();
    const std::size_t dot = a.rfind(U'.');
    const std::u32string base = a.substr(0, dot);
    const std::u32string ext = dot == std::u32string::npos ? U"" : a.substr(dot + 1);
    const std::size_t tilde = base.rfind(U'~');
    if (base.size() > 8 || ext.size() > 3 || tilde == std::u32string::npos || tilde == 0 ||
        tilde + 1 == base.size() || base.find(U'.') != std::u32string::npos)
        return false;
    for (std::size_t i = tilde + 1; i < base.size(); ++i)
        if (base[i] < U'0' || base[i] > U'9') return false;
    const std::u32string prefix = base.substr(0, tilde);

    // The long name as Windows shortens it: leading dots go (".qmc-staging" is "QMC-ST~1"), the
    // last dot left starts the extension, blanks and the other dots go.
    std::u32string l = longName.u32string();
    if (std::equal(l.begin(), l.end(), a.begin(), a.end(),
                   [](char32_t x, char32_t y) { return UpperAscii(x) == UpperAscii(y); }))
        return false;  // the name itself
    l.erase(0, l.find_first_not_of(U'.'));
    const std::size_t longDot = l.rfind(U'.');
    std::u32string longBase = l.substr(0, longDot);
    std::u32string longExt = longDot == std::u32string::npos ? U"" : l.substr(longDot + 1);
    std::erase_if(longBase, [](char32_t c) { return c == U' ' || c == U'.'; });
    std::erase(longExt, U' ');
    longExt.resize(std::min<std::size_t>(longExt.size(), 3));

    if (ext.size() != longExt.size() ||
        !std::equal(ext.begin(), ext.end(), longExt.begin(), AliasCharacterMatches))
        return false;
    auto leads = [&](std::size_t n) {
        return longBase.size() >= n &&
               std::equal(prefix.begin(), prefix.begin() + static_cast<std::ptrdiff_t>(n),
                          longBase.begin(), AliasCharacterMatches);
    };
    if (leads(prefix.size())) return true;
    // The hashed kind: two characters of the long name, then four hexadecimal digits.
    return prefix.size() == 6 && std::all_of(prefix.begin() + 2, prefix.end(), IsHexDigit) &&
           leads(std::min<std::size_t>(2, longBase.size()));
}

std::optional<RefusedName> RefusedBesideEntries(const fs::path& folder,
                                                const std::string& nameBytes, bool shortAliases) {
    if (!shortAliases) return std::nullopt;
    const fs::path name = LocalName(nameBytes);
    if (name.u32string().find(U'~') == std::u32string::npos) return std::nullopt;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (MayBeShortAliasOf(name, it->path().filename())) return RefusedName{Msg::NameShortAlias};
    return std::nullopt;
}

fs::path LocalName(const std::string& nameBytes) {
    return Utf8Path(Cp1251ToUtf8(nameBytes));
}

fs::path StagedFile::StagingPath(const fs::path& finalPath) {
    return finalPath.parent_path() / kStagingFolderName / finalPath.filename();
}

void StagedFile::Fail(Msg what, int err) {
    FileError error(what, final_, Errno(err));
    Abandon();
    throw error;
}

void StagedFile::Begin(const fs::path& finalPath, bool keepExisting) {
    Abandon();
    final_ = finalPath;
    staging_ = StagingPath(finalPath);
    if (!FileStepGoesAhead(FileStep::CreateStaging, staging_))
        throw FileError(Msg::FileCreateStaging, final_, Refused());
    std::error_code ec;
    fs::create_directory(staging_.parent_path(), ec);
    if (ec) throw FileError(Msg::FileCreateStaging, final_, ec);
    buffer_ = std::make_unique<char[]>(kFileBufferSize);
    out_ = std::make_unique<std::ofstream>();
    out_->rdbuf()->pubsetbuf(buffer_.get(), kFileBufferSize);
    errno = 0;
    pending_ = true;
    size_ = 0;
    kept_ = 0;
    out_->open(staging_, std::ios::binary | std::ios::trunc);
    if (!*out_) Fail(Msg::FileCreateStaging, errno);
    if (!keepExisting) return;
    if (!fs::exists(finalPath, ec)) return;
    errno = 0;
    std::ifstream in(finalPath, std::ios::binary);
    if (!in) Fail(Msg::FileRead, errno);
    char chunk[8192];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        out_->write(chunk, in.gcount());
        if (!*out_) Fail(Msg::FileCopyHeld, errno);
        size_ += static_cast<std::uint64_t>(in.gcount());
    }
    if (in.bad()) Fail(Msg::FileRead, errno);
    kept_ = size_;
}

void StagedFile::WriteLine(std::string_view bytes) {
    if (!out_) return;
    out_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_->write("\r\n", 2);
    if (!*out_) Fail(Msg::FileWrite, errno);
    size_ += bytes.size() + 2;
}

void StagedFile::Write(std::string_view bytes) {
    if (!out_) return;
    out_->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!*out_) Fail(Msg::FileWrite, errno);
    size_ += bytes.size();
}

std::uint64_t StagedFile::Size() const {
    return out_ ? size_ : 0;
}

void StagedFile::CutBack(std::uint64_t size) {
    if (!out_ || size >= size_) return;
    kept_ = std::min(kept_, size);
    errno = 0;
    out_->close();
    if (out_->fail()) Fail(Msg::FileWrite, errno);
    std::error_code ec;
    fs::resize_file(staging_, size, ec);
    if (ec) Fail(Msg::FileWrite, ec.value());
    out_ = std::make_unique<std::ofstream>();
    out_->rdbuf()->pubsetbuf(buffer_.get(), kFileBufferSize);
    errno = 0;
    out_->open(staging_, std::ios::binary | std::ios::app);
    if (!*out_) Fail(Msg::FileWrite, errno);
    size_ = size;
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this == &other) return *this;
    Abandon();
    out_ = std::move(other.out_);
    buffer_ = std::move(other.buffer_);
    final_ = std::move(other.final_);
    staging_ = std::move(other.staging_);
    pending_ = std::exchange(other.pending_, false);
    size_ = std::exchange(other.size_, 0);
    kept_ = std::exchange(other.kept_, 0);
    return *this;
}

void StagedFile::Close() {
    if (!out_) return;
    if (!FileStepGoesAhead(FileStep::FinishStaging, staging_)) {
        FileError error(Msg::FileFinish, final_, Refused());
        Abandon();
        throw error;
    }
    errno = 0;
    out_->close();
    if (out_->fail()) Fail(Msg::FileFinish, errno);
    out_.reset();
    buffer_.reset();
}

void StagedFile::Commit() {
    if (!pending_) return;
    Close();
    std::error_code ec;
    if (!FileStepGoesAhead(FileStep::SyncFile, staging_)) ec = Refused();
    if (!ec) SyncFile(staging_, ec);
    if (ec) {
        FileError error(Msg::FileFinish, final_, ec);
        Abandon();
        throw error;
    }
    if (!FileStepGoesAhead(FileStep::Replace, final_)) ec = Refused();
    if (!ec) MoveFileOver(staging_, final_, ec);
    if (ec) {
        FileError error(Msg::FileReplace, final_, ec);
        Abandon();
        throw error;
    }
    pending_ = false;
    const fs::path folder = final_.parent_path();
    if (!FileStepGoesAhead(FileStep::SyncFolder, folder)) ec = Refused();
    if (!ec) SyncFolder(folder, ec);
    // The new content is in place either way; the folder is tidied before the error is told.
    RemoveStagingFolderIfEmpty(staging_.parent_path());
    if (ec) throw FileError(Msg::FileReplace, final_, ec);
}

void StagedFile::Abandon() noexcept {
    if (out_) out_->close();
    out_.reset();
    buffer_.reset();
    if (!pending_) return;
    pending_ = false;
    if (!FileStepGoesAhead(FileStep::RemoveStaging, staging_)) return;
    std::error_code ec;
    fs::remove(staging_, ec);
    RemoveStagingFolderIfEmpty(staging_.parent_path());
}

std::optional<ResumeRecord> ParseResumeRecord(std::string_view text) {
    ResumeRecord r;
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    r.name = std::string(text.substr(0, i));
    // Blanks, tabs and line ends before the number are skipped.
    while (i < text.size() &&
           (text[i] == '\r' || text[i] == '\n' || text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    std::int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > 0x7FFFFFFF) return std::nullopt;
    }
    if (i == digitsStart) return std::nullopt;
    if (i < text.size() && !std::strchr(" \t\r\n", text[i])) return std::nullopt;
    r.lines = negative ? -value : value;
    return r;
}

CountedLines CountLinesAsRecorded(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find("\r\n", i);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(i, end - i));
        i = end + 2;
    }
    CountedLines n;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        ++n.low;
        const std::string_view line = lines[k];
        if (!(line.size() >= 3 && line[2] == ':')) continue;
        // A header line: the block of values that followed it counts at least one line.
        if (k + 1 == lines.size()) {
            n.high = n.low + 1;
            return n;
        }
        if (!IsValueLine(lines[k + 1])) ++n.low;
    }
    n.high = n.low;
    return n;
}

std::int64_t ResumeLines(const fs::path& folder, const std::string& nameBytes,
                         std::int64_t recorded) {
    if (RefusedFileName(nameBytes)) return recorded;
    const fs::path file = folder / LocalName(nameBytes);
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return recorded;
    const CountedLines held = CountLinesAsRecorded(ReadWholeFile(file));
    if (recorded >= held.low && recorded <= held.high) return recorded;
    return held.low;
}

void DropStagingLeftovers(const fs::path& folder) {
    const fs::path staging = folder / kStagingFolderName;
    std::error_code ec;
    if (!fs::exists(staging, ec)) return;
    if (!FileStepGoesAhead(FileStep::RemoveStaging, staging)) return;
    fs::remove_all(staging, ec);
}

std::string ReadWholeFile(const fs::path& path) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError(Msg::FileOpen, path, Errno(errno));
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        // The stream's buffer throws where a read fails (a folder opens, and cannot be read).
        throw FileError(Msg::FileRead, path, Errno(errno));
    }
    if (in.bad()) throw FileError(Msg::FileRead, path, Errno(errno));
    return text;
}

ResumeRecord ReadResumeRecord(const fs::path& folder) {
    const fs::path path = folder / kResumeRecordName;
    const auto record = ParseResumeRecord(ReadWholeFile(path));
    if (!record || record->lines < 0) throw FileError(Msg::ResumeRecordBad, path);
    return *record;
}

StagedFile StageResumeRecord(const fs::path& folder, const std::string& name, std::int64_t lines) {
    StagedFile f;
    f.Begin(folder / kResumeRecordName, false);
    f.WriteLine(name);
    f.WriteLine(std::to_string(lines));
    f.Close();
    return f;
}

void WriteResumeRecord(const fs::path& folder, const std::string& name, std::int64_t lines) {
    StageResumeRecord(folder, name, lines).Commit();
}

std::vector<std::string> DeviceListLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    do {
        std::size_t end = i;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        lines.emplace_back(text.substr(i, end - i));
        i = end;
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    } while (i < text.size());
    return lines;
}

}  // namespace qm
