#include "store/Export.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "store/LocalFiles.h"
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

bool HasTable(const DataSet& set) {
    return !set.measurements.empty() && set.sensorCount > 0;
}

void ExportCsv(const DataSet& set, const fs::path& file) {
    if (!HasTable(set)) throw FileError(Msg::ExportEmpty, file);
    StagedFile out;
    out.Begin(file, false);
    std::string line = "time";
    for (std::size_t s = 1; s <= set.sensorCount; ++s) line += "," + std::to_string(s);
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

#ifdef QMC_HAVE_XLSX

bool XlsxExportAvailable() {
    return true;
}

void ExportXlsx(const DataSet& set, const fs::path& file) {
    // The library leaves the system's reason, where there is one, in errno.
    const auto fail = [&](std::error_code why = {}) {
        if (!why && errno != 0) why = std::error_code(errno, std::generic_category());
        throw FileError(Msg::WorkbookFailed, file, why);
    };
    if (!HasTable(set)) throw FileError(Msg::ExportEmpty, file);
    // A sheet holds 1,048,576 rows, the header row among them.
    if (set.measurements.size() >= 1'048'576u) throw FileError(Msg::SheetTooManyRows, file);
    errno = 0;

    const fs::path staging = StagedFile::StagingPath(file);
    const std::string stagingName = PathText(staging);
    {
        std::error_code made;
        fs::create_directory(staging.parent_path(), made);
        if (made) throw FileError(Msg::FileCreateStaging, file, made);
    }
    // The staging folder goes again once the workbook has left it, whichever way.
    struct FolderGoes {
        fs::path folder;
        ~FolderGoes() {
            std::error_code ignored;
            if (fs::is_empty(folder, ignored) && !ignored) fs::remove(folder, ignored);
        }
    } folderGoes{staging.parent_path()};
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go straight to disk, in order
    lxw_workbook* book = workbook_new_opt(stagingName.c_str(), &options);
    if (!book) fail();
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm");
    lxw_format* valueFormat = workbook_add_format(book);
    format_set_num_format(valueFormat, "0.00");
    worksheet_set_column(sheet, 0, 0, 17, nullptr);

    lxw_error error = worksheet_write_string(sheet, 0, 0, "time", nullptr);
    for (std::size_t s = 1; s <= set.sensorCount && error == LXW_NO_ERROR; ++s) {
        error = worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(s),
                                       std::to_string(s).c_str(), nullptr);
    }
    for (std::size_t i = 0; i < set.measurements.size() && error == LXW_NO_ERROR; ++i) {
        const auto row = static_cast<lxw_row_t>(i + 1);
        // The spreadsheet's dates count days from 30 December 1899, as the program's do.
        error = worksheet_write_number(sheet, row, 0, set.measurements[i].time.Days(), timeFormat);
        for (std::size_t s = 0; s < set.sensorCount && error == LXW_NO_ERROR; ++s) {
            const std::int32_t v = set.Value(i, s);
            if (v == kMissingValue) continue;
            error = worksheet_write_number(sheet, row, static_cast<lxw_col_t>(s + 1), v / 100.0,
                                           valueFormat);
        }
    }
    const lxw_error closed = workbook_close(book);
    if (error == LXW_NO_ERROR) error = closed;
    std::error_code ec;
    if (error != LXW_NO_ERROR) {
        fs::remove(staging, ec);
        fail();
    }
    fs::rename(staging, file, ec);
    if (ec) {
        const std::error_code why = ec;
        fs::remove(staging, ec);
        throw FileError(Msg::FileReplace, file, why);
    }
}

#else

bool XlsxExportAvailable() {
    return false;
}

void ExportXlsx(const DataSet&, const fs::path& file) {
    throw FileError(Msg::XlsxNotBuilt, file);
}

#endif

}  // namespace qm
