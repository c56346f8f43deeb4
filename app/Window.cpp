// The main window: against a logger on USB or --port, or with --demo against a virtual logger in
// the same process over an in-process USB link. Sets up the data folder, creates the windows,
// mirrors the controller's window model into them and runs the event loop.
#include "app/Window.h"

#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "app/DataOptions.h"
#include "app/DemoTables.h"
#include "app/InProcessDelivery.h"
#include "app/Links.h"
#include "app/Options.h"
#include "app/QtTimerHost.h"
#include "app/QtTranslation.h"
#include "app/StartFolder.h"
#include "core/Controller.h"
#include "link/backends/SerialPortBackend.h"
#include "sim/FaultyDevice.h"
#include "sim/InProcessLink.h"
#include "sim/Modems.h"
#include "sim/VirtualLogger.h"
#include "store/LocalFiles.h"
#include "ui/qt/Binder.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/ParametersDialog.h"
#include "ui/qt/QtServices.h"

#ifdef QMC_HAVE_VIEWER
#include "ui/viewer/DataViewer.h"
#endif

namespace {

// The address the demo's Bluetooth modem reaches, as the device list names it.
constexpr const char* kDemoBluetoothAddress = "0012F3A4B5C6";

// A virtual logger on an in-process USB link whose replies reach the controller from the event
// loop, like a logger plugged into the PC; with a modem, the modem is what is plugged in and the
// logger answers through it.
struct DemoLogger {
    DemoLogger(qm::Controller& controller, qm::PcClock& clock, int deviceType,
               const std::string& via, const qm::sim::LinkFaults& faults)
        : logger(Config(deviceType), [&clock] { return clock.Now(); }),
          radio(logger, qm::sim::RadioModemConfig{.loggerAddress = 7, .loggerInRange = true}),
          bluetooth(logger, qm::sim::BtModemConfig{.noCarrierBeforeConnect = 2,
                                                   .echo = true,
                                                   .reachableAddresses = {kDemoBluetoothAddress}}),
          lossy(Front(via), faults),
          link(lossy),
          delivery(link, controller.Work()),
          tables(controller.MutableSession(), controller.Work(),
                 qm::sim::BoreholeSensorCount(logger.Config().demoShape)) {
        link.SetReplyDelay(faults.replyDelay);
        for (const auto& [code, delay] : faults.commandDelays) link.SetCommandDelay(code, delay);
    }
    static qm::sim::LoggerConfig Config(int deviceType) {
        qm::sim::LoggerConfig c;
        c.deviceType = static_cast<std::uint8_t>(deviceType);
        c.demoShape = qm::sim::DemoStoreShape::Operator();
        return c;
    }
    qm::sim::Device& Front(const std::string& via) {
        if (via == "radio") return radio;
        if (via == "bluetooth") return bluetooth;
        return logger;
    }
    qm::sim::VirtualLogger logger;
    qm::sim::RadioModem radio;
    qm::sim::BtModem bluetooth;
    qm::sim::FaultyDevice lossy;
    qm::sim::InProcessHidLink link;
    qm::InProcessDelivery delivery;
    // The borehole's copy gets the demo's sensor table.
    qm::DemoSensorTables tables;
};

// The Bluetooth demo dials from the device list in the start folder; give it one when there is
// none, so the operator can pick the virtual logger.
void EnsureDemoDeviceList(const std::filesystem::path& startFolder) {
    const auto list = startFolder / "Device.txt";
    std::error_code ec;
    if (std::filesystem::exists(list, ec)) return;
    std::ofstream out(list, std::ios::binary);
    out << kDemoBluetoothAddress << "\r\n";
    if (out.flush())
        std::fprintf(stderr, "Wrote %s with the virtual Bluetooth logger's address.\n",
                     qm::PathText(list).c_str());
}

// Gives the main window's "Data on disk" entry its viewer of the DATA folder (the entry is
// hidden when the program is built without the viewer).
void AttachDataViewer(qm::MainWindow& window, const qm::Controller& controller) {
    QAction* entry = nullptr;
    for (QAction* a : window.PopupMenu()->actions())
        if (a->objectName() == "pmDataOnDisk") entry = a;
    if (!entry) return;
#ifdef QMC_HAVE_VIEWER
    // One viewer, made when first asked for; it goes with the entry.
    auto viewer = std::make_shared<std::unique_ptr<qm::DataViewer>>();
    QObject::connect(entry, &QAction::triggered, entry, [viewer, &controller] {
        const qm::Language language = controller.CurrentLanguage();
        if (!*viewer) {
            const std::filesystem::path& data = controller.Directories().DataFolder();
            *viewer = std::make_unique<qm::DataViewer>(
                data.empty() ? std::filesystem::current_path() : data, language);
        } else {
            (*viewer)->SetLanguage(language);
            (*viewer)->ListFolders();
        }
        // The first data set is shown at once, and again when the viewer comes back to find
        // one that a copy made since.
        if ((*viewer)->CurrentFolder().empty()) (*viewer)->OpenFirstDataSet();
        (*viewer)->show();
        (*viewer)->raise();
        (*viewer)->activateWindow();
    });
#else
    (void)controller;
    entry->setVisible(false);
#endif
}

}  // namespace

namespace qm {

// The main window, against a logger on USB or --port, or with --demo against the virtual one.
int RunWindow(int argc, char* argv[], const Options& options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("QM Controller");

    qm::QtPcClock clock;
    qm::QtOperatorServices ops;
    // The timers that pace the work run on the event loop; the window runs its own.
    qm::QtTimerHost timers;
    qm::Controller controller(clock, ops);
    controller.MutableSession().SetTimerHost(&timers);
    // Qt gives the folders as UTF-8; the paths are built from that on every platform.
    const std::filesystem::path workingDirectory = qm::Utf8Path(QDir::currentPath().toStdString());
    const qm::StartFolder start = qm::ChooseStartFolder(
        workingDirectory,
        qm::Utf8Path(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()));
    const std::filesystem::path& startFolder = start.path;
    controller.SetUpFolders(startFolder);
    if (options.mode == qm::Mode::Demo && options.via == "bluetooth")
        EnsureDemoDeviceList(startFolder);

    // The dialog is a window of its own, not a child of the main window: disabling the main
    // window while the dialog is up must leave the dialog usable.
    qm::MainWindow window;
    qm::ParametersDialog parameters;
    ops.SetParent(&window);
    qm::Binder binder(controller, window, parameters);
    // A copy's replies come far faster than the eye can follow: the window shows them at a
    // steady pace instead of after each one.
    binder.SetMirrorInterval(qm::Binder::kMirrorIntervalMs);
    AttachDataViewer(window, controller);

    // The port group names a serial device: on Windows by its number (COMn); elsewhere the
    // operator may type or pick any serial device, offered from those present.
#ifdef _WIN32
    controller.MutableModel().portDevice.visible = false;
#else
    if (auto* device = window.findChild<QLineEdit*>("portDevice")) {
        QStringList names;
        for (const std::string& name : qm::SerialPortCandidates())
            names << QString::fromStdString(name);
        auto* completer = new QCompleter(names, device);
        completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
        device->setCompleter(completer);
    }
#endif

    // Qt's own dialog texts follow the language menu; the window starts in Russian. Queued, so
    // that the controller has handled the click before its choice is read.
    qm::QtTranslation qtTexts(&app);
    qtTexts.Follow(controller.CurrentLanguage());
    qm::DataFolderNote dataNote(window, start, workingDirectory);
    for (QAction* a : window.PopupMenu()->actions()) {
        if (a->objectName() != "pmRus" && a->objectName() != "pmEng") continue;
        QObject::connect(
            a, &QAction::triggered, &qtTexts,
            [&] {
                qtTexts.Follow(controller.CurrentLanguage());
                dataNote.Follow(controller.CurrentLanguage());
            },
            Qt::QueuedConnection);
    }

    const QSize screen = QGuiApplication::primaryScreen()->size();
    controller.FormCreate(screen.width(), screen.height());
    // The window starts in Russian; --lang en starts it in English, as the menu would.
    if (options.language == qm::Language::English) {
        controller.ChooseLanguage(qm::Language::English);
        qtTexts.Follow(qm::Language::English);
        dataNote.Follow(qm::Language::English);
    }
    window.show();

    // The program ends with its main window, even while the parameters dialog is up.
    QObject::connect(&window, &qm::MainWindow::Closed, &app, [] { QCoreApplication::exit(0); });

    // The link that carries the packets: a virtual logger in this process with --demo. Other
    // links (the HID device watcher, a serial port named on the command line, a logger reached
    // through a modem) are chosen here too, each handing its data to the controller on this
    // thread.
    std::unique_ptr<DemoLogger> demo;
    std::unique_ptr<qm::AppLinks> links;
    if (options.mode == qm::Mode::Demo) {
        demo = std::make_unique<DemoLogger>(controller, clock, options.deviceType, options.via,
                                            options.faults);
        controller.UsbLoggerFound(&demo->link);
    } else {
        links = qm::StartLinks(controller.Work(), std::nullopt);
        // A port named on the command line is opened from the port group, which stays up for
        // another choice when it cannot be.
        if (options.port && !options.port->empty()) controller.OpenPortGroup(*options.port);
    }

    if (!options.screenshot.empty()) {
        QTimer::singleShot(options.screenshotAfterMs, &window, [&] {
            const QString file = QString::fromStdString(options.screenshot);
            const bool saved = window.grab().save(file, "PNG");
            if (!saved) std::fprintf(stderr, "cannot write %s\n", options.screenshot.c_str());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}

}  // namespace qm
