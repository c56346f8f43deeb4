#include "core/CopyPresenter.h"

#include "core/DirectoryView.h"
#include "protocol/Cp1251.h"
#include "text/Captions.h"

namespace qm {

void CopyPresenter::Register(Handlers& h) {
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
