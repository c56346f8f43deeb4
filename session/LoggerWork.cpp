#include "session/LoggerWork.h"

#include <algorithm>
#include <system_error>

#include "protocol/Cp1251.h"
#include "session/ProblemWords.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

namespace qm {

LoggerWork::LoggerWork(PcClock& clock) : session_(clock) {
    sequence_.SetCatalogue(catalogue_);
    copy_.SetDayCopy(day_);
    copy_.SetTally(tally_);
    using dispatch::Part;
    x_.Awaits(Part::Sequence, sequence_);
    x_.Awaits(Part::Clock, clock_);
    x_.Awaits(Part::Schedule, schedule_);
    x_.Awaits(Part::Remarks, remarks_);
    x_.Awaits(Part::Test, test_);
    x_.Awaits(Part::Catalogue, catalogue_);
    x_.Awaits(Part::Copy, copy_);
    x_.Awaits(Part::Day, day_);
    x_.Awaits(Part::BtModem, bt_);
    x_.Awaits(Part::RadioModem, radio_);
    session_.Timers().OnTick([this](TimerId id) { OnTimer(id); });
    session_.SetWork(*this);
    // The phase is known before anyone else hears of its change.
    session_.Listen(*this);
    session_.Listen(downloadLog_);
}

LoggerWork::~LoggerWork() {
    session_.StopListening(downloadLog_);
    session_.StopListening(*this);
}

void LoggerWork::Failed(const std::exception& e) {
    // Like a step that gave up: it ends here and its problem says why.
    try {
        work_.Fail(ExceptionProblem(e));
    } catch (const std::exception&) {
        // A listener that cannot take the problem either: nothing more can be said.
    }
}

void LoggerWork::SetUpFolders(const std::filesystem::path& startFolder) {
    catalogue_.SetUpFolders(startFolder);
}

void LoggerWork::Start() {
    Run([&] {
        sequence_.ArmReadOut();
        x_.SerialLinkActive = false;
        x_.ResetSerialReply();
        bt_.ResetDial();
    });
}

void LoggerWork::Close(bool throughModem, bool overPort) {
    try {
        link_.PowerDown(throughModem && bt_.BtModemLink() && clock_.ClockRead(), overPort);
    } catch (const std::exception&) {
    }
    copy_.CloseLocalFiles();
}

// Phase.

WorkPhase LoggerWork::Phase() const {
    if (sequence_.ReadingOut() && identified_) return WorkPhase::ReadingOut;
    if (!identified_) return LinkFound() ? WorkPhase::Linking : WorkPhase::NoLink;
    return Ready() && Idle() ? WorkPhase::Ready : WorkPhase::Busy;
}

bool LoggerWork::Ready() const {
    return identified_ && !held_ && !copyHeld_ && !copy_.CopyRunning() && !x_.Outstanding;
}

void LoggerWork::ReadOutRestarted() {
    identified_ = false;
    held_ = false;
    listed_ = false;
}

void LoggerWork::LoggerIdentified() {
    identified_ = true;
    // An identification outside the read-out (late, or asked again) leads to no listing.
    if (sequence_.ReadingOut()) held_ = true;
}

// Links.

void LoggerWork::AttachHidCtl(HidCtl& hid) {
    hid_ = &hid;
    hid.SetHandlers({
        .enumerate = [this](HidDevice& device, int index) { return HidEnumerate(device, index); },
        .deviceChange = [this] { HidDeviceChange(); },
        .deviceData =
            [this](HidDevice& device, std::span<const std::uint8_t> data) {
                HidDeviceData(device.ProductString(), data);
            },
    });
}

void LoggerWork::HidDeviceData(std::string_view productString, std::span<const std::uint8_t> data) {
    Run([&] {
        if (!x_.TakeHidReport(productString, data)) return;
        if (x_.TextMode) {
            // In command mode the modem answers with text lines, its mode request too.
            bt_.TakeModemLine();
            return;
        }
        // A report while nothing is awaited (a stale reply, one given up on) answers nothing.
        if (!x_.Outstanding) return;
        replies_.Received();
    });
}

void LoggerWork::SerialBytes(std::size_t bytesWaiting) {
    Run([&] {
        if (!x_.TakeSerialBytes(bytesWaiting)) return;
        replies_.Received();
        while (x_.TakeSurplus()) replies_.Received();
    });
}

void LoggerWork::UsbLoggerFound(HidDeviceLink* device) {
    Run([&] { link_.UseUsb(device); });
}

void LoggerWork::SerialPortOpened(SerialLink* port, const std::string& portName) {
    Run([&] { link_.UseSerial(port, portName); });
}

void LoggerWork::HidDeviceChange() {
    Run([&] {
        if (!hid_) return;
        hid_->RunEnumeration();
        // Once the connection has started over USB, the logger going away ends the program; a
        // logger plugged in again has been found by the enumeration above and carries on. Other
        // HID devices coming and going change nothing.
        if (!x_.UsbStarted || x_.SerialLinkActive || !x_.LinkDevice) return;
        const HidDevice* device = hid_->Find(x_.LinkDevice);
        if (device && !device->PluggedIn()) {
            copy_.CloseLocalFiles();
            session_.Report([](SessionEvents& e) { e.LoggerUnplugged(); });
        }
    });
}

// Every device is claimed at its first visit, so that every device the program may open gets a
// reader; reports are filtered by product string when they arrive. Only a logger visited for
// the first time (one just plugged in) can become the link: devices that stay plugged in are
// visited again at every device change and must leave a running connection alone.
bool LoggerWork::HidEnumerate(HidDevice& device, int index) {
    const bool firstVisit = hid_->ClaimDevice(index) != nullptr;
    if (firstVisit && device.ProductString() == kLoggerProductName) UsbLoggerPluggedIn(device);
    if (!x_.UsbStarted && !x_.SerialLinkActive)
        session_.Report([](SessionEvents& e) { e.UsbScanned(); });
    return true;
}

void LoggerWork::UsbLoggerPluggedIn(HidDevice& device) {
    if (!device.ReadWriteAccess()) {
        // Without read/write access no request would go out and no reply come in.
        work_.Fail(Msg::HidNoReadWrite, {device.Path()});
        return;
    }
    // A copy in progress keeps its logger; a logger plugged in meanwhile is not taken.
    if (copy_.CopyRunning()) return;
    if (link_.Started()) PrepareNewConnection();
    link_.UseUsb(&device);
}

void LoggerWork::PrepareNewConnection() {
    sequence_.Restart();
    x_.ForgetRequest();
    session_.Report([](SessionEvents& e) { e.ConnectionReplaced(); });
    x_.TextMode = false;
    bt_.Reset();
    x_.ResetSerialReply();
    radio_.Reset();
}

bool LoggerWork::OpenPort(std::uint8_t number, const std::string& device) {
    bool opened = false;
    Run([&] {
        const auto port = link_.OpenPort(number, device);
        if (!port) return;
        if (link_.Started()) PrepareNewConnection();
        link_.UseSerial(port->port, port->name);
        opened = true;
    });
    return opened;
}

void LoggerWork::PortLost() {
    Run([&] {
        if (!link_.PortLost()) return;
        const std::string name = x_.PortName;
        session_.Report([&name](SessionEvents& e) { e.PortLost(name); });
        // A copy drops its unfinished file and gives the directories back.
        if (copy_.CopyRunning())
            copy_.FailCopy(Msg::PortLostNoWindow, {name});
        else
            work_.Fail(Msg::PortLostNoWindow, {name});
    });
}

void LoggerWork::OnTimer(TimerId id) {
    Run([&] {
        switch (id) {
            case TimerId::StartTimer:
                sequence_.StartTimerTimer();
                break;
            case TimerId::Timer3:
                sequence_.Timer3Timer();
                break;
            case TimerId::Timer1:
                bt_.Timer1Timer();
                break;
            case TimerId::Timer2:
                copy_.Timer2Timer();
                break;
            case TimerId::Timer4:
                bt_.Timer4Timer();
                break;
            case TimerId::BTtimer:
                bt_.BTtimerTimer();
                break;
            case TimerId::ReplyTimer:
                replies_.WatchdogTick();
                // A copy that waits on a retry has taken longer than its time left said.
                progress_.Tell();
                break;
            case TimerId::RadioRepeat:
                radio_.RadioRepeatTimer();
                break;
        }
    });
}

// SessionWork.

bool LoggerWork::OpenSerialPort(const std::string& name) {
    if (name.empty()) return false;
    return OpenPort(0, name);
}

bool LoggerWork::LinkFound() const {
    return x_.SerialLinkActive || x_.UsbStarted || session_.Timers().StartTimer.Enabled();
}

bool LoggerWork::ThroughModemAdapter() const {
    return radio_.RadioModemLink() || bt_.BtModemLink();
}

bool LoggerWork::ReachRadioAddress(int address) {
    if (!radio_.CanStart() || x_.Outstanding || address < 0 || address > 254) return false;
    // One identification; the watchdog asks again.
    Run([&] { radio_.Start(static_cast<std::uint8_t>(address), false); });
    return true;
}

bool LoggerWork::DialBluetooth(const std::string& address, int calls) {
    // A dial the modem cannot take now changes nothing, and is no event: whoever asks again
    // waits for the next one (the modem ready) instead of asking at once, over and over.
    const std::string cp1251 = Utf8ToCp1251(address);
    if (!bt_.CanDial(cp1251)) return false;
    bool dialling = false;
    Run([&] { dialling = bt_.DialAddress(cp1251, calls); });
    return dialling;
}

bool LoggerWork::ReadingOut() const {
    return sequence_.ReadingOut();
}

bool LoggerWork::Idle() const {
    const SessionTimers& t = session_.Timers();
    return !x_.Outstanding && !t.StartTimer.Enabled() && !t.Timer1.Enabled() &&
           !t.Timer2.Enabled() && !t.Timer3.Enabled() && !t.Timer4.Enabled() &&
           !t.BTtimer.Enabled();
}

bool LoggerWork::ReadClock() {
    if (!Ready()) return false;
    Run([&] { clock_.Read(); });
    return true;
}

bool LoggerWork::SetClock() {
    if (!Ready() || clock_.Setting()) return false;
    Run([&] { clock_.Set(); });
    return true;
}

bool LoggerWork::MeasureOnce() {
    if (!Ready() || sequence_.ReadingOut()) return false;
    Run([&] { test_.Measure(); });
    return true;
}

bool LoggerWork::WriteSchedule(DateTime start, DateTime stop, int days, int hours, int minutes) {
    if (!Ready() || !listed_ || sequence_.PathrexDevice() || sequence_.ReadingOut()) return false;
    Run([&] {
        schedule_.Capture({start.TimeOfDay(), start.DatePart(), stop.TimeOfDay(), stop.DatePart(),
                           static_cast<double>(days), static_cast<double>(hours),
                           static_cast<double>(minutes)});
        schedule_.Write();
    });
    return true;
}

bool LoggerWork::WriteRemarks(const std::string& first, const std::string& second) {
    if (!Ready() || !listed_ || !sequence_.PathrexDevice() || sequence_.ReadingOut()) return false;
    Run([&] { remarks_.Write(first, second); });
    return true;
}

const std::string* LoggerWork::Listed(const std::string& directory) const {
    const std::vector<std::string>& names = catalogue_.DirectoryNames();
    const auto at = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return Cp1251ToUtf8(name) == directory;
    });
    return at == names.end() ? nullptr : &*at;
}

bool LoggerWork::DeleteDirectory(const std::string& directory) {
    // A copy, or the day copy armed, holds the directories.
    const std::string* name = Listed(directory);
    if (!name || copy_.CopyRunning() || catalogue_.CopyMustWait()) return false;
    bool asked = false;
    Run([&] { asked = catalogue_.Delete(*name); });
    return asked;
}

CopyStart LoggerWork::StartCopy(const std::string& directory, CopyMode mode, DateTime day) {
    const std::string* listed = Listed(directory);
    if (!listed || copy_.CopyRunning()) return CopyStart::Refused;
    const std::string name = *listed;
    switch (mode) {
        case CopyMode::Day: {
            bool began = false;
            Run([&] {
                day_.Arm();
                began = day_.Copy(name, day);
                // Refused (its directory or file name, or a request still awaited): not armed.
                if (!began) day_.Disarm();
            });
            return began ? CopyStart::Started : CopyStart::Refused;
        }
        case CopyMode::New: {
            // Carried on only where a copy left a record to resume from.
            std::error_code ec;
            if (!RefusedFolderName(name) &&
                std::filesystem::exists(
                    DataSetFolder(catalogue_.DataFolder(), name) / kResumeRecordName, ec)) {
                Run([&] { copy_.Start(name, true); });
                return Began(CopyStart::Started);
            }
            Run([&] { copy_.Start(name, false); });
            return Began(CopyStart::StartedWhole);
        }
        case CopyMode::All:
            break;
    }
    Run([&] { copy_.Start(name, false); });
    return Began(CopyStart::Started);
}

// A copy refused before it began (its name cannot be a local folder, say) leaves the
// directories as they were.
CopyStart LoggerWork::Began(CopyStart start) const {
    return copy_.CopyRunning() ? start : CopyStart::Refused;
}

void LoggerWork::StopCopy() {
    Run([&] { copy_.Stop(); });
}

bool LoggerWork::CopyRunning() const {
    return copy_.CopyRunning();
}

std::filesystem::path LoggerWork::DataFolder() const {
    return catalogue_.DataFolder();
}

bool LoggerWork::UseDataFolder(const std::filesystem::path& folder) {
    return catalogue_.UseDataFolder(folder);
}

void LoggerWork::CloseLocalFiles() {
    copy_.CloseLocalFiles();
}

}  // namespace qm
