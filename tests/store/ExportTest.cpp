// The exports: CSV text exactly, the XLSX workbook read back from its sheet XML, the NetCDF file
// read back through the netCDF library; over a string where one sensor is dead, one stuck and one
// spikes, each agrees with the data set and with the summary of its sensors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <type_traits>
#include <vector>

#include "store/Export.h"
#include "store/Health.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/SensorTable.h"
#include "store/Summary.h"
#include "store/ValueLines.h"
#include "tests/support/FailingYear.h"

#ifdef QMC_TEST_XLSX
#include <minizip/unzip.h>
#endif
#ifdef QMC_TEST_NETCDF
#include <netcdf.h>
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
    ExportCsv(set, {}, csv);
    EXPECT_EQ(ReadWholeFile(csv),
              "time,1,2,3,4,5,6\r\n"
              "2024-03-01 09:05,-123.40,,,,,\r\n"
              "2024-03-05 14:30,12.34,-0.05,,0.00,2.50,0.07\r\n");
    EXPECT_FALSE(fs::exists(StagedFile::StagingPath(csv)));
}

TEST_F(ExportTest, AFailedExportLeavesTheFileBefore) {
    EXPECT_THROW(ExportCsv(set, {}, folder / "absent" / "out.csv"), FileError);
    EXPECT_THROW(ExportXlsx(set, {}, folder / "absent" / "out.xlsx"), FileError);
    EXPECT_THROW(ExportNetcdf(set, {}, "x", folder / "absent" / "out.nc"), FileError);
    EXPECT_TRUE(fs::is_empty(folder));
}

// A bare file name is a file of the working folder, as a shell user means it: written there,
// CSV and XLSX alike, with no staging folder left behind.
TEST_F(ExportTest, ABareFileNameIsWrittenInTheWorkingFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    std::string error;
    try {
        ExportCsv(set, {}, "bare.csv");
        if (XlsxExportAvailable()) ExportXlsx(set, {}, "bare.xlsx");
        if (NetcdfExportAvailable()) ExportNetcdf(set, {}, "bare", "bare.nc");
    } catch (const FileError& e) {
        error = e.Text(Language::English);
    }
    fs::current_path(before);
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadWholeFile(folder / "bare.csv").substr(0, 20), "time,1,2,3,4,5,6\r\n20");
    EXPECT_EQ(fs::exists(folder / "bare.xlsx"), XlsxExportAvailable());
    EXPECT_EQ(fs::exists(folder / "bare.nc"), NetcdfExportAvailable());
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
            ExportCsv(*empty, {}, folder / "old.csv");
            ADD_FAILURE() << "an empty table was written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.Text(Language::English),
                      "\"" + PathText(folder / "old.csv") +
                          "\" not written: there is no measurement to export");
        }
        EXPECT_EQ(ReadWholeFile(folder / "old.csv"), "old content");
        EXPECT_THROW(ExportXlsx(*empty, {}, folder / "new.xlsx"), FileError);
        EXPECT_FALSE(fs::exists(folder / "new.xlsx"));
        EXPECT_THROW(ExportNetcdf(*empty, {}, "x", folder / "new.nc"), FileError);
        EXPECT_FALSE(fs::exists(folder / "new.nc"));
        EXPECT_FALSE(fs::exists(folder / kStagingFolderName));
    }
    EXPECT_TRUE(HasTable(set));
}

// Forty hourly readings of a string of four sensors: 1 warms steadily, 2 is stuck on 2.50 while
// its neighbours move, 3 cools with a spike at 10:00 and a reading out of range at 20:00 (and
// none at 05:00), 4 is dead. The sensor table places them and names three.
constexpr std::size_t kReadings = 40;

std::string FlagWord(ValueFlag f) {
    return f == ValueFlag::Spike ? "spike" : f == ValueFlag::Range ? "range" : "stuck";
}
constexpr std::int32_t M = kMissingValue;

DataSet FailingString() {
    DataSet set;
    set.sensorCount = 4;
    for (std::size_t i = 0; i < kReadings; ++i) {
        Measurement m;
        m.time = *DateTime::FromDate(2024, 1, 1) +
                 DateTime::FromMilliseconds(static_cast<std::int64_t>(i) * DateTime::kMsPerHour);
        m.first = static_cast<std::uint32_t>(set.values.size());
        m.count = 4;
        const auto n = static_cast<std::int32_t>(i);
        std::int32_t third = -50 - 5 * n;
        if (i == 5) third = M;
        if (i == 10) third = 3000;
        if (i == 20) third = 7000;
        set.values.insert(set.values.end(), {100 + 10 * n, 250, third, M});
        set.measurements.push_back(m);
    }
    return set;
}

constexpr const char* kFailingTable =
    "sensor,depth_m,label\n1,0.5,T1\n2,1.0,\"T, 2\"\n3,2.0,\n4,3.5,deep\n";

class FailingStringExport : public ExportTest {
protected:
    const DataSet failing = FailingString();
    const SensorTable table = ParseSensorTable(kFailingTable);
    const Summary summary = Summarize(failing, table, PeriodOf(failing, {}, {}));
    const Health health = AssessHealth(failing, PeriodOf(failing, {}, {}), table, 4);
};

TEST_F(FailingStringExport, TheSetHasADeadAStuckAndASpikingSensor) {
    ASSERT_TRUE(table.issues.empty());
    ASSERT_EQ(summary.sensors.size(), 4u);
    EXPECT_EQ(summary.sensors[0].flags, 0u);
    EXPECT_EQ(summary.sensors[1].flags, unsigned{kStuck});
    EXPECT_EQ(summary.sensors[2].flags, unsigned{kSpikes | kRange});
    EXPECT_EQ(summary.sensors[3].flags, unsigned{kDead});
    EXPECT_EQ(health.FlagOf(10, 2), ValueFlag::Spike);
    EXPECT_EQ(health.FlagOf(20, 2), ValueFlag::Range);
}

// The header names a sensor by its label, quoted when it holds a comma, and by its number when
// the table gives it none; flagged values stay as the logger read them.
TEST_F(FailingStringExport, CsvHeaderUsesTheLabelsAndKeepsFlaggedValues) {
    const fs::path csv = folder / "labels.csv";
    ExportCsv(failing, table, csv);
    const std::string text = ReadWholeFile(csv);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "time,T1,\"T, 2\",3,deep");
    EXPECT_NE(text.find("\r\n2024-01-01 10:00,2.00,2.50,30.00,\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n2024-01-01 20:00,3.00,2.50,70.00,\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n2024-01-01 05:00,1.50,2.50,,\r\n"), std::string::npos);
    // A label with a quote has it doubled; a table of other sensors leaves these by number.
    ExportCsv(failing, ParseSensorTable("sensor,depth_m,label\n2,,\"a \"\"b\"\"\"\n"), csv);
    const auto header = [&] {
        const std::string all = ReadWholeFile(csv);
        return all.substr(0, all.find("\r\n"));
    };
    EXPECT_EQ(header(), "time,1,\"a \"\"b\"\"\",3,4");
    ExportCsv(failing, ParseSensorTable("sensor,depth_m,label\n9,1.0,far\n"), csv);
    EXPECT_EQ(header(), "time,1,2,3,4");
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
    ExportXlsx(set, {}, xlsx);
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

// The string in text of a cell written inline, "<none>" when there is no such cell.
std::string CellText(const std::string& sheet, const std::string& ref) {
    const auto cell = sheet.find("<c r=\"" + ref + "\"");
    if (cell == std::string::npos) return "<none>";
    const auto t = sheet.find("<t>", cell);
    const auto end = sheet.find("</c>", cell);
    if (t == std::string::npos || t > end) return "<no text>";
    return sheet.substr(t + 3, sheet.find("</t>", t) - t - 3);
}

std::string Cell(char column, std::size_t row) {
    return column + std::to_string(row);
}

// The sheet of the sensors is the summary over the whole set; the sheet of the flags lists each
// value the health checks flag; the table keeps its values and takes the labels as its header.
TEST_F(FailingStringExport, XlsxSheetsAgreeWithTheSummaryAndTheFlags) {
    ASSERT_TRUE(XlsxExportAvailable());
    const fs::path xlsx = folder / "failing.xlsx";
    ExportXlsx(failing, table, xlsx);
    const std::string book = ZipEntry(xlsx, "xl/workbook.xml");
    EXPECT_NE(book.find("<sheet name=\"sensors\" sheetId=\"2\""), std::string::npos) << book;
    EXPECT_NE(book.find("<sheet name=\"flags\" sheetId=\"3\""), std::string::npos) << book;

    const std::string data = ZipEntry(xlsx, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(CellText(data, "B1"), "T1");
    EXPECT_EQ(CellText(data, "C1"), "T, 2");
    EXPECT_EQ(CellText(data, "D1"), "3");
    EXPECT_EQ(CellNumber(data, "D12"), 30.0) << "the spike is kept in the table";

    const std::string sensors = ZipEntry(xlsx, "xl/worksheets/sheet2.xml");
    const char* header[] = {"sensor", "depth_m", "label", "completeness",
                            "min",    "max",     "mean",  "flags"};
    for (char c = 'A'; c <= 'H'; ++c) EXPECT_EQ(CellText(sensors, Cell(c, 1)), header[c - 'A']);
    const char* words[] = {"<none>", "stuck", "spikes range", "dead"};
    for (std::size_t k = 0; k < summary.sensors.size(); ++k) {
        const SensorSummary& ss = summary.sensors[k];
        const std::size_t row = k + 2;
        SCOPED_TRACE(ss.sensor);
        EXPECT_EQ(CellNumber(sensors, Cell('A', row)), static_cast<double>(ss.sensor));
        EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell('B', row)), *ss.depthMetres);
        EXPECT_EQ(CellText(sensors, Cell('C', row)), ss.label.empty() ? "<none>" : ss.label);
        EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell('D', row)), ss.completeness);
        for (const auto& [column, value] :
             {std::pair{'E', ss.min}, std::pair{'F', ss.max}, std::pair{'G', ss.mean}}) {
            if (value) {
                EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell(column, row)), *value) << column;
            } else {
                EXPECT_TRUE(std::isnan(CellNumber(sensors, Cell(column, row)))) << column;
            }
        }
        EXPECT_EQ(CellText(sensors, Cell('H', row)), words[k]);
    }
    // The spike and the value out of range are left out of the third sensor's extremes.
    EXPECT_LT(CellNumber(sensors, "F4"), 0.0);
    EXPECT_EQ(sensors.find("r=\"A6\""), std::string::npos);

    const std::string flags = ZipEntry(xlsx, "xl/worksheets/sheet3.xml");
    EXPECT_EQ(CellText(flags, "A1") + CellText(flags, "B1") + CellText(flags, "C1") +
                  CellText(flags, "D1"),
              "timesensorvalueflag");
    std::size_t row = 1;
    for (std::size_t i = 0; i < kReadings; ++i) {
        for (std::size_t s = 0; s < 4; ++s) {
            const ValueFlag f = health.FlagOf(i, s);
            if (f == ValueFlag::None) continue;
            ++row;
            EXPECT_NEAR(CellNumber(flags, Cell('A', row)), failing.measurements[i].time.Days(),
                        1e-9);
            EXPECT_EQ(CellNumber(flags, Cell('B', row)), static_cast<double>(s + 1));
            EXPECT_EQ(CellNumber(flags, Cell('C', row)), failing.Value(i, s) / 100.0);
            EXPECT_EQ(CellText(flags, Cell('D', row)), FlagWord(f));
        }
    }
    EXPECT_EQ(row, 1u + 2 + kReadings) << "a spike, a value out of range, a stuck sensor";
    EXPECT_EQ(CellText(flags, "D2"), "stuck");
    EXPECT_EQ(flags.find("r=\"A44\""), std::string::npos);
}

#endif

#ifdef QMC_TEST_NETCDF

// Reads an exported file back through the library.
class NetcdfReader {
public:
    explicit NetcdfReader(const fs::path& file) {
        ok_ = nc_open(file.string().c_str(), NC_NOWRITE, &id_) == NC_NOERR;
    }
    ~NetcdfReader() {
        if (ok_) nc_close(id_);
    }
    bool Ok() const { return ok_; }
    std::size_t Dimension(const char* name) const {
        int dim = -1;
        std::size_t size = 0;
        if (nc_inq_dimid(id_, name, &dim) != NC_NOERR || nc_inq_dimlen(id_, dim, &size) != NC_NOERR)
            return 0;
        return size;
    }
    int Var(const char* name) const {
        int var = -1;
        return nc_inq_varid(id_, name, &var) == NC_NOERR ? var : -1;
    }
    // The dimension names of a variable, joined by commas.
    std::string Shape(const char* name) const {
        int dims[NC_MAX_VAR_DIMS];
        int n = 0;
        if (Var(name) < 0 || nc_inq_var(id_, Var(name), nullptr, nullptr, &n, dims, nullptr))
            return "<no variable>";
        std::string shape;
        for (int k = 0; k < n; ++k) {
            char dim[NC_MAX_NAME + 1];
            nc_inq_dimname(id_, dims[k], dim);
            shape += (k ? "," : "") + std::string(dim);
        }
        return shape;
    }
    std::string Text(const char* var, const char* att) const {
        const int v = var ? Var(var) : NC_GLOBAL;
        std::size_t size = 0;
        if (nc_inq_attlen(id_, v, att, &size) != NC_NOERR) return "<none>";
        std::string text(size, '\0');
        nc_get_att_text(id_, v, att, text.data());
        return text;
    }
    std::vector<signed char> ByteAtt(const char* var, const char* att) const {
        std::size_t size = 0;
        if (nc_inq_attlen(id_, Var(var), att, &size) != NC_NOERR) return {};
        std::vector<signed char> v(size);
        nc_get_att_schar(id_, Var(var), att, v.data());
        return v;
    }
    template <typename T>
    std::vector<T> Values(const char* var, std::size_t n) const {
        std::vector<T> v(n);
        int status = NC_ENOTVAR;
        if constexpr (std::is_same_v<T, double>)
            status = nc_get_var_double(id_, Var(var), v.data());
        if constexpr (std::is_same_v<T, float>) status = nc_get_var_float(id_, Var(var), v.data());
        if constexpr (std::is_same_v<T, int>) status = nc_get_var_int(id_, Var(var), v.data());
        if constexpr (std::is_same_v<T, signed char>)
            status = nc_get_var_schar(id_, Var(var), v.data());
        EXPECT_EQ(status, NC_NOERR) << var;
        return v;
    }
    std::vector<std::string> Strings(const char* var, std::size_t n) const {
        std::vector<char*> raw(n, nullptr);
        if (nc_get_var_string(id_, Var(var), raw.data()) != NC_NOERR) return {};
        std::vector<std::string> out(raw.begin(), raw.end());
        nc_free_string(n, raw.data());
        return out;
    }

private:
    int id_ = -1;
    bool ok_ = false;
};

// Dimensions, coordinates, values, fill values and flags agree with the data set and with the
// summary; the depth coordinate holds metres, positive down.
TEST_F(FailingStringExport, NetcdfHoldsTheProfilesWithTheirFlags) {
    ASSERT_TRUE(NetcdfExportAvailable());
    const fs::path file = folder / "failing.nc";
    ExportNetcdf(failing, table, "Скважина 3", file);
    EXPECT_FALSE(fs::exists(folder / kStagingFolderName));
    const NetcdfReader nc(file);
    ASSERT_TRUE(nc.Ok());
    EXPECT_EQ(nc.Text(nullptr, "Conventions"), "CF-1.8");
    EXPECT_EQ(nc.Text(nullptr, "featureType"), "timeSeriesProfile");
    EXPECT_NE(nc.Text(nullptr, "title").find("Скважина 3"), std::string::npos);
    EXPECT_NE(nc.Text(nullptr, "history").find("QM Controller"), std::string::npos);
    ASSERT_EQ(nc.Dimension("time"), kReadings);
    ASSERT_EQ(nc.Dimension("depth"), 4u);
    EXPECT_EQ(nc.Strings("station", 1), std::vector<std::string>{"Скважина 3"});
    EXPECT_EQ(nc.Text("station", "cf_role"), "timeseries_id");

    EXPECT_EQ(nc.Shape("time"), "time");
    EXPECT_EQ(nc.Text("time", "units"), "seconds since 1970-01-01 00:00:00");
    EXPECT_EQ(nc.Text("time", "calendar"), "standard");
    const auto seconds = nc.Values<double>("time", kReadings);
    EXPECT_EQ(seconds[0], 1704067200.0);  // 2024-01-01 00:00 UTC
    EXPECT_EQ(seconds[39] - seconds[0], 39 * 3600.0);

    EXPECT_EQ(nc.Text("depth", "standard_name"), "depth");
    EXPECT_EQ(nc.Text("depth", "units"), "m");
    EXPECT_EQ(nc.Text("depth", "positive"), "down");
    EXPECT_EQ(nc.Values<double>("depth", 4), (std::vector<double>{0.5, 1.0, 2.0, 3.5}));
    EXPECT_EQ(nc.Var("sensor_depth"), -1) << "every depth is in the coordinate";
    EXPECT_EQ(nc.Values<int>("sensor", 4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(nc.Strings("label", 4), (std::vector<std::string>{"T1", "T, 2", "", "deep"}));

    EXPECT_EQ(nc.Shape("temperature"), "time,depth");
    EXPECT_EQ(nc.Text("temperature", "standard_name"), "temperature_in_ground");
    EXPECT_EQ(nc.Var("temperature_limit"), -1) << "the table gives no limits";
    EXPECT_EQ(nc.Text("temperature", "units"), "degree_Celsius");
    EXPECT_EQ(nc.Text("temperature", "ancillary_variables"), "temperature_flag");
    EXPECT_EQ(nc.Text("temperature_flag", "standard_name"), "status_flag");
    EXPECT_EQ(nc.Text("temperature_flag", "flag_meanings"), "good spike out_of_range stuck");
    EXPECT_EQ(nc.ByteAtt("temperature_flag", "flag_values"),
              (std::vector<signed char>{0, 1, 2, 3}));
    const auto t = nc.Values<float>("temperature", kReadings * 4);
    const auto f = nc.Values<signed char>("temperature_flag", kReadings * 4);
    std::size_t filled = 0;
    for (std::size_t i = 0; i < kReadings; ++i) {
        for (std::size_t s = 0; s < 4; ++s) {
            SCOPED_TRACE(testing::Message() << "reading " << i << ", sensor " << s + 1);
            const std::int32_t v = failing.Value(i, s);
            if (v == M) {
                ++filled;
                EXPECT_EQ(t[i * 4 + s], kNetcdfNoTemperature);
                EXPECT_EQ(f[i * 4 + s], kNetcdfNoFlag);
                continue;
            }
            EXPECT_EQ(t[i * 4 + s], static_cast<float>(v / 100.0));
            EXPECT_EQ(f[i * 4 + s], static_cast<signed char>(health.FlagOf(i, s)));
        }
    }
    EXPECT_EQ(filled, kReadings + 1) << "the dead sensor and the reading at 05:00";
    EXPECT_EQ(f[10 * 4 + 2], 1);
    EXPECT_EQ(f[20 * 4 + 2], 2);
    EXPECT_EQ(f[20 * 4 + 1], 3);
    std::vector<signed char> faults;
    for (const SensorSummary& ss : summary.sensors)
        faults.push_back(static_cast<signed char>(ss.flags));
    EXPECT_EQ(nc.Values<signed char>("sensor_flags", 4), faults);
    EXPECT_EQ(faults, (std::vector<signed char>{0, 2, 12, 1}));
}

// A file the library cannot make is said in the program's words, with nothing left behind.
TEST_F(FailingStringExport, NetcdfTheLibraryCannotWriteLeavesNothing) {
    ASSERT_TRUE(NetcdfExportAvailable());
    const fs::path file = folder / "blocked.nc";
    fs::create_directories(StagedFile::StagingPath(file) / "in the way");
    try {
        ExportNetcdf(failing, table, "x", file);
        ADD_FAILURE() << "written over a folder";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.Text(Language::English)
                        .starts_with("Cannot write the NetCDF file \"" + PathText(file) + "\": "))
            << e.Text(Language::English);
        EXPECT_TRUE(e.Text(Language::Russian).starts_with("Не удалось записать файл NetCDF"));
    }
    EXPECT_FALSE(fs::exists(file));
}

// A coordinate may hold no gap and no turn: without a depth for every sensor, growing with the
// numbers, it holds the numbers and says so; the depths known go beside it.
TEST_F(FailingStringExport, NetcdfPlacesSensorsByNumberWhenDepthsAreMissing) {
    ASSERT_TRUE(NetcdfExportAvailable());
    const fs::path none = folder / "none.nc";
    ExportNetcdf(failing, {}, "x", none);
    {
        const NetcdfReader nc(none);
        ASSERT_TRUE(nc.Ok());
        EXPECT_EQ(nc.Values<double>("depth", 4), (std::vector<double>{1, 2, 3, 4}));
        EXPECT_EQ(nc.Text("depth", "units"), "1");
        EXPECT_EQ(nc.Text("depth", "standard_name"), "<none>");
        EXPECT_EQ(nc.Var("sensor_depth"), -1);
        EXPECT_EQ(nc.Strings("label", 4), (std::vector<std::string>(4)));
    }
    const fs::path some = folder / "some.nc";
    // Sensor 3 without a depth, and 4 above 2: neither may be a coordinate.
    for (const char* text : {"sensor,depth_m,label\n1,0.5,\n2,1.0,\n4,3.0,\n",
                             "sensor,depth_m,label\n1,0.5,\n2,1.0,\n3,2.0,\n4,0.8,\n"}) {
        const SensorTable partial = ParseSensorTable(text);
        ExportNetcdf(failing, partial, "x", some);
        const NetcdfReader nc(some);
        ASSERT_TRUE(nc.Ok());
        EXPECT_EQ(nc.Values<double>("depth", 4), (std::vector<double>{1, 2, 3, 4}));
        ASSERT_GE(nc.Var("sensor_depth"), 0);
        EXPECT_EQ(nc.Text("sensor_depth", "standard_name"), "depth");
        const auto depths = nc.Values<double>("sensor_depth", 4);
        for (std::size_t s = 0; s < 4; ++s) {
            const SensorInfo* info = partial.Find(s + 1);
            EXPECT_EQ(depths[s], info && info->depthMetres ? *info->depthMetres : kNetcdfNoDepth);
        }
        EXPECT_NE(nc.Text("temperature", "coordinates").find("sensor_depth"), std::string::npos);
    }
    // The design limits beside the sensors, a fill value where a sensor has none.
    ExportNetcdf(failing, ParseSensorTable("sensor,depth_m,label,limit_c\n2,1.0,,-0.5\n"), "x",
                 some);
    const NetcdfReader nc(some);
    ASSERT_TRUE(nc.Ok());
    EXPECT_EQ(nc.Text("temperature_limit", "units"), "degree_Celsius");
    EXPECT_EQ(nc.Values<float>("temperature_limit", 4),
              (std::vector<float>{kNetcdfNoTemperature, -0.5f, kNetcdfNoTemperature,
                                  kNetcdfNoTemperature}));
}

#endif

#if defined(QMC_TEST_XLSX) && defined(QMC_TEST_NETCDF)

// A year of a string where sensors fail: the summary, the CSV, the workbook's sheets and the
// NetCDF file say the same of every sensor and every flagged value.
TEST_F(ExportTest, TheExportsOfAYearWhereSensorsFailAgreeWithTheSummary) {
    ASSERT_TRUE(XlsxExportAvailable());
    ASSERT_TRUE(NetcdfExportAvailable());
    const FailingYear year = MakeFailingYear();
    const DataSet& y = year.set;
    const Period all = PeriodOf(y, {}, {});
    const Summary summary = Summarize(y, year.table, all);
    const Health health = AssessHealth(y, all, year.table, kFailingYearSensors);
    ASSERT_EQ(summary.sensors.size(), kFailingYearSensors);
    ASSERT_EQ(y.measurements.size(), kFailingYearHours);

    // The flagged values, as the health checks give them: three spikes, one out of range and the
    // stuck stretch.
    std::vector<std::pair<std::size_t, std::size_t>> flagged;  // (measurement, sensor)
    for (std::size_t i = 0; i < kFailingYearHours; ++i)
        for (std::size_t s = 0; s < kFailingYearSensors; ++s)
            if (health.FlagOf(i, s) != ValueFlag::None) flagged.emplace_back(i, s);
    ASSERT_EQ(flagged.size(), 4u + kStuckToHour - kStuckFromHour);

    // CSV: the labels head the columns, and the flagged values are there as the logger read them.
    const fs::path csv = folder / "year.csv";
    ExportCsv(y, year.table, csv);
    std::ifstream in(csv, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), kFailingYearHours + 1);
    EXPECT_EQ(lines[0], "time,S1,S2,S3,S4,S5,S6,S7,S8,S9,S10,S11\r");
    for (const auto& [i, s] : flagged) {
        std::string row = lines[i + 1];
        for (std::size_t k = 0; k <= s; ++k) row = row.substr(row.find(',') + 1);
        EXPECT_EQ(row.substr(0, row.find_first_of(",\r")), TableValue(y.Value(i, s)));
    }

    // XLSX: the sheet of the sensors is the summary, the sheet of the flags lists those values.
    const fs::path xlsx = folder / "year.xlsx";
    ExportXlsx(y, year.table, xlsx);
    const std::string sensors = ZipEntry(xlsx, "xl/worksheets/sheet2.xml");
    for (std::size_t k = 0; k < kFailingYearSensors; ++k) {
        const SensorSummary& ss = summary.sensors[k];
        SCOPED_TRACE(ss.sensor);
        const std::size_t row = k + 2;
        EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell('B', row)), kFailingYearDepths[k]);
        EXPECT_EQ(CellText(sensors, Cell('C', row)), ss.label);
        EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell('D', row)), ss.completeness);
        for (const auto& [column, value] :
             {std::pair{'E', ss.min}, std::pair{'F', ss.max}, std::pair{'G', ss.mean}}) {
            if (value)
                EXPECT_DOUBLE_EQ(CellNumber(sensors, Cell(column, row)), *value) << column;
            else
                EXPECT_TRUE(std::isnan(CellNumber(sensors, Cell(column, row)))) << column;
        }
        std::string words;
        for (const std::string_view w : FlagWords(ss.flags))
            words += (words.empty() ? "" : " ") + std::string(w);
        EXPECT_EQ(CellText(sensors, Cell('H', row)), words.empty() ? "<none>" : words);
    }
    EXPECT_EQ(CellText(sensors, Cell('H', kDeadSensor + 1)), "dead");
    EXPECT_EQ(CellText(sensors, Cell('H', kStuckSensor + 1)), "stuck");
    EXPECT_EQ(CellText(sensors, Cell('H', kSpikySensor + 1)), "spikes");
    EXPECT_EQ(CellText(sensors, Cell('H', kRangeSensor + 1)), "range");
    const std::string flags = ZipEntry(xlsx, "xl/worksheets/sheet3.xml");
    for (std::size_t k = 0; k < flagged.size(); ++k) {
        const auto [i, s] = flagged[k];
        EXPECT_NEAR(CellNumber(flags, Cell('A', k + 2)), y.measurements[i].time.Days(), 1e-9);
        EXPECT_EQ(CellNumber(flags, Cell('B', k + 2)), static_cast<double>(s + 1));
        EXPECT_EQ(CellNumber(flags, Cell('C', k + 2)), y.Value(i, s) / 100.0);
        EXPECT_EQ(CellText(flags, Cell('D', k + 2)), FlagWord(health.FlagOf(i, s)));
    }
    EXPECT_EQ(flags.find("r=\"A" + std::to_string(flagged.size() + 2) + "\""), std::string::npos);

    // NetCDF: the same values at the sensors' depths, the same flags, the dead sensor all fill.
    const fs::path nc = folder / "year.nc";
    ExportNetcdf(y, year.table, "Скважина 3", nc);
    const NetcdfReader r(nc);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(r.Dimension("depth"), kFailingYearSensors);
    EXPECT_EQ(r.Values<double>("depth", kFailingYearSensors),
              std::vector<double>(kFailingYearDepths.begin(), kFailingYearDepths.end()));
    const std::size_t n = kFailingYearHours * kFailingYearSensors;
    const auto t = r.Values<float>("temperature", n);
    const auto f = r.Values<signed char>("temperature_flag", n);
    ASSERT_EQ(t.size(), n);
    std::size_t marked = 0;
    for (std::size_t i = 0; i < kFailingYearHours; ++i) {
        for (std::size_t s = 0; s < kFailingYearSensors; ++s) {
            const std::int32_t v = y.Value(i, s);
            const std::size_t at = i * kFailingYearSensors + s;
            if (v == kMissingValue) {
                EXPECT_EQ(t[at], kNetcdfNoTemperature);
                continue;
            }
            EXPECT_EQ(t[at], static_cast<float>(v / 100.0));
            EXPECT_EQ(f[at], static_cast<signed char>(health.FlagOf(i, s)));
            if (f[at] != 0) ++marked;
        }
        EXPECT_EQ(t[i * kFailingYearSensors + kDeadSensor - 1], kNetcdfNoTemperature);
    }
    EXPECT_EQ(marked, flagged.size());
    std::vector<signed char> faults;
    for (const SensorSummary& ss : summary.sensors)
        faults.push_back(static_cast<signed char>(ss.flags));
    EXPECT_EQ(r.Values<signed char>("sensor_flags", kFailingYearSensors), faults);
}

#endif

}  // namespace
}  // namespace qm::test
