// The connection sequence: identification, correction table, clock, schedule or remarks,
// battery, root listing, and the line value in the title, with the timers that pace it.
#include <optional>
#include <string>

#include "core/Controller.h"
#include "measure/Battery.h"
#include "measure/Calibration.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "store/Catalogue.h"

namespace qm {

namespace C = CommandCode;

// Row 0: who answered. A version byte of 0 is a USB modem adapter, not a logger.
void Controller::IdentificationReply() {
    const Reply r = CurrentReply();
    s_.DeviceType = r.Data(0);
    const std::uint8_t version = r.Data(1);
    if (version == 0) {
        if (s_.SerialLinkActive) {
            // The modem-kind question exists only on USB: on a serial port nothing can follow.
            ops_.ShowError(Text(Msg::SerialAdapterNoLogger, {s_.PortName}));
            return;
        }
        SendModemRequest(C::LinkKindQuery, 0, false);
        return;
    }
    m_.gbR_Modem.visible = false;
    StopRadioRepeat();
    m_.SysTimer.Stop();

    const std::string t = std::to_string(s_.DeviceType) + "." + std::to_string(version);
    if (s_.RadioModemLink) {
        s_.DeviceTitle = "QM-Controller/R-modem [" + t + "]";
    } else if (s_.BtModemLink) {
        s_.DeviceTitle = "QM-Controller/BT-modem [" + t + "]";
    } else if (s_.DeviceType == 88) {
        s_.DeviceTitle = "Pathrex [ " + t + " ]";
        s_.PathrexDevice = true;
    } else {
        s_.DeviceTitle = "QM-Controller [ " + t + " ]";
    }
    m_.window.title = s_.DeviceTitle;

    for (Button* b : {&m_.bTest, &m_.bClock, &m_.bSynch}) {
        b->visible = true;
        b->enabled = false;
    }
    SendCommand(s_.DeviceType < 80 ? C::ReadClock : C::ReadCalibration);
}

namespace {

// The first word of a reply to 16 that holds a value (high byte first), if any was received.
std::optional<std::uint16_t> FirstLineWord(const Reply& r) {
    const int words = r.Length() / 2;
    for (int k = 1; k <= words; ++k) {
        const std::size_t hi = 2 * static_cast<std::size_t>(k) + 1;
        if (!r.Holds(hi + 1)) break;
        const std::uint16_t w = r.WordHighFirst(hi);
        if (w != kNoValue) return w;
    }
    return std::nullopt;
}

}  // namespace

std::string Controller::LineText(const Reply& r) {
    const auto w = FirstLineWord(r);
    if (!w) return "-";
    if (*w < 0x8000) return std::to_string(*w / 16);
    return std::to_string((*w & 0x7F00) / 256) + "." + std::to_string(*w & 0x00FF);
}

// Row 16: the line value goes into the title.
void Controller::LineValueReply() {
    const Reply r = CurrentReply();
    s_.LineValue = FirstLineWord(r).value_or(0);
    m_.window.title = s_.DeviceTitle + "  Line  [" + LineText(r) + "]";
}

// Row 60: entries 1..30; loggers of type 84 and up hold more, read in blocks by 62.
void Controller::CalibrationReply() {
    StoreCalibrationEntries(s_.calibration, CurrentReply(), 1, 30);
    if (s_.DeviceType <= 83) {
        SendCommand(C::ReadClock);
        return;
    }
    s_.CalBlockIndex = 0;
    SendCommand(C::ReadCalibrationNext);
}

// Row 62: block k holds entries k*30+1 .. (k+1)*30; entries up to 90 are read.
void Controller::CalibrationBlockReply() {
    const int k = ++s_.CalBlockIndex;
    const int last = CalibrationBlockEnd(k);
    StoreCalibrationEntries(s_.calibration, CurrentReply(), k * 30 + 1, last);
    SendCommand(last < 63 ? C::ReadCalibrationNext : C::ReadClock);
}

// Row 52: the battery; during the read-out the root listing follows, after a test measurement
// the line value.
void Controller::BatteryReply() {
    s_.BatteryVolts = CurrentReply().Data(0) / 10.0;
    ShowBattery(m_, s_.BatteryVolts, s_.BatteryShown);
    if (s_.InitialSequence) {
        s_.DirectoryName.clear();
        RequestDirectoryList(s_.DirectoryName);
    }
    if (s_.LineQueryPending) {
        s_.LineQueryPending = false;
        SendCommand(C::LineValue);
    }
}

void Controller::ContinueWithBattery() {
    if (s_.InitialSequence) SendCommand(C::ReadBattery);
}

void Controller::EndInitialSequence() {
    if (!s_.InitialSequence) return;
    s_.InitialSequence = false;
    m_.Timer3.Start();
}

void Controller::StartBusyIndicator() {
    m_.ProgressBar1.position = 0;
    m_.ProgressBar1.visible = true;
    m_.TimerBar.Start();
}

void Controller::StopBusyIndicator() {
    m_.ProgressBar1.visible = false;
    m_.TimerBar.Stop();
}

void Controller::ArmSysTimer(int action, int intervalMs) {
    s_.SysTimerAction = action;
    m_.SysTimer.SetInterval(intervalMs);
    m_.SysTimer.Start();
}

void Controller::OnTimer(TimerId id) {
    Run([&] {
        switch (id) {
            case TimerId::StartTimer:
                StartTimerTimer();
                break;
            case TimerId::SysTimer:
                SysTimerTimer();
                break;
            case TimerId::TimerBar:
                TimerBarTimer();
                break;
            case TimerId::Timer3:
                Timer3Timer();
                break;
            case TimerId::Timer1:
                Timer1Timer();
                break;
            case TimerId::Timer2:
                Timer2Timer();
                break;
            case TimerId::Timer4:
                Timer4Timer();
                break;
            case TimerId::BTtimer:
                BTtimerTimer();
                break;
        }
    });
}

// The connection starts: identification with the adapter status, so that a USB modem answers
// for itself.
void Controller::StartTimerTimer() {
    m_.StartTimer.Stop();
    SendCommand(C::Identify, kModemRequestStatus);
    if (!s_.SerialLinkActive) {
        s_.UsbStarted = true;
        m_.GroupBox4.visible = false;
    }
}

void Controller::SysTimerTimer() {
    m_.SysTimer.Stop();
    switch (s_.SysTimerAction) {
        case 1:
            m_.Label2.visible = false;
            break;
        case 2:
            m_.Label6.visible = false;
            m_.Label2.visible = false;
            break;
        case 3:
            // Radio modem, every-second mode: ask again until a logger answers.
            SendCommand(C::Identify);
            ops_.Beep();
            m_.SysTimer.Start();
            break;
        default:
            break;
    }
}

void Controller::Timer3Timer() {
    m_.Timer3.Stop();
    SendCommand(C::LineValue);
}

void Controller::TimerBarTimer() {
    ProgressBar& bar = m_.ProgressBar1;
    bar.position = bar.position + 1 > bar.maximum ? 0 : bar.position + 1;
}

// Rows 64/65: one entry of a listing, or its end.
void Controller::RequestDirectoryList(const std::string& name) {
    const auto count = BuildNameRequest(s_.PacketBuffer, C::ListFirst, name);
    if (!count) {
        ops_.ShowError(Text(Msg::DirectoryTooLong, {Cp1251ToUtf8(name)}));
        return;
    }
    s_.CurrentCommand = C::ListFirst;
    s_.SendCount = *count;
    SendPacket();
}

void Controller::ListingReply() {
    const Reply r = CurrentReply();
    if (r.Status() != ReplyStatus::Complete) {
        EndInitialSequence();
        return;
    }
    if (r.Data(0) != 0) {
        const std::string entry = r.Text();
        if (s_.copy.ListingFiles)
            FileListingEntry(entry);
        else
            AddDirectoryEntry(s_.copy, m_.ComboBox1, entry);
        SendCommand(C::ListNext);
        return;
    }
    if (s_.copy.ListingFiles) {
        s_.copy.ListingFiles = false;
        FileListingEnded();
    } else {
        DirectoryListingEnded();
    }
    EndOfListing();
}

void Controller::DirectoryListingEnded() {
    ComboBox& combo = m_.ComboBox1;
    if (combo.items.empty()) {
        m_.Label6.visible = true;
        m_.GroupBox1.visible = false;
        ArmSysTimer(2, 3000);
        return;
    }
    m_.GroupBox1.visible = true;
    combo.itemIndex = 0;
    combo.text = combo.items[0];
    UpdateNewDataButton(m_, s_.DataFolder);
}

void Controller::EndOfListing() {
    if (s_.PathrexDevice)
        m_.pComment.visible = true;
    else
        m_.GroupBox2.visible = true;
    if (s_.FirstListing) {
        m_.bSynch.enabled = true;
        m_.bClock.enabled = true;
        m_.bTest.enabled = true;
        s_.FirstListing = false;
    }
    m_.window.width = 370;
    EndInitialSequence();
    m_.Chart1.visible = false;
}

// Row 76: whatever the logger says, list the root again to show what is left.
void Controller::DeleteReply() {
    s_.DirectoryName.clear();
    s_.copy.directoryNames.clear();
    m_.ComboBox1.items.clear();
    m_.ComboBox1.itemIndex = -1;
    m_.ComboBox1.text.clear();
    ++m_.ComboBox1.focusRequests;
    RequestDirectoryList(s_.DirectoryName);
}

}  // namespace qm
