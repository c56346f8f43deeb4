#include "core/CopyPresenter.h"

#include "core/DirectoryView.h"
#include "protocol/Cp1251.h"
#include "text/Captions.h"

namespace qm {

void CopyPresenter::Register(Handlers& h) {
    h.OnClick("bAllData", [this] {
        if (const std::string* directory = SelectedDirectory()) copy_.Start(*directory, false);
    });
    h.OnClick("bNewData", [this] {
        if (const std::string* directory = SelectedDirectory()) copy_.Start(*directory, true);
    });
    h.OnClick("bStop", [this] { copy_.Stop(); });
    h.OnClick("bSelect", [this] { bSelectClick(); });
    h.OnClick("bCancel", [this] { bCancelClick(); });
    h.OnClick("bCopy", [this] {
        if (const std::string* directory = SelectedDirectory())
            day_.Copy(*directory, ctx_.m.DateData.value);
    });
    h.OnClick("bDelete", [this] { bDeleteClick(); });
    h.OnChange("ComboBox1", [this] { UpdateNewDataButton(ctx_.m, catalogue_.DataFolder()); });
}

const std::string* CopyPresenter::SelectedDirectory() const {
    return qm::SelectedDirectory(ctx_.m, catalogue_.DirectoryNames());
}

void CopyPresenter::bDeleteClick() {
    const std::string* directory = SelectedDirectory();
    if (!directory) return;
    if (ctx_.ops.Confirm(std::string(DeleteConfirmationText(ctx_.CurrentLanguage()))))
        catalogue_.Delete(*directory);
}

void CopyPresenter::bSelectClick() {
    WindowModel& m = ctx_.m;
    // A click that waited for a reply can come after a relisting found no directory: the data
    // group is hidden with its cancel button, and the mode would leave the window locked.
    if (!SelectedDirectory()) return;
    Lock();
    for (Button* b : {&m.bAllData, &m.bNewData, &m.bSelect, &m.bDelete}) b->visible = false;
    m.bCopy.visible = true;
    m.bCopy.enabled = true;
    m.bCancel.visible = true;
    m.DateData.visible = true;
    day_.Arm();
}

void CopyPresenter::bCancelClick() {
    WindowModel& m = ctx_.m;
    m.bCancel.visible = false;
    m.bCopy.visible = false;
    m.DateData.visible = false;
    for (Button* b : {&m.bAllData, &m.bNewData, &m.bSelect}) {
        b->visible = true;
        b->enabled = true;
    }
    m.bDelete.visible = true;
    Unlock();
    day_.Disarm();
}

void CopyPresenter::Lock() {
    WindowModel& m = ctx_.m;
    m.bTest.enabled = false;
    m.PageControl1.visible = false;
    m.bClock.enabled = false;
    m.bSynch.enabled = false;
    m.ComboBox1.enabled = false;
    m.Chart1.visible = false;
}

void CopyPresenter::Unlock() {
    WindowModel& m = ctx_.m;
    m.bTest.enabled = true;
    m.TabSheet1.visible = true;
    m.bClock.enabled = true;
    m.bSynch.enabled = true;
    m.ComboBox1.enabled = true;
    m.PageControl1.visible = true;
}

void CopyPresenter::CopyStarting(CopyMode mode) {
    WindowModel& m = ctx_.m;
    if (mode == CopyMode::Day) {
        // The day copy's arming holds the controls already; while the day is copied, Stop takes
        // Cancel's place.
        m.bCopy.enabled = false;
        m.bCancel.enabled = false;
        m.bCancel.visible = false;
    } else {
        Lock();
        for (Button* b : {&m.bAllData, &m.bNewData, &m.bSelect, &m.bDelete}) b->enabled = false;
    }
    m.bStop.visible = true;
    m.bStop.enabled = true;
}

void CopyPresenter::CopyBusy(bool busy) {
    if (busy)
        ctx_.StartBusyIndicator();
    else
        ctx_.StopBusyIndicator();
}

void CopyPresenter::CopyCounted(std::int64_t measurements) {
    Label& l = ctx_.m.lMeasureCounter;
    l.caption =
        std::string(MeasurementsCaption(ctx_.CurrentLanguage())) + std::to_string(measurements);
    l.visible = true;
    l.fontColour = Colour::Red;
}

void CopyPresenter::CopyFoundNoData() {
    Label& l = ctx_.m.lMeasureCounter;
    l.caption = NoDataCaption(ctx_.CurrentLanguage());
    l.visible = true;
    l.fontColour = Colour::Red;
}

void CopyPresenter::CopyFinishing() {
    WindowModel& m = ctx_.m;
    m.lMeasureCounter.visible = false;
    m.bSelect.visible = true;
    m.bCopy.visible = false;
    m.bCancel.visible = false;
    m.bStop.visible = false;
    m.bStop.enabled = false;
    m.bDelete.visible = true;
    m.bDelete.enabled = true;
    m.DateData.visible = false;
    m.bNewData.visible = true;
    m.bAllData.visible = true;
    m.bSelect.enabled = true;
    m.bAllData.enabled = true;
    // "Новые" only where there is a record to resume from.
    UpdateNewDataButton(m, catalogue_.DataFolder());
    Unlock();
    m.bCancel.enabled = true;
}

void CopyPresenter::DirectoriesListed(const std::vector<std::string>& added) {
    WindowModel& m = ctx_.m;
    ComboBox& combo = m.ComboBox1;
    for (const std::string& name : added) combo.items.push_back(Cp1251ToUtf8(name));
    if (combo.items.empty()) {
        m.Label6.visible = true;
        m.GroupBox1.visible = false;
        ctx_.ArmSysTimer(SysTimerAction::HideNoDirectory, 3000);
        return;
    }
    m.GroupBox1.visible = true;
    combo.itemIndex = 0;
    combo.text = combo.items[0];
    UpdateNewDataButton(m, catalogue_.DataFolder());
}

void CopyPresenter::DirectoriesCleared(bool deleted) {
    ComboBox& combo = ctx_.m.ComboBox1;
    combo.items.clear();
    combo.itemIndex = -1;
    combo.text.clear();
    if (deleted) {
        ++combo.focusRequests;
        return;
    }
    ctx_.m.GroupBox1.visible = false;
    UpdateNewDataButton(ctx_.m, catalogue_.DataFolder());
}

void CopyPresenter::CopyProgressed(const CopyProgressView& progress) {
    Label& l = ctx_.m.lProgress;
    l.visible = progress.active;
    if (!progress.active) return;
    l.caption = CopyProgress::Caption(progress, ctx_.CurrentLanguage());
}

}  // namespace qm
