// The exported table: CSV text exactly, and the XLSX workbook read back from its sheet XML.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "store/Export.h"
#include "store/LocalFiles.h"

#ifdef QMC_TEST_XLSX
#include <minizip/unzip.h>
#endif

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("qm_export_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
        ReadDataText(
            "title\r\n"
            "14:30 05.03.2024\r\n"
            "  12.34  -0.05    -     0.00   2.50\r\n"
            "   0.07\r\n"
            "09:05 01.03.2024\r\n"
            " -123.4\r\n",
            "2024_3.dat", FileDateOf("2024_3.dat"), set);
        Finish(set);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    fs::path folder;
    DataSet set;
};

TEST(ExportText, TimesAndValuesAsTheTableShowsThem) {
    EXPECT_EQ(TableTime(*DateTime::FromCivil({2024, 3, 5, 9, 7, 3, 0})), "2024-03-05 09:07");
    EXPECT_EQ(TableValue(1234), "12.34");
    EXPECT_EQ(TableValue(-5), "-0.05");
    EXPECT_EQ(TableValue(-100), "-1.00");
    EXPECT_EQ(TableValue(0), "0.00");
    EXPECT_EQ(TableValue(32767), "327.67");
    EXPECT_EQ(TableValue(32768), "");
}

TEST_F(ExportTest, CsvHasAHeaderRowAndOneRowPerMeasurementInTimeOrder) {
    const fs::path csv = folder / "out.csv";
    std::ofstream(csv, std::ios::binary) << "old content";
    ExportCsv(set, csv);
    EXPECT_EQ(ReadWholeFile(csv),
              "time,1,2,3,4,5,6\r\n"
              "2024-03-01 09:05,-123.40,,,,,\r\n"
              "2024-03-05 14:30,12.34,-0.05,,0.00,2.50,0.07\r\n");
    EXPECT_FALSE(fs::exists(StagedFile::StagingPath(csv)));
}

TEST_F(ExportTest, AFailedExportLeavesTheFileBefore) {
    EXPECT_THROW(ExportCsv(set, folder / "absent" / "out.csv"), FileError);
    EXPECT_THROW(ExportXlsx(set, folder / "absent" / "out.xlsx"), FileError);
    EXPECT_TRUE(fs::is_empty(folder));
}

// A bare file name is a file of the working folder, as a shell user means it: written there,
// CSV and XLSX alike, with no staging folder left behind.
TEST_F(ExportTest, ABareFileNameIsWrittenInTheWorkingFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    std::string error;
    try {
        ExportCsv(set, "bare.csv");
        if (XlsxExportAvailable()) ExportXlsx(set, "bare.xlsx");
    } catch (const FileError& e) {
        error = e.Text(Language::English);
    }
    fs::current_path(before);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadWholeFile(folder / "bare.csv").substr(0, 20), "time,1,2,3,4,5,6\r\n20");
    EXPECT_EQ(fs::exists(folder / "bare.xlsx"), XlsxExportAvailable());
    EXPECT_FALSE(fs::exists(folder / kStagingFolderName));
}

// Nothing to export is said, and no file is made (or an old one changed): a table of a header
// alone, or of times without a single sensor column, is no export.
TEST_F(ExportTest, NothingToExportWritesNoFile) {
    DataSet headersOnly;
    ReadDataText("10:00 01.03.2024\r\n11:00 01.03.2024\r\n", "2024_3.dat", FileDateOf("2024_3.dat"),
                 headersOnly);
    Finish(headersOnly);
    ASSERT_EQ(headersOnly.measurements.size(), 2u);
    const DataSet none;
    for (const DataSet* empty : std::initializer_list<const DataSet*>{&headersOnly, &none}) {
        EXPECT_FALSE(HasTable(*empty));
        std::ofstream(folder / "old.csv", std::ios::binary) << "old content";
        try {
            ExportCsv(*empty, folder / "old.csv");
            ADD_FAILURE() << "an empty table was written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.Text(Language::English),
                      "\"" + PathText(folder / "old.csv") +
                          "\" not written: there is no measurement to export");
        }
        EXPECT_EQ(ReadWholeFile(folder / "old.csv"), "old content");
        EXPECT_THROW(ExportXlsx(*empty, folder / "new.xlsx"), FileError);
        EXPECT_FALSE(fs::exists(folder / "new.xlsx"));
    }
    EXPECT_TRUE(HasTable(set));
}

#ifdef QMC_TEST_XLSX

std::string ZipEntry(const fs::path& zip, const char* name) {
    unzFile z = unzOpen64(zip.string().c_str());
    if (!z) return "<not a zip file>";
    std::string text;
    if (unzLocateFile(z, name, 1) == UNZ_OK && unzOpenCurrentFile(z) == UNZ_OK) {
        char buffer[4096];
        int n;
        while ((n = unzReadCurrentFile(z, buffer, sizeof buffer)) > 0) text.append(buffer, n);
        unzCloseCurrentFile(z);
    } else {
        text = "<no entry>";
    }
    unzClose(z);
    return text;
}

// The number in a cell of the sheet XML, NaN when there is no such cell.
double CellNumber(const std::string& sheet, const std::string& ref) {
    const auto cell = sheet.find("<c r=\"" + ref + "\"");
    if (cell == std::string::npos) return std::nan("");
    const auto v = sheet.find("<v>", cell);
    const auto end = sheet.find("</c>", cell);
    if (v == std::string::npos || v > end) return std::nan("");
    return std::stod(sheet.substr(v + 3));
}

TEST_F(ExportTest, XlsxSheetHoldsTheSameTableWithTimesAsDates) {
    ASSERT_TRUE(XlsxExportAvailable());
    const fs::path xlsx = folder / "out.xlsx";
    ExportXlsx(set, xlsx);
    EXPECT_FALSE(fs::exists(StagedFile::StagingPath(xlsx)));
    const std::string sheet = ZipEntry(xlsx, "xl/worksheets/sheet1.xml");
    // Header strings are written inline; times are day numbers from 30 December 1899.
    EXPECT_NE(sheet.find("<c r=\"A1\" t=\"inlineStr\"><is><t>time</t></is></c>"), std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<c r=\"G1\" t=\"inlineStr\"><is><t>6</t></is></c>"), std::string::npos);
    // 2024-03-01 09:05 is day 45352 and 545/1440 of a day; values have style 2 ("0.00").
    EXPECT_NEAR(CellNumber(sheet, "A2"), 45352 + 545.0 / 1440.0, 1e-9);
    EXPECT_NE(sheet.find("<c r=\"A2\" s=\"1\">"), std::string::npos);
    EXPECT_EQ(CellNumber(sheet, "B2"), -123.4);
    EXPECT_NE(sheet.find("<c r=\"B2\" s=\"2\">"), std::string::npos);
    EXPECT_TRUE(std::isnan(CellNumber(sheet, "C2"))) << "a missing value is no cell";
    EXPECT_EQ(CellNumber(sheet, "C3"), -0.05);
    EXPECT_TRUE(std::isnan(CellNumber(sheet, "D3")));
    EXPECT_EQ(CellNumber(sheet, "G3"), 0.07);
    EXPECT_EQ(sheet.find("r=\"A4\""), std::string::npos);
    // The time cells carry a date format.
    const std::string styles = ZipEntry(xlsx, "xl/styles.xml");
    EXPECT_NE(styles.find("formatCode=\"yyyy-mm-dd hh:mm\""), std::string::npos) << styles;
}

#endif

}  // namespace
}  // namespace qm::test
