#include "app/VisitRun.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <array>

#include "app/InProcessDelivery.h"
#include "app/Links.h"
#include "app/QtTimerHost.h"
#include "link/backends/SerialPortBackend.h"
#include "session/CopyProgress.h"
#include "session/LoggerWork.h"
#include "sim/InProcessLink.h"
#include "sim/Network.h"

namespace qm {

namespace {

// How long the first USB scan may take to find the device.
constexpr int kUsbSearchMs = 3000;

// A visit's timers on Qt's event loop.
class QtVisitTimers : public VisitTimers {
public:
    QtVisitTimers();
    void Arm(VisitTimer id, int ms, std::function<void()> tick) override;
    void Cancel(VisitTimer id) override;

private:
    struct Slot {
        std::unique_ptr<QTimer> timer;
        std::function<void()> tick;
    };
    std::array<Slot, 4> slots_;
};

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

}  // namespace

class VisitRun::Parts : private VisitListener {
public:
    Parts(PcClock& clock, ErrorStream& err, Language language,
          const std::optional<std::filesystem::path>& startFolder)
        : err_(err), language_(language), work_(clock), session_(work_.LoggerSession()) {
        session_.SetTimerHost(&timers_);
        work_.SetAfterEachEvent([this] {
            if (visit_) visit_->Changed();
        });
        work_.SetLanguage(language);
        if (startFolder) work_.SetUpFolders(*startFolder);
        work_.Start();
    }
    ~Parts() override {
        work_.SetAfterEachEvent({});
        visit_.reset();
        session_.SetTimerHost(nullptr);
    }
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    SessionWork& Work() { return work_; }

    VisitResult Run(const Station& station, const VisitAsk& ask, sim::VirtualNetwork* network,
                    std::function<void(const VisitProgress&)> progress) {
        progress_ = std::move(progress);
        VisitAsk a = ask;
        a.usbSearchMs =
            station.link.kind == StationLink::Kind::Serial || network ? 0 : kUsbSearchMs;
        VisitListener& listener = *this;
        visit_.emplace(station, a, session_, Work(), visitTimers_, listener);
        OpenLink(station, network);
        if (!visit_->Over()) visit_->Start();
        if (!visit_->Over()) loop_.exec();
        Work().CloseLocalFiles();
        serial_.Close();
        err_.ClearProgress();
        return visit_->Result();
    }

    void Stop(const VisitMessage& why) {
        if (visit_ && !visit_->Over()) visit_->Stop(why);
    }

private:
    void OpenLink(const Station& station, sim::VirtualNetwork* network) {
        const StationLink::Kind kind = station.link.kind;
        if (kind == StationLink::Kind::Serial) {
            // The named port alone: no USB logger plugged in meanwhile can take the visit over.
            work_.SetSerialPortOpener(&serial_);
            serial_.SetRxHandler([this](std::size_t n) { work_.SerialBytes(n); });
            serial_.SetLostHandler([this] { work_.PortLost(); });
            return;
        }
        if (!network) {
            links_ = StartLinks(work_, std::nullopt);
            return;
        }
        if (kind == StationLink::Kind::Usb) {
            visit_->GiveUp({Msg::CollectNoDemoUsb, {}});
            return;
        }
        sim::Device& front =
            kind == StationLink::Kind::Radio ? network->RadioFront() : network->BluetoothFront();
        demoLink_ = std::make_unique<sim::InProcessHidLink>(front);
        delivery_ = std::make_unique<InProcessDelivery>(*demoLink_, work_);
        work_.UsbLoggerFound(demoLink_.get());
    }

    void Said(const VisitMessage& line) override { err_.Line(line.Text(language_)); }
    void Progress(const VisitProgress& progress) override {
        if (progress_) progress_(progress);
    }
    void ProgressOver() override { err_.ClearProgress(); }
    void Ended() override { loop_.exit(0); }

    ErrorStream& err_;
    Language language_;
    LoggerWork work_;
    Session& session_;
    QtTimerHost timers_;
    QtVisitTimers visitTimers_;
    SerialPortBackend serial_;
    std::unique_ptr<AppLinks> links_;
    std::unique_ptr<sim::InProcessHidLink> demoLink_;
    std::unique_ptr<InProcessDelivery> delivery_;
    QEventLoop loop_;
    std::function<void(const VisitProgress&)> progress_;
    std::optional<Visit> visit_;
};

VisitRun::VisitRun(PcClock& clock, ErrorStream& err, Language language,
                   const std::optional<std::filesystem::path>& startFolder)
    : p_(std::make_unique<Parts>(clock, err, language, startFolder)) {}

VisitRun::~VisitRun() = default;

SessionWork& VisitRun::Work() {
    return p_->Work();
}

VisitResult VisitRun::Run(const Station& station, const VisitAsk& ask, sim::VirtualNetwork* network,
                          std::function<void(const VisitProgress&)> progress) {
    return p_->Run(station, ask, network, std::move(progress));
}

void VisitRun::Stop(const VisitMessage& why) {
    p_->Stop(why);
}

std::unique_ptr<PcClock> MakePcClock() {
    return std::make_unique<QtPcClock>();
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
