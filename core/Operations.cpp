// The session's operations, done by the window's parts: each does what the operator's
// controls do, in the same order, so a run without a window sends the same requests.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/Controller.h"
#include "protocol/Cp1251.h"
#include "store/Catalogue.h"
#include "store/LocalFiles.h"

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
    // A copy, or the day copy armed, holds the data group (and its delete button).
    const std::vector<std::string>& names = catalogue_.DirectoryNames();
    const auto at = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return Cp1251ToUtf8(name) == directory;
    });
    if (at == names.end() || copy_.CopyRunning() || catalogue_.CopyMustWait()) return false;
    bool asked = false;
    Run([&] { asked = catalogue_.Delete(*at); });
    return asked;
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
    Run([&] { test_.Measure(); });
    return true;
}

bool Controller::WriteSchedule(DateTime start, DateTime stop, int days, int hours, int minutes) {
    if (!m_.GroupBox2.visible || sequence_.ReadingOut() || copy_.CopyRunning() || x_.Outstanding)
        return false;
    Run([&] {
        schedule_.Capture({start.TimeOfDay(), start.DatePart(), stop.TimeOfDay(), stop.DatePart(),
                           static_cast<double>(days), static_cast<double>(hours),
                           static_cast<double>(minutes)});
        schedule_.Write();
    });
    return true;
}

bool Controller::WriteRemarks(const std::string& first, const std::string& second) {
    if (!m_.pComment.visible || sequence_.ReadingOut() || copy_.CopyRunning() || x_.Outstanding)
        return false;
    Run([&] { remarks_.Write(first, second); });
    return true;
}

CopyStart Controller::StartCopy(const std::string& directory, CopyMode mode, DateTime day) {
    const std::vector<std::string>& names = catalogue_.DirectoryNames();
    const auto at = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return Cp1251ToUtf8(name) == directory;
    });
    if (at == names.end() || copy_.CopyRunning()) return CopyStart::Refused;
    const std::string& name = *at;
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

// A copy refused before it began (its name cannot be a local folder, say) leaves the data
// group as it was.
CopyStart Controller::Began(CopyStart start) const {
    return copy_.CopyRunning() ? start : CopyStart::Refused;
}

void Controller::StopCopy() {
    Run([&] { copy_.Stop(); });
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
