// The day copy: the measurements of one chosen day out of a monthly file on the logger into a
// local day file "year_month_day.dat". It shares the value handling and the finishing step with
// the full copy and never touches the resume record.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "protocol/ReplyStatus.h"
#include "store/Catalogue.h"
#include "store/ValueLines.h"

namespace qm {

namespace C = CommandCode;

void Controller::bSelectClick() {
    Run([&] {
        LockForCopy();
        for (Button* b : {&m_.bAllData, &m_.bNewData, &m_.bSelect, &m_.bDelete}) b->visible = false;
        m_.bCopy.visible = true;
        m_.bCopy.enabled = true;
        m_.bCancel.visible = true;
        m_.DateData.visible = true;
        s_.copy.DayCopyMode = true;
        s_.copy.MeasurementCount = 0;
    });
}

void Controller::bCancelClick() {
    Run([&] {
        m_.bCancel.visible = false;
        m_.bCopy.visible = false;
        m_.DateData.visible = false;
        for (Button* b : {&m_.bAllData, &m_.bNewData, &m_.bSelect}) {
            b->visible = true;
            b->enabled = true;
        }
        m_.bDelete.visible = true;
        UnlockAfterCopy();
        s_.copy.DayCopyMode = false;
    });
}

void Controller::bCopyClick() {
    Run([&] {
        const std::string* dir = SelectedDirectory();
        if (!dir) return;
        const CivilDateTime date = m_.DateData.value.ToCivil();
        const std::string path = *dir + "\\" + MonthFileName(date.year, date.month);
        // Refused names leave the mode armed: the operator can cancel it.
        if (!UsableAsLocalFolder(*dir)) return;
        if (!NameFitsRequest(path)) {
            ops_.ShowError(Text(Msg::PathTooLongNotCopied, {Cp1251ToUtf8(path)}));
            return;
        }
        m_.bCopy.enabled = false;
        m_.bCancel.enabled = false;
        CopyState& c = s_.copy;
        c.SelectedDay = static_cast<std::uint16_t>(date.day);
        c.dayYear = date.year;
        c.dayMonth = date.month;
        c.RequestPath = path;
        c.copyDirectory = *dir;
        c.copyFolder = DataSetFolder(s_.DataFolder, *dir);
        StartBusyIndicator();
        RequestOpenFile();
    });
}

// A reply to 66 or 67 during a day copy.
void Controller::HandleDayLineReply() {
    CopyState& c = s_.copy;
    const Reply r = CurrentReply();
    const std::uint8_t status = r.Status();
    if (status == ReplyStatus::End) {
        // The monthly file has ended. After lines of the chosen day that is the day's end (the
        // last day of the month, or today), and the count stays shown.
        if (c.MeasurementCount > 0)
            FinishDayCopy();
        else
            ShowNoData();
        return;
    }
    const std::string text = r.Text();
    if (c.MeasurementCount == 0) {
        // The first line of the monthly file: the logger then looks for the day itself.
        if (status == ReplyStatus::Partial)
            RequestDay();
        else
            m_.Timer2.Start();
        return;
    }
    if (IsHeaderLine(text)) {
        if (HeaderDay(text) != static_cast<int>(c.SelectedDay)) {
            FinishDayCopy();  // the chosen day's measurements are over
            return;
        }
        CountMeasurement();
    }
    WriteDayLine(text, status);
}

void Controller::WriteDayLine(const std::string& text, std::uint8_t status) {
    s_.copy.DataFile.WriteLine(text);
    if (status == ReplyStatus::Partial)
        RequestFirstValues();
    else
        FinishDayCopy();
}

void Controller::RequestDay() {
    PacketBuffer& b = s_.PacketBuffer;
    b[1] = 3;
    b[2] = 0;
    b[3] = C::FindDay;
    b[4] = static_cast<std::uint8_t>(s_.copy.SelectedDay);
    s_.CurrentCommand = C::FindDay;
    s_.SendCount = 5;
    SendPacket();
}

// Row 70: the first header line of the chosen day, or no measurement that day.
void Controller::DayFoundReply() {
    // Only the one search of a running day copy opens its file; a late or repeated reply does not.
    if (!s_.copy.DayCopyMode || s_.copy.DataFileOpen) return;
    const Reply r = CurrentReply();
    const std::uint8_t status = r.Status();
    if (status == ReplyStatus::Complete || status == ReplyStatus::End) {
        ShowNoData();
        return;
    }
    const std::string text = r.Text();
    GuardCopy([&] {
        CopyState& c = s_.copy;
        MakeCopyFolder();
        c.DataFile.Begin(c.copyFolder / DayFileName(c.dayYear, c.dayMonth, c.SelectedDay), false);
        c.DataFileOpen = true;
        c.DataFile.WriteLine(text);
        CountMeasurement();
        RequestFirstValues();
    });
}

// The day's lines are all written: the day file replaces any earlier one of that day.
void Controller::FinishDayCopy() {
    if (s_.copy.DataFileOpen) {
        s_.copy.DataFileOpen = false;
        s_.copy.DataFile.Commit();
    }
    m_.Timer2.Start();
}

}  // namespace qm
