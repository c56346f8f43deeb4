// The session's operations, done by the window's parts: each does what the operator's
// controls do, in the same order, so a run without a window sends the same requests.
#include <algorithm>

#include "core/Controller.h"
#include "protocol/Cp1251.h"

namespace qm {

bool Controller::OpenSerialPort(const std::string& name) {
    // The port group shows the port asked for, as the operator would have typed it.
    portView_.Offer(name);
    bSetPortClick();
    return x_.PortOpen;
}

bool Controller::LinkFound() const {
    return x_.SerialLinkActive || x_.UsbStarted || session_.Timers().StartTimer.Enabled();
}

bool Controller::ThroughModemAdapter() const {
    return radio_.RadioModemLink() || bt_.BtModemLink();
}

bool Controller::ReachRadioAddress(int address) {
    if (!radio_.CanStart() || x_.Outstanding || address < 0 || address > 254) return false;
    // One identification; the watchdog asks again.
    Run([&] { radio_.Start(static_cast<std::uint8_t>(address), false); });
    return true;
}

bool Controller::DialBluetooth(const std::string& address, int calls) {
    bool dialling = false;
    Run([&] { dialling = bt_.DialAddress(Utf8ToCp1251(address), calls); });
    return dialling;
}

bool Controller::ReadingOut() const {
    return sequence_.ReadingOut();
}

bool Controller::Idle() const {
    const SessionTimers& t = session_.Timers();
    return !x_.Outstanding && !t.StartTimer.Enabled() && !t.Timer1.Enabled() &&
           !t.Timer2.Enabled() && !t.Timer3.Enabled() && !t.Timer4.Enabled() &&
           !t.BTtimer.Enabled();
}

bool Controller::ReadClock() {
    if (!m_.bClock.visible || !m_.bClock.enabled || x_.Outstanding) return false;
    Click("bClock");
    return true;
}

bool Controller::DeleteDirectory(const std::string& directory) {
    const std::vector<std::string>& items = m_.ComboBox1.items;
    const auto at = std::find(items.begin(), items.end(), directory);
    if (at == items.end() || !m_.bDelete.visible || !m_.bDelete.enabled || copy_.CopyRunning() ||
        catalogue_.CopyMustWait())
        return false;
    Selected("ComboBox1", static_cast<int>(at - items.begin()));
    Run([&] { catalogue_.DeleteWithoutAsking(); });
    return true;
}

bool Controller::SetClock() {
    if (!m_.bSynch.visible || !m_.bSynch.enabled) return false;
    Click("bSynch");
    return true;
}

bool Controller::MeasureOnce() {
    if (!m_.bTest.visible || !m_.bTest.enabled || sequence_.ReadingOut() || copy_.CopyRunning() ||
        x_.Outstanding)
        return false;
    Click("bTest");
    return true;
}

bool Controller::WriteSchedule(DateTime start, DateTime stop, int days, int hours, int minutes) {
    if (!m_.GroupBox2.visible || sequence_.ReadingOut() || copy_.CopyRunning() || x_.Outstanding)
        return false;
    DateTimeEdited("DateStart", start.DatePart());
    DateTimeEdited("TimeStart", start.TimeOfDay());
    DateTimeEdited("DateStop", stop.DatePart());
    DateTimeEdited("TimeStop", stop.TimeOfDay());
    NumberEdited("DayEdit", days);
    NumberEdited("HourEdit", hours);
    NumberEdited("MinEdit", minutes);
    m_.bSet.enabled = true;  // also when the schedule shown is the one to write
    Click("bSet");
    Click("Parameters.Button1");
    return true;
}

bool Controller::WriteRemarks(const std::string& first, const std::string& second) {
    if (!m_.pComment.visible || sequence_.ReadingOut() || copy_.CopyRunning() || x_.Outstanding)
        return false;
    TextEdited("pRemark1", first);
    TextEdited("pRemark2", second);
    m_.bRemark.enabled = true;  // also when the lines shown are the ones to write
    Click("bRemark");
    return true;
}

CopyStart Controller::StartCopy(const std::string& directory, CopyMode mode, DateTime day) {
    const std::vector<std::string>& items = m_.ComboBox1.items;
    const auto at = std::find(items.begin(), items.end(), directory);
    if (at == items.end() || copy_.CopyRunning()) return CopyStart::Refused;
    Selected("ComboBox1", static_cast<int>(at - items.begin()));
    switch (mode) {
        case CopyMode::Day:
            Click("bSelect");
            DateTimeEdited("DateData", day);
            Click("bCopy");
            if (day_.Active() && m_.bCopy.visible && m_.bCopy.enabled && !ClickDeferred()) {
                // The day copy refused its directory or file name and stays armed: cancel it,
                // as the operator would.
                Click("bCancel");
                return CopyStart::Refused;
            }
            return CopyStart::Started;
        case CopyMode::New:
            if (m_.bNewData.enabled) {
                Click("bNewData");
                return Began(CopyStart::Started);
            }
            Click("bAllData");
            return Began(CopyStart::StartedWhole);
        case CopyMode::All:
            break;
    }
    Click("bAllData");
    return Began(CopyStart::Started);
}

// A copy refused before it began (its name cannot be a local folder, say) leaves the data
// group as it was.
CopyStart Controller::Began(CopyStart start) const {
    return copy_.CopyRunning() || ClickDeferred() ? start : CopyStart::Refused;
}

void Controller::StopCopy() {
    if (m_.bStop.visible && m_.bStop.enabled) Click("bStop");
}

bool Controller::CopyRunning() const {
    return copy_.CopyRunning();
}

std::filesystem::path Controller::DataFolder() const {
    return catalogue_.DataFolder();
}

bool Controller::UseDataFolder(const std::filesystem::path& folder) {
    return catalogue_.UseDataFolder(folder);
}

void Controller::CloseLocalFiles() {
    copy_.CloseLocalFiles();
}

void Controller::ChooseLanguage(Language language) {
    Click(language == Language::English ? "pmEng" : "pmRus");
}

}  // namespace qm
