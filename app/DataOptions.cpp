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

#include "app/CommandLine.h"
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

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Accepts --lang, which the window and the runs without it share.
void AddLanguageOption(QCommandLineParser& parser) {
    parser.addOption({"lang", "Language of the messages: ru (the default) or en.", "LANG"});
}

std::filesystem::path PathOf(const QString& text) {
    return Utf8Path(text.toStdString());
}

int RunExport(int argc, char* argv[]) {
    const bool en = EnglishAsked(argc, argv);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes the measurements of a copied data folder as a table.");
    parser.addHelpOption();
    const QCommandLineOption exportOption("export", "The data-set folder (or data file) to read.",
                                          "FOLDER");
    const QCommandLineOption csv("csv", "Write the table as CSV to FILE.", "FILE");
    const QCommandLineOption xlsx("xlsx", "Write the table as XLSX to FILE.", "FILE");
    parser.addOptions({exportOption, csv, xlsx});
    AddLanguageOption(parser);
    parser.process(app);
    if (!parser.isSet(csv) && !parser.isSet(xlsx)) {
        Say(Message(Msg::ExportNeedsOutput, en));
        return 2;
    }
    if (parser.isSet(xlsx) && !XlsxExportAvailable()) {
        Say(Message(Msg::XlsxNotBuilt, en, {parser.value(xlsx).toStdString()}));
        return 2;
    }

    const std::filesystem::path folder = PathOf(parser.value(exportOption));
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError& e) {
        Say(e.Text(en));
        return 1;
    }
    for (const ReadIssue& issue : set.issues) Say(IssueText(issue, en));
    if (set.issueCount > set.issues.size())
        Say(Message(Msg::ExportMoreIssues, en,
                    {std::to_string(set.issueCount - set.issues.size())}));
    if (set.measurements.empty()) {
        Say(Message(Msg::ExportNothing, en, {PathText(folder)}));
        return 1;
    }
    try {
        if (parser.isSet(csv)) ExportCsv(set, PathOf(parser.value(csv)));
        if (parser.isSet(xlsx)) ExportXlsx(set, PathOf(parser.value(xlsx)));
    } catch (const FileError& e) {
        Say(e.Text(en));
        return 1;
    }
    std::printf("%s\n", Message(Msg::ExportWritten, en,
                                {std::to_string(set.measurements.size()),
                                 std::to_string(set.sensorCount), std::to_string(set.files.size())})
                            .c_str());
    // Written, but not all of the folder could be read.
    return set.issueCount > 0 ? 3 : 0;
}

int RunView(int argc, char* argv[]) {
    const bool en = EnglishAsked(argc, argv);
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
    AddLanguageOption(parser);
    parser.process(app);
#ifdef QMC_HAVE_VIEWER
    const std::filesystem::path folder = PathOf(parser.value(view));
    std::error_code ec;
    if (!std::filesystem::exists(folder, ec)) {
        Say(Message(Msg::DataSetMissing, en, {PathText(folder)}));
        return 1;
    }
    DataViewer viewer(folder.parent_path(), en);
    viewer.Open(folder);
    viewer.show();
    if (parser.isSet(screenshot)) {
        bool ok = true;
        const int ms = parser.isSet(after) ? parser.value(after).toInt(&ok) : 1000;
        if (!ok || ms < 0) {
            Say(Message(Msg::AfterNeedsMilliseconds, en));
            return 2;
        }
        const QString file = parser.value(screenshot);
        QTimer::singleShot(ms, &viewer, [&viewer, file, en] {
            const bool saved = viewer.grab().save(file, "PNG");
            if (!saved) Say(Message(Msg::ScreenshotNotWritten, en, {file.toStdString()}));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
#else
    Say(Message(Msg::ViewerNotBuilt, en));
    return 2;
#endif
}

}  // namespace

bool AsksForDataOptions(int argc, char* argv[]) {
    return HasOption(argc, argv, "--export") || HasOption(argc, argv, "--view");
}

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
    (void)controller;
    entry->setVisible(false);
#endif
}

}  // namespace qm
