#include "store/Export.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <system_error>

#include "store/Health.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"

#ifdef QMC_HAVE_XLSX
#include <xlsxwriter.h>
#endif

namespace qm {

namespace fs = std::filesystem;

std::string TableTime(DateTime t) {
    const CivilDateTime c = t.ToCivil();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    return text;
}

namespace {

// Appends the value's text to `out` (nothing for a missing value).
void AppendValue(std::string& out, std::int32_t value) {
    if (value == kMissingValue) return;
    const std::int32_t magnitude = std::abs(value);
    if (value < 0) out += '-';
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude / 100).ptr;
    out.append(digits, end);
    out += '.';
    out += static_cast<char>('0' + magnitude % 100 / 10);
    out += static_cast<char>('0' + magnitude % 10);
}

}  // namespace

std::string TableValue(std::int32_t value) {
    std::string text;
    AppendValue(text, value);
    return text;
}

std::string ColumnName(const SensorTable& table, std::size_t sensor) {
    const SensorInfo* info = table.Find(sensor);
    return info && !info->label.empty() ? info->label : std::to_string(sensor);
}

bool HasTable(const DataSet& set) {
    return !set.measurements.empty() && set.sensorCount > 0;
}

namespace {

// A CSV field: as it is, or quoted with its quotes doubled when it holds a separator.
void AppendField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

void ExportCsv(const DataSet& set, const SensorTable& table, const fs::path& file) {
    if (!HasTable(set)) throw FileError(Msg::ExportEmpty, file);
    StagedFile out;
    out.Begin(file, false);
    std::string line = "time";
    for (std::size_t s = 1; s <= set.sensorCount; ++s) {
        line += ',';
        AppendField(line, ColumnName(table, s));
    }
    out.WriteLine(line);
    for (std::size_t i = 0; i < set.measurements.size(); ++i) {
        line = TableTime(set.measurements[i].time);
        for (std::size_t s = 0; s < set.sensorCount; ++s) {
            line += ',';
            AppendValue(line, set.Value(i, s));
        }
        out.WriteLine(line);
    }
    out.Commit();
}

LibraryStagedFile::LibraryStagedFile(fs::path file)
    : file_(std::move(file)), staging_(StagedFile::StagingPath(file_)) {
    std::error_code made;
    fs::create_directory(staging_.parent_path(), made);
    if (made) throw FileError(Msg::FileCreateStaging, file_, made);
}

LibraryStagedFile::~LibraryStagedFile() {
    std::error_code ignored;
    if (!finished_) fs::remove(staging_, ignored);
    const fs::path folder = staging_.parent_path();
    if (fs::is_empty(folder, ignored) && !ignored) fs::remove(folder, ignored);
}

void LibraryStagedFile::Finish() {
    std::error_code ec;
    fs::rename(staging_, file_, ec);
    if (ec) throw FileError(Msg::FileReplace, file_, ec);
    finished_ = true;
}

#ifdef QMC_HAVE_XLSX

bool XlsxExportAvailable() {
    return true;
}

namespace {

// A sheet holds 1,048,576 rows, the header row among them.
constexpr std::size_t kSheetRows = 1'048'576u;

// Rows of one sheet, written in order; the first failure of the library is kept and later
// writes do nothing.
class SheetWriter {
public:
    SheetWriter(lxw_worksheet* sheet, lxw_error& error) : sheet_(sheet), error_(error) {}
    void Text(lxw_row_t row, lxw_col_t col, const std::string& text) {
        if (error_ == LXW_NO_ERROR && !text.empty())
            error_ = worksheet_write_string(sheet_, row, col, text.c_str(), nullptr);
    }
    void Number(lxw_row_t row, lxw_col_t col, std::optional<double> value, lxw_format* format) {
        if (error_ == LXW_NO_ERROR && value)
            error_ = worksheet_write_number(sheet_, row, col, *value, format);
    }
    void Header(std::initializer_list<const char*> names) {
        lxw_col_t col = 0;
        for (const char* name : names) Text(0, col++, name);
    }

private:
    lxw_worksheet* sheet_;
    lxw_error& error_;
};

std::string FlagText(unsigned flags) {
    std::string text;
    for (const std::string_view word : FlagWords(flags)) {
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

}  // namespace

void ExportXlsx(const DataSet& set, const SensorTable& table, const fs::path& file) {
    // The library leaves the system's reason, where there is one, in errno.
    const auto fail = [&](std::error_code why = {}) {
        if (!why && errno != 0) why = std::error_code(errno, std::generic_category());
        throw FileError(Msg::WorkbookFailed, file, why);
    };
    if (!HasTable(set)) throw FileError(Msg::ExportEmpty, file);
    if (set.measurements.size() >= kSheetRows) throw FileError(Msg::SheetTooManyRows, file);

    // The sensors and their flagged values over the whole data set.
    const Period whole = PeriodOf(set, {}, {});
    const Summary summary = Summarize(set, table, whole);
    const Health health = AssessHealth(set, whole, table, summary.sensors.size());
    std::size_t flagged = 0;
    for (const ValueFlag f : health.valueFlags) flagged += f != ValueFlag::None ? 1 : 0;
    if (flagged >= kSheetRows) throw FileError(Msg::SheetTooManyRows, file);
    errno = 0;

    LibraryStagedFile staged(file);
    const std::string stagingName = PathText(staged.Staging());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go straight to disk, in order
    lxw_workbook* book = workbook_new_opt(stagingName.c_str(), &options);
    if (!book) fail();
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_worksheet* sensorSheet = workbook_add_worksheet(book, "sensors");
    lxw_worksheet* flagSheet = workbook_add_worksheet(book, "flags");
    lxw_format* timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm");
    lxw_format* valueFormat = workbook_add_format(book);
    format_set_num_format(valueFormat, "0.00");
    lxw_format* shareFormat = workbook_add_format(book);
    format_set_num_format(shareFormat, "0.0%");
    lxw_format* meanFormat = workbook_add_format(book);
    format_set_num_format(meanFormat, "0.000");
    lxw_error error = LXW_NO_ERROR;
    if (!sheet || !sensorSheet || !flagSheet || !timeFormat || !valueFormat || !shareFormat ||
        !meanFormat)
        error = LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (error == LXW_NO_ERROR) {
        worksheet_set_column(sheet, 0, 0, 17, nullptr);
        worksheet_set_column(sensorSheet, 2, 2, 20, nullptr);
        worksheet_set_column(sensorSheet, 7, 7, 20, nullptr);
        worksheet_set_column(flagSheet, 0, 0, 17, nullptr);
    }

    SheetWriter rows(sheet, error);
    rows.Text(0, 0, "time");
    for (std::size_t s = 1; s <= set.sensorCount; ++s)
        rows.Text(0, static_cast<lxw_col_t>(s), ColumnName(table, s));
    for (std::size_t i = 0; i < set.measurements.size() && error == LXW_NO_ERROR; ++i) {
        const auto row = static_cast<lxw_row_t>(i + 1);
        // The spreadsheet's dates count days from 30 December 1899, as the program's do.
        rows.Number(row, 0, set.measurements[i].time.Days(), timeFormat);
        for (std::size_t s = 0; s < set.sensorCount; ++s) {
            const std::int32_t v = set.Value(i, s);
            if (v != kMissingValue)
                rows.Number(row, static_cast<lxw_col_t>(s + 1), v / 100.0, valueFormat);
        }
    }

    SheetWriter sensors(sensorSheet, error);
    sensors.Header({"sensor", "depth_m", "label", "completeness", "min", "max", "mean", "flags"});
    for (std::size_t k = 0; k < summary.sensors.size(); ++k) {
        const SensorSummary& s = summary.sensors[k];
        const auto row = static_cast<lxw_row_t>(k + 1);
        sensors.Number(row, 0, static_cast<double>(s.sensor), nullptr);
        sensors.Number(row, 1, s.depthMetres, nullptr);
        sensors.Text(row, 2, s.label);
        sensors.Number(row, 3, s.completeness, shareFormat);
        sensors.Number(row, 4, s.min, valueFormat);
        sensors.Number(row, 5, s.max, valueFormat);
        sensors.Number(row, 6, s.mean, meanFormat);
        sensors.Text(row, 7, FlagText(s.flags));
    }

    SheetWriter flags(flagSheet, error);
    flags.Header({"time", "sensor", "value", "flag"});
    lxw_row_t row = 0;
    for (std::size_t i = whole.first; i < whole.end && error == LXW_NO_ERROR; ++i) {
        for (std::size_t s = 0; s < health.sensorCount; ++s) {
            const ValueFlag f = health.FlagOf(i, s);
            if (f == ValueFlag::None) continue;
            ++row;
            flags.Number(row, 0, set.measurements[i].time.Days(), timeFormat);
            flags.Number(row, 1, static_cast<double>(s + 1), nullptr);
            flags.Number(row, 2, set.Value(i, s) / 100.0, valueFormat);
            flags.Text(row, 3,
                       f == ValueFlag::Spike   ? "spike"
                       : f == ValueFlag::Range ? "range"
                                               : "stuck");
        }
    }

    const lxw_error closed = workbook_close(book);
    if (error == LXW_NO_ERROR) error = closed;
    if (error != LXW_NO_ERROR) fail();
    staged.Finish();
}

#else

bool XlsxExportAvailable() {
    return false;
}

void ExportXlsx(const DataSet&, const SensorTable&, const fs::path& file) {
    throw FileError(Msg::XlsxNotBuilt, file);
}

#endif

}  // namespace qm
