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
#include "session/LoggerWork.h"
#include "ui/model/WindowModel.h"

namespace qm {

// The window's controller: the presenters of the window's groups over the work on the logger,
// which it holds. Clicks and edits become calls of the work's operations; the work's events
// become the window model's captions, colours and states. It never blocks and never calls a
// widget. Every public entry point is one event (a click, a timer tick, a received report);
// after each, the change callback lets the view repaint.
class Controller {
public:
    Controller(PcClock& clock, OperatorServices& ops);
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;
    ~Controller();

    // Called after every entry point.
    void SetChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }

    const WindowModel& Model() const { return m_; }
    // Direct access for the view layer and tests that set up a situation.
    WindowModel& MutableModel() { return m_; }

    // The work below the window, and its session: the link, what is known of the logger, the
    // events.
    LoggerWork& Work() { return work_; }
    const Session& LoggerSession() const { return session_; }
    Session& MutableSession() { return session_; }
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
    CopyProgressView Progress() const { return progress_.View(); }
    // Files, bytes and retries of the copies since the start.
    const CopyTally& Tally() const { return work_.Tally(); }
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
    void SetSerialPortOpener(SerialPortOpener* opener) { work_.SetSerialPortOpener(opener); }
    // Shows the port group with the port `name` in it and opens that port, as the port button
    // does; false when it cannot be opened (the operator has been told why).
    bool OpenPortGroup(const std::string& name);
    // The set of HID devices has changed: enumerate them again.
    void HidCtlDeviceChange();
    // Opens the port chosen in the port group (SpinEdit1, or the device in portDevice).
    void bSetPortClick();
    // The open serial port's far end has gone (the port has been closed under the program).
    void ComPort1Lost();

    // Timers: a tick of one of the session's, or of the window's own.
    void OnTimer(TimerId id) { work_.OnTimer(id); }
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
    void Run(F&& handler) {
        work_.Run(std::forward<F>(handler));
    }
    // After every event: a click that waited runs, and the view repaints.
    void AfterEachEvent();

    void RegisterHandlers();
    void RunChange(std::string_view name);
    // A button whose click sends a request to the logger or locks the window for a copy.
    static bool SendsRequest(std::string_view name);
    // Runs the click that waited for the outstanding request, once none is.
    void RunDeferredClick();
    void SetLanguage(Language language);

    OperatorServices& ops_;
    std::function<void()> changed_;
    WindowModel m_;
    LoggerWork work_;
    Session& session_ = work_.LoggerSession();
    Exchange& x_ = session_.Link();
    PartContext ctx_;
    Handlers handlers_;
    // A click that would send a request while another is awaited: its reply would be taken for
    // the new request's. It runs as soon as nothing is awaited.
    std::string deferredClick_;

    // The operations the presenters show.
    CalibrationEditor& calibration_ = work_.Calibration();
    RemarksEditor& remarks_ = work_.Remarks();
    RadioModem& radio_ = work_.Radio();
    BtModemDialogue& bt_ = work_.Bluetooth();
    ConnectionSequence& sequence_ = work_.Sequence();
    ScheduleEditor& schedule_ = work_.Schedule();
    DeviceClock& clock_ = work_.Clock();
    TestMeasurement& test_ = work_.Test();
    CopyProgress& progress_ = work_.ProgressOfCopy();
    CopySession& copy_ = work_.Copy();
    Catalogue& catalogue_ = work_.Directories();
    DayCopy& day_ = work_.Day();

    PortPresenter portView_{ctx_};
    RadioPresenter radioView_{ctx_, radio_};
    BluetoothPresenter btView_{ctx_, bt_};
    ProblemPresenter problems_{m_, ops_};
    ReadOutPresenter readOutView_{ctx_, sequence_};
    ClockPresenter clockView_{ctx_, clock_};
    CalibrationPresenter calibrationView_{ctx_, calibration_};
    RemarksPresenter remarksPresenter_{ctx_, remarks_};
    TestPresenter testPresenter_{ctx_, test_, calibration_, sequence_};
    SchedulePresenter schedulePresenter_{ctx_, schedule_, sequence_};
    CopyResultView copyResult_{m_};
    CopyPresenter copyPresenter_{ctx_, catalogue_, copy_, day_, progress_};
    RetryPresenter retryView_{ctx_, [this] { deferredClick_.clear(); }};
};

}  // namespace qm
