#include "app/ReportRun.h"

#include <QApplication>
#include <QDateTime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Console.h"
#include "app/Options.h"
#include "store/DataSet.h"
#include "store/LocalFiles.h"
#include "store/SensorTable.h"
#include "text/Messages.h"

#ifdef QMC_HAVE_VIEWER
#include "ui/viewer/Report.h"
#endif

namespace qm {

namespace {

#if defined(QMC_HAVE_VIEWER) && !defined(_WIN32)
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder() {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
        std::string name = (std::filesystem::temp_directory_path() / "qm-runtime-XXXXXX").string();
        // mkdtemp makes it readable by its owner only, as Qt asks of the folder.
        if (::mkdtemp(name.data()) == nullptr) return;
        folder_ = name;
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(name));
    }
    ~PrivateRuntimeFolder() {
        if (folder_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

private:
    std::filesystem::path folder_;
};
#endif

}  // namespace

int RunReport(int argc, char* argv[], const Options& options) {
    const Language language = options.language;
#ifdef QMC_HAVE_VIEWER
#ifndef _WIN32
    // The plots are drawn into the file, never on a screen: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, ssh) Qt warns that it has no runtime folder: this run gets a
    // private one of its own, removed when it ends.
    const PrivateRuntimeFolder runtime;
#endif
    const QApplication app(argc, argv);
    const std::filesystem::path folder = Utf8Path(options.folder);
    DataSet set;
    try {
        set = ReadDataSet(folder);
    } catch (const FileError& e) {
        Say(e.Text(language));
        return 1;
    }
    for (const ReadIssue& issue : set.issues) Say(IssueText(issue, language));
    SensorTable table;
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        try {
            table = ReadSensorTable(folder);
        } catch (const FileError& e) {
            Say(e.Text(language));
        }
    }
    for (const SensorTableIssue& issue : table.issues) Say(SensorTableIssueText(issue, language));

    ReportRequest request;
    request.folder = folder;
    request.pdf = Utf8Path(*options.pdf);
    request.fromDay = options.fromDay;
    request.toDay = options.toDay;
    request.language = language;
    request.title = options.reportTitle;
    request.programVersion = QCoreApplication::applicationVersion().toStdString();
    request.madeAt = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm").toStdString();
    try {
        if (!WriteReport(request, set, table)) {
            Say(Message(Msg::SummaryNothing, language, {PathText(folder)}));
            return 1;
        }
    } catch (const FileError& e) {
        Say(e.Text(language));
        return 1;
    }
    std::printf("%s\n", Message(Msg::ReportWritten, language, {PathText(request.pdf)}).c_str());
    return 0;
#else
    (void)argc;
    (void)argv;
    (void)options;
    Say(Message(Msg::ViewerNotBuilt, language));
    return 2;
#endif
}

}  // namespace qm
