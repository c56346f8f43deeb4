#include "store/DataSet.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"
#include "store/ValueLines.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two characters as a number: two digits, or a blank and a digit.
std::optional<int> TwoDigits(std::string_view s, std::size_t at) {
    if (s.size() < at + 2 || !IsDigit(s[at + 1])) return std::nullopt;
    if (s[at] != ' ' && !IsDigit(s[at])) return std::nullopt;
    return (s[at] == ' ' ? 0 : s[at] - '0') * 10 + (s[at + 1] - '0');
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

struct Header {
    int hour = 0, minute = 0, day = 0;
    std::optional<int> month, year;
    std::string_view rest;
};

// "hh:mm dd" and, when the header carries them, ".mm.yyyy"; what follows is free text.
std::optional<Header> ParseHeader(std::string_view line) {
    Header h;
    const auto hour = TwoDigits(line, 0);
    const auto minute = TwoDigits(line, 3);
    const auto day = TwoDigits(line, 6);
    if (!hour || !minute || !day || line[3] == ' ' || line[5] != ' ') return std::nullopt;
    h.hour = *hour;
    h.minute = *minute;
    h.day = *day;
    std::size_t restAt = 8;
    if (line.size() >= 16 && line[8] == '.' && line[11] == '.' &&
        std::all_of(line.begin() + 12, line.begin() + 16, IsDigit)) {
        if (const auto month = TwoDigits(line, 9)) {
            h.month = *month;
            h.year = std::stoi(std::string(line.substr(12, 4)));
            restAt = 16;
        }
    }
    h.rest = Trim(line.substr(std::min(restAt, line.size())));
    return h;
}

// A field: "   -  " for no value, otherwise blanks, an optional '-', digits and a point with up to
// two decimals (a field cut to six characters, as "-123.4", has fewer).
std::optional<std::int32_t> ParseField(std::string_view f) {
    if (f == "   -  ") return kMissingValue;
    std::size_t i = 0;
    while (i < f.size() && f[i] == ' ') ++i;
    const bool negative = i < f.size() && f[i] == '-';
    if (negative) ++i;
    std::int32_t whole = 0;
    std::size_t digits = 0;
    for (; i < f.size() && IsDigit(f[i]); ++i, ++digits) whole = whole * 10 + (f[i] - '0');
    if (digits == 0 || i == f.size() || f[i] != '.') return std::nullopt;
    ++i;
    std::int32_t cents = 0;
    std::size_t decimals = 0;
    for (; i < f.size() && IsDigit(f[i]) && decimals < 2; ++i, ++decimals)
        cents = cents * 10 + (f[i] - '0');
    if (i != f.size()) return std::nullopt;
    if (decimals == 1) cents *= 10;
    const std::int32_t v = whole * 100 + cents;
    return negative ? -v : v;
}

// A field read on its own, as blanks cut it out of a line whose layout is broken: a value text
// of at most six characters, or the missing-value mark's hyphen.
std::optional<std::int32_t> ParseToken(std::string_view token) {
    if (token == "-") return kMissingValue;
    if (token.size() > 6) return std::nullopt;
    const std::string field = std::string(6 - token.size(), ' ') + std::string(token);
    return ParseField(field);
}

// The values of a value line; a field that is no value is counted as missing.
struct ValueFields {
    std::vector<std::int32_t> values;
    bool damaged = false;
    std::size_t readEnd = 0;  // after the last field that reads (a value or the mark)
};

// A value line is a blank and six characters per field. On that layout each field is read in its
// place, so one damaged field costs that field only. Off the layout (a field too short or too
// long) the fields are what blanks separate, each field starting with one; such a line is damaged
// even when every field reads. A line starting with a blank that holds no value at all is no
// value line: nothing.
std::optional<ValueFields> ParseValueLine(std::string_view line) {
    if (line.empty() || line[0] != ' ') return std::nullopt;
    if (line.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
    ValueFields out;
    bool onLayout = line.size() % 7 == 0;
    for (std::size_t i = 0; onLayout && i < line.size(); i += 7) onLayout = line[i] == ' ';
    if (onLayout) {
        for (std::size_t i = 0; i < line.size(); i += 7) {
            const auto v = ParseField(line.substr(i + 1, 6));
            out.damaged = out.damaged || !v;
            out.values.push_back(v.value_or(kMissingValue));
            if (v) out.readEnd = out.values.size();
        }
        return out;
    }
    out.damaged = true;
    bool anyValue = false;
    while (true) {
        const std::size_t from = line.find_first_not_of(' ');
        if (from == std::string_view::npos) break;
        line.remove_prefix(from);
        const std::size_t end = std::min(line.find(' '), line.size());
        const auto v = ParseToken(line.substr(0, end));
        anyValue = anyValue || v.has_value();
        out.values.push_back(v.value_or(kMissingValue));
        if (v) out.readEnd = out.values.size();
        line.remove_prefix(end);
    }
    if (!anyValue) return std::nullopt;
    return out;
}

constexpr std::size_t kDuplicateWindow = 8;

void AddIssue(DataSet& set, const fs::path& file, std::size_t line, ReadProblem problem) {
    ++set.issueCount;
    if (set.issues.size() < kIssueLimit) set.issues.push_back({file, line, problem});
}

// Builds the measurements of one file line by line.
class FileReader {
public:
    FileReader(const fs::path& name, std::optional<FileDate> date, DataSet& set)
        : name_(name), date_(date), set_(set) {}

    void Line(std::string_view line, std::size_t number) {
        if (line.size() >= 3 && line[2] == ':') return StartMeasurement(line, number);
        if (const auto fields = ParseValueLine(line)) {
            if (strayCount_ > 0) {
                // Values go on after it: the line was damage inside the block, not a note.
                for (std::size_t k = 0; k < strayCount_; ++k)
                    AddIssue(set_, name_, strayFirst_ + k, ReadProblem::StrayLine);
                strayCount_ = 0;
            }
            return ValueLine(*fields, number);
        }
        // Right after a header, or after a full value line, the block may go on: whether this
        // line is a note after the values or damage among them, the next line tells.
        if (open_ && (lastWasFull_ || set_.measurements.back().count == 0)) {
            if (strayCount_ == 0) strayFirst_ = number;
            ++strayCount_;
            return;
        }
        // A note (a title, a remark) ends the values of the measurement before it.
        Close();
        skipping_ = false;
    }

    void Close() {
        DropStrayLines();
        if (!open_) return;
        Measurement& m = set_.measurements.back();
        m.count = realCount_;
        set_.values.resize(m.first + m.count);
        open_ = false;
    }

private:
    // Lines held back were notes after the block: it ends with them.
    void DropStrayLines() {
        if (strayCount_ > 0) {
            strayCount_ = 0;
            Close();
        }
    }

    void StartMeasurement(std::string_view line, std::size_t number) {
        Close();
        skipping_ = true;
        orphanReported_ = false;
        const auto h = ParseHeader(line);
        if (!h) return AddIssue(set_, name_, number, ReadProblem::BadHeader);
        int month = h->month.value_or(0);
        int year = h->year.value_or(0);
        if (!h->month) {
            if (!date_) return AddIssue(set_, name_, number, ReadProblem::NoMonthAndYear);
            month = date_->month;
            year = date_->year;
        }
        const auto time = DateTime::FromCivil({year, month, h->day, h->hour, h->minute, 0, 0});
        if (!time) return AddIssue(set_, name_, number, ReadProblem::BadHeader);
        Measurement m;
        m.time = *time;
        m.text = Cp1251ToUtf8(h->rest);
        m.first = static_cast<std::uint32_t>(set_.values.size());
        m.file = static_cast<std::uint32_t>(set_.files.size() - 1);
        m.line = static_cast<std::uint32_t>(number);
        set_.measurements.push_back(std::move(m));
        open_ = true;
        skipping_ = false;
        realCount_ = 0;
        shortLine_ = 0;
        lastWasFull_ = false;
        overflowReported_ = false;
    }

    void ValueLine(const ValueFields& fields, std::size_t number) {
        const std::vector<std::int32_t>& values = fields.values;
        if (!open_) {
            // Values under a header that could not be read were reported with the header.
            if (!skipping_ && !orphanReported_) {
                AddIssue(set_, name_, number, ReadProblem::ValuesWithoutHeader);
                orphanReported_ = true;
            }
            return;
        }
        PadShortLine();
        lastWasFull_ = true;
        if (values.size() > kValuesPerLine) {
            AddIssue(set_, name_, number, ReadProblem::LongValueLine);
            Append(std::vector<std::int32_t>(kValuesPerLine, kMissingValue), 0);
            return;
        }
        if (fields.damaged) AddIssue(set_, name_, number, ReadProblem::DamagedValueLine);
        Append(values, fields.readEnd);
        if (values.size() < kValuesPerLine) {
            shortLine_ = number;
            shortCount_ = values.size();
            lastWasFull_ = false;
        }
    }

    // Only a block's last line may be short: one with value lines after it lost values, and
    // those after it keep their sensor numbers when the gap is counted as missing.
    void PadShortLine() {
        if (shortLine_ == 0) return;
        AddIssue(set_, name_, shortLine_, ReadProblem::ShortValueLine);
        Append(std::vector<std::int32_t>(kValuesPerLine - shortCount_, kMissingValue), 0);
        shortLine_ = 0;
    }

    // The first `real` values are the measurement's sensors; the others (padding, fields that
    // could not be read at the end of a block) are no sensor of it unless real ones follow.
    void Append(const std::vector<std::int32_t>& values, std::size_t real) {
        Measurement& m = set_.measurements.back();
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (m.count >= kMaxSensors) {
                if (!overflowReported_) AddIssue(set_, name_, 0, ReadProblem::TooManyValues);
                overflowReported_ = true;
                return;
            }
            set_.values.push_back(values[k]);
            ++m.count;
            if (k < real) realCount_ = m.count;
        }
    }

    const fs::path& name_;
    std::optional<FileDate> date_;
    DataSet& set_;
    bool open_ = false;
    bool skipping_ = false;
    bool orphanReported_ = false;
    bool overflowReported_ = false;
    std::uint32_t realCount_ = 0;
    std::size_t shortLine_ = 0;
    std::size_t shortCount_ = 0;
    bool lastWasFull_ = false;
    std::size_t strayFirst_ = 0;  // the first of the lines held back, a run of them
    std::size_t strayCount_ = 0;
};

bool HasDatExtension(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".dat";
}

void ReadFile(const fs::path& path, DataSet& set) {
    const fs::path name = path.filename();
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return AddIssue(set, name, 0, ReadProblem::Unreadable);
    if (size > kMaxDataFileBytes) return AddIssue(set, name, 0, ReadProblem::FileTooLarge);
    std::string text;
    try {
        text = ReadWholeFile(path);
    } catch (const FileError&) {
        return AddIssue(set, name, 0, ReadProblem::Unreadable);
    }
    ReadDataText(text, name, FileDateOf(PathText(name)), set);
}

}  // namespace

std::int32_t DataSet::Value(std::size_t i, std::size_t s) const {
    const Measurement& m = measurements[i];
    return s < m.count ? values[m.first + s] : kMissingValue;
}

std::optional<FileDate> FileDateOf(std::string_view fileName) {
    // Numbers in decimal without leading zeros, separated by '_', then ".dat".
    constexpr std::string_view kExt = ".dat";
    if (fileName.size() <= kExt.size()) return std::nullopt;
    std::string ext(fileName.substr(fileName.size() - kExt.size()));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != kExt) return std::nullopt;
    std::string_view stem = fileName.substr(0, fileName.size() - kExt.size());
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (!stem.empty()) {
        if (count == 3) return std::nullopt;
        const std::size_t end = std::min(stem.find('_'), stem.size());
        const std::string_view part = stem.substr(0, end);
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), IsDigit))
            return std::nullopt;
        parts[count++] = std::stoi(std::string(part));
        stem.remove_prefix(end);
        if (!stem.empty()) {
            stem.remove_prefix(1);
            if (stem.empty()) return std::nullopt;
        }
    }
    if (count < 2 || parts[1] < 1 || parts[1] > 12) return std::nullopt;
    if (count == 3 && !IsValidDate(parts[0], parts[1], parts[2])) return std::nullopt;
    return FileDate{parts[0], parts[1], count == 3 ? parts[2] : 0};
}

void ReadDataText(std::string_view text, const fs::path& name, std::optional<FileDate> date,
                  DataSet& set) {
    set.files.push_back(name);
    FileReader reader(name, date, set);
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        reader.Line(line, ++number);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    reader.Close();
}

void Finish(DataSet& set) {
    std::vector<std::size_t> order(set.measurements.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return set.measurements[a].time < set.measurements[b].time;
    });

    // Rebuilt in time order, so that the values of neighbouring measurements lie together.
    std::vector<Measurement> measurements;
    std::vector<std::int32_t> values;
    measurements.reserve(order.size());
    values.reserve(set.values.size());
    set.sensorCount = 0;
    std::size_t sameTimeFrom = 0;  // first kept measurement with the time of the last one
    for (std::size_t i : order) {
        Measurement& m = set.measurements[i];
        const auto mine = set.ValuesOf(m);
        if (!measurements.empty() && measurements.back().time == m.time) {
            // A day file's copy lies next to its month's; looking further back would make a file
            // of many headers of one time quadratic.
            bool duplicate = false;
            const std::size_t from = std::max(
                sameTimeFrom,
                measurements.size() - std::min<std::size_t>(measurements.size(), kDuplicateWindow));
            for (std::size_t k = from; k < measurements.size() && !duplicate; ++k) {
                const auto kept = std::span<const std::int32_t>(values).subspan(
                    measurements[k].first, measurements[k].count);
                duplicate = std::equal(kept.begin(), kept.end(), mine.begin(), mine.end());
            }
            if (duplicate) continue;  // the same measurement in a day file and its month
            AddIssue(set, set.files[m.file], m.line, ReadProblem::SameTimeDiffers);
        } else {
            sameTimeFrom = measurements.size();
        }
        Measurement kept = std::move(m);
        kept.first = static_cast<std::uint32_t>(values.size());
        values.insert(values.end(), mine.begin(), mine.end());
        set.sensorCount = std::max<std::size_t>(set.sensorCount, kept.count);
        measurements.push_back(std::move(kept));
    }
    set.measurements = std::move(measurements);
    set.values = std::move(values);
}

DataSet ReadDataSet(const fs::path& folderOrFile) {
    DataSet set;
    std::error_code ec;
    const auto status = fs::status(folderOrFile, ec);
    if (ec || !fs::exists(status)) throw FileError(Msg::DataSetMissing, folderOrFile);
    if (fs::is_regular_file(status)) {
        // A file named on its own must be readable: it is all there is.
        const auto size = fs::file_size(folderOrFile, ec);
        if (!ec && size > kMaxDataFileBytes) throw FileError(Msg::DataFileTooLarge, folderOrFile);
        const std::string text = ReadWholeFile(folderOrFile);
        const fs::path name = folderOrFile.filename();
        ReadDataText(text, name, FileDateOf(PathText(name)), set);
        Finish(set);
        return set;
    }
    std::vector<fs::path> files;
    fs::directory_iterator it(folderOrFile, ec);
    if (ec) throw FileError(Msg::FolderList, folderOrFile, ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw FileError(Msg::FolderList, folderOrFile, ec);
        std::error_code typeError;
        if (it->is_regular_file(typeError) && HasDatExtension(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) ReadFile(f, set);
    Finish(set);
    return set;
}

std::string IssueText(const ReadIssue& issue, Language language) {
    const bool english = language == Language::English;
    std::string_view what;
    switch (issue.problem) {
        case ReadProblem::BadHeader:
            what = english ? "unreadable measurement header; its values skipped"
                           : "нечитаемый заголовок измерения; его значения пропущены";
            break;
        case ReadProblem::NoMonthAndYear:
            what = english
                       ? "the header has no month and year and the file name gives none; "
                         "measurement skipped"
                       : "в заголовке нет месяца и года, имя файла их не даёт; измерение пропущено";
            break;
        case ReadProblem::ValuesWithoutHeader:
            what = english ? "values without a measurement header skipped"
                           : "значения без заголовка измерения пропущены";
            break;
        case ReadProblem::DamagedValueLine:
            what = english ? "damaged value line; what cannot be read in it taken as missing"
                           : "повреждённая строка значений; нечитаемое в ней считается "
                             "отсутствующим";
            break;
        case ReadProblem::StrayLine:
            what = english ? "a line that is no value line among the values; skipped"
                           : "строка среди значений, не являющаяся строкой значений; пропущена";
            break;
        case ReadProblem::ShortValueLine:
            what = english ? "short value line inside a measurement; the values it lacks taken as "
                             "missing"
                           : "короткая строка значений внутри измерения; недостающие значения "
                             "считаются отсутствующими";
            break;
        case ReadProblem::LongValueLine:
            what = english
                       ? "value line too long; its values taken as missing"
                       : "слишком длинная строка значений; её значения считаются отсутствующими";
            break;
        case ReadProblem::TooManyValues:
            what = english ? "more than 255 values in a measurement; the rest skipped"
                           : "больше 255 значений в измерении; лишние пропущены";
            break;
        case ReadProblem::SameTimeDiffers:
            what = english ? "two different measurements at the same time; both kept"
                           : "два разных измерения с одним временем; оставлены оба";
            break;
        case ReadProblem::FileTooLarge:
            what = english ? "file too large; skipped" : "файл слишком велик; пропущен";
            break;
        case ReadProblem::Unreadable:
            what = english ? "file cannot be read; skipped" : "файл не читается; пропущен";
            break;
    }
    std::string text;
    if (!issue.file.empty()) text = PathText(issue.file) + ":";
    if (issue.line > 0) text += std::to_string(issue.line) + ":";
    if (!text.empty()) text += ' ';
    text += what;
    return text;
}

}  // namespace qm
