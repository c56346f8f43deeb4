#include "app/DataOptions.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QMenu>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/Controller.h"
#include "store/DataSet.h"
#include "store/Export.h"
#include "store/LocalFiles.h"
#include "ui/qt/MainWindow.h"

#ifdef QMC_HAVE_VIEWER
#include "ui/viewer/DataViewer.h"
#endif

namespace qm {

namespace {

bool HasOption(int argc, char* argv[], std::string_view name) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == name ||
            (a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '='))
            return true;
    }
    return false;
}

std::filesystem::path PathOf(const QString& text) {
    return Utf8Path(text.toStdString());
}

int RunExport(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes the measurements of a copied data folder as a table.");
    parser.addHelpOption();
    const QCommandLineOption exportOption("export", "The data-set folder (or data file) to read.",
                                          "FOLDER");
    const QCommandLineOption csv("csv", "Write the table as CSV to FILE.", "FILE");
    const QCommandLineOption xlsx("xlsx", "Write the table as XLSX to FILE.", "FILE");
    parser.addOptions({exportOption, csv, xlsx});
    parser.process(app);
    if (!parser.isSet(csv) && !parser.isSet(xlsx)) {
        std::fprintf(stderr, "--export needs --csv FILE or --xlsx FILE\n");
        return 2;
    }
    if (parser.isSet(xlsx) && !XlsxExportAvailable()) {
        std::fprintf(stderr, "this build of the program has no XLSX export\n");
        return 2;
    }

    const std::filesystem::path folder = PathOf(parser.value(exportOption));
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    for (const ReadIssue& issue : set.issues)
        std::fprintf(stderr, "%s\n", IssueText(issue, true).c_str());
    if (set.issueCount > set.issues.size())
        std::fprintf(stderr, "... and %zu more\n", set.issueCount - set.issues.size());
    if (set.measurements.empty()) {
        std::fprintf(stderr, "no measurements in \"%s\"; nothing written\n",
                     PathText(folder).c_str());
        return 1;
    }
    try {
        if (parser.isSet(csv)) ExportCsv(set, PathOf(parser.value(csv)));
        if (parser.isSet(xlsx)) ExportXlsx(set, PathOf(parser.value(xlsx)));
    } catch (const FileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%zu measurements of %zu sensors from %zu files\n", set.measurements.size(),
                set.sensorCount, set.files.size());
    // Written, but not all of the folder could be read.
    return set.issueCount > 0 ? 3 : 0;
}

int RunView(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("QM Controller");
    QCommandLineParser parser;
    parser.setApplicationDescription("Shows the measurements of a copied data folder.");
    parser.addHelpOption();
    const QCommandLineOption view("view", "The data-set folder, or the DATA folder, to show.",
                                  "FOLDER");
    const QCommandLineOption screenshot("screenshot", "Save the viewer to FILE and quit.", "FILE");
    const QCommandLineOption after("after", "Take the screenshot MS milliseconds after start.",
                                   "MS");
    parser.addOptions({view, screenshot, after});
    parser.process(app);
#ifdef QMC_HAVE_VIEWER
    const std::filesystem::path folder = PathOf(parser.value(view));
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        std::fprintf(stderr, "\"%s\" does not exist\n", PathText(folder).c_str());
        return 1;
    }
    DataViewer viewer(folder.parent_path(), false);
    viewer.Open(folder);
    viewer.show();
    if (parser.isSet(screenshot)) {
        bool ok = true;
        const int ms = parser.isSet(after) ? parser.value(after).toInt(&ok) : 1000;
        if (!ok || ms < 0) {
            std::fprintf(stderr, "--after takes a number of milliseconds\n");
            return 2;
        }
        const QString file = parser.value(screenshot);
        QTimer::singleShot(ms, &viewer, [&viewer, file] {
            const bool saved = viewer.grab().save(file, "PNG");
            if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
#else
    std::fprintf(stderr, "this build of the program has no data viewer\n");
    return 2;
#endif
}

}  // namespace

std::optional<int> RunDataOptions(int argc, char* argv[]) {
    if (HasOption(argc, argv, "--export")) return RunExport(argc, argv);
    if (HasOption(argc, argv, "--view")) return RunView(argc, argv);
    return std::nullopt;
}

void AttachDataViewer(MainWindow& window, const Controller& controller) {
    QAction* entry = nullptr;
    for (QAction* a : window.PopupMenu()->actions())
        if (a->objectName() == "pmDataOnDisk") entry = a;
    if (!entry) return;
#ifdef QMC_HAVE_VIEWER
    // One viewer, made when first asked for; it goes with the entry.
    auto viewer = std::make_shared<std::unique_ptr<DataViewer>>();
    QObject::connect(entry, &QAction::triggered, entry, [viewer, &controller] {
        const bool english = controller.IsEnglish();
        if (!*viewer) {
            const std::filesystem::path& data = controller.Directories().DataFolder();
            *viewer = std::make_unique<DataViewer>(
                data.empty() ? std::filesystem::current_path() : data, english);
        } else {
            (*viewer)->SetLanguage(english);
            (*viewer)->ListFolders();
        }
        (*viewer)->show();
        (*viewer)->raise();
        (*viewer)->activateWindow();
    });
#else
    entry->setVisible(false);
#endif
}

}  // namespace qm
