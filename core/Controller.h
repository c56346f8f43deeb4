#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/ControllerState.h"
#include "core/Services.h"
#include "link/HidCtl.h"
#include "link/SerialPortOpener.h"
#include "protocol/Links.h"
#include "ui/model/Messages.h"
#include "ui/model/WindowModel.h"

namespace qm {

// The program's controller: owns ControllerState and the window model, and runs every handler of
// the main window on one thread. It never blocks and never calls a widget: it changes the model,
// writes requests to the active link, and leaves waiting to timers. Every public entry point is
// one event (a click, a timer tick, a received report); after each, the change callback lets the
// view repaint.
class Controller {
public:
    Controller(PcClock& clock, OperatorServices& ops);

    // Called after every entry point.
    void SetChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }

    const ControllerState& State() const { return s_; }
    const WindowModel& Model() const { return m_; }
    // Direct access for the view layer and tests that set up a situation.
    ControllerState& MutableState() { return s_; }
    WindowModel& MutableModel() { return m_; }

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
    void SetSerialPortOpener(SerialPortOpener* opener) { portOpener_ = opener; }
    // The set of HID devices has changed: enumerate them again.
    void HidCtlDeviceChange();
    // Opens the port chosen in the port group (SpinEdit1, or the device in portDevice).
    void bSetPortClick();
    // The open serial port's far end has gone (the port has been closed under the program).
    void ComPort1Lost();

    // Timers.
    void OnTimer(TimerId id);

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

    // Language items of the context menu: each sets both check marks, then its captions.
    void pmRusClick();
    void pmEngClick();
    // English is selected (the check mark of pmEng); run-time messages follow it.
    bool IsEnglish() const;

    // Modems: the Bluetooth modem's dial button and the radio modem's start button.
    void Button6Click();
    void bRStartClick();

    // The reply in the packet buffer has been received completely (indices 1..received).
    void DispatchReply();

    // Text of the clock label for a device clock reply, e.g. "09:07:03  5. 3.2024".
    static std::string ClockText(int hour, int minute, int second, int day, int month, int year);
    // Text of the line value for the title from a reply to 16.
    static std::string LineText(const Reply& reply);

private:
    template <typename F>
    void Run(F&& handler);

    // Links: the device or port that carries the packets from now on; the connection sequence
    // starts when StartTimer fires.
    void UseUsbLogger(HidDeviceLink* device);
    void UseSerialPort(SerialLink* port, const std::string& portName);

    // An operator text in the language chosen.
    std::string Text(Msg id, std::initializer_list<std::string_view> args = {}) const {
        return Message(id, IsEnglish(), args);
    }

    // Exchange.
    // A request of its code alone, over the active link; the status byte kModemRequestStatus
    // lets a USB modem adapter answer for itself.
    void SendCommand(std::uint8_t code, std::uint8_t status = 0);
    void SendPacket();
    void WriteHidReport();
    void SendModemRequest(std::uint8_t code, std::uint8_t dataByte, bool withData);
    Reply CurrentReply() const { return Reply(s_.PacketBuffer, s_.ReceivedCount); }

    // Dispatch rows.
    void IdentificationReply();
    void LineValueReply();
    void ReadingsReply();
    void ClockReply();
    void ScheduleReply();
    void ScheduleWrittenReply();
    void BatteryReply();
    void CalibrationReply();
    void CalibrationBlockReply();
    void ListingReply();
    void DeleteReply();
    void RemarksReply();
    void RemarksWrittenReply();
    void LinkKindReply();
    void ModemModeReply();
    void RadioAddressReply();
    void LineReply();
    void DayFoundReply();
    void ValuesReply();

    // Modem dialogue.
    void SetModemMode();
    // Writes one text line to the modem; false (nothing written) when it cannot fit the report.
    bool SendText(const std::string& text);
    void HandleModemLine();
    void HandleDialLine(const std::string& line);
    void SendCall();
    // The CALL line for the device selected in RadioGroup1, or nothing (and the operator is
    // told why) when no device is selected or its line cannot fit one output report.
    std::optional<std::string> SelectedCallText();
    void cbRAddressClick();
    // Ends the every-second identification of the radio modem, if it runs.
    void StopRadioRepeat();
    void ShowRadioStartCaption();
    void SelectRadioAddress(std::uint8_t address);
    void BTtimerTimer();
    void Timer1Timer();
    void Timer4Timer();

    // Catalogue: selection, delete.
    void RegisterCopyHandlers();
    void ComboBox1Change();
    void bDeleteClick();
    void DeleteSelectedDirectory();
    // The logger's name of the selected directory, or nothing when none is selected.
    const std::string* SelectedDirectory() const;

    // Full and "Новые" copies.
    void bAllDataClick();
    void bNewDataClick();
    void StartCopy(bool resume);
    // Whether a logger directory's name can be its local data-set folder; when it cannot, the
    // operator is told why and nothing is copied.
    bool UsableAsLocalFolder(const std::string& directory);
    void LockForCopy();
    void UnlockAfterCopy();
    void FileListingEntry(const std::string& nameBytes);
    void FileListingEnded();
    void HandleLineReply();
    void CollectValues();
    void WriteValueLines();
    void CountMeasurement();
    void ShowNoData();
    void NextFileOrFinish();
    void CopyFilesFrom(std::size_t index, bool resumeFirst);
    bool OpenCopyFile(std::size_t index, bool resume);
    void CompleteCopyFile();
    void RequestOpenFile();
    void RequestResumeFile();
    void RequestFirstValues();
    // Creates the data-set folder of the running copy when it does not exist yet.
    void MakeCopyFolder();
    // A local file failed: the operator is told, the unfinished file is dropped and the
    // finishing step unlocks the data group.
    void FailCopy(const std::string& message);
    void GuardCopy(const std::function<void()>& step);
    void Timer2Timer();
    void CloseLocalFiles();

    // Day copy.
    void bSelectClick();
    void bCancelClick();
    void bCopyClick();
    void HandleDayLineReply();
    void WriteDayLine(const std::string& text, std::uint8_t status);
    void RequestDay();
    void FinishDayCopy();

    // Connection sequence.
    void ContinueWithBattery();
    void EndInitialSequence();
    void StartBusyIndicator();
    void StopBusyIndicator();
    void StartTimerTimer();
    void SysTimerTimer();
    void Timer3Timer();
    void TimerBarTimer();
    void ArmSysTimer(int action, int intervalMs);

    // Clock.
    void SendClockSet();
    void ShowDeviceClock();

    // Catalogue.
    void RequestDirectoryList(const std::string& name);
    void DirectoryListingEnded();
    void EndOfListing();

    // A control's value changes, by the operator's edit or by the controller itself: compare,
    // assign, and run the control's change handler when the shown value differs.
    template <typename V>
    void ChangeValue(std::string_view name, V& field, const V& value) {
        if (field == value) return;
        field = value;
        RunChange(name);
    }
    // Value changes the controller makes itself.
    void SetDateTimeValue(std::string_view name, DateTimeEdit& editor, DateTime value);
    void SetSpinValue(std::string_view name, SpinEdit& editor, double value);
    void SetEditText(std::string_view name, EditBox& edit, const std::string& text);

    // Measurements: handlers of the schedule group, the parameters dialog, the calibration group
    // and the remark group, registered by name.
    void RegisterMeasureHandlers();

    // Schedule.
    void ShowSchedule(Colour colour);
    void ScheduleEditorChanged(Control& editor);
    void TimeStartChange();
    void DateStartChange();
    void TimeStopChange();
    void DateStopChange();
    void DayEditChange();
    void HourEditChange();
    void MinEditChange();
    void bCurrent1Click();
    void bCurrent2Click();
    void bSetClick();
    void SendSchedule();

    // Parameters dialog ("Parameters." controls).
    void ParametersFormActivate();
    void ParametersActivateClick();
    void ParametersButton1Click();
    void ParametersButton2Click();
    void ParametersCloseClick();
    void CloseParametersDialog();

    // Calibration.
    void pmCalibrationClick();
    void CalibrBoxClick();
    void Edit1Change();
    void bCalibrClick();
    void SendCalibrationTable();

    // Remarks.
    void ShowRemarks(Colour colour);
    void pRemark1Change();
    void pRemark2Change();
    void bRemarkClick();
    void SendRemarks();

    using Handler = void (Controller::*)();
    // Handlers by control name; each feature registers its own in its file.
    void RegisterHandlers();
    void RegisterCoreHandlers();
    void RegisterModemHandlers();
    void RegisterLanguageHandlers();
    void RegisterLinkHandlers();
    bool HidCtlEnumerate(HidDevice& device, int index);
    void UsbLoggerPluggedIn(HidDevice& device);
    bool CopyRunning() const;
    void PrepareNewConnection();
    void OnClick(std::string_view name, Handler h) { clicks_.emplace(name, h); }
    void OnChange(std::string_view name, Handler h) { changes_.emplace(name, h); }
    void RunChange(std::string_view name);
    std::map<std::string, Handler, std::less<>> clicks_;
    std::map<std::string, Handler, std::less<>> changes_;

    PcClock& clock_;
    OperatorServices& ops_;
    HidCtl* hid_ = nullptr;
    SerialPortOpener* portOpener_ = nullptr;
    std::function<void()> changed_;
    ControllerState s_;
    WindowModel m_;
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
        ops_.ShowError(SerialErrorText(e.Failure(), e.SystemError(), IsEnglish()));
    } catch (const FileError& e) {
        ops_.ShowError(e.Text(IsEnglish()));
    } catch (const std::exception& e) {
        ops_.ShowError(Text(Msg::InternalError, {e.what()}));
    }
    if (changed_) changed_();
}

}  // namespace qm
