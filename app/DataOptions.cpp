#include "app/DataOptions.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/Console.h"
#include "app/Options.h"
#include "store/CollectionDataSets.h"
#include "store/DataSet.h"
#include "store/Export.h"
#include "store/LocalFiles.h"
#include "store/NetcdfExport.h"
#include "store/SensorTable.h"
#include "store/Summary.h"

#ifdef QMC_HAVE_VIEWER
#include "ui/viewer/DataViewer.h"
#endif

namespace qm {

namespace {

// The sensor table of a folder read: it names the columns and places the sensors. A single data
// file has none beside it, and one that cannot be read leaves the sensors known by number: said,
// with the lines of the data files and of the table that were skipped (the table named with its
// folder), and the work goes on. `damaged` is set when the table or a line of it was not read.
SensorTable ReadTableSaying(const std::filesystem::path& folder, const DataSet& set,
                            Language language, bool* damaged = nullptr) {
    SensorTable table;
    bool unread = false;
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        try {
            table = ReadSensorTable(folder);
        } catch (const FileError& e) {
            Say(e.Text(language));
            unread = true;
        }
    }
    for (const ReadIssue& issue : set.issues) Say(IssueText(issue, language));
    if (set.issueCount > set.issues.size())
        Say(Message(Msg::ExportMoreIssues, language,
                    {std::to_string(set.issueCount - set.issues.size())}));
    // "sensors.csv:4: …" with the folder before it, in the system's separators.
    const std::string prefix = PathText(folder / "");
    for (const SensorTableIssue& issue : table.issues)
        Say(prefix + SensorTableIssueText(issue, language));
    if (damaged) *damaged = unread || !table.issues.empty();
    return table;
}

}  // namespace

int RunExport(int argc, char* argv[], const Options& options) {
    const Language language = options.language;
    // No window, but the process set up by Qt as in every other mode.
    const QCoreApplication app(argc, argv);
    const std::filesystem::path folder = Utf8Path(options.folder);
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError& e) {
        Say(e.Text(language));
        return 1;
    }
    bool tableDamaged = false;
    const SensorTable table = ReadTableSaying(folder, set, language, &tableDamaged);
    if (!HasTable(set)) {
        Say(Message(Msg::ExportNothing, language, {PathText(folder)}));
        return 1;
    }
    // Each file written or refused on its own: one that cannot be written keeps none of the
    // others from being written.
    bool notBuilt = false;
    bool failed = false;
    std::size_t written = 0;
    const auto write = [&](const auto& writeOne) {
        try {
            writeOne();
            ++written;
        } catch (const FileError& e) {
            Say(e.Text(language));
            failed = true;
        }
    };
    if (options.csv) write([&] { ExportCsv(set, table, Utf8Path(*options.csv)); });
    if (options.xlsx) {
        if (!XlsxExportAvailable()) {
            Say(Message(Msg::XlsxNotBuilt, language, {*options.xlsx}));
            notBuilt = true;
        } else {
            write([&] { ExportXlsx(set, table, Utf8Path(*options.xlsx)); });
        }
    }
    if (options.netcdf) {
        if (!NetcdfExportAvailable()) {
            Say(Message(Msg::NetcdfNotBuilt, language, {*options.netcdf}));
            notBuilt = true;
        } else {
            write(
                [&] { ExportNetcdf(set, table, DataSetName(folder), Utf8Path(*options.netcdf)); });
        }
    }
    if (written > 0)
        std::printf("%s\n",
                    Message(Msg::ExportWritten, language,
                            {std::to_string(set.measurements.size()),
                             std::to_string(set.sensorCount), std::to_string(set.files.size())})
                        .c_str());
    if (notBuilt) return 2;
    if (failed) return 1;
    // Written, but not all of the folder could be read.
    return set.issueCount > 0 || tableDamaged ? 3 : 0;
}

int RunSummary(int argc, char* argv[], const Options& options) {
    const Language language = options.language;
    const QCoreApplication app(argc, argv);
    const std::filesystem::path folder = Utf8Path(options.folder);
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError& e) {
        Say(e.Text(language));
        return 1;
    }
    // A collection's data folder holds one data set per station and directory: each is named,
    // for the next run to take one.
    if (set.measurements.empty())
        if (const auto sets = FindCollectionDataSets(folder); !sets.empty()) {
            Say(Message(Msg::SummaryCollection, language, {PathText(folder)}));
            for (const CollectionDataSet& d : sets) Say(d.station + "/" + d.directory);
            return 1;
        }
    const SensorTable table = ReadTableSaying(folder, set, language);

    const Period period = PeriodOf(set, options.fromDay, options.toDay);
    if (period.Size() == 0) {
        Say(Message(Msg::SummaryNothing, language, {PathText(folder)}));
        return 1;
    }
    const Summary summary = Summarize(set, table, period);
    std::printf("%s\n", SummaryJson(summary, JsonWriter::Layout::Indented, language).c_str());
    // A design limit exceeded in the period; skipped lines never change the status.
    return summary.exceeded > 0 ? 3 : 0;
}

int RunView(int argc, char* argv[], const Options& options) {
    const Language language = options.language;
    QApplication app(argc, argv);
    QApplication::setApplicationName("QM Controller");
#ifdef QMC_HAVE_VIEWER
    const std::filesystem::path folder = Utf8Path(options.folder);
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        Say(Message(Msg::DataSetMissing, language, {PathText(folder)}));
        return 1;
    }
    DataViewer viewer(folder.parent_path(), language);
    viewer.Open(folder);
    viewer.show();
    if (!options.screenshot.empty()) {
        const QString file = QString::fromStdString(options.screenshot);
        QTimer::singleShot(options.screenshotAfterMs, &viewer, [&viewer, file, language] {
            const bool saved = viewer.grab().save(file, "PNG");
            if (!saved) Say(Message(Msg::ScreenshotNotWritten, language, {file.toStdString()}));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
#else
    (void)options;
    Say(Message(Msg::ViewerNotBuilt, language));
    return 2;
#endif
}

}  // namespace qm
