#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "link/HidCtl.h"
#include "link/SerialPortOpener.h"
#include "session/BtModemDialogue.h"
#include "session/CalibrationEditor.h"
#include "session/Catalogue.h"
#include "session/ConnectionSequence.h"
#include "session/CopyProgress.h"
#include "session/CopySession.h"
#include "session/CopyTally.h"
#include "session/DayCopy.h"
#include "session/DeviceClock.h"
#include "session/DownloadLog.h"
#include "session/LinkStart.h"
#include "session/RadioModem.h"
#include "session/RemarksEditor.h"
#include "session/ReplyWatch.h"
#include "session/ScheduleEditor.h"
#include "session/Session.h"
#include "session/TestMeasurement.h"
#include "session/WorkContext.h"

namespace qm {

// The work on one logger at a time, below any window: the session with its link, timers and
// events, and every operation on the logger, each in a file of its own. It takes the link's data
// and the timers' ticks, runs each as one event on one thread, and offers the work to whoever
// drives it (the window's presenters, a run from the command line) as SessionWork. Whatever goes
// wrong, an exception included, reaches the listeners as a SessionProblem.
class LoggerWork : public SessionWork, private SessionEvents {
public:
    explicit LoggerWork(PcClock& clock);
    LoggerWork(const LoggerWork&) = delete;
    LoggerWork& operator=(const LoggerWork&) = delete;
    ~LoggerWork() override;

    // Called after every event, nested ones included.
    void SetAfterEachEvent(std::function<void()> after) { after_ = std::move(after); }
    // Runs `handler` as one event: a failure it raises becomes the step's problem.
    template <typename F>
    void Run(F&& handler);

    Session& LoggerSession() { return session_; }
    const Session& LoggerSession() const { return session_; }
    WorkContext& Context() { return work_; }

    // The language the collection log words a failed copy's error in.
    void SetLanguage(Language language) { language_ = language; }
    Language CurrentLanguage() const { return language_; }
    // Makes sure a DATA folder exists in the start folder (the working directory at start).
    void SetUpFolders(const std::filesystem::path& startFolder);
    // The program starts: a read-out is armed for the first logger found.
    void Start();
    // The program closes: the logger is powered down through the Bluetooth modem once its clock
    // was read (when `throughModem` is asked) or over an open serial port (`overPort`), and an
    // unfinished local file is dropped. A failed power-down is not reported.
    void Close(bool throughModem, bool overPort);

    // Links.
    // The HID device controller whose devices carry the USB link: its scans, enumerations and
    // reports come here.
    void AttachHidCtl(HidCtl& hid);
    void SetSerialPortOpener(SerialPortOpener* opener) { link_.SetPortOpener(opener); }
    // A HID device with the logger's product string carries the packets from now on; the
    // connection sequence starts 300 ms later.
    void UsbLoggerFound(HidDeviceLink* device);
    // A serial port has been opened; the sequence starts 3 s later.
    void SerialPortOpened(SerialLink* port, const std::string& portName);
    // One input report (report ID split off) from a HID device with the given product string.
    void HidDeviceData(std::string_view productString, std::span<const std::uint8_t> data);
    // The set of HID devices has changed: enumerate them again.
    void HidDeviceChange();
    // Bytes are waiting on the serial port.
    void SerialBytes(std::size_t bytesWaiting);
    // The open serial port's far end has gone (the port has been closed under the program).
    void PortLost();
    // Opens the serial port `device`, or else numbered `number`, and starts the connection on
    // it; false when it cannot be opened (a problem says why).
    bool OpenPort(std::uint8_t number, const std::string& device);

    // A tick of one of the session's timers.
    void OnTimer(TimerId id);

    // The operations, for the presenters that show them and tests that look at them.
    Exchange& Link() { return x_; }
    ConnectionSequence& Sequence() { return sequence_; }
    DeviceClock& Clock() { return clock_; }
    ScheduleEditor& Schedule() { return schedule_; }
    CalibrationEditor& Calibration() { return calibration_; }
    RemarksEditor& Remarks() { return remarks_; }
    TestMeasurement& Test() { return test_; }
    RadioModem& Radio() { return radio_; }
    BtModemDialogue& Bluetooth() { return bt_; }
    Catalogue& Directories() { return catalogue_; }
    CopySession& Copy() { return copy_; }
    DayCopy& Day() { return day_; }
    CopyProgress& ProgressOfCopy() { return progress_; }
    const CopyTally& Tally() const { return tally_; }

    // SessionWork.
    bool OpenSerialPort(const std::string& name) override;
    bool LinkFound() const override;
    bool ThroughModemAdapter() const override;
    bool ReachRadioAddress(int address) override;
    bool DialBluetooth(const std::string& address, int calls) override;
    bool ReadingOut() const override;
    WorkPhase Phase() const override;
    bool Idle() const override;
    bool ReadClock() override;
    bool SetClock() override;
    bool MeasureOnce() override;
    bool DeleteDirectory(const std::string& directory) override;
    bool WriteSchedule(DateTime start, DateTime stop, int days, int hours, int minutes) override;
    bool WriteRemarks(const std::string& first, const std::string& second) override;
    CopyStart StartCopy(const std::string& directory, CopyMode mode, DateTime day) override;
    void StopCopy() override;
    bool CopyRunning() const override;
    CopyProgressView Progress() const override { return progress_.View(); }
    CopyResult CopySoFar() const override { return copy_.SoFar(); }
    std::filesystem::path DataFolder() const override;
    void CloseLocalFiles() override;
    void NameStation(const std::string& name) override { downloadLog_.SetStation(name); }
    bool UseDataFolder(const std::filesystem::path& folder) override;

private:
    // What the session's own events tell of its phase.
    void ReadOutRestarted() override;
    void LoggerIdentified() override;
    void ListingEnded() override { listed_ = true; }
    void FirstListingEnded() override { held_ = false; }
    void ReadOutGivenUp() override { held_ = false; }
    void CopyStarting(CopyMode /*mode*/) override { copyHeld_ = true; }
    void CopyFinishing() override { copyHeld_ = false; }

    void Failed(const std::exception& e);
    // A logger read out, neither held by its read-out nor by a copy, and nothing awaited.
    bool Ready() const;
    const std::string* Listed(const std::string& directory) const;
    CopyStart Began(CopyStart start) const;
    bool HidEnumerate(HidDevice& device, int index);
    void UsbLoggerPluggedIn(HidDevice& device);
    // Another logger (or the same one again, over another link) is about to be read out from the
    // start: what the last connection learnt about its device no longer holds.
    void PrepareNewConnection();

    Session session_;
    Exchange& x_ = session_.Link();
    WorkContext work_{session_};
    std::function<void()> after_;
    HidCtl* hid_ = nullptr;
    Language language_ = Language::Russian;
    CopyTally tally_;
    // The phase as the events told it.
    bool identified_ = false;  // a logger answered since the read-out was armed
    bool held_ = false;        // its read-out holds the work until its first listing
    bool listed_ = false;      // its listing has ended: its schedule or remarks are known
    bool copyHeld_ = false;    // a copy (or the day copy armed) holds the directories

    // An operation may hold a reference to one declared after it; none uses it while being built.
    CalibrationEditor calibration_{work_};
    RemarksEditor remarks_{work_, sequence_};
    LinkStart link_{work_};
    RadioModem radio_{work_};
    BtModemDialogue bt_{work_};
    ConnectionSequence sequence_{work_, calibration_, radio_, bt_};
    ScheduleEditor schedule_{work_, sequence_};
    DeviceClock clock_{work_, sequence_};
    TestMeasurement test_{work_, calibration_, sequence_};
    CopyProgress progress_{work_};
    CopySession copy_{work_, catalogue_, progress_};
    Catalogue catalogue_{work_, sequence_, copy_};
    DayCopy day_{work_, catalogue_, copy_, progress_};
    DownloadLog downloadLog_{work_, catalogue_, [this] { return language_; }};
    ReplyWatch replies_{work_, {sequence_, copy_, radio_, bt_}};
};

template <typename F>
void LoggerWork::Run(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        Failed(e);
    }
    if (after_) after_();
}

}  // namespace qm
