// QM Controller: the program entry. Sets up the data folder, creates the windows, mirrors the
// controller's window model into them and runs the event loop. With --demo the program talks to
// a virtual logger in the same process over an in-process USB link.
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
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
#include <string_view>

#include "app/CommandLine.h"
#include "app/DataOptions.h"
#include "app/Headless.h"
#include "app/InProcessDelivery.h"
#include "app/Links.h"
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

namespace {

struct Options {
    bool demo = false;
    int deviceType = qm::sim::LoggerConfig{}.deviceType;
    QString screenshot;  // grab the window to this PNG file and quit
    int screenshotAfterMs = 6000;
    QString via;                      // "", "radio" or "bluetooth": a modem before the demo logger
    std::optional<std::string> port;  // --port DEVICE
    qm::sim::LinkFaults faults;       // --faults SPEC: a lossy link to the demo logger
};

std::optional<Options> ParseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Controls one QM Controller data logger.");
    parser.addHelpOption();
    const QCommandLineOption demo("demo", "Run against a virtual logger in this process.");
    const QCommandLineOption deviceType("device-type", "Device type of the virtual logger.", "N");
    const QCommandLineOption screenshot("screenshot", "Save the main window to FILE and quit.",
                                        "FILE");
    const QCommandLineOption after("after", "Take the screenshot MS milliseconds after start.",
                                   "MS");
    const QCommandLineOption via("via",
                                 "With --demo: reach the virtual logger through a virtual "
                                 "USB modem, \"radio\" or \"bluetooth\".",
                                 "MODEM");
    const QCommandLineOption faults(
        "faults",
        QString("With --demo: a lossy link to the virtual logger, e.g. lose-reply=20,delay=50. "
                "SPEC is a comma-separated list of:\n") +
            qm::sim::kLinkFaultsHelp,
        "SPEC");
    parser.addOptions({demo, deviceType, screenshot, after, via, faults});
    qm::AddLinkOptions(parser);
    qm::AddHeadlessOptions(parser);
    parser.process(app);

    Options o;
    o.demo = parser.isSet(demo);
    bool ok = true;
    if (parser.isSet(deviceType)) {
        const int type = parser.value(deviceType).toInt(&ok);
        if (!ok || type < 0 || type > 255) {
            std::fprintf(stderr, "--device-type takes a number from 0 to 255\n");
            return std::nullopt;
        }
        o.deviceType = type;
    }
    if (parser.isSet(after)) {
        o.screenshotAfterMs = parser.value(after).toInt(&ok);
        if (!ok || o.screenshotAfterMs < 0) {
            std::fprintf(stderr, "--after takes a number of milliseconds\n");
            return std::nullopt;
        }
    }
    o.screenshot = parser.value(screenshot);
    o.via = parser.value(via);
    if (!o.via.isEmpty() && o.via != "radio" && o.via != "bluetooth") {
        std::fprintf(stderr, "--via takes \"radio\" or \"bluetooth\"\n");
        return std::nullopt;
    }
    if (parser.isSet(faults)) {
        const auto parsed = qm::sim::ParseLinkFaults(parser.value(faults).toStdString());
        if (!parsed) {
            std::fprintf(stderr, "--faults: unknown key or value out of range\n");
            return std::nullopt;
        }
        o.faults = *parsed;
    }
    if (const QString lang = parser.value("lang");
        parser.isSet("lang") && lang != "ru" && lang != "en") {
        std::fprintf(stderr, "%s\n",
                     qm::Message(qm::Msg::CliBadLanguage, false, {lang.toStdString()}).c_str());
        return std::nullopt;
    }
    o.port = qm::PortOption(parser);
    if (o.demo && o.port) {
        std::fprintf(stderr, "--port and --demo exclude each other\n");
        return std::nullopt;
    }
    return o;
}

// The address the demo's Bluetooth modem reaches, as the device list names it.
constexpr const char* kDemoBluetoothAddress = "0012F3A4B5C6";

// A virtual logger on an in-process USB link whose replies reach the controller from the event
// loop, like a logger plugged into the PC; with a modem, the modem is what is plugged in and the
// logger answers through it.
struct DemoLogger {
    DemoLogger(qm::Controller& controller, qm::PcClock& clock, int deviceType, const QString& via,
               const qm::sim::LinkFaults& faults)
        : logger(Config(deviceType), [&clock] { return clock.Now(); }),
          radio(logger, qm::sim::RadioModemConfig{.loggerAddress = 7, .loggerInRange = true}),
          bluetooth(logger, qm::sim::BtModemConfig{.noCarrierBeforeConnect = 2,
                                                   .echo = true,
                                                   .reachableAddresses = {kDemoBluetoothAddress}}),
          lossy(Front(via), faults),
          link(lossy),
          delivery(link, controller) {
        link.SetReplyDelay(faults.replyDelay);
        for (const auto& [code, delay] : faults.commandDelays) link.SetCommandDelay(code, delay);
    }
    static qm::sim::LoggerConfig Config(int deviceType) {
        qm::sim::LoggerConfig c;
        c.deviceType = static_cast<std::uint8_t>(deviceType);
        return c;
    }
    qm::sim::Device& Front(const QString& via) {
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

bool AsksForHelp(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    const bool commandLineRun = AsksForHelp(argc, argv) || qm::AsksForDataOptions(argc, argv) ||
                                qm::AsksForHeadlessRun(argc, argv);
    if (commandLineRun) qm::UseParentConsole();
    // --export and --view work on copied data alone, without the main window.
    if (const std::optional<int> status = qm::RunDataOptions(argc, argv)) return *status;
    // Help is text alone: printed without a display, e.g. in a terminal over SSH.
    if (AsksForHelp(argc, argv)) {
        QCoreApplication text(argc, argv);
        ParseOptions(text);  // prints the help and ends the program
        return 0;
    }
    // Unattended runs: the controller and its links without a window or a display.
    if (qm::AsksForHeadlessRun(argc, argv)) return qm::RunHeadless(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("QM Controller");
    const std::optional<Options> options = ParseOptions(app);
    if (!options) return 2;

    qm::QtPcClock clock;
    qm::QtOperatorServices ops;
    qm::Controller controller(clock, ops);
    // Qt gives the folders as UTF-8; the paths are built from that on every platform.
    const std::filesystem::path workingDirectory = qm::Utf8Path(QDir::currentPath().toStdString());
    const qm::StartFolder start = qm::ChooseStartFolder(
        workingDirectory,
        qm::Utf8Path(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString()));
    const std::filesystem::path& startFolder = start.path;
    controller.SetUpFolders(startFolder);
    if (options->demo && options->via == "bluetooth") EnsureDemoDeviceList(startFolder);

    // The dialog is a window of its own, not a child of the main window: disabling the main
    // window while the dialog is up must leave the dialog usable.
    qm::MainWindow window;
    qm::ParametersDialog parameters;
    ops.SetParent(&window);
    qm::Binder binder(controller, window, parameters);
    // A copy's replies come far faster than the eye can follow: the window shows them at a
    // steady pace instead of after each one.
    binder.SetMirrorInterval(qm::Binder::kMirrorIntervalMs);
    qm::AttachDataViewer(window, controller);

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
    qtTexts.Follow(controller.IsEnglish());
    qm::DataFolderNote dataNote(window, start, workingDirectory);
    for (QAction* a : window.PopupMenu()->actions()) {
        if (a->objectName() != "pmRus" && a->objectName() != "pmEng") continue;
        QObject::connect(
            a, &QAction::triggered, &qtTexts,
            [&] {
                qtTexts.Follow(controller.IsEnglish());
                dataNote.Follow(controller.IsEnglish());
            },
            Qt::QueuedConnection);
    }

    const QSize screen = QGuiApplication::primaryScreen()->size();
    controller.FormCreate(screen.width(), screen.height());
    // The window starts in Russian; --lang en starts it in English, as the menu would.
    if (qm::EnglishAsked(argc, argv)) {
        controller.Click("pmEng");
        qtTexts.Follow(true);
        dataNote.Follow(true);
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
    if (options->demo) {
        demo = std::make_unique<DemoLogger>(controller, clock, options->deviceType, options->via,
                                            options->faults);
        controller.UsbLoggerFound(&demo->link);
    } else {
        links = qm::StartLinks(controller, options->port);
    }

    if (!options->screenshot.isEmpty()) {
        QTimer::singleShot(options->screenshotAfterMs, &window, [&] {
            const bool saved = window.grab().save(options->screenshot, "PNG");
            if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(options->screenshot));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
