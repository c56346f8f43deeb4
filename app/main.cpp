// QM Controller: the program entry. One parse of the command line chooses the run: the main
// window, a run without a window on a logger or a collection of them, or a command on copied
// data.
#include <QCoreApplication>
#include <cstdio>

#include "app/ArchiveRun.h"
#include "app/Collect.h"
#include "app/CommandLine.h"
#include "app/DataOptions.h"
#include "app/Headless.h"
#include "app/Options.h"
#include "app/ReportRun.h"
#include "app/Window.h"

int main(int argc, char* argv[]) {
    // One parse of the command line, before anything of Qt exists: a run without a window must
    // know it is one before a QGuiApplication could look for a display.
    const qm::Options options = qm::ParseOptions(qm::ProgramArguments(argc, argv));
    // A run from a console writes there; so does a window whose command line cannot be used.
    const bool mainWindow = options.mode == qm::Mode::Window || options.mode == qm::Mode::Demo;
    if (options.error || !mainWindow) qm::UseParentConsole();
    if (options.error) {
        std::fprintf(stderr, "qm-controller: %s\n", qm::ErrorText(options).c_str());
        return 2;
    }
    QCoreApplication::setApplicationVersion(QMC_VERSION);
    switch (options.mode) {
        case qm::Mode::Help:
            std::fputs(qm::HelpText(options.language, options.qtOptions).c_str(), stdout);
            return 0;
        case qm::Mode::Version:
            std::printf("qm-controller %s\n", QMC_VERSION);
            return 0;
        case qm::Mode::Export:
            return qm::RunExport(argc, argv, options);
        case qm::Mode::View:
            return qm::RunView(argc, argv, options);
        case qm::Mode::Summary:
            return qm::RunSummary(argc, argv, options);
        case qm::Mode::Report:
            return qm::RunReport(argc, argv, options);
        case qm::Mode::Info:
        case qm::Mode::Copy:
        case qm::Mode::CopyAll:
        case qm::Mode::SyncClock:
            return qm::RunHeadless(argc, argv, options);
        case qm::Mode::Collect:
            return qm::RunCollect(argc, argv, options);
        case qm::Mode::Serve:
            return qm::RunServe(argc, argv, options);
        case qm::Mode::Status:
            return qm::RunStatus(options);
        case qm::Mode::ArchiveSync:
            return qm::RunArchiveSync(options);
        case qm::Mode::ArchiveInit:
            return qm::RunArchiveInit(options);
        case qm::Mode::Window:
        case qm::Mode::Demo:
            break;
    }
    return qm::RunWindow(argc, argv, options);
}
