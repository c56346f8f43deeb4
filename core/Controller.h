#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/BluetoothPresenter.h"
#include "core/CalibrationPresenter.h"
#include "core/ClockPresenter.h"
#include "core/CopyPresenter.h"
#include "core/CopyResultView.h"
#include "core/Handlers.h"
#include "core/PartContext.h"
#include "core/PortPresenter.h"
#include "core/ProblemPresenter.h"
#include "core/RadioPresenter.h"
#include "core/ReadOutPresenter.h"
#include "core/RemarksPresenter.h"
#include "core/RetryPresenter.h"
#include "core/SchedulePresenter.h"
#include "core/Services.h"
#include "core/TestPresenter.h"
#include "link/HidCtl.h"
#include "link/SerialPortOpener.h"
#include "protocol/Links.h"
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
#include "ui/model/WindowModel.h"

namespace qm {

// The program's controller: it wires the parts that own the window's behaviour to the window
// model, the links and the timers, and runs every event on one thread. It never blocks and never
// calls a widget. Every public entry point is one event (a click, a timer tick, a received
// report); after each, the change callback lets the view repaint.
class Controller : public SessionWork {
public:
    Controller(PcClock& clock, OperatorServices& ops);
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Called after every entry point.
    void SetChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }

    const WindowModel& Model() const { return m_; }
    // Direct access for the view layer and tests that set up a situation.
    WindowModel& MutableModel() { return m_; }

    // The session below the window: the link, what is known of the logger, the events.
    const Session& LoggerSession() const { return session_; }
    Session& MutableSession() { return session_; }
    // What shows the session's problems to the operator; a run without a window stops it
    // listening and words them itself.
    SessionEvents& ProblemShower() { return problems_; }
    // The timers that pace the work, the session's.
    const SessionTimers& Timers() const { return session_.Timers(); }
    SessionTimers& MutableTimers() { return session_.Timers(); }

    // The parts, for tests that look at (or set up) what one of them holds.
    const Exchange& Link() const { return x_; }
    Exchange& MutableLink() { return x_; }
    const ConnectionSequence& Sequence() const { return sequence_; }
    const DeviceClock& Clock() const { return clock_; }
    DeviceClock& MutableClock() { return clock_; }
    const ScheduleEditor& Schedule() const { return schedule_; }
    const SchedulePresenter& ScheduleGroup() const { return schedulePresenter_; }
    const CalibrationEditor& Calibration() const { return calibration_; }
    const RemarksEditor& Remarks() const { return remarks_; }
    const TestMeasurement& Test() const { return test_; }
    const RadioModem& Radio() const { return radio_; }
    const BtModemDialogue& Bluetooth() const { return bt_; }
    BtModemDialogue& MutableBluetooth() { return bt_; }
    // The Bluetooth group's device list.
    const BluetoothPresenter& BluetoothView() const { return btView_; }
    const Catalogue& Directories() const { return catalogue_; }
    Catalogue& MutableDirectories() { return catalogue_; }
    const CopySession& Copy() const { return copy_; }
    CopySession& MutableCopy() { return copy_; }
    const DayCopy& Day() const { return day_; }
    // The progress of the running copy.
    CopyProgressView Progress() const override { return progress_.View(); }
    // Files, bytes and retries of the copies since the start.
    const CopyTally& Tally() const { return tally_; }

    // The work on the logger as the session offers it (see SessionWork): each runs as one event
    // and does what the operator's buttons do.
    bool OpenSerialPort(const std::string& name) override;
    bool LinkFound() const override;
    bool ThroughModemAdapter() const override;
    bool ReachRadioAddress(int address) override;
    bool DialBluetooth(const std::string& address, int calls) override;
    bool ReadingOut() const override;
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
    CopyResult CopySoFar() const override { return copy_.SoFar(); }
    std::filesystem::path DataFolder() const override;
    void CloseLocalFiles() override;
    void NameStation(const std::string& name) override { downloadLog_.SetStation(name); }
    bool UseDataFolder(const std::filesystem::path& folder) override;
    // The language of the captions and messages, as the language menu chooses it.
    void ChooseLanguage(Language language);

    // Start-up and close.
    // Makes sure a DATA folder exists in the start folder (the working directory at start).
    void SetUpFolders(const std::filesystem::path& startFolder);
    void FormCreate(int screenWidth, int screenHeight);
    void FormClose();

    // Links.
    // A HID device with the logger's product string has been found: it carries the packets from
    // now on and the connection sequence starts 300 ms later.
    void UsbLoggerFound(HidDeviceLink* device);
    // A serial port has been opened by the operator; the sequence starts 3 s later.
    void SerialPortOpened(SerialLink* port, const std::string& portName);
    // One input report (report ID split off) from a HID device with the given product string.
    void HidCtlDeviceData(std::string_view productString, std::span<const std::uint8_t> data);
    // Bytes are waiting on the serial port.
    void ComPort1RxChar(std::size_t bytesWaiting);
    // The HID device controller whose devices carry the USB link: its scans, enumerations and
    // reports come to this controller's handlers.
    void AttachHidCtl(HidCtl& hid);
    // Opens the serial port that the operator chooses in the port group.
    void SetSerialPortOpener(SerialPortOpener* opener) { link_.SetPortOpener(opener); }
    // The set of HID devices has changed: enumerate them again.
    void HidCtlDeviceChange();
    // Opens the port chosen in the port group (SpinEdit1, or the device in portDevice).
    void bSetPortClick();
    // The open serial port's far end has gone (the port has been closed under the program).
    void ComPort1Lost();

    // Timers: a tick of one of the session's, or of the window's own.
    void OnTimer(TimerId id);
    void OnTimer(WindowTimerId id);

    // Clock, synchronisation and test measurement.
    void bClockClick();
    void bSynchClick();
    void bTestClick();

    // Menu.
    void pmBluetoothClick();

    // The USB adapter is a Bluetooth modem: offers the addresses of "Device.txt" in the start
    // folder (up to eight) in the BT group for dialling.
    void LoadBluetoothDeviceList();

    // Widget events by the control's name, as the view reports them. A value edit changes the
    // model and, when the shown value differs, runs the control's change handler: the same
    // handler that runs when the controller itself changes the value.
    void Click(std::string_view name);
    void TextEdited(std::string_view name, const std::string& text);
    void NumberEdited(std::string_view name, double value);
    void DateTimeEdited(std::string_view name, DateTime value);
    void Checked(std::string_view name, bool checked);
    void Selected(std::string_view name, int index);
    // Names that have a click or change handler (views connect only these).
    bool HasClickHandler(std::string_view name) const;
    // A click waits for the reply to the request outstanding (see deferredClick_).
    bool ClickDeferred() const { return !deferredClick_.empty(); }

    // Language items of the context menu: each sets both check marks, then its captions.
    void pmRusClick();
    void pmEngClick();
    // The language selected in the context menu (the check mark of pmEng); run-time messages
    // follow it.
    Language CurrentLanguage() const;

    // Modems: the Bluetooth modem's dial button and the radio modem's start button.
    void Button6Click();
    void bRStartClick();

    // The longest a step can wait on a silent logger before it gives up: the first wait of a
    // link and three retries at the longest wait.
    static constexpr std::int64_t kGiveUpWithinMs =
        ReplyWait::kInitialMs + ReplyWatch::kReplyRetries * ReplyWait::kCeilingMs;

    // Text of the clock label for a device clock reply, e.g. "09:07:03  5. 3.2024".
    static std::string ClockText(int hour, int minute, int second, int day, int month, int year) {
        return DeviceClock::ClockText(hour, minute, second, day, month, year);
    }
    // Text of the line value for the title from a reply to 16.
    static std::string LineText(const Reply& reply) { return ConnectionSequence::LineText(reply); }

private:
    template <typename F>
    void Run(F&& handler);

    void RegisterHandlers();
    // The retry caption: retry `attempt` of kReplyRetries, hidden for 0.
    void ShowRetry(int attempt) { retryView_.ShowRetry(attempt); }
    void RunChange(std::string_view name);
    // A button whose click sends a request to the logger or locks the window for a copy.
    static bool SendsRequest(std::string_view name);
    // Runs the click that waited for the outstanding request, once none is.
    void RunDeferredClick();
    void SetLanguage(Language language);
    CopyStart Began(CopyStart start) const;

    // Links: the device or port that carries the packets from now on; the connection sequence
    // starts when StartTimer fires.
    void UseUsbLogger(HidDeviceLink* device);
    void UseSerialPort(SerialLink* port, const std::string& portName);
    bool HidCtlEnumerate(HidDevice& device, int index);
    void UsbLoggerPluggedIn(HidDevice& device);
    void PrepareNewConnection();
    // Opens the serial port `device` (or numbered `number`) and starts the connection on it;
    // false when it cannot be opened (the operator has been told why).
    bool StartSerialPort(std::uint8_t number, const std::string& device);

    OperatorServices& ops_;
    HidCtl* hid_ = nullptr;
    std::function<void()> changed_;
    WindowModel m_;
    Session session_;
    Exchange& x_ = session_.Link();
    PartContext ctx_;
    // What the operations below the window share.
    WorkContext work_{session_};
    Handlers handlers_;
    // A click that would send a request while another is awaited: its reply would be taken for
    // the new request's. It runs as soon as nothing is awaited.
    std::string deferredClick_;
    CopyTally tally_;

    // A part may hold a reference to one declared after it; none uses it while being built.
    CalibrationEditor calibration_{work_};
    RemarksEditor remarks_{work_, sequence_};
    LinkStart link_{work_};
    PortPresenter portView_{ctx_};
    RadioModem radio_{work_};
    BtModemDialogue bt_{work_};
    RadioPresenter radioView_{ctx_, radio_};
    BluetoothPresenter btView_{ctx_, bt_};
    ConnectionSequence sequence_{work_, calibration_, radio_, bt_};
    ScheduleEditor schedule_{work_, sequence_};
    DeviceClock clock_{work_, sequence_};
    TestMeasurement test_{work_, calibration_, sequence_};
    CopyProgress progress_{work_};
    ProblemPresenter problems_{m_, ops_};
    ReadOutPresenter readOutView_{ctx_, sequence_};
    ClockPresenter clockView_{ctx_, clock_};
    CalibrationPresenter calibrationView_{ctx_, calibration_};
    RemarksPresenter remarksPresenter_{ctx_, remarks_};
    TestPresenter testPresenter_{ctx_, test_, calibration_, sequence_};
    SchedulePresenter schedulePresenter_{ctx_, schedule_, sequence_};
    CopyResultView copyResult_{m_};
    CopyPresenter copyPresenter_{ctx_, catalogue_, copy_, day_, progress_};
    CopySession copy_{work_, catalogue_, progress_};
    Catalogue catalogue_{work_, sequence_, copy_};
    DayCopy day_{work_, catalogue_, copy_, progress_};
    DownloadLog downloadLog_{work_, catalogue_, [this] { return CurrentLanguage(); }};
    ReplyWatch replies_{work_,
                        {sequence_, clock_, schedule_, remarks_, test_, catalogue_, copy_, day_,
                         radio_, bt_, tally_}};
    RetryPresenter retryView_{ctx_, [this] { deferredClick_.clear(); }};
};

}  // namespace qm

namespace qm {

template <typename F>
void Controller::Run(F&& handler) {
    // Like a handler that raised: the step ends here and the operator sees why, in the
    // language chosen.
    try {
        handler();
    } catch (const SerialPortError& e) {
        ops_.ShowError(SerialErrorText(e.Failure(), e.SystemError(), CurrentLanguage()));
    } catch (const FileError& e) {
        ops_.ShowError(e.Text(CurrentLanguage()));
    } catch (const std::exception& e) {
        ops_.ShowError(Message(Msg::InternalError, CurrentLanguage(), {e.what()}));
    }
    RunDeferredClick();
    if (changed_) changed_();
}

}  // namespace qm
