#include "app/VisitRun.h"

#include "app/InProcessDelivery.h"
#include "app/Links.h"
#include "core/CopyProgress.h"
#include "sim/InProcessLink.h"
#include "sim/Network.h"

namespace qm {

namespace {

// How long the first USB scan may take to find the device.
constexpr int kUsbSearchMs = 3000;

}  // namespace

QtVisitTimers::QtVisitTimers() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        slot.timer = std::make_unique<QTimer>();
        slot.timer->setSingleShot(true);
        // The run's time limit is kept to the millisecond.
        if (static_cast<VisitTimer>(i) == VisitTimer::Limit)
            slot.timer->setTimerType(Qt::PreciseTimer);
        // The tick is taken before it runs: it may arm its own timer again.
        QObject::connect(slot.timer.get(), &QTimer::timeout, slot.timer.get(), [&slot] {
            const std::function<void()> tick = slot.tick;
            if (tick) tick();
        });
    }
}

void QtVisitTimers::Arm(VisitTimer id, int ms, std::function<void()> tick) {
    Slot& slot = slots_[static_cast<std::size_t>(id)];
    slot.tick = std::move(tick);
    slot.timer->start(ms);
}

void QtVisitTimers::Cancel(VisitTimer id) {
    slots_[static_cast<std::size_t>(id)].timer->stop();
}

void VisitRun::Services::ShowError(const std::string& text) {
    HeadlessServices::ShowError(text);
    if (visit) visit->Worded(text, SessionProblem::Severity::Error);
}

void VisitRun::Services::ShowWarning(const std::string& text) {
    HeadlessServices::ShowWarning(text);
    if (visit) visit->Worded(text, SessionProblem::Severity::Warning);
}

VisitRun::VisitRun(PcClock& clock, ErrorStream& err, Language language,
                   const std::optional<std::filesystem::path>& startFolder)
    : err_(err),
      language_(language),
      ops_(err, [language] { return language; }),
      controller_(clock, ops_),
      session_(controller_.MutableSession()) {
    // The visit hears the session's problems as data and says them itself.
    session_.StopListening(controller_.ProblemShower());
    session_.SetTimerHost(&timers_);
    controller_.SetChangedCallback([this] {
        if (visit_) visit_->Changed();
    });
    if (startFolder) controller_.SetUpFolders(*startFolder);
    controller_.FormCreate(1024, 768);
    // A start shows the design captions, which are Russian: only English is chosen.
    if (language == Language::English) controller_.ChooseLanguage(Language::English);
}

VisitRun::~VisitRun() {
    ops_.visit = nullptr;
    ops_.onQuit = nullptr;
    visit_.reset();
    session_.SetTimerHost(nullptr);
}

VisitResult VisitRun::Run(const Station& station, const VisitAsk& ask, sim::VirtualNetwork* network,
                          std::function<void(const VisitProgress&)> progress) {
    progress_ = std::move(progress);
    VisitAsk a = ask;
    a.usbSearchMs = station.link.kind == StationLink::Kind::Serial || network ? 0 : kUsbSearchMs;
    VisitListener& listener = *this;
    visit_.emplace(station, a, session_, Work(), visitTimers_, listener);
    ops_.visit = &*visit_;
    // The controller ends the program when the USB logger it talks to is unplugged.
    ops_.onQuit = [this] { visit_->Cut({Msg::CliLoggerGone, {}, {}}); };
    OpenLink(station, network);
    if (!visit_->Over()) visit_->Start();
    if (!visit_->Over()) loop_.exec();
    Work().CloseLocalFiles();
    serial_.Close();
    err_.ClearProgress();
    return visit_->Result();
}

void VisitRun::OpenLink(const Station& station, sim::VirtualNetwork* network) {
    const StationLink::Kind kind = station.link.kind;
    if (kind == StationLink::Kind::Serial) {
        // The named port alone: no USB logger plugged in meanwhile can take the visit over.
        controller_.SetSerialPortOpener(&serial_);
        serial_.SetRxHandler([this](std::size_t n) { controller_.ComPort1RxChar(n); });
        serial_.SetLostHandler([this] { controller_.ComPort1Lost(); });
        return;
    }
    if (!network) {
        links_ = StartLinks(controller_, std::nullopt);
        return;
    }
    if (kind == StationLink::Kind::Usb) {
        visit_->GiveUp({Msg::CollectNoDemoUsb, {}, {}});
        return;
    }
    sim::Device& front =
        kind == StationLink::Kind::Radio ? network->RadioFront() : network->BluetoothFront();
    demoLink_ = std::make_unique<sim::InProcessHidLink>(front);
    delivery_ = std::make_unique<InProcessDelivery>(*demoLink_, controller_);
    controller_.UsbLoggerFound(demoLink_.get());
}

void VisitRun::Said(const VisitMessage& line) {
    err_.Line(line.Text(language_));
}

void VisitRun::Progress(const VisitProgress& progress) {
    if (progress_) progress_(progress);
}

void VisitRun::ProgressOver() {
    err_.ClearProgress();
}

void VisitRun::Ended() {
    loop_.exit(0);
}

std::string ProgressText(const VisitProgress& progress, Language language) {
    switch (progress.stage) {
        case VisitProgress::Stage::Linking:
            return Message(Msg::CollectLinking, language);
        case VisitProgress::Stage::ReadingOut:
            return Message(Msg::CollectReadingOut, language);
        case VisitProgress::Stage::Copying:
            break;
    }
    std::string text = progress.directory + ": " + CopyProgress::Caption(progress.copy, language);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n'))
        text.replace(at, 1, " · ");
    return text;
}

}  // namespace qm
